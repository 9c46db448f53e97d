#include "localfolder.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

QString ApplicationDataFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString ProgramFolder() {
    const QString folder = QCoreApplication::applicationDirPath();
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString LocalStartFolder(const QString& lastFolder, const QString& appDataFolder,
                         const QString& programFolder) {
    QString start = lastFolder;
    if (start.isEmpty())
        start = appDataFolder + QStringLiteral("/Zorvane 3/TourneyResults");
    if (!QFileInfo(start).isDir()) // follows links
        start = appDataFolder + QStringLiteral("/Zorvane/TourneyResults");
    if (!QFileInfo(start).isDir())
        start = programFolder;
    return start;
}

QStringList ListResultsFiles(const QString& folder) {
    QStringList names;
    if (folder.isEmpty())
        return names;
    // No QDir::CaseSensitive: the pattern matches ignoring letter case. The iterator yields the
    // entries in directory order; nothing here sorts them.
    QDirIterator it(folder, {QStringLiteral("TR*.txt")},
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        names << it.fileName();
    }
    return names;
}

QString FilesLabelText(qsizetype count) {
    return QStringLiteral("Files:  ") + QString::number(count);
}
