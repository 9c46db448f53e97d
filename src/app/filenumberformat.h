#pragma once

#include <QLocale>
#include <QString>

/// The number format of everything read from results files and of the fee totals: "." as decimal
/// separator, "," as thousands separator, never the user's regional settings. Numbers shown in
/// grids and written to CSV follow the user's locale instead.
const QLocale& FileNumberFormat();

/// Sets FileNumberFormat up; called once at start-up before any window exists. Idempotent.
void SetupFileNumberFormat();

/// A double written in the shortest general form with at most 15 significant digits in
/// FileNumberFormat: 1.5 -> "1.5", 6 -> "6", 0.1 + 0.2 -> "0.3", 5e-5 -> "5E-5". Magnitudes of
/// 1E15 or more, or below 0.0001, take the exponent form (mantissa, "E", the exponent with a
/// minus sign only when negative and no leading zeros); -0 is "0"; the infinities are "INF" and
/// "-INF", NaN is "NAN".
QString FormatGeneral15(double value);

/// Room for any text of FormatGeneral15 ("-2.22507385850720E-308" and shorter).
inline constexpr int kGeneral15Chars = 32;
/// FormatGeneral15 into out (kGeneral15Chars bytes of room) as ASCII; returns the end.
char* WriteGeneral15(double value, char* out);
