#pragma once

#include <QJsonObject>
#include <QString>

class FeeDatabase;

/// Creates the fee database at path with a few tournaments whose values exercise the export:
/// quotes, commas and a line break in names, non-ASCII names, NULLs in every kind of column,
/// fees that sum to 12.5 and one of 0.00005, plus a table of number forms and a table Odd of
/// values that do not fit their column's kind and of texts that start like formulas.
void CreateReportFixture(FeeDatabase& db, const QString& path);

/// The statement the "Fees by Player" entry composes without dates.
QString FeesByPlayerSql();

/// The table Odd with its values as they are, and an expression column whose first row makes it
/// an integer column while later rows hold a text and fractions.
QString OwnFormValuesSql();

/// Texts of table Odd that start like formulas, under column names that do so too.
QString FormulaTextsSql();

/// The Python that reads report files back (Debian's, which has openpyxl); empty when none.
QString ReportReaderPython();

/// How a text on a PDF page reads back: runs of white space as one space, and without the
/// characters outside the basic plane (emoji), which Qt's PDF writer draws but maps to no text.
QString AsReadOffPage(const QString& text);

/// The file as the reference reader of kind (tests/data/readreport.py: json, tsv, csv-utf8,
/// csv-1252, xlsx, lo-csv, html, pdf-text) gives it back: {"rows": [[cell, ...], ...], ...};
/// empty when it cannot read the file as that kind.
QJsonObject ReadReportBack(const QString& kind, const QString& path);
