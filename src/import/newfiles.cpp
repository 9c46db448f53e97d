#include "newfiles.h"

#include "filenames.h"
#include "localfolder.h"

#include <QFileInfo>
#include <sys/stat.h>

namespace {

/// Links followed; the path as the raw bytes of the system.
bool IsRegularFile(const QByteArray& path) {
    struct stat st = {};
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

ImportRunFiles RunFilesOf(const QStringList& foldersAndFiles) {
    ImportRunFiles files;
    for (const QString& arg : foldersAndFiles) {
        if (!QFileInfo(arg).isDir()) {
            files.appendFile(arg);
            continue;
        }
        const QString folder = arg.endsWith(u'/') ? arg : arg + u'/';
        PackedNames names = ListResultsFileNames(arg);
        const QByteArray folderBytes = EncodeFileName(folder);
        QByteArray path;
        names.keepOnly([&](QByteArrayView name) {
            path = folderBytes;
            path += name;
            return IsRegularFile(path);
        });
        files.appendFolder(folder, std::move(names));
    }
    return files;
}

QStringList ResultsFilesOf(const QStringList& foldersAndFiles) {
    return RunFilesOf(foldersAndFiles).paths();
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
    QHash<QString, QSet<QString>> incomplete;             // by source
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        records.insert(it.key(), ReadImportedFiles(db, it.key(), it.value()));
        incomplete.insert(it.key(), NamesMissingTournaments(db, it.key(), it.value()));
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        const QHash<QString, ImportedFile>& record = records[places[i].source];
        const auto file = record.constFind(places[i].name);
        if (file != record.constEnd() && SameFile(file->stamp, StampOf(path)) &&
            !incomplete[places[i].source].contains(places[i].name))
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
    const QString source = sources.of(prefix + names.first()).source;
    QStringList recordNames;
    for (const QString& name : names)
        recordNames << DisplayFileName(name);
    const QHash<QString, ImportedFile> recorded = ReadImportedFiles(db, source, recordNames);
    const QSet<QString> incomplete = NamesMissingTournaments(db, source, recordNames);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const auto file = recorded.constFind(recordNames[i]);
        if (file != recorded.constEnd() && SameFile(file->stamp, StampOf(prefix + names[i])) &&
            !incomplete.contains(recordNames[i]))
            unchanged.insert(names[i], *file);
    }
    return unchanged;
}
