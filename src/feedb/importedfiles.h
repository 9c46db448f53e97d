#pragma once

#include "feedatabase.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

/// The record of imported files: table ImportedFiles beside the fee tables, one row per results
/// file that an import run read, written in the run's transaction. Source is a local folder's
/// canonical path or "host:port/path" for the poker server; Name the file name or the remote
/// item text. The fee tables never change shape for it, so older programs ignore the table.
/// The columns after Imported came later: rows of older programs leave them NULL, and older
/// programs, which name their columns, still read and write the table.
inline constexpr auto kCreateImportedFilesSql =
    u"CREATE TABLE IF NOT EXISTS ImportedFiles(Source TEXT, Name TEXT, Size INTEGER, Modified "
    u"TEXT, Tournaments INTEGER, Imported TEXT, ModifiedNs INTEGER, ChangedNs INTEGER, Inode "
    u"INTEGER, Device INTEGER, PRIMARY KEY (Source, Name))";

/// The tournament numbers that each recorded file held when it was last imported: a file
/// imported again takes away those it no longer holds.
inline constexpr auto kCreateImportedTournamentsSql =
    u"CREATE TABLE IF NOT EXISTS ImportedTournaments(Source TEXT, Name TEXT, TNumber INTEGER, "
    u"PRIMARY KEY (Source, Name, TNumber))";

/// What a local file looked like when it was read. A rewrite changes the change time (ctime)
/// even when size and modification time are put back; a rename over it changes the inode.
struct FileStamp {
    qint64 size = -1; ///< -1: no such file
    QString modified; ///< ISO 8601 in UTC with milliseconds; empty for no file (and remote items)
    /// False for a row written by an older program: only size and modified are known.
    bool detailed = false;
    qint64 modifiedNs = 0; ///< since the epoch
    qint64 changedNs = 0;
    qint64 inode = 0;  ///< the bits of the unsigned number
    qint64 device = 0; ///< the same

    bool exists() const { return size >= 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

/// The stamp of the file at path now (links followed); the path as the raw bytes of the system.
FileStamp StampOf(const QByteArray& path);
FileStamp StampOf(const QString& path);

/// Whether a file stamped now is the file that was recorded: a recorded stamp of an older
/// program compares on its size and modification time alone.
bool SameFile(const FileStamp& recorded, const FileStamp& now);

/// One row of the record.
struct ImportedFile {
    FileStamp stamp;        ///< size -1 (stored as NULL) and empty Modified for remote items
    qint64 tournaments = 0; ///< what the run wrote of the file
    QDateTime imported;     ///< UTC
};

/// Where a local file is recorded: the canonical path of its folder, and its name as shown
/// (DisplayFileName: the text column holds no bytes that are not UTF-8).
struct LocalSource {
    QString source;
    QString name;
};

/// Finds where local files are recorded, resolving each folder once (a run of many files of
/// one folder asks the file system once).
class LocalSources {
public:
    LocalSource of(const QString& path);

private:
    QHash<QString, QString> m_canonical; // absolute folder path -> canonical path
};

/// True when the database has the record's table.
bool HasImportedFiles(FeeDatabase& db);
/// Creates the record's tables when the database lacks them and adds the columns that an older
/// program's table lacks.
void CreateImportedFiles(FeeDatabase& db);
/// The statements that CreateImportedFiles would run; none when the record is complete. Asked
/// outside a transaction, so that the run's first statement inside one is a write.
QStringList ImportedFilesUpgrade(FeeDatabase& db);

/// The rows of one source by name; none when the table does not exist yet (nothing is created).
QHash<QString, ImportedFile> ReadImportedFiles(FeeDatabase& db, const QString& source);
/// The same for the named files of a source at least: a few are looked up one by one, so a
/// folder of many thousand recorded files is not read whole for them.
QHash<QString, ImportedFile> ReadImportedFiles(FeeDatabase& db, const QString& source,
                                               const QStringList& names);

/// The names among those of a source whose recorded tournaments are not all in Master any more
/// (deleted since, in the free SQL for one); none when the record does not exist.
QSet<QString> NamesMissingTournaments(FeeDatabase& db, const QString& source,
                                      const QStringList& names);

/// Deletes every row of the record (creating the table first when it is missing).
void ClearImportedFiles(FeeDatabase& db);

/// Writes rows of the record with prepared statements, inside the caller's transaction. The
/// tables must exist (CreateImportedFiles).
class ImportedFilesWriter {
public:
    explicit ImportedFilesWriter(FeeDatabase& db);
    /// Replaces the row of the file and the list of tournaments it holds.
    void record(const QString& source, const QString& name, const ImportedFile& file,
                const QList<qint32>& tournaments);
    /// The tournaments the file held at its recorded import, as stored: a number written by
    /// another program may lie outside 32 bits.
    QList<qint64> tournamentsOf(const QString& source, const QString& name);
    /// Whether a recorded file other than the given one holds the tournament.
    bool heldElsewhere(const QString& source, const QString& name, qint64 tournament);

private:
    FeeDatabase& m_db;
    Statement m_replace;
    Statement m_held;
    Statement m_forget;
    Statement m_hold;
    Statement m_elsewhere;
};

/// "Imported YYYY-MM-DD HH:MM, N tournaments", the time in local time.
QString ImportedToolTip(const ImportedFile& file);
