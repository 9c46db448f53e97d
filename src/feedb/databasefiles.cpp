#include "databasefiles.h"

#include "error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStringList>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char16_t* kCompanionSuffixes[] = {u"", u"-journal", u"-wal", u"-shm"};
/// As the system gives up on a loop of symbolic links.
constexpr int kMaxLinkHops = 40;

QMutex openMutex;
QStringList openDatabases; // one entry per open connection

/// The target of a symbolic link, or nothing when path is not one.
std::optional<QString> LinkTarget(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(name.constData(), buffer.data(), size_t(buffer.size()));
    if (length < 0)
        return std::nullopt;
    return QFile::decodeName(buffer.left(length));
}

/// The path with every symbolic link followed, its last part too, also when that last part does
/// not exist (a dangling link, or a name not yet created).
QString ResolvedPath(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        const QFileInfo info(current);
        const QString canonicalFolder = QFileInfo(info.absolutePath()).canonicalFilePath();
        const QString folder = canonicalFolder.isEmpty() ? info.absolutePath() : canonicalFolder;
        current = QDir::cleanPath(folder + u'/' + info.fileName());
        const std::optional<QString> target = LinkTarget(current);
        if (!target)
            break;
        current = QDir::isAbsolutePath(*target) ? *target : folder + u'/' + *target;
    }
    return current;
}

struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
};

Identity IdentityOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, st.st_dev, st.st_ino};
}

} // namespace

bool IsDatabaseFile(const QString& target, const QString& databasePath) {
    if (target.isEmpty() || databasePath.isEmpty())
        return false;
    const Identity targetId = IdentityOf(target);
    const QString targetPath = ResolvedPath(target);
    // SQLite names its journals after the file it opened, links followed; the name as given is
    // checked as well.
    const QString absolute = QDir::cleanPath(QFileInfo(databasePath).absoluteFilePath());
    const QString resolved = ResolvedPath(databasePath);
    for (const QString& base : {resolved, absolute}) {
        for (const char16_t* suffix : kCompanionSuffixes) {
            const QString name = base + QString::fromUtf16(suffix);
            const Identity id = IdentityOf(name);
            if (targetId.exists && id.exists && targetId.device == id.device &&
                targetId.inode == id.inode)
                return true;
            if (ResolvedPath(name) == targetPath)
                return true;
        }
    }
    return false;
}

void NoteOpenDatabase(const QString& databasePath) {
    const QMutexLocker lock(&openMutex);
    openDatabases << databasePath;
}

void ForgetOpenDatabase(const QString& databasePath) {
    const QMutexLocker lock(&openMutex);
    openDatabases.removeOne(databasePath);
}

void RefuseOutputOntoDatabase(const QString& target) {
    QStringList databases;
    {
        const QMutexLocker lock(&openMutex);
        databases = openDatabases;
    }
    for (const QString& database : databases)
        if (IsDatabaseFile(target, database))
            throw ZvError(QStringLiteral("Cannot write \"%1\": it is the fee database.")
                              .arg(QFileInfo(target).absoluteFilePath()));
}
