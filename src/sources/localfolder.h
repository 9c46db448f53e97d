#pragma once

#include "packednames.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

/// The per-user application-data folder, where the poker server keeps its results folder
/// ($XDG_DATA_HOME, by default ~/.local/share), without a trailing delimiter; empty when there
/// is none.
QString ApplicationDataFolder();

/// The folder of this program's executable, with its trailing delimiter.
QString ProgramFolder();

/// The folder the folder browser opens on: lastFolder; when that is empty, the "Zorvane 3"
/// results folder under the application-data folder; when the folder so far is not an existing
/// directory (links followed), the "Zorvane" results folder there; when that is not one either,
/// the program's folder. A lastFolder that no longer exists falls through to the "Zorvane"
/// candidate, not to the "Zorvane 3" one.
QString LocalStartFolder(const QString& lastFolder, const QString& appDataFolder,
                         const QString& programFolder);

/// Whether name a comes before name b in the local list: the order in which the poker server's
/// home platform lists a folder, by name with letter case ignored (each UTF-16 unit compared in
/// upper case, so "_" comes after the letters and "TR10" before "TR9"). Names equal but for
/// letter case, which only this platform can hold side by side, keep their exact order.
bool ListedBefore(QStringView a, QStringView b);

/// Whether the bytes of a file name match "TR*.txt" ignoring letter case.
bool IsResultsFileName(QByteArrayView name);

/// The entries of a folder whose names match "TR*.txt" ignoring letter case: files, folders,
/// hidden and special entries and broken links alike, bare names sorted by ListedBefore. A name
/// that is not valid UTF-8 comes as DecodeFileName gives it. A folder that is missing or cannot
/// be read yields none.
QStringList ListResultsFiles(const QString& folder);
/// The same names as their bytes, for a folder of very many files.
PackedNames ListResultsFileNames(const QString& folder);

/// "Files:  " and the number of listed files.
QString FilesLabelText(qsizetype count);
