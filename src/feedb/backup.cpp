#include "backup.h"

#include "feedatabase.h"
#include "feeschema.h"
#include "partfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <sqlite3.h>
#include <utility>

namespace {

/// The shortest wait for a lock: that of a statement's retries.
constexpr auto kShortestWait = std::chrono::milliseconds(80);
/// Pages copied in one step: between steps the source is free, so that a writer gets in.
constexpr int kPagesPerStep = 1000;
/// A writer that gets in between steps makes the copy start again; after this many new starts
/// the rest is copied in one step, and writers wait for it.
constexpr int kRestartsInSteps = 3;
constexpr int kBusyPauseMs = 10;

bool IsBusy(int rc) {
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

/// Copies every page of from into to with SQLite's online backup. stepped: a thousand pages a
/// step, each a short read transaction on from, so that other programs can write between steps;
/// otherwise one step. A connection that holds either file is waited for as wait says. Returns
/// SQLite's result code and, on failure, its text.
int CopyPages(sqlite3* from, sqlite3* to, QString& reason, const LockWait& wait, bool stepped) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) {
        reason = QString::fromUtf8(sqlite3_errmsg(to));
        return sqlite3_errcode(to);
    }
    const auto limit = std::max<std::chrono::milliseconds>(wait.limit, kShortestWait);
    std::function<void()> onWaiting = wait.onWaiting;
    int rc = SQLITE_OK;
    int pages = stepped ? kPagesPerStep : -1;
    int remaining = -1;
    int restarts = 0;
    std::optional<std::chrono::steady_clock::time_point> busySince;
    for (;;) {
        rc = sqlite3_backup_step(backup, pages);
        if (IsBusy(rc)) {
            const auto now = std::chrono::steady_clock::now();
            if (!busySince)
                busySince = now;
            if (now - *busySince >= limit)
                break;
            if (onWaiting && now - *busySince >= kShortestWait)
                std::exchange(onWaiting, {})();
            sqlite3_sleep(kBusyPauseMs);
            continue;
        }
        busySince.reset();
        if (rc != SQLITE_OK)
            break;
        const int left = sqlite3_backup_remaining(backup);
        if (remaining >= 0 && left > remaining && ++restarts >= kRestartsInSteps)
            pages = -1;
        remaining = left;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        rc = finished;
    if (rc != SQLITE_OK)
        reason = QString::fromUtf8(rc == finished ? sqlite3_errmsg(to) : sqlite3_errstr(rc));
    return rc;
}

/// "ZVFee2" and ".db3" of "ZVFee2.db3": what a backup name is made of.
struct NameParts {
    QString folder, base, suffix;
};

NameParts PartsOf(const QString& dbPath) {
    const QFileInfo info(dbPath);
    const QString suffix = info.suffix();
    return {info.absolutePath(), info.completeBaseName(),
            suffix.isEmpty() ? QString() : u'.' + suffix};
}

/// The names of the backups beside a database, as a regular expression.
QString BackupNamePattern(const NameParts& parts) {
    return QRegularExpression::escape(parts.base) + QStringLiteral("-\\d{8}-\\d{6}") +
           QRegularExpression::escape(parts.suffix) + QStringLiteral("\\.bak");
}

/// Why a copy gave up waiting: another program kept the database.
QString LockedText(const QString& dbPath) {
    return QStringLiteral("database is locked: another program is using \"%1\"").arg(dbPath);
}

} // namespace

