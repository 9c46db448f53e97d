#pragma once

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>

/// How a report is drawn. A report whose labels are all days or all months is a time series:
/// bars while it has few points, a line beyond. Any other report shows its largest values as
/// horizontal bars.
enum class ChartShape { TimeBars, TimeLine, RankingBars };

/// The step of a time series: every day, month or year from the first to the last; past 1,000
/// years only the years with rows, and past 1,000 of those only the decades with rows.
enum class ChartUnit { None, Day, Month, Year, Decade };

/// A time series with more points than this is drawn as a line.
inline constexpr int kMaxTimeBars = 60;
/// A time series never has more points than this.
inline constexpr int kMaxChartPoints = 1000;
/// The ranking shows this many rows; the rest are named in the subtitle.
inline constexpr int kRankingBars = 25;

struct ChartPoint {
    QString label;
    double value = 0;
    QDate date; ///< time series only: the first day of the point's day, month, year or decade
};

/// What a chart shows: the points in drawing order (a time series from its first to its last
/// step; a ranking from the largest value down), the titles and the axis titles.
struct ChartData {
    ChartShape shape = ChartShape::RankingBars;
    ChartUnit unit = ChartUnit::None; ///< the step of a time series
    bool wholeValues = false;         ///< the value column holds integers
    QString title;
    QString subtitle;       ///< a ranking: the values left out ("and 5 others: 15.00")
    qsizetype others = 0;   ///< a ranking: the number of labels left out
    double othersValue = 0; ///< a ranking: their values added up
    QString labelTitle;     ///< the first column's name
    QString valueTitle;     ///< the value column's name
    QList<ChartPoint> points;
};

/// The subtitle of a ranking that leaves labels out: "and 1,005 others: 505,515.00" ("and 1 other:
/// 1"), numbers in locale with digit grouping; empty text when none is left out.
QString RankingSubtitle(qsizetype others, double othersValue, bool wholeValues,
                        const QLocale& locale);

/// A ranking cut to its count largest points, those left out added to its others and subtitle,
/// for a chart that has room for no more bars; any other chart, or a count not below its
/// points, as it is.
ChartData TopPoints(const ChartData& chart, qsizetype count, const QLocale& locale);

/// "day", "month", "year" or "decade"; empty for None.
QString ChartUnitText(ChartUnit unit);
