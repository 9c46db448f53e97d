#pragma once

// The storage of one result column: its values read from a statement, each in the column's kind.

#include "growarray.h"
#include "resultset.h"
#include "textstore.h"

#include <QByteArrayView>
#include <sqlite3.h>

#include <algorithm>
#include <utility>
#include <vector>

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

/// The values of one column, held in the column's kind. Text and blob cells are ids into the
/// set's TextStore. The null mask covers every kind; a value of its own form leaves a 0 in the
/// column's values and is found in owns.
struct ColumnData {
    ResultColumn info;
    GrowArray<qint64> integers;
    GrowArray<double> reals;
    GrowArray<quint32> ids;
    RowMask nulls;
    RowMask own;
    std::vector<OwnValue> owns; ///< by row

    /// Text cells waiting to be interned together (TextStore::internAll): a copy of their bytes,
    /// since SQLite's text lasts only until the next step, and their rows.
    struct Pending {
        std::vector<char> bytes;
        std::vector<std::pair<size_t, size_t>> spans; ///< offset, size in bytes
        std::vector<size_t> rows;
        std::vector<QByteArrayView> views;
        std::vector<quint32> ids;
    } pending;
    static constexpr size_t kPendingTexts = 64;

    /// Appends the value of one cell. The value is read through sqlite3_column_value and the
    /// value functions, one call into the connection per cell: every column function takes the
    /// connection's mutex, which costs more than the copy itself on millions of rows. The
    /// connection is used by one thread only, so the unprotected value is safe here.
    void append(sqlite3_stmt* stmt, int index, qsizetype row, TextStore& store) {
        sqlite3_value* value = sqlite3_column_value(stmt, index);
        const int type = sqlite3_value_type(value);
        const bool null = type == SQLITE_NULL;
        if (null)
            nulls.set(row);
        const ColumnKind kind = null ? info.kind : CellKindFor(info.kind, type, value);
        if (kind != info.kind) {
            own.set(row);
            OwnValue odd{row, kind, 0.0, 0};
            if (kind == ColumnKind::Float)
                odd.real = sqlite3_value_double(value);
            else
                odd.id = intern(value, kind, store);
            owns.push_back(odd);
        }
        const bool held = !null && kind == info.kind;
        switch (info.kind) {
        case ColumnKind::Integer:
            integers.push_back(held ? sqlite3_value_int64(value) : 0);
            break;
        case ColumnKind::Float:
            reals.push_back(held ? sqlite3_value_double(value) : 0.0);
            break;
        case ColumnKind::Text:
            ids.push_back(0); // its id comes with the next batch
            if (held)
                queueText(value, row, store);
            break;
        case ColumnKind::Blob:
            ids.push_back(held ? intern(value, kind, store) : 0);
            break;
        }
    }

    void queueText(sqlite3_value* value, qsizetype row, TextStore& store) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const auto size = size_t(sqlite3_value_bytes(value));
        pending.spans.emplace_back(pending.bytes.size(), size);
        pending.bytes.insert(pending.bytes.end(), text, text + size);
        pending.rows.push_back(size_t(row));
        if (pending.rows.size() == kPendingTexts)
            internPending(store);
    }

    /// Interns the queued texts and puts their ids in place. Called when the queue is full and
    /// once after the last row.
    void internPending(TextStore& store) {
        const size_t n = pending.rows.size();
        pending.views.clear();
        for (const auto& [offset, size] : pending.spans)
            pending.views.emplace_back(pending.bytes.data() + offset, qsizetype(size));
        pending.ids.resize(n);
        store.internAll(pending.views, pending.ids.data());
        for (size_t i = 0; i < n; ++i)
            ids[pending.rows[i]] = pending.ids[i];
        pending.bytes.clear();
        pending.spans.clear();
        pending.rows.clear();
    }

    /// Text is read as UTF-8, the database's own encoding, so no conversion runs for a value
    /// that repeats; it becomes a QString only when it is read.
    static quint32 intern(sqlite3_value* value, ColumnKind kind, TextStore& store) {
        const void* data = kind == ColumnKind::Text
                               ? static_cast<const void*>(sqlite3_value_text(value))
                               : sqlite3_value_blob(value);
        const int size = sqlite3_value_bytes(value);
        return store.intern(QByteArrayView(static_cast<const char*>(data), size));
    }

    const OwnValue* ownValue(qsizetype row) const {
        if (!own.test(row))
            return nullptr;
        const auto it = std::lower_bound(owns.begin(), owns.end(), row,
                                         [](const OwnValue& v, qsizetype r) { return v.row < r; });
        return &*it;
    }
};
