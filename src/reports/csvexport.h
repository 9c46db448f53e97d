#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

class ResultSet;

/// Doubles every double-quote character; the caller adds the enclosing quotes.
QString EscapeCSVQuotes(const QString& text);

/// The header line (every column name quoted) without its line end.
QString CsvHeaderLine(const ResultSet& view);

/// The whole export file of an open view: the header line, then one line per row in row order,
/// every line ending in CR LF, in Windows-1252. Text cells are always quoted ("" for NULL);
/// numbers are written bare in the general form with at most 15 significant digits and the
/// locale's decimal separator ("12.5", "5E-5"), quoted only when that separator is a comma; NULL
/// numbers give an empty cell; binary values their bytes as hex digits. The view's current row
/// is not moved.
QByteArray BuildCsvFile(const ResultSet& view, const QLocale& locale);

/// Creates or replaces the file with the bytes in one piece. The old content stays as it was
/// unless the new one was written whole. Raises "Cannot create file "<full path>". <reason>".
void WriteCsvFile(const QString& path, const QByteArray& bytes);
