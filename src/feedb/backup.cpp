#include "backup.h"

#include "feedatabase.h"
#include "feeschema.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace {

/// How long a copy waits for other connections that hold the database, in 10 ms steps.
constexpr int kBusyTries = 1000;

/// Copies every page of from into to in one step: one read transaction on from, one write
/// transaction on to. Another connection that holds either file is waited for. Returns SQLite's
/// result code and, on failure, its text.
int CopyPages(sqlite3* from, sqlite3* to, QString& reason) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) {
        reason = QString::fromUtf8(sqlite3_errmsg(to));
        return sqlite3_errcode(to);
    }
    int rc = SQLITE_OK;
    for (int tries = 0;; ++tries) {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || tries == kBusyTries)
            break;
        sqlite3_sleep(10);
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

} // namespace

void CopyDatabaseTo(FeeDatabase& db, const QString& dest) {
    db.requireOpen();
    const auto fail = [&](const QString& reason) {
        throw ZvError(QStringLiteral("Cannot make the backup copy \"%1\": %2").arg(dest, reason));
    };
    if (QFileInfo(dest).isDir())
        fail(QStringLiteral("is a folder"));
    QTemporaryFile part(dest + QStringLiteral(".XXXXXX.part"));
    if (!part.open())
        fail(part.errorString());
    part.close();

    sqlite3* to = nullptr;
    int rc = sqlite3_open_v2(part.fileName().toUtf8().constData(), &to,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    QString reason;
    if (rc == SQLITE_OK) {
        // The part file is thrown away on failure: it needs no journal of its own, and so no
        // second copy's worth of room on a nearly full disk.
        sqlite3_exec(to, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
        rc = CopyPages(db.handle(), to, reason);
    } else {
        reason = QString::fromUtf8(sqlite3_errmsg(to));
    }
    if (sqlite3_close(to) != SQLITE_OK && rc == SQLITE_OK) {
        rc = SQLITE_IOERR;
        reason = QStringLiteral("the copy could not be closed");
    }
    if (rc != SQLITE_OK)
        fail(reason);
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(dest).constData()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    part.setAutoRemove(false);
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
    const QRegularExpression name(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(parts.base) + QStringLiteral("-\\d{8}-\\d{6}") +
        QRegularExpression::escape(parts.suffix) + QStringLiteral("\\.bak")));
    const QDir folder(parts.folder);
    QStringList backups;
    for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        if (name.match(entry).hasMatch())
            backups << folder.filePath(entry);
    return backups;
}

QString BackUpBeside(FeeDatabase& db, const QDateTime& at) {
    QDateTime moment = at;
    QString path = BackupPathFor(db.databaseName(), moment);
    while (QFileInfo::exists(path)) {
        moment = moment.addSecs(1);
        path = BackupPathFor(db.databaseName(), moment);
    }
    CopyDatabaseTo(db, path);
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

QString RestoreDatabase(const QString& backupPath, const QString& dbPath, const QDateTime& at) {
    RequireFeeDatabaseFile(backupPath);
    const QFileInfo target(dbPath);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(backupPath).canonicalFilePath())
        throw ZvError(
            QStringLiteral("Cannot restore \"%1\": it is the database itself").arg(backupPath));
    FeeDatabase from;
    from.setDatabaseName(backupPath);
    from.OpenReadOnly();

    FeeDatabase to;
    to.setDatabaseName(dbPath);
    QString kept;
    if (target.exists() && target.size() > 0) {
        to.Open();
        kept = BackUpBeside(to, at);
    } else {
        to.CreateDatabase();
    }
    QString reason;
    if (CopyPages(from.handle(), to.handle(), reason) != SQLITE_OK)
        throw ZvError(QStringLiteral("Cannot restore \"%1\" into \"%2\": %3")
                          .arg(backupPath, dbPath, reason));
    PruneBackups(dbPath);
    return kept;
}
