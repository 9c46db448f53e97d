#include "databaselocation.h"
#include "profiledatabases.h"

#include "profile.h"
#include "settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {

/// Whether this process, with its effective user, may create files in the folder.
bool writableFolder(const QString& folder) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK, AT_EACCESS) == 0;
}

bool installedCopy(const QDir& programFolder) {
    return QFileInfo(programFolder.filePath(QStringLiteral("../share/zvfeestats"))).isDir();
}

} // namespace

QString FeeDatabaseLocation(const QString& programFolder) {
    return ProfileDatabaseLocation(programFolder, QString());
}

QString ProfileDatabaseLocation(const QString& programFolder, const QString& profile) {
    const QDir folder(programFolder);
    const QString fileName = ProfileDatabaseFileName(profile);
    const QString beside = folder.filePath(fileName);
    if (QFileInfo::exists(beside) ||
        QFileInfo::exists(folder.filePath(ProfileDatabaseFileName(QString()))) ||
        (writableFolder(folder.path()) && !installedCopy(folder)))
        return beside;

    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) // no home folder at all: nowhere better than beside the program
        return beside;
    const QDir home(dataHome);
    const QString ours = home.filePath(QStringLiteral("Kestrelle"));
    // A folder that cannot be made shows later, when the database cannot be created in it.
    if (!QFileInfo(ours).isDir() && home.mkpath(QStringLiteral(".")))
        home.mkdir(QStringLiteral("Kestrelle"),
                   QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QDir(ours).filePath(fileName);
}

QString FeeDatabasePath() {
    return ProfileDatabaseLocation(QCoreApplication::applicationDirPath(), CurrentProfile());
}

QStringList KnownProfiles(const QString& programFolder) {
    QStringList names;
    const auto collect = [&](const QString& folder, QString (*profileOf)(const QString&)) {
        for (const QString& entry : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            const QString name = profileOf(entry);
            if (!name.isEmpty() && !names.contains(name))
                names << name;
        }
    };
    collect(QDir(programFolder).path(), ProfileOfDatabaseFileName);
    collect(QFileInfo(FeeDatabaseLocation(programFolder)).path(), ProfileOfDatabaseFileName);
    collect(QFileInfo(SettingsStore::DefaultFilePath()).path(), ProfileOfSettingsFileName);
    std::sort(names.begin(), names.end());
    return names;
}
