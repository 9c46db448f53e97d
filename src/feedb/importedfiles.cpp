#include "importedfiles.h"

#include "filenames.h"
#include "filetime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

// A folder of many thousand files is stamped at every look: one stat each, and a time in UTC
// that never goes through the local time zone.
FileStamp StampOf(const QByteArray& path) {
    struct stat st = {};
    if (::stat(path.constData(), &st) != 0)
        return {};
    FileStamp stamp;
    stamp.size = qint64(st.st_size);
    stamp.detailed = true;
    stamp.modifiedNs = FileTimeNs(st.st_mtim);
    stamp.changedNs = FileTimeNs(st.st_ctim);
    // The text holds milliseconds, which reach far past the nanoseconds' years.
    qint64 ms = 0;
    if (__builtin_mul_overflow(qint64(st.st_mtim.tv_sec), qint64(1000), &ms))
        ms = stamp.modifiedNs / 1000000;
    stamp.modified =
        QDateTime::fromMSecsSinceEpoch(ms + st.st_mtim.tv_nsec / 1000000, QTimeZone::utc())
            .toString(Qt::ISODateWithMs);
    stamp.inode = qint64(st.st_ino);
    stamp.device = qint64(st.st_dev);
    return stamp;
}

FileStamp StampOf(const QString& path) {
    return StampOf(EncodeFileName(path));
}

bool SameFile(const FileStamp& recorded, const FileStamp& now) {
    if (!recorded.detailed || !now.detailed)
        return recorded.size == now.size && recorded.modified == now.modified;
    return recorded == now;
}

LocalSource LocalSources::of(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : path.left(slash + 1);
    auto found = m_canonical.constFind(folder);
    if (found == m_canonical.constEnd()) {
        const QString absolute = QFileInfo(folder.isEmpty() ? u"."_s : folder).absoluteFilePath();
        QString canonical = QFileInfo(absolute).canonicalFilePath();
        if (canonical.isEmpty()) // a folder that is gone: its path as written, cleaned
            canonical = QDir::cleanPath(absolute);
        found = m_canonical.insert(folder, canonical);
    }
    return {*found, DisplayFileName(path.mid(slash + 1))};
}

namespace {

/// The columns that rows of older programs lack, in table order.
constexpr const char16_t* kStampColumns[] = {u"ModifiedNs", u"ChangedNs", u"Inode", u"Device"};

bool HasTable(FeeDatabase& db, const QString& name) {
    Statement exists = db.Prepare16(
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    db.Bind_Str16(exists, 1, name);
    return db.Step(exists);
}

} // namespace

QStringList ImportedFilesUpgrade(FeeDatabase& db) {
    QStringList statements;
    if (!HasTable(db, u"ImportedFiles"_s)) {
        statements << QString::fromUtf16(kCreateImportedFilesSql);
    } else {
        QSet<QString> columns;
        Statement info = db.Prepare16(u"PRAGMA table_info(ImportedFiles)"_s);
        while (db.Step(info))
            columns.insert(QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1))));
        for (const char16_t* column : kStampColumns)
            if (!columns.contains(QString::fromUtf16(column)))
                statements << u"ALTER TABLE ImportedFiles ADD COLUMN %1 INTEGER"_s.arg(
                    QString::fromUtf16(column));
    }
    if (!HasTable(db, u"ImportedTournaments"_s)) {
        statements << QString::fromUtf16(kCreateImportedTournamentsSql);
        // A file imported again asks which other files hold each tournament it dropped.
        statements << u"CREATE INDEX IF NOT EXISTS ImportedTournamentsByNumber ON "
                      "ImportedTournaments(TNumber)"_s;
    }
    return statements;
}

void CreateImportedFiles(FeeDatabase& db) {
    for (const QString& statement : ImportedFilesUpgrade(db))
        db.Execute(statement);
}

