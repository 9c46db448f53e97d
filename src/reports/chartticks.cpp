#include "chartticks.h"

#include <cmath>

ChartTicks NiceTicks(double low, double high, int maxIntervals) {
    if (!(low < high))
        high = low + 1;
    const double raw = (high - low) / std::max(1, maxIntervals);
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    static constexpr double kMultiples[] = {1, 2, 2.5, 5};
    for (;;) {
        for (const double multiple : kMultiples) {
            ChartTicks ticks;
            ticks.step = multiple * magnitude;
            ticks.low = std::floor(low / ticks.step) * ticks.step;
            ticks.high = std::ceil(high / ticks.step) * ticks.step;
            ticks.intervals = int(std::lround((ticks.high - ticks.low) / ticks.step));
            if (ticks.intervals <= maxIntervals)
                return ticks;
        }
        magnitude *= 10;
    }
}

QString ShortNumber(double value, double step, const QLocale& locale) {
    if (std::abs(value) < step * 1e-9)
        return QStringLiteral("0"); // a sum of steps that missed 0 by a rounding
    static constexpr struct {
        double scale;
        char suffix;
    } kScales[] = {{1e12, 'T'}, {1e9, 'B'}, {1e6, 'M'}, {1e3, 'k'}};
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    if (std::abs(value) >= 1e15)
        return plain.toString(value, 'g', 3);
    double scale = 1;
    QString suffix;
    for (const auto& s : kScales) {
        if (std::abs(value) >= s.scale) {
            scale = s.scale;
            suffix = QChar::fromLatin1(s.suffix);
            break;
        }
    }
    // As many decimals as the step has in this scale, trailing zeros dropped.
    const double scaledStep = step / scale;
    int decimals = 0;
    while (decimals < 9) {
        const double shifted = scaledStep * std::pow(10.0, decimals);
        if (std::abs(shifted - std::round(shifted)) < 1e-6 * std::max(1.0, shifted))
            break;
        ++decimals;
    }
    QString text = plain.toString(value / scale, 'f', decimals);
    if (decimals > 0) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(plain.decimalPoint()))
            text.chop(plain.decimalPoint().size());
    }
    return text + suffix;
}
