#include "chartmodel.h"

#include "chartpicker.h"
#include "reportcatalogue.h"
#include "reportexport.h"
#include "resultset.h"
#include "resultsetmodel.h"

namespace {

bool IsNumberKind(ColumnKind kind) {
    return kind == ColumnKind::Integer || kind == ColumnKind::Float;
}

} // namespace

int ChartValueColumn(const ResultSet& view) {
    for (int c = view.columnCount() - 1; c >= 0; --c) {
        if (IsNumberKind(view.column(c).kind))
            return c;
    }
    return -1;
}

QString ChartProblem(const ResultSet& view) {
    if (view.columnCount() == 0)
        return QString::fromUtf16(kReportTableEmptyText);
    if (view.rowCount() == 0)
        return QString::fromUtf16(kChartNoRowsText);
    if (ChartValueColumn(view) < 0) {
        // A total over no rows is one row of NULLs, whose columns take no number kind.
        for (qsizetype r = 0; r < view.rowCount(); ++r)
            for (int c = 0; c < view.columnCount(); ++c)
                if (!view.isNull(r, c))
                    return QString::fromUtf16(kChartNoNumberColumnText);
        return QString::fromUtf16(kChartNoRowsText);
    }
    return QString();
}

ChartData BuildChartData(const ResultSet& view, const QString& title, const QLocale& locale) {
    ChartSink sink(locale, true);
    WriteViewRows(view, sink);
    return sink.chart(title);
}

ChartSink::ChartSink(const QLocale& locale, bool stableTexts)
    : m_locale(locale), m_stableTexts(stableTexts) {}

void ChartSink::start(const QList<ResultColumn>& columns) {
    m_started = true;
    m_columns = columns;
    for (int c = int(columns.size()) - 1; c >= 0 && m_valueColumn < 0; --c)
        if (IsNumberKind(columns[c].kind))
            m_valueColumn = c;
}

void ChartSink::label(QByteArrayView bytes, bool stable) {
    m_label = bytes;
    m_labelStable = stable;
}

void ChartSink::null() {
    if (m_column == 0)
        label(QByteArrayView(""), true);
    if (m_column == m_valueColumn)
        m_value = 0;
    ++m_column;
}

void ChartSink::integer(qint64 value) {
    m_anyValue = true;
    if (m_column == 0) {
        m_labelBytes.setNum(value);
        label(m_labelBytes, false);
    }
    if (m_column == m_valueColumn)
        m_value = double(value);
    ++m_column;
}

void ChartSink::real(double value) {
    m_anyValue = true;
    if (m_column == 0) {
        m_labelBytes = FormatFloat00(value, m_locale).toUtf8();
        label(m_labelBytes, false);
    }
    if (m_column == m_valueColumn)
        m_value = value;
    ++m_column;
}

void ChartSink::text(QByteArrayView utf8) {
    m_anyValue = true;
    // Read in place: a streamed row's texts stay valid until the next row is stepped.
    if (m_column == 0)
        label(utf8, m_stableTexts);
    if (m_column == m_valueColumn)
        m_value = 0;
    ++m_column;
}

void ChartSink::blob(QByteArrayView bytes) {
    text(bytes);
}

void ChartSink::endRow() {
    ++m_rows;
    m_column = 0;
    if (m_valueColumn < 0)
        return;
    if (m_labelStable)
        m_picker.add(m_label, m_value);
    else
        m_picker.addCopied(m_label, m_value);
}

QString ChartSink::problem() const {
    if (!m_started || m_columns.isEmpty())
        return QString::fromUtf16(kReportTableEmptyText);
    if (m_rows == 0)
        return QString::fromUtf16(kChartNoRowsText);
    // A total over no rows is one row of NULLs, whose columns take no number kind.
    if (m_valueColumn < 0)
        return QString::fromUtf16(m_anyValue ? kChartNoNumberColumnText : kChartNoRowsText);
    return QString();
}

ChartData ChartSink::chart(const QString& title) const {
    ChartData chart =
        m_picker.pick(title, m_columns[m_valueColumn].kind == ColumnKind::Integer, m_locale);
    chart.labelTitle = m_columns[0].name;
    chart.valueTitle = m_columns[m_valueColumn].name;
    return chart;
}

QString ChartTitle(const QString& statement, int index, const std::optional<QDate>& start,
                   const std::optional<QDate>& end) {
    if (IsComposedReport(statement, index, start, end))
        return ReportCaptions().at(index);
    return QString::fromUtf16(kChartSqlQueryTitle);
}
