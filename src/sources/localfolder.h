#pragma once

#include <QString>
#include <QStringList>

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

/// The entries of a folder whose names match "TR*.txt" ignoring letter case: files, folders,
/// hidden and special entries and broken links alike, bare names in the order the directory
/// yields them. A folder that is missing or cannot be read yields none.
QStringList ListResultsFiles(const QString& folder);

/// "Files:  " and the number of listed files.
QString FilesLabelText(qsizetype count);
