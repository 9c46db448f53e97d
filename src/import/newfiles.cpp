#include "newfiles.h"

#include "localfolder.h"

#include <QFileInfo>

QStringList ResultsFilesOf(const QStringList& foldersAndFiles) {
    QStringList paths;
    for (const QString& arg : foldersAndFiles) {
        if (!QFileInfo(arg).isDir()) {
            paths << arg;
            continue;
        }
        const QString folder = arg.endsWith(u'/') ? arg : arg + u'/';
        for (const QString& name : ListResultsFiles(arg))
            if (QFileInfo(folder + name).isFile())
                paths << folder + name;
    }
    return paths;
}

NewFiles NewOrChangedFiles(FeeDatabase& db, const QStringList& paths) {
    NewFiles result;
    LocalSources sources;
    QList<LocalSource> places;
    places.reserve(paths.size());
    QHash<QString, QStringList> names; // by source
    for (const QString& path : paths) {
        places << sources.of(path);
        names[places.last().source] << places.last().name;
    }
    QHash<QString, QHash<QString, ImportedFile>> records; // by source
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        records.insert(it.key(), ReadImportedFiles(db, it.key(), it.value()));
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        const QHash<QString, ImportedFile>& record = records[places[i].source];
        const auto file = record.constFind(places[i].name);
        if (file != record.constEnd() && file->stamp == StampOf(path))
            ++result.skipped;
        else
            result.paths << path;
    }
    return result;
}

QHash<QString, ImportedFile> UnchangedImports(FeeDatabase& db, const QString& folder,
                                              const QStringList& names) {
    QHash<QString, ImportedFile> unchanged;
    if (folder.isEmpty() || names.isEmpty())
        return unchanged;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    LocalSources sources;
    const QHash<QString, ImportedFile> recorded =
        ReadImportedFiles(db, sources.of(prefix + names.first()).source, names);
    for (const QString& name : names) {
        const auto file = recorded.constFind(name);
        if (file != recorded.constEnd() && file->stamp == StampOf(prefix + name))
            unchanged.insert(name, *file);
    }
    return unchanged;
}
