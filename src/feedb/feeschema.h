#pragma once

#include <QString>

class FeeDatabase;

/// What keeps the open fee database from being written as the import and "Empty" write it: a
/// table Master or Detail that is missing, or that lacks a column of its CREATE statement
/// ("no table Detail", "table Master has no column RebuyFee", "file is not a database").
/// Names compare ignoring letter case, as SQLite compares them; further columns do no harm.
/// Empty text when both tables are as they should be.
QString FeeSchemaFault(FeeDatabase& db);

/// Raises "Cannot use the fee database "PATH": " + the fault, when there is one. The connection
/// stays open, so the fee views and the operator's own SQL can still look into the file.
void RequireFeeSchema(FeeDatabase& db);

/// OpenOrCreateFeeDatabase, then RequireFeeSchema: the start of a command that writes the file.
void OpenFeeDatabaseForImport(FeeDatabase& db, const QString& path);
