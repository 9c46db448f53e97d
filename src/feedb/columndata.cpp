#include "columndata.h"

#include "feedatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>

double ColumnData::real(qsizetype row) const {
    if (const OwnValue* odd = own.empty() ? nullptr : ownValue(row))
        return odd->real;
    return std::bit_cast<double>(values[size_t(row)]);
}

quint32 ColumnData::id(qsizetype row) const {
    if (const OwnValue* odd = own.empty() ? nullptr : ownValue(row))
        return odd->id;
    return quint32(values[size_t(row)]);
}

const OwnValue* ColumnData::ownValue(qsizetype row) const {
    if (!own.test(row))
        return nullptr;
    const auto it = std::lower_bound(owns.begin(), owns.end(), row,
                                     [](const OwnValue& v, qsizetype r) { return v.row < r; });
    return &*it;
}

namespace {

/// Text cells of one column waiting to be interned together (TextStore::internAll): a copy of
/// their bytes, since SQLite's text lasts only until the next step. Every cell of a text column
/// passes through it, so that the ids reach the column in row order; a cell without a text of
/// the column's own (NULL, a value of its own form) takes the id 0.
struct TextQueue {
    static constexpr size_t kTexts = 64;
    static constexpr size_t kCells = 1024;
    static constexpr size_t kNoText = size_t(-1);

    std::vector<char> bytes;
    std::vector<std::pair<size_t, size_t>> cells; ///< offset, size in bytes (kNoText: none)
    std::vector<QByteArrayView> views;
    std::vector<quint32> ids;
    size_t texts = 0;

    bool add(const char* text, size_t size) {
        cells.emplace_back(bytes.size(), size);
        bytes.insert(bytes.end(), text, text + size);
        return ++texts == kTexts || cells.size() == kCells;
    }
    bool addNone() {
        cells.emplace_back(0, kNoText);
        return cells.size() == kCells;
    }

    /// Interns the queued texts and appends every queued cell's id to values.
    void flush(TextStore& store, PackedValues& values) {
        views.clear();
        for (const auto& [offset, size] : cells)
            if (size != kNoText)
                views.emplace_back(bytes.data() + offset, qsizetype(size));
        ids.resize(views.size());
        store.internAll(views, ids.data());
        size_t next = 0;
        for (const auto& cell : cells)
            values.push_back(cell.second == kNoText ? 0 : ids[next++]);
        bytes.clear();
        cells.clear();
        texts = 0;
    }
};

/// Text is read as UTF-8, the database's own encoding, so no conversion runs for a value that
/// repeats; it becomes a QString only when it is read.
quint32 Intern(sqlite3_value* value, ColumnKind kind, TextStore& store) {
    const void* data = kind == ColumnKind::Text
                           ? static_cast<const void*>(sqlite3_value_text(value))
                           : sqlite3_value_blob(value);
    const int size = sqlite3_value_bytes(value);
    return store.intern(QByteArrayView(static_cast<const char*>(data), size));
}

/// Appends rows to the columns. Values are read through sqlite3_column_value and the value
/// functions, one call into the connection per cell: every column function takes the
/// connection's mutex, which costs more than the copy itself on millions of rows. The connection
/// is used by one thread only, so the unprotected value is safe here.
class ColumnReader {
public:
    ColumnReader(std::vector<ColumnData>& columns, TextStore& store, bool general)
        : m_columns(columns), m_store(store), m_general(general), m_queues(columns.size()) {
        for (size_t i = 0; i < columns.size(); ++i)
            m_byKind[size_t(columns[i].info.kind)].push_back(int(i));
    }

