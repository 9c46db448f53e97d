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

void KeyIndex::useRuns(const quint64* values, const quint64* ends, size_t runs) {
    clear();
    m_runKeys = values;
    m_runEnds = ends;
    m_runs = runs;
}

KeyRows KeyIndex::rowsOf(qint64 key) const {
    if (m_runKeys) {
        const quint64* const end = m_runKeys + m_runs;
        const quint64* const it = std::lower_bound(
            m_runKeys, end, key, [](quint64 value, qint64 k) { return qint64(value) < k; });
        if (it == end || qint64(*it) != key)
            return {};
        const size_t i = size_t(it - m_runKeys);
        const qsizetype first = i == 0 ? 0 : qsizetype(m_runEnds[i - 1]);
        return {nullptr, first, qsizetype(m_runEnds[i]) - first};
    }
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
    m_runKeys = nullptr;
    m_runEnds = nullptr;
    m_runs = 0;
    std::vector<qint64>().swap(m_keys);
    std::vector<quint32>().swap(m_firsts);
    std::vector<quint32>().swap(m_rows);
}
