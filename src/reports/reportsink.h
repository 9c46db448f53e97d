#pragma once

#include "resultset.h"

#include <QByteArrayView>
#include <QList>
#include <functional>

/// Where the bytes of a written report go, piece by piece.
using ReportOutput = std::function<void(QByteArrayView bytes)>;

/// The report formats a file can be written in.
enum class ReportFormat { Csv, Tsv, Json, Xlsx, Html, Pdf };

/// Takes the cells of a report, row by row and cell by cell in column order, and writes them in
/// its format. Each cell arrives in the form of its value (ResultSet::cellKind); a writer keeps
/// count of the column itself.
class ReportSink {
public:
    virtual ~ReportSink() = default;

    /// The columns, once, before any row.
    virtual void start(const QList<ResultColumn>& columns) = 0;
    virtual void null() = 0;
    virtual void integer(qint64 value) = 0;
    virtual void real(double value) = 0;
    /// A text in UTF-8, the database's own encoding (possibly malformed).
    virtual void text(QByteArrayView utf8) = 0;
    virtual void blob(QByteArrayView bytes) = 0;
    virtual void endRow() = 0;
    /// After the last row: hands over what is still held.
    virtual void finish() = 0;
};

/// Hands every row of the view to sink, then finishes it. The view's current row is not moved.
void WriteViewRows(const ResultSet& view, ReportSink& sink);

/// A binary value as upper-case hex digits, as every format writes it.
void AppendHex(QByteArray& out, QByteArrayView bytes);

/// Appends the shortest text that reads back as exactly value ("0.1", "1e+300", "-0"), with the
/// decimal point "."; an integral value keeps a ".0" when withPoint is set. The infinities are
/// "1e999" and "-1e999"; NaN is "null".
void AppendExactReal(QByteArray& out, double value, bool withPoint);