bool HasImportedFiles(FeeDatabase& db) {
    Statement exists = db.Prepare16(QStringLiteral(
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'ImportedFiles'"));
    return db.Step(exists);
}

namespace {

/// Up to this many names are looked up one by one rather than with the whole source.
constexpr qsizetype kLookupLimit = 64;

constexpr auto kSelectColumns = u"SELECT Name, Size, Modified, Tournaments, Imported, "
                                u"ModifiedNs, ChangedNs, Inode, Device FROM ImportedFiles ";

/// Steps a select of kSelectColumns into files.
void ReadRows(FeeDatabase& db, Statement& select, QHash<QString, ImportedFile>& files) {
    sqlite3_stmt* s = select.get();
    const auto text = [s](int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, column)),
                                 sqlite3_column_bytes(s, column));
    };
    while (db.Step(select)) {
        ImportedFile file;
        file.stamp.size =
            sqlite3_column_type(s, 1) == SQLITE_NULL ? -1 : sqlite3_column_int64(s, 1);
        file.stamp.modified = text(2);
        file.tournaments = sqlite3_column_int64(s, 3);
        file.imported = QDateTime::fromString(text(4), Qt::ISODate).toUTC();
        file.stamp.detailed = file.stamp.size >= 0;
        for (int c = 5; c <= 8; ++c)
            file.stamp.detailed = file.stamp.detailed && sqlite3_column_type(s, c) != SQLITE_NULL;
        if (file.stamp.detailed) {
            file.stamp.modifiedNs = sqlite3_column_int64(s, 5);
            file.stamp.changedNs = sqlite3_column_int64(s, 6);
            file.stamp.inode = sqlite3_column_int64(s, 7);
            file.stamp.device = sqlite3_column_int64(s, 8);
        }
        files.insert(text(0), file);
    }
}

} // namespace

QHash<QString, ImportedFile> ReadImportedFiles(FeeDatabase& db, const QString& source) {
    QHash<QString, ImportedFile> files;
    if (!HasImportedFiles(db))
        return files;
    Statement select = db.Prepare16(QString::fromUtf16(kSelectColumns) + u"WHERE Source = ?"_s);
    db.Bind_Str16(select, 1, source);
    ReadRows(db, select, files);
    return files;
}

QHash<QString, ImportedFile> ReadImportedFiles(FeeDatabase& db, const QString& source,
                                               const QStringList& names) {
    if (names.size() > kLookupLimit)
        return ReadImportedFiles(db, source);
    QHash<QString, ImportedFile> files;
    if (names.isEmpty() || !HasImportedFiles(db))
        return files;
    Statement select =
        db.Prepare16(QString::fromUtf16(kSelectColumns) + u"WHERE Source = ? AND Name = ?"_s);
    db.Bind_Str16(select, 1, source);
    for (const QString& name : names) {
        db.Bind_Str16(select, 2, name);
        ReadRows(db, select, files);
        sqlite3_reset(select.get());
    }
    return files;
}

QSet<QString> NamesMissingTournaments(FeeDatabase& db, const QString& source,
                                      const QStringList& names) {
    QSet<QString> missing;
    if (names.isEmpty() || !HasTable(db, u"ImportedTournaments"_s))
        return missing;
    Statement select = db.Prepare16(
        u"SELECT DISTINCT Name FROM ImportedTournaments AS t WHERE Source = ? AND NOT EXISTS "
        "(SELECT 1 FROM Master AS m WHERE m.TNumber = t.TNumber)"_s);
    db.Bind_Str16(select, 1, source);
    const QSet<QString> wanted(names.begin(), names.end());
    while (db.Step(select)) {
        const QString name =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0)));
        if (wanted.contains(name))
            missing.insert(name);
    }
    return missing;
}

void ClearImportedFiles(FeeDatabase& db) {
    CreateImportedFiles(db);
    db.Execute(QStringLiteral("DELETE FROM ImportedFiles"));
    db.Execute(QStringLiteral("DELETE FROM ImportedTournaments"));
}

