#pragma once

#include "chartdata.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

class ResultSet;

inline constexpr auto kChartNoNumberColumnText = u"The report has no number column to chart";
inline constexpr auto kChartNoRowsText = u"The report has no rows";
/// The title of a chart of a statement that is not a catalogue entry as composed.
inline constexpr auto kChartSqlQueryTitle = u"SQL query";

/// The column whose values a chart draws: the last column of integer or floating-point kind,
/// -1 when there is none.
int ChartValueColumn(const ResultSet& view);

/// Why the report view cannot be charted, or empty text when it can: a closed view gives "Report
/// table is empty"; a view without rows, or whose rows hold only NULLs (a total over no rows),
/// "The report has no rows"; a view without a number column "The report has no number column to
/// chart".
QString ChartProblem(const ResultSet& view);

/// The chart of a view that ChartProblem accepts, picked in one pass over its rows (ChartPicker).
/// Labels come from the first column (numbers as the grid shows them, in locale), values from
/// ChartValueColumn (NULL and text count 0).
ChartData BuildChartData(const ResultSet& view, const QString& title, const QLocale& locale);

/// The chart title of a loaded statement: the caption of the catalogue entry when the statement
/// is exactly what that entry composes with these dates, otherwise "SQL query".
QString ChartTitle(const QString& statement, int index, const std::optional<QDate>& start,
                   const std::optional<QDate>& end);
