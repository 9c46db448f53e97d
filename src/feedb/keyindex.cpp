#include "keyindex.h"

#include <algorithm>

void KeyIndex::buildSorted(std::vector<std::pair<qint64, quint32>>&& pairs) {
    // Pairs compare by key, then by row, so the rows of one key keep their order.
    std::sort(pairs.begin(), pairs.end());
    m_ownKeys.resize(pairs.size());
    m_rows.resize(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        m_ownKeys[i] = pairs[i].first;
        m_rows[i] = pairs[i].second;
    }
    m_keys = m_ownKeys;
}

KeyRows KeyIndex::rowsOf(qint64 key) const {
    const auto [first, last] = std::equal_range(m_keys.begin(), m_keys.end(), key);
    return {m_rows.empty() ? nullptr : m_rows.data(), first - m_keys.begin(), last - first};
}

void KeyIndex::clear() {
    m_keys = {};
    std::vector<qint64>().swap(m_ownKeys);
    std::vector<quint32>().swap(m_rows);
}
