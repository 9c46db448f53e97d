#include "reportstream.h"

#include "resultset.h"

#include <sqlite3.h>

namespace {
constexpr qsizetype kPieceBytes = 256 * 1024;

/// One cell handed to a writer (CsvWriter or a ReportSink) in the form the same value held in a
/// view would take; null writes a NULL, which the CSV writer spells by the column's kind.
template <class Out, class Null>
void PutCell(Out& out, sqlite3_value* value, ColumnKind columnKind, Null null) {
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) {
        null();
        return;
    }
    switch (CellKindFor(columnKind, type, value)) {
    case ColumnKind::Integer:
        out.integer(sqlite3_value_int64(value));
        return;
    case ColumnKind::Float:
        out.real(sqlite3_value_double(value));
        return;
    case ColumnKind::Text: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        out.text(QByteArrayView(text, sqlite3_value_bytes(value)));
        return;
    }
    case ColumnKind::Blob: {
        const auto* blob = static_cast<const char*>(sqlite3_value_blob(value));
        out.blob(QByteArrayView(blob, sqlite3_value_bytes(value)));
        return;
    }
    }
}

/// One cell, as AppendCsvRow writes the same value held in a view.
void AppendCell(CsvWriter& writer, sqlite3_value* value, ColumnKind columnKind) {
    PutCell(writer, value, columnKind, [&] { writer.null(columnKind); });
}

/// One cell, as WriteViewRows hands over the same value held in a view.
void SinkCell(ReportSink& sink, sqlite3_value* value, ColumnKind columnKind) {
    PutCell(sink, value, columnKind, [&] { sink.null(); });
}

/// Runs a report statement and hands its result columns to start, then each row's statement to
/// row. A statement without result columns is carried out instead.
template <class Start, class Row>
ReportRunResult StreamRows(FeeDatabase& db, const QString& sql, Start start, Row row) {
    Statement stmt = PrepareReportStatement(db, sql);
    sqlite3_stmt* raw = stmt.get();
    if (sqlite3_column_count(raw) == 0)
        return CarryOutStatement(db, stmt);

    bool more = db.Step(stmt);
    const QList<ResultColumn> columns = ResultColumnsOf(raw, more);
    start(columns);
    for (; more; more = db.Step(stmt))
        row(raw, columns);
    ReportRunResult result;
    result.opened = true;
    return result;
}
} // namespace

ReportRunResult StreamReport(FeeDatabase& db, const QString& sql, ReportSink& sink) {
    const ReportRunResult result = StreamRows(
        db, sql, [&](const QList<ResultColumn>& columns) { sink.start(columns); },
        [&](sqlite3_stmt* raw, const QList<ResultColumn>& columns) {
            for (int c = 0; c < columns.size(); ++c)
                SinkCell(sink, sqlite3_column_value(raw, c), columns[c].kind);
            sink.endRow();
        });
    if (result.opened)
        sink.finish();
    return result;
}

ReportRunResult StreamReportCsv(FeeDatabase& db, const QString& sql, const QLocale& locale,
                                CsvEncoding encoding, const CsvOutput& output, char delimiter,
                                qsizetype* lost) {
    CsvWriter writer(locale, encoding, delimiter);
    QByteArray& bytes = writer.bytes();
    const ReportRunResult result = StreamRows(
        db, sql,
        [&](const QList<ResultColumn>& columns) {
            QStringList names;
            for (const ResultColumn& column : columns)
                names << column.name;
            writer.startFile();
            writer.header(names);
            bytes.reserve(kPieceBytes + 64 * 1024);
        },
        // Read through sqlite3_column_value, as the view reads, so the values are the same.
        [&](sqlite3_stmt* raw, const QList<ResultColumn>& columns) {
            for (int c = 0; c < columns.size(); ++c) {
                if (c > 0)
                    writer.comma();
                AppendCell(writer, sqlite3_column_value(raw, c), columns[c].kind);
            }
            writer.endLine();
            if (bytes.size() >= kPieceBytes) {
                output(bytes);
                bytes.resize(0);
            }
        });
    if (!result.opened)
        return result;
    if (!bytes.isEmpty())
        output(bytes);
    if (lost)
        *lost += writer.lostCharacters();
    return result;
}