void CopyDatabaseTo(FeeDatabase& db, const QString& dest, const LockWait& wait) {
    db.requireOpen();
    const auto fail = [&](const QString& reason) {
        throw ZvError(QStringLiteral("Cannot make the backup copy \"%1\": %2").arg(dest, reason));
    };
    const QFileInfo destInfo(dest);
    if (destInfo.isDir())
        fail(QStringLiteral("is a folder"));
    RemoveStaleParts(destInfo.absolutePath(),
                     PartNamePattern(QRegularExpression::escape(destInfo.fileName())));
    RemoveStalePartsBeside(db.databaseName());
    std::optional<PartFile> part;
    try {
        part.emplace(dest);
    } catch (const ZvError& e) {
        fail(e.message());
    }

    sqlite3* to = nullptr;
    int rc = sqlite3_open_v2(part->path().toUtf8().constData(), &to,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    QString reason;
    if (rc == SQLITE_OK) {
        // The part file is thrown away on failure: it needs no journal of its own, and so no
        // second copy's worth of room on a nearly full disk.
        sqlite3_exec(to, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
        rc = CopyPages(db.handle(), to, reason, wait, true);
        if (IsBusy(rc))
            reason = LockedText(db.databaseName());
    } else {
        reason = QString::fromUtf8(sqlite3_errmsg(to));
    }
    if (sqlite3_close(to) != SQLITE_OK && rc == SQLITE_OK) {
        rc = SQLITE_IOERR;
        reason = QStringLiteral("the copy could not be closed");
    }
    if (rc != SQLITE_OK)
        fail(reason);
    try {
        part->commit();
    } catch (const ZvError& e) {
        fail(e.message());
    }
}

void RemoveStalePartsBeside(const QString& dbPath) {
    const NameParts parts = PartsOf(dbPath);
    RemoveStaleParts(parts.folder, PartNamePattern(BackupNamePattern(parts)));
    RemoveStaleParts(parts.folder,
                     PartNamePattern(QRegularExpression::escape(QFileInfo(dbPath).fileName())));
}

QString BackupPathFor(const QString& dbPath, const QDateTime& at) {
    const NameParts parts = PartsOf(dbPath);
    return QDir(parts.folder)
        .filePath(
            QStringLiteral("%1-%2%3.bak")
                .arg(parts.base, at.toString(QStringLiteral("yyyyMMdd-HHmmss")), parts.suffix));
}

QStringList BackupsBeside(const QString& dbPath) {
    const NameParts parts = PartsOf(dbPath);
    const QRegularExpression name(QRegularExpression::anchoredPattern(BackupNamePattern(parts)));
    const QDir folder(parts.folder);
    QStringList backups;
    for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        if (name.match(entry).hasMatch())
            backups << folder.filePath(entry);
    return backups;
}

QString BackUpBeside(FeeDatabase& db, const QDateTime& at, const LockWait& wait) {
    QDateTime moment = at;
    QString path = BackupPathFor(db.databaseName(), moment);
    while (QFileInfo::exists(path)) {
        moment = moment.addSecs(1);
        path = BackupPathFor(db.databaseName(), moment);
    }
    CopyDatabaseTo(db, path, wait);
    return path;
}

void PruneBackups(const QString& dbPath, int keep) {
    QStringList backups = BackupsBeside(dbPath);
    while (backups.size() > keep)
        QFile::remove(backups.takeFirst());
}

void RequireFeeDatabaseFile(const QString& path) {
    const auto refuse = [&](const QString& reason) {
        throw ZvError(QStringLiteral("Not a fee database \"%1\": %2").arg(path, reason));
    };
    const QFileInfo info(path);
    if (!info.exists())
        refuse(QStringLiteral("no such file"));
    if (!info.isFile())
        refuse(QStringLiteral("not a regular file"));
    FeeDatabase db;
    db.setDatabaseName(path);
    QString fault;
    try {
        db.OpenReadOnly();
        Statement check = db.Prepare16(QStringLiteral("PRAGMA quick_check"));
        if (db.Step(check)) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
            if (qstrcmp(text, "ok") != 0)
                fault = QString::fromUtf8(text);
        }
    } catch (const ZvError& e) {
        fault = e.message();
    }
    if (fault.isEmpty())
        fault = FeeSchemaFault(db);
    if (!fault.isEmpty())
        refuse(fault);
}

namespace {

/// A connection of the engine's own, closed when it goes.
struct RawConnection {
    sqlite3* handle = nullptr;
    ~RawConnection() { sqlite3_close(handle); }
};

/// Writes a copy of the database file from into the empty file to with VACUUM INTO, in pages
/// of pageSize bytes and with a rollback journal whatever the journal mode of from. Raises
/// ZvError with SQLite's text.
void CopyWithPageSize(const QString& from, const QString& to, int pageSize) {
    RawConnection source;
    const auto raise = [&] { throw ZvError(QString::fromUtf8(sqlite3_errmsg(source.handle))); };
    if (sqlite3_open_v2(from.toUtf8().constData(), &source.handle,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        raise();
    const QByteArray pragma = "PRAGMA page_size=" + QByteArray::number(pageSize);
    sqlite3_stmt* vacuum = nullptr;
    if (sqlite3_exec(source.handle, pragma.constData(), nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(source.handle, "VACUUM INTO ?", -1, &vacuum, nullptr) != SQLITE_OK)
        raise();
    const Statement owned(vacuum);
    const QByteArray target = to.toUtf8();
    sqlite3_bind_text(vacuum, 1, target.constData(), int(target.size()), SQLITE_STATIC);
    if (sqlite3_step(vacuum) != SQLITE_DONE)
        raise();
}

int PageSizeOf(FeeDatabase& db) {
    Statement size = db.Prepare16(QStringLiteral("PRAGMA page_size"));
    return db.Step(size) ? sqlite3_column_int(size.get(), 0) : 4096;
}

} // namespace

QString RestoreDatabase(const QString& backupPath, const QString& dbPath, const QDateTime& at,
                        const LockWait& wait) {
    RequireFeeDatabaseFile(backupPath);
    const QFileInfo target(dbPath);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(backupPath).canonicalFilePath())
        throw ZvError(
            QStringLiteral("Cannot restore \"%1\": it is the database itself").arg(backupPath));
    const auto fail = [&](const QString& reason) {
        throw ZvError(QStringLiteral("Cannot restore \"%1\" into \"%2\": %3")
                          .arg(backupPath, dbPath, reason));
    };
    RemoveStalePartsBeside(dbPath);

    FeeDatabase to;
    to.setDatabaseName(dbPath);
    QString kept;
    if (target.exists() && target.size() > 0) {
        to.Open();
        kept = BackUpBeside(to, at, wait);
    } else {
        to.CreateDatabase();
    }
    // The backup may have been made with another page size or in WAL mode; copied page by
    // page it would bring both along (a database in WAL mode for good, or a copy that a WAL
    // database refuses). So it is first rewritten beside the database in the database's own
    // page size and with a rollback journal, and that copy goes in.
    std::optional<PartFile> staged;
    try {
        staged.emplace(dbPath);
        CopyWithPageSize(backupPath, staged->path(), PageSizeOf(to));
    } catch (const ZvError& e) {
        fail(e.message());
    }
    RawConnection from;
    QString reason;
    int rc = sqlite3_open_v2(staged->path().toUtf8().constData(), &from.handle,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK)
        rc = CopyPages(from.handle, to.handle(), reason, wait, false);
    else
        reason = QString::fromUtf8(sqlite3_errmsg(from.handle));
    if (IsBusy(rc))
        reason = LockedText(dbPath);
    if (rc != SQLITE_OK)
        fail(reason);
    PruneBackups(dbPath);
    return kept;
}
