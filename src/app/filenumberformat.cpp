#include "filenumberformat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {
QLocale makeFormat() {
    QLocale c = QLocale::c(); // "." decimal separator and "," group separator
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    return c;
}
} // namespace

const QLocale& FileNumberFormat() {
    static const QLocale format = makeFormat();
    return format;
}

void SetupFileNumberFormat() { (void)FileNumberFormat(); }

char* WriteGeneral15(double value, char* out) {
    const auto copy = [out](std::string_view text) {
        return std::copy(text.begin(), text.end(), out);
    };
    if (std::isnan(value))
        return copy("NAN");
    if (std::isinf(value))
        return copy(value > 0 ? "INF" : "-INF");
    if (value == 0) // -0 too
        return copy("0");
    // The digits of printf's "%.15g": at most 15 significant digits, correctly rounded (ties to
    // even), trailing zeros dropped, the exponent form below 1E-4 and from 1E15 on. The exponent
    // is then tidied to the "5E-5" style (no "+", no leading zeros).
    char digits[kGeneral15Chars];
    const char* end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 15).ptr;
    const char* e = std::find(static_cast<const char*>(digits), end, 'e');
    out = std::copy(static_cast<const char*>(digits), e, out);
    if (e == end)
        return out;
    *out++ = 'E';
    const char* exponent = e + 1;
    if (*exponent == '-')
        *out++ = '-';
    if (*exponent == '-' || *exponent == '+')
        ++exponent;
    while (exponent + 1 < end && *exponent == '0')
        ++exponent;
    return std::copy(exponent, end, out);
}

QString FormatGeneral15(double value) {
    char text[kGeneral15Chars];
    return QString::fromLatin1(text, WriteGeneral15(value, text) - text);
}
