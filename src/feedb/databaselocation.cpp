#include "databaselocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kFileName = QStringLiteral("ZVFee2.db3");

/// Whether this process, with its effective user, may create files in the folder.
bool writableFolder(const QString& folder) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK, AT_EACCESS) == 0;
}

bool installedCopy(const QDir& programFolder) {
    return QFileInfo(programFolder.filePath(QStringLiteral("../share/zvfeestats"))).isDir();
}

} // namespace

QString FeeDatabaseLocation(const QString& programFolder) {
    const QDir folder(programFolder);
    const QString beside = folder.filePath(kFileName);
    if (QFileInfo::exists(beside) || (writableFolder(folder.path()) && !installedCopy(folder)))
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
    return QDir(ours).filePath(kFileName);
}

QString FeeDatabasePath() {
    return FeeDatabaseLocation(QCoreApplication::applicationDirPath());
}
