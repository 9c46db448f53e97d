#include "filenumbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

std::optional<double> ParseFileDecimal(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;

    // Check the form and copy it as ASCII for from_chars, which takes no "+" sign.
    char buffer[300];
    if (end - begin >= qsizetype(sizeof buffer))
        return std::nullopt;
    int n = 0;
    qsizetype i = begin;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int mantissaDigits = 0;
    int integerDigits =
        0; // significant digits before the point, for telling overflow from underflow
    bool point = false;
    for (; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (isDigit(c)) {
            ++mantissaDigits;
            if (!point && (integerDigits > 0 || c != u'0'))
                ++integerDigits;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
        buffer[n++] = char(c);
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    long long exponent = 0;
    if (i < end && (text[i] == u'e' || text[i] == u'E')) {
        buffer[n++] = 'e';
        ++i;
        bool negativeExponent = false;
        if (i < end && (text[i] == u'+' || text[i] == u'-')) {
            negativeExponent = text[i] == u'-';
            buffer[n++] = char(text[i++].unicode());
        }
        const qsizetype digitsStart = i;
        for (; i < end && isDigit(text[i].unicode()); ++i) {
            buffer[n++] = char(text[i].unicode());
            if (exponent < 100000)
                exponent = exponent * 10 + (text[i].unicode() - u'0');
        }
        if (i == digitsStart)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != end)
        return std::nullopt;

    double value = 0;
    const auto [ptr, ec] = std::from_chars(buffer, buffer + n, value);
    if (ec == std::errc::result_out_of_range) {
        if (integerDigits + exponent > 0)
            return std::nullopt; // too large for a double
        value = 0;
    } else if (ec != std::errc() || ptr != buffer + n) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<qint32> ParseFileInteger(QStringView text) {
    qsizetype i = 0;
    const qsizetype end = text.size();
    while (i < end && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i < end && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < end && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == end)
        return std::nullopt;
    const qint64 limit = negative ? qint64(std::numeric_limits<qint32>::max()) + 1
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 value = 0;
    for (; i < end; ++i) {
        const int digit = base == 16 ? hexValue(text[i].unicode())
                                     : (isDigit(text[i].unicode()) ? text[i].unicode() - u'0' : -1);
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return qint32(negative ? -value : value);
}

double RoundGeneral15(double value) {
    if (!std::isfinite(value))
        return 0.0;
    // Most fees are whole cents. A value that is the double nearest to k / 100 (division is
    // correctly rounded) with |k| < 1e14 is the nearest double to a decimal of at most 14
    // significant digits, and so reads back from its 15-digit text unchanged.
    if (std::fabs(value) < 1e12) {
        const double cents = std::round(value * 100);
        if (cents / 100 == value)
            return value == 0 ? 0.0 : value;
    }
    // Same digits as the "%.15G" text of FormatGeneral15, without building a QString per fee.
    char buffer[40];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    double back = 0;
    std::from_chars(buffer, written.ptr, back);
    return back == 0 ? 0.0 : back; // "-0" is written as "0"
}
