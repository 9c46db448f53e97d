#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

/// What a published report says about itself besides its rows: the web page and the PDF pages
/// show the same.
struct ReportPageInfo {
    QString title; ///< the report's caption, "Report" for free SQL, or the operator's own
    QDate start;   ///< the date range, when one is set (null for none)
    QDate end;
    QDateTime made;      ///< when the page was made, local time
    QLocale locale;      ///< numbers and dates as the grid shows them
    QByteArray chartSvg; ///< the chart drawn above the rows, as an SVG document; empty for none
};

/// The title of a report without a caption of its own (free SQL).
inline constexpr auto kFreeSqlReportTitle = u"Report";

/// "From 2024-01-01 to 2024-12-31", "From 2024-01-01", "Until 2024-12-31"; empty without a range.
QString ReportRangeText(const ReportPageInfo& info);
/// "1 row", "12,345 rows" in the locale.
QString ReportRowsText(qint64 rows, const QLocale& locale);
/// "Made 2026-12-10 14:05".
QString ReportMadeText(const ReportPageInfo& info);

/// What the pages say of the report the window shows: its caption and date range when the
/// statement is the one the report list composes for these dates, "Report" and no range for free
/// SQL (a composed statement that was edited is free SQL). Made now, in the locale.
ReportPageInfo ShownReportPageInfo(const QString& statement, int index,
                                   const std::optional<QDate>& start,
                                   const std::optional<QDate>& end, const QLocale& locale);
