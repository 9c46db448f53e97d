#include "filenumberformat.h"

#include <cmath>
#include <cstdio>

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

QString FormatGeneral15(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    // %.15G gives at most 15 significant digits with trailing zeros removed; the exponent form
    // is then tidied to the "5E-5" style (no "+", no leading zeros in the exponent).
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    QString text = QString::fromLatin1(buf);
    const qsizetype e = text.indexOf(u'E');
    if (e < 0)
        return text == u"-0" ? QStringLiteral("0") : text;
    QString mantissa = text.left(e);
    QString exponent = text.mid(e + 1);
    bool negative = exponent.startsWith(u'-');
    if (exponent.startsWith(u'+') || negative)
        exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith(u'0'))
        exponent.remove(0, 1);
    return mantissa + u'E' + (negative ? QStringLiteral("-") : QString()) + exponent;
}
