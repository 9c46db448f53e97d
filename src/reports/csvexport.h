#pragma once

#include "csvwriter.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

class ResultSet;

/// Doubles every double-quote character; the caller adds the enclosing quotes.
QString EscapeCSVQuotes(const QString& text);

/// The column names of an open view, in column order.
QStringList CsvColumnNames(const ResultSet& view);

/// The whole export file of an open view: the header line, then one line per row in row order,
/// every line ending in CR LF, in the encoding given (CsvWriter: text cells quoted, "" for a
/// NULL text, formulas guarded; numbers bare in the general form with at most 15 significant
/// digits and the locale's decimal separator; NULL numbers empty; binary values as hex digits).
/// Each cell is written in the form of its value (ResultSet::cellKind), so a text in a number
/// column stays a quoted text. The view's current row is not moved. The characters written as
/// "?" because Windows-1252 lacks them are added to *lost when given.
QByteArray BuildCsvFile(const ResultSet& view, const QLocale& locale,
                        CsvEncoding encoding = CsvEncoding::Windows1252, qsizetype* lost = nullptr);

/// Creates or replaces the file with the bytes in one piece (ExportFile). Raises "Cannot create
/// file "<full path>". <reason>".
void WriteCsvFile(const QString& path, const QByteArray& bytes);
