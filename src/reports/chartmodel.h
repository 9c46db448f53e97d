#pragma once

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

class ResultSet;

/// How a report is drawn. A report whose labels are all days or all months is a time series:
/// bars while it has few points, a line beyond. Any other report shows its largest values as
/// horizontal bars.
enum class ChartShape { TimeBars, TimeLine, RankingBars };

/// A time series with more points than this is drawn as a line.
inline constexpr int kMaxTimeBars = 60;
/// The ranking shows this many rows; the rest are summed into one bar.
inline constexpr int kRankingBars = 25;

inline constexpr auto kChartNoNumberColumnText = u"The report has no number column to chart";
/// The title of a chart of a statement that is not a catalogue entry as composed.
inline constexpr auto kChartSqlQueryTitle = u"SQL query";

struct ChartPoint {
    QString label;
    double value = 0;
    QDate date; ///< time series only: the day, or the first day of the month
};

/// What a chart shows: the points in drawing order (a time series from its first to its last
/// day or month, every step present; a ranking from the largest value down, the summed rest
/// last), the title and the axis titles.
struct ChartData {
    ChartShape shape = ChartShape::RankingBars;
    bool months = false;      ///< a time series of months rather than days
    bool wholeValues = false; ///< the value column holds integers
    QString title;
    QString labelTitle; ///< the first column's name
    QString valueTitle; ///< the value column's name
    QList<ChartPoint> points;
};

/// The column whose values a chart draws: the last column of integer or floating-point kind,
/// -1 when there is none.
int ChartValueColumn(const ResultSet& view);

/// Why the report view cannot be charted, or empty text when it can: a closed view or one
/// without rows gives "Report table is empty", a view without a number column "The report has
/// no number column to chart".
QString ChartProblem(const ResultSet& view);

/// The chart of a view that ChartProblem accepts. Labels come from the first column (numbers as
/// the grid shows them, in locale), values from ChartValueColumn (NULL and text count 0); rows
/// with the same label are added up into one point. When every label is a date "yyyy-MM-dd", or
/// every label a month "yyyy-MM", the rows form a time series in which every missing day or month
/// between the first and the last counts 0. Otherwise the ranking keeps the 25 largest values and
/// sums the rest into one bar "N others".
ChartData BuildChartData(const ResultSet& view, const QString& title, const QLocale& locale);

/// The day of a label "yyyy-MM-dd", or the first day of the month of a label "yyyy-MM"; nothing
/// for any other text.
std::optional<QDate> ChartDay(const QString& label);
std::optional<QDate> ChartMonth(const QString& label);

/// The chart title of a loaded statement: the caption of the catalogue entry when the statement
/// is exactly what that entry composes with these dates, otherwise "SQL query".
QString ChartTitle(const QString& statement, int index, const std::optional<QDate>& start,
                   const std::optional<QDate>& end);
