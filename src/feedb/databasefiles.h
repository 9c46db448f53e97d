#pragma once

#include <QString>

/// Whether a file written at target would land on the database file at databasePath or on one of
/// the files SQLite keeps beside it (PATH-journal, PATH-wal, PATH-shm). Files that exist compare
/// by device and inode, so a hard link or a symbolic link to them counts; a name that does not
/// exist yet counts when its path, symbolic links followed, resolves to one of those names.
bool IsDatabaseFile(const QString& target, const QString& databasePath);

/// Notes a database file that a connection of this process has open, until ForgetOpenDatabase.
void NoteOpenDatabase(const QString& databasePath);
void ForgetOpenDatabase(const QString& databasePath);

/// The check every road that writes an output file (a report, a chart image) makes before it
/// writes: raises "Cannot write "PATH": it is the fee database." when target is a file of a
/// database open in this process (IsDatabaseFile). PATH is the target as an absolute path.
void RefuseOutputOntoDatabase(const QString& target);
