#pragma once

#include "packednames.h"

#include <QString>
#include <QStringList>
#include <vector>

/// The paths of the files of an import run, in order, held compactly: a folder's names as their
/// bytes behind the folder's path, so a run over a folder of 500,000 files holds no string per
/// file. A file named on its own keeps its path as given.
class ImportRunFiles {
public:
    ImportRunFiles() = default;
    /// Each path as a file named on its own.
    explicit ImportRunFiles(const QStringList& paths);

    void appendFile(const QString& path);
    /// The names of folder, which ends in "/", as the folder's path followed by each name.
    void appendFolder(const QString& folder, PackedNames names);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    /// The path of file i (0 <= i < size()).
    QString path(qsizetype i) const;
    QStringList paths() const;

private:
    /// A file, or the names of a folder.
    struct Part {
        QString path; ///< the file's path, or the folder's
        PackedNames names;
        bool folder = false;
        qsizetype end = 0; ///< index after the part's last file
    };
    std::vector<Part> m_parts;
    qsizetype m_size = 0;
};
