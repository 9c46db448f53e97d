#pragma once

#include <QtGlobal>

#include <utility>
#include <vector>

/// The rows of one key, in row order: a run of consecutive rows, or entries of a row list.
struct KeyRows {
    const quint32* list = nullptr; ///< null: the rows first, first + 1, ...
    qsizetype first = 0;
    qsizetype count = 0;

    qsizetype row(qsizetype i) const { return list ? qsizetype(list[first + i]) : first + i; }
};

/// The rows of a result grouped by a 64-bit key code, so that the rows of one key are found by a
/// binary search instead of a pass over every row.
class KeyIndex {
public:
    /// Indexes rows 0 .. rows - 1 by their codes, given as runs of equal codes in row order:
    /// forEachRun(f) calls f(code, first row, row count) for each run. Rows for which skip(row)
    /// holds are left out. When every row counts and each key's rows come together in ascending
    /// key order (imports store a tournament's rows together and in order) the index keeps one
    /// entry per key; otherwise one per row.
    template <typename ForEachRun, typename Skip>
    void build(size_t rows, ForEachRun forEachRun, Skip skip);
    /// Indexes rows by runs of strictly ascending keys without a copy of them: key values[i]
    /// holds rows ends[i - 1] (0 for the first run) to ends[i] - 1. The arrays stay with their
    /// owner, which keeps them unchanged until this index is built again or cleared.
    void useRuns(const quint64* values, const quint64* ends, size_t runs);
    KeyRows rowsOf(qint64 key) const;
    void clear();

private:
    void buildSorted(std::vector<std::pair<qint64, quint32>>&& pairs);

    std::vector<qint64> m_keys;    ///< ascending: one per key, or one per row when m_rows is kept
    std::vector<quint32> m_firsts; ///< per key: its first row; one more entry: the row count
    std::vector<quint32> m_rows;   ///< per entry of m_keys: its row
    // The runs of useRuns, when it made this index.
    const quint64* m_runKeys = nullptr;
    const quint64* m_runEnds = nullptr;
    size_t m_runs = 0;
};

template <typename ForEachRun, typename Skip>
void KeyIndex::build(size_t rows, ForEachRun forEachRun, Skip skip) {
    clear();
    bool ordered = true;
    forEachRun([&](qint64 code, size_t first, size_t count) {
        if (!ordered)
            return;
        for (size_t r = first; r < first + count && ordered; ++r)
            ordered = !skip(r);
        if (!m_keys.empty() && m_keys.back() >= code)
            ordered = false;
        if (!ordered)
            return;
        m_keys.push_back(code);
        m_firsts.push_back(quint32(first));
    });
    if (ordered) {
        m_firsts.push_back(quint32(rows));
        return;
    }
    clear();
    std::vector<std::pair<qint64, quint32>> pairs;
    pairs.reserve(rows);
    forEachRun([&](qint64 code, size_t first, size_t count) {
        for (size_t r = first; r < first + count; ++r)
            if (!skip(r))
                pairs.emplace_back(code, quint32(r));
    });
    buildSorted(std::move(pairs));
}
