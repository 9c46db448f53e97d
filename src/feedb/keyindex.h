#pragma once

#include <QtGlobal>

#include <span>
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
    /// Indexes the rows by codes[row]. Rows for which skip(row) holds are left out. When every
    /// row counts and the codes already ascend (imports store a tournament's rows together and
    /// in order) the index keeps only a view of codes, which must then outlive it.
    template <typename Skip> void build(std::span<const qint64> codes, Skip skip);
    KeyRows rowsOf(qint64 key) const;
    void clear();

private:
    void buildSorted(std::vector<std::pair<qint64, quint32>>&& pairs);

    std::span<const qint64> m_keys; ///< ascending; into m_ownKeys or the codes given
    std::vector<qint64> m_ownKeys;
    std::vector<quint32> m_rows; ///< empty: the rows are their own positions
};

template <typename Skip> void KeyIndex::build(std::span<const qint64> codes, Skip skip) {
    clear();
    bool plain = true;
    for (size_t r = 0; r < codes.size() && plain; ++r)
        plain = !skip(r) && (r == 0 || codes[r - 1] <= codes[r]);
    if (plain) {
        m_keys = codes;
        return;
    }
    std::vector<std::pair<qint64, quint32>> pairs;
    pairs.reserve(codes.size());
    for (size_t r = 0; r < codes.size(); ++r)
        if (!skip(r))
            pairs.emplace_back(codes[r], quint32(r));
    buildSorted(std::move(pairs));
}
