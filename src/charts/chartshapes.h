#pragma once

#include "chartdata.h"

#include <QLocale>
#include <QString>

class QChart;

/// The smallest size, in points, that the labels of a crowded category axis are written in.
inline constexpr qreal kSmallestLabelPoints = 6;

/// The chart's title: the title, and beneath it in plain type what a ranking leaves out.
QString ChartTitleText(const ChartData& data);

/// Draws the points of data into chart (whose title, theme and locale are set): bars or a line
/// for a time series, horizontal bars for a ranking. Every bar keeps its name at any size of the
/// chart: on each change of the plot area the labels get the largest font, down to
/// kSmallestLabelPoints, at which Qt Charts draws every one of them (its axes hide a label that
/// would overlap a neighbour or pass the plot's edge); where even that font leaves too little
/// room, a ranking shows fewer bars, the largest, the rest joining its subtitle, and a time
/// series is drawn as a line. Value labels stand beside the bar ends in black, which reads on
/// the bars and on the background alike.
void DrawChartData(QChart& chart, const ChartData& data, const QLocale& locale);
