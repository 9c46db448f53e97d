#include "importedfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

// A folder of many thousand files is stamped at every look: one stat each, and a time in UTC
// that never goes through the local time zone.
FileStamp StampOf(const QString& path) {
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    const qint64 ms = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return {qint64(st.st_size),
            QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(Qt::ISODateWithMs)};
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
    return {*found, path.mid(slash + 1)};
}

void CreateImportedFiles(FeeDatabase& db) {
    db.Execute(QString::fromUtf16(kCreateImportedFilesSql));
}

bool HasImportedFiles(FeeDatabase& db) {
    Statement exists = db.Prepare16(QStringLiteral(
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'ImportedFiles'"));
    return db.Step(exists);
}

namespace {

/// Up to this many names are looked up one by one rather than with the whole source.
constexpr qsizetype kLookupLimit = 64;

/// Steps a select of Name, Size, Modified, Tournaments, Imported into files.
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
        file.tournaments = sqlite3_column_int(s, 3);
        file.imported = QDateTime::fromString(text(4), Qt::ISODate).toUTC();
        files.insert(text(0), file);
    }
}

} // namespace

QHash<QString, ImportedFile> ReadImportedFiles(FeeDatabase& db, const QString& source) {
    QHash<QString, ImportedFile> files;
    if (!HasImportedFiles(db))
        return files;
    Statement select = db.Prepare16(QStringLiteral(
        "SELECT Name, Size, Modified, Tournaments, Imported FROM ImportedFiles WHERE Source = ?"));
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
    Statement select = db.Prepare16(
        QStringLiteral("SELECT Name, Size, Modified, Tournaments, Imported FROM ImportedFiles "
                       "WHERE Source = ? AND Name = ?"));
    db.Bind_Str16(select, 1, source);
    for (const QString& name : names) {
        db.Bind_Str16(select, 2, name);
        ReadRows(db, select, files);
        sqlite3_reset(select.get());
    }
    return files;
}

void ClearImportedFiles(FeeDatabase& db) {
    CreateImportedFiles(db);
    db.Execute(QStringLiteral("DELETE FROM ImportedFiles"));
}

ImportedFilesWriter::ImportedFilesWriter(FeeDatabase& db)
    : m_db(db), m_replace(db.Prepare16(QStringLiteral(
                    "REPLACE INTO ImportedFiles (Source, Name, Size, Modified, Tournaments, "
                    "Imported) VALUES(?, ?, ?, ?, ?, ?);"))) {}

void ImportedFilesWriter::record(const QString& source, const QString& name,
                                 const ImportedFile& file) {
    m_db.Bind_Str16(m_replace, 1, source);
    m_db.Bind_Str16(m_replace, 2, name);
    const int rc = file.stamp.size < 0 ? sqlite3_bind_null(m_replace.get(), 3)
                                       : sqlite3_bind_int64(m_replace.get(), 3, file.stamp.size);
    if (rc != SQLITE_OK)
        m_db.raiseLastError();
    m_db.Bind_Str16(m_replace, 4, file.stamp.modified);
    m_db.Bind_Int(m_replace, 5, file.tournaments);
    m_db.Bind_Str16(m_replace, 6, file.imported.toUTC().toString(Qt::ISODate));
    m_db.StepAndReset(m_replace);
}

QString ImportedToolTip(const ImportedFile& file) {
    return QStringLiteral("Imported %1, %2 tournaments")
        .arg(file.imported.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             QString::number(file.tournaments));
}
