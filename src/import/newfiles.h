#pragma once

#include "feedatabase.h"
#include "importedfiles.h"
#include "importrunfiles.h"

#include <QStringList>

/// The results files that arguments name: a folder gives its "TR*.txt" regular files (letter
/// case ignored) in the order of the local list, as folder + "/" + name; anything else is taken
/// as a file.
QStringList ResultsFilesOf(const QStringList& foldersAndFiles);
/// The same files held compactly, for a run over folders of very many files.
ImportRunFiles RunFilesOf(const QStringList& foldersAndFiles);

/// The files among paths that are new or changed since their recorded import (no record, another
/// stamp, or a recorded tournament no longer in Master), in the given order; skipped counts the
/// others.
struct NewFiles {
    QStringList paths;
    qsizetype skipped = 0;
};
NewFiles NewOrChangedFiles(FeeDatabase& db, const QStringList& paths);

/// The record of each of the named files of a folder that is unchanged since its import (same
/// stamp) and whose recorded tournaments are all still in Master, by name; names without such a
/// record are absent.
QHash<QString, ImportedFile> UnchangedImports(FeeDatabase& db, const QString& folder,
                                              const QStringList& names);
