#pragma once

#include "busywait.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class FeeDatabase;

/// How long a copy waits for a lock that another connection holds, unless its caller says.
inline const LockWait kCopyWait{std::chrono::seconds(10), {}};

/// How many backups made beside the database are kept; the oldest go first.
inline constexpr int kBackupsKept = 5;

/// Copies the open database into the file dest with SQLite's online backup: one consistent
/// snapshot, also while other connections write. It copies a thousand pages at a time and lets
/// writers in between (a write makes it start again; after a few new starts it copies the rest
/// at once, and writers wait for it); a lock held by another connection is waited for as wait
/// says (at least a statement's 80 ms). The copy is written beside dest under a temporary name
/// ("DEST.XXXXXX.part") and renamed over dest, so dest is either the old file or the whole
/// copy; part files of dest and of the database's backups left by a killed program go first.
/// Raises "Cannot make the backup copy "DEST": REASON".
void CopyDatabaseTo(FeeDatabase& db, const QString& dest, const LockWait& wait = kCopyWait);

/// Removes the part files that a killed backup or restore left beside the database file dbPath:
/// those of its backups and of a restore, never any other file.
void RemoveStalePartsBeside(const QString& dbPath);

/// The name of the backup of the database file dbPath made at the moment at, beside it:
/// "ZVFee2.db3" gives "ZVFee2-YYYYMMDD-HHMMSS.db3.bak".
QString BackupPathFor(const QString& dbPath, const QDateTime& at);

/// The backups beside the database file dbPath, oldest first (their names sort by moment).
QStringList BackupsBeside(const QString& dbPath);

/// Copies the open database beside its file under BackupPathFor(at); a name already taken moves
/// on by a second, so an older backup is never overwritten. Returns the path of the copy.
QString BackUpBeside(FeeDatabase& db, const QDateTime& at = QDateTime::currentDateTime(),
                     const LockWait& wait = kCopyWait);

/// Removes the oldest backups beside dbPath until keep remain.
void PruneBackups(const QString& dbPath, int keep = kBackupsKept);

/// Raises "Not a fee database "PATH": REASON" unless the file at path is an SQLite database
/// that passes its quick check and holds the fee tables.
void RequireFeeDatabaseFile(const QString& path);

/// Puts the backup file back as the database at dbPath: checks that it is a fee database,
/// keeps the current file as one more backup beside it (when there is one), then copies the
/// backup in with one write transaction, so the database is either the old or the restored one,
/// also for the other programs that use it. The database keeps its own page size and journal
/// mode, whatever the backup's. Returns the path of the kept backup (empty when there was no
/// database).
QString RestoreDatabase(const QString& backupPath, const QString& dbPath,
                        const QDateTime& at = QDateTime::currentDateTime(),
                        const LockWait& wait = kCopyWait);
