#include "keyindex.h"

#include <algorithm>

void KeyIndex::buildSorted(std::vector<std::pair<qint64, quint32>>&& pairs) {
    // Pairs compare by key, then by row, so the rows of one key keep their order.
    std::sort(pairs.begin(), pairs.end());
    m_keys.resize(pairs.size());
    m_rows.resize(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        m_keys[i] = pairs[i].first;
        m_rows[i] = pairs[i].second;
    }
}

KeyRows KeyIndex::rowsOf(qint64 key) const {
    if (m_rows.empty() && !m_firsts.empty()) {
        const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), key);
        if (it == m_keys.end() || *it != key)
            return {};
        const size_t i = size_t(it - m_keys.begin());
        return {nullptr, qsizetype(m_firsts[i]), qsizetype(m_firsts[i + 1] - m_firsts[i])};
    }
    const auto [first, last] = std::equal_range(m_keys.begin(), m_keys.end(), key);
    return {m_rows.data(), first - m_keys.begin(), last - first};
}

void KeyIndex::clear() {
    std::vector<qint64>().swap(m_keys);
    std::vector<quint32>().swap(m_firsts);
    std::vector<quint32>().swap(m_rows);
}
