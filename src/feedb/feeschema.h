#pragma once

#include <QString>

class FeeDatabase;

/// What keeps the open fee database from being written as the import and "Empty" write it: a
/// table Master or Detail that is missing, or a table this program owns (those two, and the
/// record of imported files when it exists) that lacks a column it uses ("no table Detail",
/// "table Master has no column RebuyFee", "file is not a database"). Names compare ignoring
/// letter case, as SQLite compares them; further columns do no harm. Empty text when every
/// table is as it should be. A database that another program holds locked raises "The fee
/// database "PATH" is busy: another program is writing to it".
QString FeeSchemaFault(FeeDatabase& db);

/// Raises "Cannot use the fee database "PATH": " + the fault, when there is one. The connection
/// stays open, so the fee views and the operator's own SQL can still look into the file.
void RequireFeeSchema(FeeDatabase& db);

/// OpenOrCreateFeeDatabase, then RequireFeeSchema: the start of a command that writes the file.
void OpenFeeDatabaseForImport(FeeDatabase& db, const QString& path);

/// The start of a command that only reads the file: OpenReadOnly, then RequireFeeSchema. A file
/// that is not there is never created: "No fee database at PATH yet: import results first".
void OpenFeeDatabaseForReport(FeeDatabase& db, const QString& path);
