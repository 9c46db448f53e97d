#include "reportcatalogue.h"

#include <iterator>

namespace {
struct ReportEntry {
    const char16_t* caption;
    const char16_t* head; ///< empty: the statement is empty
    bool takesDateFilter;
    const char16_t* tail;
};

// The heads end without a blank, the tails start with one, no statement ends with ";".
// Letter case of the aliases ("as" in the two counting statements) is as the operator has
// always seen it in the text box.
constexpr ReportEntry kCatalogue[] = {
    {u"Clear", u"", false, u""},
    {u"Fees by Player",
     u"SELECT Player, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS Fees FROM Master "
     u"INNER JOIN Detail USING (TNumber)",
     true, u" GROUP BY Player"},
    {u"Fees by Player & TName",
     u"SELECT Player, TName, SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber)", true,
     u" GROUP BY Player, TName"},
    {u"Fees by TName",
     u"SELECT TName, COUNT(DISTINCT Player) as Players, SUM(Fees) AS Fees FROM Master INNER "
     u"JOIN Detail USING (TNumber)",
     true, u" GROUP BY TName"},
    {u"Fees by TName & Player",
     u"SELECT TName, Player, SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber)", true,
     u" GROUP BY TName, Player"},
    {u"Total Fees", u"SELECT SUM(Fees) AS Fees FROM Master INNER JOIN Detail USING (TNumber)", true,
     u""},
    {u"Master only", u"SELECT * FROM Master", true, u""},
    {u"Detail only", u"SELECT * FROM Detail ORDER BY TNumber, Player", false, u""},
    {u"Master/Detail join", u"SELECT * FROM Master INNER JOIN Detail USING (TNumber)", true, u""},
    // Entries over time come last, so that the numbers above stay what scripts call them by.
    {u"Fees by Date",
     u"SELECT Date, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS Fees FROM Master INNER "
     u"JOIN Detail USING (TNumber)",
     true, u" GROUP BY Date"},
    {u"Fees by Month",
     u"SELECT substr(Date, 1, 7) AS Month, COUNT(DISTINCT TNumber) as Tournaments, SUM(Fees) AS "
     u"Fees FROM Master INNER JOIN Detail USING (TNumber)",
     true, u" GROUP BY Month"},
};
constexpr int kEntryCount = int(std::size(kCatalogue));

/// The WHERE clause of the date range; empty when neither date is given. The same start and
/// end date give an equality test, anything else the inclusive range form.
QString DateFilter(const QString& start, const QString& end) {
    if (start.isEmpty() && end.isEmpty())
        return QString();
    if (start == end)
        return QStringLiteral(" WHERE Date = '") + start + QLatin1Char('\'');
    QString condition;
    if (!start.isEmpty())
        condition = QStringLiteral("(Date >= '") + start + QStringLiteral("')");
    if (!end.isEmpty()) {
        if (condition.isEmpty())
            condition = QStringLiteral("(Date <= '") + end + QStringLiteral("')");
        else
            condition += QStringLiteral(" AND (Date <= '") + end + QStringLiteral("')");
    }
    return QStringLiteral(" WHERE ") + condition;
}
} // namespace

const QStringList& ReportCaptions() {
    static const QStringList captions = [] {
        QStringList list;
        for (const ReportEntry& entry : kCatalogue)
            list << QString::fromUtf16(entry.caption);
        return list;
    }();
    return captions;
}

int FindReport(const QString& captionOrIndex) {
    bool isNumber = false;
    const int index = captionOrIndex.trimmed().toInt(&isNumber);
    if (isNumber)
        return index >= 0 && index < kEntryCount ? index : -1;
    const QString caption = captionOrIndex.trimmed();
    for (int i = 0; i < kEntryCount; ++i) {
        if (caption.compare(ReportCaptions().at(i), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString ReportDateText(const QDate& date) {
    // Built from the numbers so that neither the locale nor the calendar can change the form.
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString ComposeReportSQL(int index, const std::optional<QDate>& start,
                         const std::optional<QDate>& end) {
    if (index < 0 || index >= kEntryCount)
        return QString();
    const ReportEntry& entry = kCatalogue[index];
    QString sql = QString::fromUtf16(entry.head);
    if (sql.isEmpty())
        return sql;
    if (entry.takesDateFilter)
        sql += DateFilter(start ? ReportDateText(*start) : QString(),
                          end ? ReportDateText(*end) : QString());
    return sql + QString::fromUtf16(entry.tail);
}

bool IsComposedReport(const QString& statement, int index, const std::optional<QDate>& start,
                      const std::optional<QDate>& end) {
    return !statement.isEmpty() && index >= 0 && index < ReportCaptions().size() &&
           statement == ComposeReportSQL(index, start, end);
}
