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

namespace {

/// ListedBefore for names as the system gives them. While both names are ASCII, each byte is the
/// UTF-16 unit that DecodeFileName makes of it, and the comparison runs on the bytes; a name with
/// another byte before the first difference is decoded and compared as text.
bool NameBytesListedBefore(QByteArrayView a, QByteArrayView b) {
    const auto upper = [](uchar c) { return c >= 'a' && c <= 'z' ? uchar(c - ('a' - 'A')) : c; };
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const uchar x = uchar(a[i]);
        const uchar y = uchar(b[i]);
        if ((x | y) >= 0x80)
            return ListedBefore(DecodeFileName(a.toByteArray()), DecodeFileName(b.toByteArray()));
        if (upper(x) != upper(y))
            return upper(x) < upper(y);
    }
    if (a.size() != b.size()) // the shorter is ASCII: fewer units than the other, too
        return a.size() < b.size();
    return a < b;
}

} // namespace

PackedNames ListResultsFileNames(const QString& folder) {
    PackedNames names;
    if (folder.isEmpty())
        return names;
    // The system's own listing: a name that is not valid UTF-8 is listed too, and keeps its
    // bytes. The pattern matches ignoring letter case. Every matching entry is listed, whatever
    // its kind; reading refuses what is not a regular file.
    DIR* dir = ::opendir(EncodeFileName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (IsResultsFileName(name))
            names.append(name);
    }
    ::closedir(dir);
    names.sort(NameBytesListedBefore);
    return names;
}

QStringList ListResultsFiles(const QString& folder) {
    const PackedNames packed = ListResultsFileNames(folder);
    QStringList names;
    names.reserve(packed.size());
    for (qsizetype i = 0; i < packed.size(); ++i)
        names << packed.name(i);
    return names;
}

QString FilesLabelText(qsizetype count) {
    return QStringLiteral("Files:  ") + QString::number(count);
}
