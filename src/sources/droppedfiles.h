#pragma once

#include <QString>
#include <QStringList>

/// What a drop onto the local results list lists: a folder, and the names in it to select.
struct DroppedResults {
    QString folder;    ///< empty: the drop holds nothing to list
    QStringList names; ///< the dropped TR*.txt files, bare names; none when a folder was dropped
};

/// The listing that a drop of these local paths asks for. The first folder among them is listed
/// as if chosen in the folder browser. Without a folder, the results files (names matching
/// "TR*.txt", letter case ignored) are listed in the folder of the first of them, with those of
/// them that lie there selected. Paths of anything else are ignored.
DroppedResults ResultsOfDrop(const QStringList& paths);
