#pragma once

#include "csvwriter.h"
#include "reportrun.h"
#include "reportsink.h"

#include <QByteArrayView>
#include <QLocale>
#include <functional>

/// Where the bytes of a streamed report go, piece by piece.
using CsvOutput = ReportOutput;

/// Runs the whole text as one report statement, as RunReportStatement does, and writes its rows
/// as an export file straight from the statement: the header once the first step has given the
/// column kinds, then each row as it is stepped, handed to output in pieces of about 256 KiB.
/// The bytes are those BuildCsvFile gives for a view opened on the same statement, but no row is
/// held. The cells are parted by delimiter. The characters written as "?" because Windows-1252
/// lacks them are added to *lost when given. A statement without result columns is carried out
/// and output is never called. Raises what RunReportStatement raises; a statement that fails
/// after its first rows leaves the pieces already handed over.
ReportRunResult StreamReportCsv(FeeDatabase& db, const QString& sql, const QLocale& locale,
                                CsvEncoding encoding, const CsvOutput& output, char delimiter = ',',
                                qsizetype* lost = nullptr);

/// Runs the statement as StreamReportCsv does and hands its columns and rows to sink as they are
/// stepped, in the form WriteViewRows gives for a view opened on the same statement; finishes
/// the sink after the last row. A statement without result columns is carried out and the sink
/// is never started.
ReportRunResult StreamReport(FeeDatabase& db, const QString& sql, ReportSink& sink);
