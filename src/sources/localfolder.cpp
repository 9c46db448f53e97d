#include "localfolder.h"

#include "filenames.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <dirent.h>

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

bool ListedBefore(QStringView a, QStringView b) {
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t x = QChar::toUpper(a[i].unicode());
        const char16_t y = QChar::toUpper(b[i].unicode());
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b; // equal but for letter case: still one fixed order
}

bool IsResultsFileName(QByteArrayView name) {
    return name.size() >= 6 && name.first(2).compare("TR", Qt::CaseInsensitive) == 0 &&
           name.last(4).compare(".txt", Qt::CaseInsensitive) == 0;
}

QStringList ListResultsFiles(const QString& folder) {
    QStringList names;
    if (folder.isEmpty())
        return names;
    // The system's own listing: a name that is not valid UTF-8 is listed too, and keeps its
    // bytes (DecodeFileName). The pattern matches ignoring letter case. Every matching entry is
    // listed, whatever its kind; reading refuses what is not a regular file.
    DIR* dir = ::opendir(EncodeFileName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (IsResultsFileName(name))
            names << DecodeFileName(name.toByteArray());
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), ListedBefore);
    return names;
}

QString FilesLabelText(qsizetype count) {
    return QStringLiteral("Files:  ") + QString::number(count);
}
