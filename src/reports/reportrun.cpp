#include "reportrun.h"

#include "error.h"
#include "feedatabase.h"
#include "feeviews.h"
#include "resultset.h"

#include <sqlite3.h>

/// Prepares the first statement of the text and checks that nothing but blanks and comments
/// follows it.
Statement PrepareReportStatement(FeeDatabase& db, const QString& sql) {
    db.requireOpen();
    const auto* text = reinterpret_cast<const char16_t*>(sql.utf16());
    const auto bytes = int(sql.size() * sizeof(char16_t));
    const void* tail = nullptr;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare16_v2(db.handle(), text, bytes, &raw, &tail) != SQLITE_OK) {
        sqlite3_finalize(raw);
        db.raiseLastError();
    }
    Statement first(raw);
    if (!first)
        throw ZvError(QStringLiteral("The SQL text holds no statement"));
    db.requireAllowed(first);

    // Whatever follows must prepare to nothing. A rest that fails to prepare (it may name a
    // table the first statement would create) is a further statement as well.
    const auto rest = static_cast<const char16_t*>(tail);
    const auto restBytes = int((text + sql.size() - rest) * sizeof(char16_t));
    sqlite3_stmt* next = nullptr;
    const int rc = sqlite3_prepare16_v2(db.handle(), rest, restBytes, &next, nullptr);
    const bool more = rc != SQLITE_OK || next != nullptr;
    sqlite3_finalize(next);
    if (more) {
        throw ZvError(QStringLiteral(
            "The SQL text holds more than one statement; nothing was run. Run one statement at "
            "a time"));
    }
    return first;
}

ReportRunResult CarryOutStatement(FeeDatabase& db, Statement& stmt) {
    ReportRunResult result;
    const int before = sqlite3_total_changes(db.handle());
    while (db.Step(stmt)) {
    }
    result.changedRows = sqlite3_total_changes(db.handle()) - before;
    return result;
}

ReportRunResult RunReportStatement(FeeDatabase& db, const QString& sql, ResultSet& view) {
    view.close();
    ReportRunResult result;
    {
        Statement stmt = PrepareReportStatement(db, sql);
        if (sqlite3_column_count(stmt.get()) == 0)
            return CarryOutStatement(db, stmt);
    }
    try {
        view.open(db, sql);
    } catch (...) {
        view.close();
        throw;
    }
    result.opened = true;
    return result;
}

ReportRunResult RunReport(FeeDatabase& db, const QString& sql, ResultSet& view,
                          const StatusLine& status) {
    if (status)
        status(QString::fromUtf16(kPerformingQueryText));
    ReportRunResult result;
    {
        BusyCursor busy;
        result = RunReportStatement(db, sql, view);
    }
    // A carried-out statement leaves the view closed, and a closed view has no status text.
    if (!result.opened && status)
        status(QString());
    return result;
}

QString ReportRunMessage(const ReportRunResult& result) {
    return QStringLiteral("The statement was carried out. It gives no result columns, so there "
                          "is no report to show. Rows changed: %1")
        .arg(result.changedRows);
}

QString ReportStatusText(const ResultSet& view) {
    return RecordStatusText(QStringLiteral("Report"), view);
}
