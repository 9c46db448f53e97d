#pragma once

#include <QString>

class FeeDatabase;

/// Creates the fee database at path with a few tournaments whose values exercise the export:
/// quotes, commas and a line break in names, non-ASCII names, NULLs in every kind of column,
/// fees that sum to 12.5 and one of 0.00005, plus a table of number forms.
void CreateReportFixture(FeeDatabase& db, const QString& path);

/// The statement the "Fees by Player" entry composes without dates.
QString FeesByPlayerSql();
