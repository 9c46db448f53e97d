#pragma once

#include <QLocale>
#include <QString>

/// The ticks of a value axis: from low to high in equal round steps (1, 2, 2.5 or 5 times a
/// power of ten), low and high being multiples of the step.
struct ChartTicks {
    double low = 0;
    double high = 1;
    double step = 1;
    int intervals = 1;
};

/// Ticks that take in low and high in at most maxIntervals steps.
ChartTicks NiceTicks(double low, double high, int maxIntervals);

/// A tick value in short form, with the digits its step needs: "0", "2.5", "750k", "1.25M",
/// "3B", "1T" (the decimal point in locale, no digit grouping).
QString ShortNumber(double value, double step, const QLocale& locale);
