#include "importrunfiles.h"

#include <algorithm>

ImportRunFiles::ImportRunFiles(const QStringList& paths) {
    for (const QString& path : paths)
        appendFile(path);
}

void ImportRunFiles::appendFile(const QString& path) {
    m_parts.push_back({path, {}, false, ++m_size});
}

void ImportRunFiles::appendFolder(const QString& folder, PackedNames names) {
    if (names.isEmpty())
        return;
    m_size += names.size();
    m_parts.push_back({folder, std::move(names), true, m_size});
}

QString ImportRunFiles::path(qsizetype i) const {
    const auto part =
        std::upper_bound(m_parts.begin(), m_parts.end(), i,
                         [](qsizetype index, const Part& p) { return index < p.end; });
    if (!part->folder)
        return part->path;
    const qsizetype start = part->end - part->names.size();
    return part->path + part->names.name(i - start);
}

QStringList ImportRunFiles::paths() const {
    QStringList all;
    all.reserve(m_size);
    for (qsizetype i = 0; i < m_size; ++i)
        all << path(i);
    return all;
}
