#pragma once

#include "busy.h"

#include <QString>
#include <QStringList>

/// What a drop onto the local results list lists: a folder, and the names in it to select.
struct DroppedResults {
    QString folder;    ///< empty: the drop holds nothing to list
    QStringList names; ///< the dropped TR*.txt files, bare names, each once, in the drop's order;
                       ///< none when a folder was dropped
};

/// The listing that a drop of these local paths asks for. The first folder among them is listed
/// as if chosen in the folder browser. Without a folder, the results files (names matching
/// "TR*.txt", letter case ignored) are listed in the folder of the first of them, with those of
/// them that lie there selected. Paths of anything else are ignored.
///
/// Each path is looked at once, so a drop of many thousands of files takes no longer than
/// listing them. Inside a run it breathes and can be cancelled (RunCancelled); status, when set,
/// hears "Reading the dropped files (I of N) ..." every few thousand paths.
DroppedResults ResultsOfDrop(const QStringList& paths, const StatusLine& status = {});

/// Whether a drop of these paths would list anything (ResultsOfDrop gives a folder): the check
/// of a drag as it enters the list. It stops at the first folder or results file.
bool DropListsSomething(const QStringList& paths);
