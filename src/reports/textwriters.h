#pragma once

#include "reportsink.h"

#include <QByteArray>
#include <QStringList>

/// A writer of a text format: builds its bytes in a buffer and hands them to output in pieces of
/// about 256 KiB, so that no report is held whole.
class TextReportWriter : public ReportSink {
public:
    explicit TextReportWriter(ReportOutput output);
    void finish() override;

protected:
    /// Hands the bytes over once they fill a piece.
    void rowDone();

    QByteArray m_out;

private:
    ReportOutput m_output;
};

/// Tab-separated values for cut and awk: UTF-8 without a byte-order mark, a header line of the
/// column names, one line per row ending in LF, nothing quoted. A tab, CR or LF inside a value is
/// written as a space. A text, column names included, that a spreadsheet would take for a
/// formula (StartsFormula) gets a leading "'", as in a CSV. Numbers in the shortest form that reads
/// back exactly, with "."; NULL is an empty field; binary values are hex digits.
class TsvWriter : public TextReportWriter {
public:
    using TextReportWriter::TextReportWriter;
    void start(const QList<ResultColumn>& columns) override;
    void null() override;
    void integer(qint64 value) override;
    void real(double value) override;
    void text(QByteArrayView utf8) override;
    void blob(QByteArrayView bytes) override;
    void endRow() override;

private:
    void separate();
    void appendClean(QByteArrayView utf8);
    bool m_first = true;
};

/// One JSON array of objects, one object per row with the column names as keys in column order:
/// numbers as JSON numbers in full precision (a floating-point value keeps a ".0"), NULL as
/// null, texts as strings (a malformed UTF-8 sequence becomes U+FFFD), binary values as strings
/// of hex digits. One object a line.
class JsonWriter : public TextReportWriter {
public:
    using TextReportWriter::TextReportWriter;
    void start(const QList<ResultColumn>& columns) override;
    void null() override;
    void integer(qint64 value) override;
    void real(double value) override;
    void text(QByteArrayView utf8) override;
    void blob(QByteArrayView bytes) override;
    void endRow() override;
    void finish() override;

private:
    void key();
    QList<QByteArray> m_keys; ///< each quoted, with its colon and the comma before it
    int m_column = 0;
    bool m_anyRow = false;
};

/// Appends text as the contents of a JSON string (without the enclosing quotes).
void AppendJsonString(QByteArray& out, QByteArrayView utf8);