ImportedFilesWriter::ImportedFilesWriter(FeeDatabase& db)
    : m_db(db),
      m_replace(db.Prepare16(
          u"REPLACE INTO ImportedFiles (Source, Name, Size, Modified, Tournaments, Imported, "
          "ModifiedNs, ChangedNs, Inode, Device) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?);"_s)),
      m_held(
          db.Prepare16(u"SELECT TNumber FROM ImportedTournaments WHERE Source = ? AND Name = ?"_s)),
      m_forget(db.Prepare16(u"DELETE FROM ImportedTournaments WHERE Source = ? AND Name = ?"_s)),
      m_hold(db.Prepare16(
          u"INSERT OR IGNORE INTO ImportedTournaments (Source, Name, TNumber) VALUES(?, ?, ?)"_s)),
      m_elsewhere(db.Prepare16(u"SELECT 1 FROM ImportedTournaments WHERE TNumber = ? AND NOT "
                               "(Source = ? AND Name = ?) LIMIT 1"_s)) {}

void ImportedFilesWriter::record(const QString& source, const QString& name,
                                 const ImportedFile& file, const QList<qint32>& tournaments) {
    sqlite3_stmt* s = m_replace.get();
    m_db.Bind_Str16(m_replace, 1, source);
    m_db.Bind_Str16(m_replace, 2, name);
    const auto bindNumber = [&](int index, bool known, qint64 value) {
        if ((known ? sqlite3_bind_int64(s, index, value) : sqlite3_bind_null(s, index)) !=
            SQLITE_OK)
            m_db.raiseLastError();
    };
    bindNumber(3, file.stamp.size >= 0, file.stamp.size);
    m_db.Bind_Str16(m_replace, 4, file.stamp.modified);
    bindNumber(5, true, file.tournaments);
    m_db.Bind_Str16(m_replace, 6, file.imported.toUTC().toString(Qt::ISODate));
    const bool detailed = file.stamp.detailed && file.stamp.exists();
    bindNumber(7, detailed, file.stamp.modifiedNs);
    bindNumber(8, detailed, file.stamp.changedNs);
    bindNumber(9, detailed, file.stamp.inode);
    bindNumber(10, detailed, file.stamp.device);
    m_db.StepAndReset(m_replace);

    m_db.Bind_Str16(m_forget, 1, source);
    m_db.Bind_Str16(m_forget, 2, name);
    m_db.StepAndReset(m_forget);
    for (const qint32 t : tournaments) {
        m_db.Bind_Str16(m_hold, 1, source);
        m_db.Bind_Str16(m_hold, 2, name);
        m_db.Bind_Int(m_hold, 3, t);
        m_db.StepAndReset(m_hold);
    }
}

QList<qint64> ImportedFilesWriter::tournamentsOf(const QString& source, const QString& name) {
    QList<qint64> held;
    m_db.Bind_Str16(m_held, 1, source);
    m_db.Bind_Str16(m_held, 2, name);
    while (m_db.Step(m_held))
        held << sqlite3_column_int64(m_held.get(), 0);
    sqlite3_reset(m_held.get());
    return held;
}

bool ImportedFilesWriter::heldElsewhere(const QString& source, const QString& name,
                                        qint64 tournament) {
    if (sqlite3_bind_int64(m_elsewhere.get(), 1, tournament) != SQLITE_OK)
        m_db.raiseLastError();
    m_db.Bind_Str16(m_elsewhere, 2, source);
    m_db.Bind_Str16(m_elsewhere, 3, name);
    const bool held = m_db.Step(m_elsewhere);
    sqlite3_reset(m_elsewhere.get());
    return held;
}

QString ImportedToolTip(const ImportedFile& file) {
    return QStringLiteral("Imported %1, %2 tournaments")
        .arg(file.imported.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             QString::number(file.tournaments));
}
