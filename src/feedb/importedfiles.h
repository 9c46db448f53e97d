#pragma once

#include "feedatabase.h"

#include <QDateTime>
#include <QHash>
#include <QString>

/// The record of imported files: table ImportedFiles beside the fee tables, one row per results
/// file that an import run read, written in the run's transaction. Source is a local folder's
/// canonical path or "host:port/path" for the poker server; Name the file name or the remote
/// item text. The fee tables never change shape for it, so older programs ignore the table.
inline constexpr auto kCreateImportedFilesSql =
    u"CREATE TABLE IF NOT EXISTS ImportedFiles(Source TEXT, Name TEXT, Size INTEGER, Modified "
    u"TEXT, Tournaments INTEGER, Imported TEXT, PRIMARY KEY (Source, Name))";

/// What a local file looked like when it was read: size and modification time. Two stamps that
/// differ mean the file changed.
struct FileStamp {
    qint64 size = -1; ///< -1: no such file
    QString modified; ///< ISO 8601 in UTC with milliseconds; empty for no file (and remote items)

    bool exists() const { return size >= 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

/// The stamp of the file at path now (links followed).
FileStamp StampOf(const QString& path);

/// One row of the record.
struct ImportedFile {
    FileStamp stamp;     ///< size -1 (stored as NULL) and empty Modified for remote items
    int tournaments = 0; ///< what the run wrote of the file
    QDateTime imported;  ///< UTC
};

/// Where a local file is recorded: the canonical path of its folder, and its name.
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
/// Creates the record's table when the database lacks it (CREATE TABLE IF NOT EXISTS).
void CreateImportedFiles(FeeDatabase& db);

/// The rows of one source by name; none when the table does not exist yet (nothing is created).
QHash<QString, ImportedFile> ReadImportedFiles(FeeDatabase& db, const QString& source);
/// The same for the named files of a source at least: a few are looked up one by one, so a
/// folder of many thousand recorded files is not read whole for them.
QHash<QString, ImportedFile> ReadImportedFiles(FeeDatabase& db, const QString& source,
                                               const QStringList& names);

/// Deletes every row of the record (creating the table first when it is missing).
void ClearImportedFiles(FeeDatabase& db);

/// Writes rows of the record with one prepared REPLACE statement, inside the caller's
/// transaction. The table must exist (CreateImportedFiles).
class ImportedFilesWriter {
public:
    explicit ImportedFilesWriter(FeeDatabase& db);
    void record(const QString& source, const QString& name, const ImportedFile& file);

private:
    FeeDatabase& m_db;
    Statement m_replace;
};

/// "Imported YYYY-MM-DD HH:MM, N tournaments", the time in local time.
QString ImportedToolTip(const ImportedFile& file);
