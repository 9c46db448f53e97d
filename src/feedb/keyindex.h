#pragma once

#include <QtGlobal>

#include <span>
#include <utility>
#include <vector>

/// The rows of a result grouped by a 64-bit key code, so that the rows of one key are found by a
/// binary search instead of a pass over every row. Within one key the rows keep their order.
class KeyIndex {
public:
    /// Builds the index from (key, row) pairs; the pairs are consumed.
    void build(std::vector<std::pair<qint64, quint32>>&& pairs);
    /// The rows with this key, in row order.
    std::span<const quint32> rowsOf(qint64 key) const;
    void clear();

private:
    std::vector<qint64> m_keys;  ///< sorted
    std::vector<quint32> m_rows; ///< m_rows[i] has key m_keys[i]
};
