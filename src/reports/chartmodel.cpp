#include "chartmodel.h"

#include "reportcatalogue.h"
#include "reportexport.h"
#include "resultset.h"
#include "resultsetmodel.h"

#include <QHash>
#include <QMap>
#include <algorithm>

namespace {

bool IsNumberKind(ColumnKind kind) {
    return kind == ColumnKind::Integer || kind == ColumnKind::Float;
}

/// The first column's cell as the grid shows it; NULL gives empty text.
QString LabelAt(const ResultSet& view, qsizetype row, const QLocale& locale) {
    if (view.isNull(row, 0))
        return QString();
    const QVariant value = view.value(row, 0);
    switch (value.metaType().id()) {
    case QMetaType::Double:
        return FormatFloat00(value.toDouble(), locale);
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    default:
        return value.toString();
    }
}

/// A number cell's value; NULL, and any value that is not a number, count 0.
double ValueAt(const ResultSet& view, qsizetype row, int column) {
    const QVariant value = view.value(row, column);
    const int type = value.metaType().id();
    return type == QMetaType::Double || type == QMetaType::LongLong ? value.toDouble() : 0.0;
}

/// The rows as (label, value) with the values of equal labels added up, in first-seen order.
QList<ChartPoint> PointsByLabel(const ResultSet& view, int valueColumn, const QLocale& locale) {
    QList<ChartPoint> points;
    QHash<QString, qsizetype> seen;
    for (qsizetype row = 0; row < view.rowCount(); ++row) {
        const QString label = LabelAt(view, row, locale);
        const double value = ValueAt(view, row, valueColumn);
        const auto it = seen.constFind(label);
        if (it != seen.constEnd()) {
            points[*it].value += value;
        } else {
            seen.insert(label, points.size());
            points.append({label, value, QDate()});
        }
    }
    return points;
}

/// Every point a date of the given kind, or nothing.
std::optional<QMap<QDate, double>> TimeSeries(const QList<ChartPoint>& points,
                                              std::optional<QDate> (*dateOf)(const QString&)) {
    QMap<QDate, double> byDate;
    for (const ChartPoint& point : points) {
        const std::optional<QDate> date = dateOf(point.label);
        if (!date)
            return std::nullopt;
        byDate.insert(*date, point.value);
    }
    return byDate;
}

/// Every day or month from the first to the last, those without a row at 0.
QList<ChartPoint> FillGaps(const QMap<QDate, double>& byDate, bool months) {
    QList<ChartPoint> points;
    if (byDate.isEmpty())
        return points;
    const QDate last = byDate.lastKey();
    for (QDate date = byDate.firstKey(); date <= last;
         date = months ? date.addMonths(1) : date.addDays(1)) {
        const QString label = months ? ReportDateText(date).left(7) : ReportDateText(date);
        points.append({label, byDate.value(date, 0.0), date});
    }
    return points;
}

/// The largest values first (equal values keep their row order), the rest summed into one
/// point "N others" at the end.
QList<ChartPoint> Ranking(QList<ChartPoint> points) {
    std::stable_sort(points.begin(), points.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return a.value > b.value; });
    if (points.size() <= kRankingBars)
        return points;
    double rest = 0;
    for (qsizetype i = kRankingBars; i < points.size(); ++i)
        rest += points[i].value;
    const qsizetype others = points.size() - kRankingBars;
    points.resize(kRankingBars);
    points.append(
        {others == 1 ? QStringLiteral("1 other") : QStringLiteral("%1 others").arg(others), rest,
         QDate()});
    return points;
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
    if (view.columnCount() == 0 || view.rowCount() == 0)
        return QString::fromUtf16(kReportTableEmptyText);
    if (ChartValueColumn(view) < 0)
        return QString::fromUtf16(kChartNoNumberColumnText);
    return QString();
}

std::optional<QDate> ChartDay(const QString& label) {
    if (label.size() != 10)
        return std::nullopt;
    const QDate date = QDate::fromString(label, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid() || ReportDateText(date) != label)
        return std::nullopt;
    return date;
}

std::optional<QDate> ChartMonth(const QString& label) {
    if (label.size() != 7)
        return std::nullopt;
    return ChartDay(label + QStringLiteral("-01"));
}

ChartData BuildChartData(const ResultSet& view, const QString& title, const QLocale& locale) {
    ChartData chart;
    const int valueColumn = ChartValueColumn(view);
    chart.title = title;
    chart.labelTitle = view.column(0).name;
    chart.valueTitle = view.column(valueColumn).name;
    chart.wholeValues = view.column(valueColumn).kind == ColumnKind::Integer;

    const QList<ChartPoint> points = PointsByLabel(view, valueColumn, locale);
    auto series = TimeSeries(points, ChartDay);
    if (!series) {
        series = TimeSeries(points, ChartMonth);
        chart.months = series.has_value();
    }
    if (series) {
        chart.points = FillGaps(*series, chart.months);
        chart.shape =
            chart.points.size() > kMaxTimeBars ? ChartShape::TimeLine : ChartShape::TimeBars;
    } else {
        chart.points = Ranking(points);
        chart.shape = ChartShape::RankingBars;
    }
    return chart;
}

QString ChartTitle(const QString& statement, int index, const std::optional<QDate>& start,
                   const std::optional<QDate>& end) {
    if (!statement.isEmpty() && statement == ComposeReportSQL(index, start, end))
        return ReportCaptions().at(index);
    return QString::fromUtf16(kChartSqlQueryTitle);
}