    void read(sqlite3_stmt* stmt, qsizetype row) {
        if (m_general) {
            for (size_t i = 0; i < m_columns.size(); ++i)
                readAny(stmt, int(i), row);
            return;
        }
        for (const int i : m_byKind[size_t(ColumnKind::Integer)]) {
            sqlite3_value* value = sqlite3_column_value(stmt, i);
            if (sqlite3_value_type(value) == SQLITE_INTEGER)
                m_columns[size_t(i)].values.push_back(quint64(sqlite3_value_int64(value)));
            else
                readAny(stmt, i, row);
        }
        for (const int i : m_byKind[size_t(ColumnKind::Float)]) {
            sqlite3_value* value = sqlite3_column_value(stmt, i);
            const int type = sqlite3_value_type(value);
            if (type == SQLITE_FLOAT)
                m_columns[size_t(i)].values.push_back(
                    std::bit_cast<quint64>(sqlite3_value_double(value)));
            else if (type == SQLITE_INTEGER)
                m_columns[size_t(i)].values.push_back(
                    std::bit_cast<quint64>(double(sqlite3_value_int64(value))));
            else
                readAny(stmt, i, row);
        }
        for (const int i : m_byKind[size_t(ColumnKind::Text)]) {
            sqlite3_value* value = sqlite3_column_value(stmt, i);
            if (sqlite3_value_type(value) == SQLITE_TEXT) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
                queueText(i, text, size_t(sqlite3_value_bytes(value)));
            } else {
                readAny(stmt, i, row);
            }
        }
        for (const int i : m_byKind[size_t(ColumnKind::Blob)])
            readAny(stmt, i, row);
    }

    void finish() {
        for (size_t i = 0; i < m_columns.size(); ++i) {
            if (m_columns[i].info.kind == ColumnKind::Text)
                m_queues[i].flush(m_store, m_columns[i].values);
            m_columns[i].values.finish();
        }
    }

private:
    void queueText(int i, const char* text, size_t size) {
        TextQueue& queue = m_queues[size_t(i)];
        if (queue.add(text, size))
            queue.flush(m_store, m_columns[size_t(i)].values);
    }

    /// The general path: any value in a column of any kind.
    void readAny(sqlite3_stmt* stmt, int i, qsizetype row) {
        ColumnData& column = m_columns[size_t(i)];
        sqlite3_value* value = sqlite3_column_value(stmt, i);
        const int type = sqlite3_value_type(value);
        const bool null = type == SQLITE_NULL;
        if (null)
            column.nulls.set(row);
        const ColumnKind kind =
            null ? column.info.kind : CellKindFor(column.info.kind, type, value);
        if (kind != column.info.kind) {
            column.own.set(row);
            OwnValue odd{row, kind, 0.0, 0};
            if (kind == ColumnKind::Float)
                odd.real = sqlite3_value_double(value);
            else
                odd.id = Intern(value, kind, m_store);
            column.owns.push_back(odd);
        }
        const bool held = !null && kind == column.info.kind;
        switch (column.info.kind) {
        case ColumnKind::Integer:
            column.values.push_back(held ? quint64(sqlite3_value_int64(value)) : 0);
            break;
        case ColumnKind::Float:
            column.values.push_back(held ? std::bit_cast<quint64>(sqlite3_value_double(value)) : 0);
            break;
        case ColumnKind::Text:
            if (held)
                queueText(i, reinterpret_cast<const char*>(sqlite3_value_text(value)),
                          size_t(sqlite3_value_bytes(value)));
            else if (m_queues[size_t(i)].cells.empty())
                column.values.push_back(0);
            else if (m_queues[size_t(i)].addNone())
                m_queues[size_t(i)].flush(m_store, column.values);
            break;
        case ColumnKind::Blob:
            column.values.push_back(held ? Intern(value, kind, m_store) : 0);
            break;
        }
    }

    std::vector<ColumnData>& m_columns;
    TextStore& m_store;
    bool m_general;
    std::vector<TextQueue> m_queues;
    std::vector<int> m_byKind[4];
};

} // namespace

qsizetype ReadColumns(FeeDatabase& db, Statement& stmt, bool row, std::vector<ColumnData>& columns,
                      TextStore& store, bool general) {
    ColumnReader reader(columns, store, general);
    qsizetype rows = 0;
    for (; row; row = db.Step(stmt), ++rows)
        reader.read(stmt.get(), rows);
    reader.finish();
    return rows;
}
