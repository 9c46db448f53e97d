#include "droppedfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
bool IsResultsFileName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^TR.*\\.txt$"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(name).hasMatch();
}

QString WithoutTrailingSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}
} // namespace

DroppedResults ResultsOfDrop(const QStringList& paths) {
    for (const QString& path : paths)
        if (QFileInfo(path).isDir())
            return {WithoutTrailingSlash(QDir::cleanPath(path)), {}};
    DroppedResults dropped;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.isFile() || !IsResultsFileName(info.fileName()))
            continue;
        const QString folder = QDir::cleanPath(info.absolutePath());
        if (dropped.folder.isEmpty())
            dropped.folder = folder;
        if (folder == dropped.folder && !dropped.names.contains(info.fileName()))
            dropped.names << info.fileName();
    }
    return dropped;
}
