#pragma once

#include "busy.h"

#include <QString>

#include "feedatabase.h"

class ResultSet;

/// What a report run did with the statement text.
struct ReportRunResult {
    /// True when the statement gave result columns and the view now holds its rows.
    bool opened = false;
    /// Rows inserted, changed or deleted by a statement without result columns.
    qint64 changedRows = 0;
};

/// The status line while a report statement runs.
inline constexpr auto kPerformingQueryText = u"Performing query ...";

/// Prepares the whole text as one report statement. Raises the engine's error, or an error for a
/// text with no statement or with more than one (nothing is run).
Statement PrepareReportStatement(FeeDatabase& db, const QString& sql);
/// Carries out a prepared statement without result columns; the rows it changed.
ReportRunResult CarryOutStatement(FeeDatabase& db, Statement& stmt);

/// Runs the whole text as one report statement into view, which is closed first. A statement with
/// result columns opens the view on every row of its result. A statement without result columns
/// (a change to the tables, a schema change) is carried out and the view stays closed; the
/// caller tells the operator with ReportRunMessage. A text with no statement, or with more than
/// one, runs nothing and raises an error; a statement the engine rejects raises the engine's
/// text. The view stays closed on every failure.
ReportRunResult RunReportStatement(FeeDatabase& db, const QString& sql, ResultSet& view);

/// RunReportStatement with the progress text written first and the wait cursor shown while the
/// statement runs (restored on every path). On failure the status line keeps the progress text.
ReportRunResult RunReport(FeeDatabase& db, const QString& sql, ResultSet& view,
                          const StatusLine& status);

/// What the operator is told after a run that carried out a statement without result columns.
QString ReportRunMessage(const ReportRunResult& result);

/// The status line of an open report view: "Report record " i " of " n (0 and 0 without rows).
QString ReportStatusText(const ResultSet& view);
