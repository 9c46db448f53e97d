#include "keyindex.h"

#include <algorithm>

void KeyIndex::build(std::vector<std::pair<qint64, quint32>>&& pairs) {
    // Imports write a tournament's rows together, so the rows mostly arrive grouped already;
    // the check is cheap and spares the sort then. Pairs compare by key, then by row.
    if (!std::is_sorted(pairs.begin(), pairs.end()))
        std::sort(pairs.begin(), pairs.end());
    m_keys.resize(pairs.size());
    m_rows.resize(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        m_keys[i] = pairs[i].first;
        m_rows[i] = pairs[i].second;
    }
    std::vector<std::pair<qint64, quint32>>().swap(pairs);
}

std::span<const quint32> KeyIndex::rowsOf(qint64 key) const {
    const auto [first, last] = std::equal_range(m_keys.begin(), m_keys.end(), key);
    return std::span<const quint32>(m_rows.data() + (first - m_keys.begin()), size_t(last - first));
}

void KeyIndex::clear() {
    std::vector<qint64>().swap(m_keys);
    std::vector<quint32>().swap(m_rows);
}
