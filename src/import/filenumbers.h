#pragma once

#include <QStringView>
#include <optional>

/// Reading the numbers of a results file, independent of the user's regional settings.

/// A decimal: blanks, an optional sign, digits with at most one ".", an optional exponent ("E" or
/// "e", optional sign, digits), blanks. No thousands separators. Nothing when the text has another
/// form or its value is too large for a double (a value too small to hold reads as 0).
std::optional<double> ParseFileDecimal(QStringView text);

/// A 32-bit signed integer: leading blanks, an optional sign, then decimal digits, or hexadecimal
/// digits after "$" or "0x". Nothing when the text has another form or lies outside the range.
std::optional<qint32> ParseFileInteger(QStringView text);

/// The decimal, or 0 when the text is not a number.
inline double FileDecimalOrZero(QStringView text) {
    return ParseFileDecimal(text).value_or(0.0);
}
/// The integer, or 0 when the text is not an integer.
inline qint32 FileIntegerOrZero(QStringView text) {
    return ParseFileInteger(text).value_or(0);
}

/// The value a fee total has after being written in the shortest general form with at most 15
/// significant digits and read back: 0.1 + 0.2 gives 0.3. A total that is not finite does not
/// read back as a number and gives 0.
double RoundGeneral15(double value);
