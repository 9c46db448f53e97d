#pragma once

// The storage of the result columns: their values read from a statement, each in its column's
// kind, and the cells read back.

#include "packedvalues.h"
#include "resultset.h"
#include "textstore.h"

#include <QByteArrayView>

#include <vector>

class FeeDatabase;
class Statement;

/// A set of rows of a column (its NULLs, its values of their own form). Most columns hold none,
/// so the bits are kept only from the first row on.
class RowMask {
public:
    void set(qsizetype row) {
        const size_t word = size_t(row) / 64;
        if (word >= m_bits.size())
            m_bits.resize(word + 1, 0);
        m_bits[word] |= quint64(1) << (row % 64);
    }
    bool test(qsizetype row) const {
        const size_t word = size_t(row) / 64;
        return word < m_bits.size() && ((m_bits[word] >> (row % 64)) & 1) != 0;
    }
    bool empty() const { return m_bits.empty(); }

private:
    std::vector<quint64> m_bits;
};

/// A value that keeps its own form in a column of another kind.
struct OwnValue {
    qsizetype row;
    ColumnKind kind;
    double real; ///< Float
    quint32 id;  ///< Text and Blob: the id in the set's TextStore
};

/// The values of one column, held in the column's kind: integers as they are, doubles by their
/// bit pattern, text and blob cells as ids into the set's TextStore. The null mask covers every
/// kind; a NULL or a value of its own form leaves a 0 in the column's values, and the latter is
/// found in owns.
struct ColumnData {
    ResultColumn info;
    PackedValues values;
    RowMask nulls;
    RowMask own;
    std::vector<OwnValue> owns; ///< by row

    bool isNull(qsizetype row) const { return nulls.test(row); }
    /// The form of the cell's value (CellKindFor); a NULL cell has the column's kind.
    ColumnKind kind(qsizetype row) const {
        const OwnValue* odd = own.empty() ? nullptr : ownValue(row);
        return odd ? odd->kind : info.kind;
    }
    /// The value of a non-NULL cell of its kind: each for its kind only.
    qint64 integer(qsizetype row) const { return qint64(values[size_t(row)]); }
    double real(qsizetype row) const;
    quint32 id(qsizetype row) const;

    const OwnValue* ownValue(qsizetype row) const;
};

/// Reads every row of a statement into columns (one per result column, their info set), starting
/// from a row already stepped to (row: the first step yielded one), and returns the row count.
/// Each column is read by a loop made for its kind that takes a value of the column's own storage
/// class straight away; other values go through the general path, which can read every value.
/// general: every cell through the general path (the fast readers are checked against it).
qsizetype ReadColumns(FeeDatabase& db, Statement& stmt, bool row, std::vector<ColumnData>& columns,
                      TextStore& store, bool general = false);
