#pragma once

#include "chartdata.h"
#include "chartpicker.h"
#include "reportsink.h"

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

/// The chart of a view that ChartProblem accepts, picked in one pass over its rows (ChartSink).
ChartData BuildChartData(const ResultSet& view, const QString& title, const QLocale& locale);

/// Picks a chart from the cells of a report as they come, in one pass (ChartPicker): fed by
/// WriteViewRows from a view, or by StreamReport straight from the statement, so that no row is
/// held. Labels come from the first column (numbers as the grid shows them, in locale), values
/// from the last column of number kind (NULL and text count 0).
class ChartSink : public ReportSink {
public:
    /// stableTexts: the texts handed over stay where they are until chart() (those of a view);
    /// otherwise each new label is copied.
    ChartSink(const QLocale& locale, bool stableTexts);

    void start(const QList<ResultColumn>& columns) override;
    void null() override;
    void integer(qint64 value) override;
    void real(double value) override;
    void text(QByteArrayView utf8) override;
    void blob(QByteArrayView bytes) override;
    void endRow() override;
    void finish() override {}

    /// Why the rows cannot be charted, as ChartProblem says it of a view of the same rows (a
    /// sink never started has seen a closed view); empty text when they can.
    QString problem() const;
    /// The chart of rows that problem() accepts.
    ChartData chart(const QString& title) const;

private:
    void label(QByteArrayView bytes, bool stable);

    QLocale m_locale;
    bool m_stableTexts;
    bool m_started = false;
    QList<ResultColumn> m_columns;
    int m_valueColumn = -1;
    int m_column = 0;
    qsizetype m_rows = 0;
    bool m_anyValue = false; ///< a cell that is not NULL
    QByteArrayView m_label;
    bool m_labelStable = false;
    QByteArray m_labelBytes; ///< a label written out (a number)
    double m_value = 0;
    ChartPicker m_picker;
};

/// The chart title of a loaded statement: the caption of the catalogue entry when the statement
/// is exactly what that entry composes with these dates, otherwise "SQL query".
QString ChartTitle(const QString& statement, int index, const std::optional<QDate>& start,
                   const std::optional<QDate>& end);
