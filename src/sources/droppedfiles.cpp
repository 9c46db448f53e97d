#include "droppedfiles.h"

#include "runcontrol.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {
/// How many paths are read between two progress texts.
constexpr qsizetype kProgressStep = 2'000;

bool IsResultsFileName(const QString& name) {
    return name.size() >= 6 && name.startsWith(QLatin1String("TR"), Qt::CaseInsensitive) &&
           name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive);
}

QString WithoutTrailingSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}
} // namespace

DroppedResults ResultsOfDrop(const QStringList& paths, const StatusLine& status) {
    DroppedResults dropped;
    QSet<QString> names;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (status && i > 0 && i % kProgressStep == 0)
            status(QStringLiteral("Reading the dropped files (%1 of %2) ...")
                       .arg(i)
                       .arg(paths.size()));
        CheckRunCancelled();
        const QFileInfo info(paths[i]);
        if (info.isDir()) // the first folder wins over every file
            return {WithoutTrailingSlash(QDir::cleanPath(paths[i])), {}};
        const QString name = info.fileName();
        if (!IsResultsFileName(name) || !info.isFile())
            continue;
        const QString folder = QDir::cleanPath(info.absolutePath());
        if (dropped.folder.isEmpty())
            dropped.folder = folder;
        if (folder == dropped.folder && !names.contains(name)) {
            names.insert(name);
            dropped.names << name;
        }
    }
    return dropped;
}

bool DropListsSomething(const QStringList& paths) {
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir() || (IsResultsFileName(info.fileName()) && info.isFile()))
            return true;
    }
    return false;
}
