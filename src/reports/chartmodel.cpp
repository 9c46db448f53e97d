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

/// The first column's cell as the grid shows it, as UTF-8 bytes, added up with the others of
/// its label: a text or blob read in place, a number written in locale; NULL gives empty text.
void AddRow(ChartPicker& picker, const ResultSet& view, qsizetype row, double value,
            const QLocale& locale) {
    if (view.isNull(row, 0)) {
        picker.add(QByteArrayView(""), value);
        return;
    }
    switch (view.cellKind(row, 0)) {
    case ColumnKind::Float:
        picker.addCopied(FormatFloat00(view.realAt(row, 0), locale).toUtf8(), value);
        return;
    case ColumnKind::Integer:
        picker.addCopied(QByteArray::number(view.integerAt(row, 0)), value);
        return;
    case ColumnKind::Text:
    case ColumnKind::Blob:
        break;
    }
    picker.add(view.bytesAt(row, 0), value);
}

/// A number cell's value; NULL, and any value that is not a number, count 0.
double ValueAt(const ResultSet& view, qsizetype row, int column) {
    if (view.isNull(row, column))
        return 0.0;
    switch (view.cellKind(row, column)) {
    case ColumnKind::Float:
        return view.realAt(row, column);
    case ColumnKind::Integer:
        return double(view.integerAt(row, column));
    case ColumnKind::Text:
    case ColumnKind::Blob:
        break;
    }
    return 0.0;
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
    const int valueColumn = ChartValueColumn(view);
    ChartPicker picker;
    for (qsizetype row = 0; row < view.rowCount(); ++row)
        AddRow(picker, view, row, ValueAt(view, row, valueColumn), locale);
    ChartData chart =
        picker.pick(title, view.column(valueColumn).kind == ColumnKind::Integer, locale);
    chart.labelTitle = view.column(0).name;
    chart.valueTitle = view.column(valueColumn).name;
    return chart;
}

QString ChartTitle(const QString& statement, int index, const std::optional<QDate>& start,
                   const std::optional<QDate>& end) {
    if (!statement.isEmpty() && statement == ComposeReportSQL(index, start, end))
        return ReportCaptions().at(index);
    return QString::fromUtf16(kChartSqlQueryTitle);
}
