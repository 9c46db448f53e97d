#include "reportpage.h"

#include "reportcatalogue.h"

QString ReportRangeText(const ReportPageInfo& info) {
    const QString start = info.start.toString(Qt::ISODate);
    const QString end = info.end.toString(Qt::ISODate);
    if (info.start.isValid() && info.end.isValid())
        return QStringLiteral("From %1 to %2").arg(start, end);
    if (info.start.isValid())
        return QStringLiteral("From %1").arg(start);
    if (info.end.isValid())
        return QStringLiteral("Until %1").arg(end);
    return QString();
}

QString ReportRowsText(qint64 rows, const QLocale& locale) {
    return rows == 1 ? QStringLiteral("1 row")
                     : QStringLiteral("%1 rows").arg(locale.toString(rows));
}

QString ReportMadeText(const ReportPageInfo& info) {
    return QStringLiteral("Made %1").arg(info.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

ReportPageInfo ShownReportPageInfo(const QString& statement, int index,
                                   const std::optional<QDate>& start,
                                   const std::optional<QDate>& end, const QLocale& locale) {
    ReportPageInfo info;
    info.title = QString::fromUtf16(kFreeSqlReportTitle);
    if (IsComposedReport(statement, index, start, end)) {
        info.title = ReportCaptions().at(index);
        // Only the dates the statement uses ("Detail only" uses none).
        if (statement != ComposeReportSQL(index, std::nullopt, end))
            info.start = start.value_or(QDate());
        if (statement != ComposeReportSQL(index, start, std::nullopt))
            info.end = end.value_or(QDate());
    }
    info.made = QDateTime::currentDateTime();
    info.locale = locale;
    return info;
}
