// Reading a statement into result columns, a batch of rows at a time: the rows' values are first
// copied out of the statement, column after column, in the form they will be stored in; each
// column of the batch is then stored by one loop (texts interned together, numbers appended in
// their packed form), which costs far less per cell than storing every cell as it is read.

#include "columndata.h"

#include "feedatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace {

/// memcpy for the short texts of most cells, without a library call: two overlapping loads and
/// stores of a fixed size.
inline void CopyBytes(char* to, const char* from, size_t n) {
    const auto copy = [&]<typename Word>(Word) {
        Word first;
        Word last;
        std::memcpy(&first, from, sizeof(Word));
        std::memcpy(&last, from + n - sizeof(Word), sizeof(Word));
        std::memcpy(to, &first, sizeof(Word));
        std::memcpy(to + n - sizeof(Word), &last, sizeof(Word));
    };
    if (n >= 8 && n <= 16)
        copy(quint64());
    else if (n >= 4 && n < 8)
        copy(quint32());
    else
        std::memcpy(to, from, n);
}

/// What a read cell holds: NULL, a value of its column's kind, or a value of its own form.
enum class Tag : quint8 { Null, Held, OwnFloat, OwnText, OwnBlob };

/// Rows read but not yet stored, column after column: each cell's word (a number, an integer or
/// a double's bits, or the offset of its bytes), its tag, and the length of its bytes. The bytes
/// of texts and blobs are copied, since SQLite's own last only until the next step.
struct Batch {
    static constexpr size_t kRows = 2048;

    explicit Batch(size_t columns)
        : words(new quint64[columns * kRows]), sizes(new quint32[columns * kRows]),
          tags(new Tag[columns * kRows]), odd(columns) {}

    size_t rows = 0;
    std::unique_ptr<quint64[]> words; ///< left uninitialised: only the rows read are used
    std::unique_ptr<quint32[]> sizes;
    std::unique_ptr<Tag[]> tags;
    GrowArray<char> bytes;
    std::vector<char> odd; ///< by column: some cell of this batch is not Held

    size_t at(size_t column, size_t row) const { return column * kRows + row; }
    QByteArrayView bytesAt(size_t cell) const {
        return {bytes.data() + words[cell], qsizetype(sizes[cell])};
    }
    void clear() {
        rows = 0;
        bytes.clearKeepingBlock();
        std::fill(odd.begin(), odd.end(), 0);
    }
};

/// Copies the values of the current row into a batch. Values are read through
/// sqlite3_column_value and the value functions, one call into the connection per cell: every
/// column function takes the connection's mutex, which costs more than the copy itself on
/// millions of rows. The connection is used by one thread only, so the unprotected value is safe
/// here.
class Stager {
public:
    Stager(const std::vector<ColumnData>& columns, bool general) : m_general(general) {
        for (size_t i = 0; i < columns.size(); ++i) {
            m_byKind[size_t(columns[i].info.kind)].push_back(int(i));
            m_kinds.push_back(columns[i].info.kind);
        }
    }

    void stage(sqlite3_stmt* stmt, Batch& batch) const {
        const size_t r = batch.rows++;
        if (m_general) {
            for (size_t i = 0; i < m_kinds.size(); ++i)
                stageAny(stmt, int(i), batch, batch.at(i, r));
            return;
        }
        for (const int i : m_byKind[size_t(ColumnKind::Integer)]) {
            sqlite3_value* value = sqlite3_column_value(stmt, i);
            const size_t cell = batch.at(size_t(i), r);
            if (sqlite3_value_type(value) == SQLITE_INTEGER) {
                batch.words[cell] = quint64(sqlite3_value_int64(value));
                batch.tags[cell] = Tag::Held;
            } else {
                stageAny(stmt, i, batch, cell);
            }
        }
        for (const int i : m_byKind[size_t(ColumnKind::Float)]) {
            sqlite3_value* value = sqlite3_column_value(stmt, i);
            const size_t cell = batch.at(size_t(i), r);
            const int type = sqlite3_value_type(value);
            if (type == SQLITE_FLOAT) {
                batch.words[cell] = std::bit_cast<quint64>(sqlite3_value_double(value));
                batch.tags[cell] = Tag::Held;
            } else if (type == SQLITE_INTEGER) {
                batch.words[cell] = std::bit_cast<quint64>(double(sqlite3_value_int64(value)));
                batch.tags[cell] = Tag::Held;
            } else {
                stageAny(stmt, i, batch, cell);
            }
        }
        for (const int i : m_byKind[size_t(ColumnKind::Text)]) {
            sqlite3_value* value = sqlite3_column_value(stmt, i);
            const size_t cell = batch.at(size_t(i), r);
            if (sqlite3_value_type(value) == SQLITE_TEXT)
                copyBytes(sqlite3_value_text(value), sqlite3_value_bytes(value), Tag::Held, batch,
                          cell);
            else
                stageAny(stmt, i, batch, cell);
        }
        for (const int i : m_byKind[size_t(ColumnKind::Blob)])
            stageAny(stmt, i, batch, batch.at(size_t(i), r));
    }

private:
    static void copyBytes(const void* data, int size, Tag tag, Batch& batch, size_t cell) {
        batch.words[cell] = batch.bytes.size();
        batch.sizes[cell] = quint32(size);
        batch.tags[cell] = tag;
        if (size > 0) {
            CopyBytes(batch.bytes.reserveMore(size_t(size)), static_cast<const char*>(data),
                      size_t(size));
            batch.bytes.grown(size_t(size));
        }
    }

    /// The general path: any value in a column of any kind (CellKindFor).
    void stageAny(sqlite3_stmt* stmt, int i, Batch& batch, size_t cell) const {
        sqlite3_value* value = sqlite3_column_value(stmt, i);
        const int type = sqlite3_value_type(value);
        const ColumnKind column = m_kinds[size_t(i)];
        const ColumnKind kind = type == SQLITE_NULL ? column : CellKindFor(column, type, value);
        const bool held = type != SQLITE_NULL && kind == column;
        if (!held)
            batch.odd[size_t(i)] = 1;
        batch.words[cell] = 0;
        batch.tags[cell] = held ? Tag::Held : Tag::Null;
        if (type == SQLITE_NULL)
            return;
        switch (kind) {
        case ColumnKind::Integer:
            batch.words[cell] = quint64(sqlite3_value_int64(value));
            return;
        case ColumnKind::Float:
            batch.words[cell] = std::bit_cast<quint64>(sqlite3_value_double(value));
            batch.tags[cell] = held ? Tag::Held : Tag::OwnFloat;
            return;
        case ColumnKind::Text: {
            const unsigned char* text = sqlite3_value_text(value); // then its length
            copyBytes(text, sqlite3_value_bytes(value), held ? Tag::Held : Tag::OwnText, batch,
                      cell);
            return;
        }
        case ColumnKind::Blob: {
            const void* blob = sqlite3_value_blob(value);
            copyBytes(blob, sqlite3_value_bytes(value), held ? Tag::Held : Tag::OwnBlob, batch,
                      cell);
            return;
        }
        }
    }

    bool m_general;
    std::vector<ColumnKind> m_kinds;
    std::vector<int> m_byKind[4];
};

/// Stores batches into the columns, in row order.
class Packer {
public:
    Packer(std::vector<ColumnData>& columns, TextStore& store)
        : m_columns(columns), m_store(store) {}

    void store(Batch& batch) {
        for (size_t i = 0; i < m_columns.size(); ++i) {
            const ColumnKind kind = m_columns[i].info.kind;
            if (kind == ColumnKind::Text || kind == ColumnKind::Blob)
                internTexts(i, batch);
            if (batch.odd[i])
                storeOdd(i, batch);
            m_columns[i].values.append(&batch.words[batch.at(i, 0)], batch.rows);
        }
        m_firstRow += qsizetype(batch.rows);
    }

private:
    /// Replaces the words of a text or blob column's held cells by their ids in the store,
    /// interned together (TextStore::internAll).
    void internTexts(size_t i, Batch& batch) {
        const size_t first = batch.at(i, 0);
        if (!batch.odd[i]) { // every cell holds a text: straight from the batch's arrays
            m_ids.resize(batch.rows);
            m_store.internAll(batch.bytes.data(), &batch.words[first], &batch.sizes[first],
                              batch.rows, m_ids.data());
            std::copy(m_ids.begin(), m_ids.end(), &batch.words[first]);
            return;
        }
        m_views.clear();
        for (size_t r = 0; r < batch.rows; ++r) {
            const size_t cell = batch.at(i, r);
            if (batch.tags[cell] == Tag::Held)
                m_views.push_back(batch.bytesAt(cell));
        }
        m_ids.resize(m_views.size());
        m_store.internAll(m_views, m_ids.data());
        size_t next = 0;
        for (size_t r = 0; r < batch.rows; ++r) {
            const size_t cell = batch.at(i, r);
            if (batch.tags[cell] == Tag::Held)
                batch.words[cell] = m_ids[next++];
        }
    }

    /// NULLs and values of their own form: marked, kept aside, and a 0 left in the values.
    void storeOdd(size_t i, Batch& batch) {
        ColumnData& column = m_columns[i];
        for (size_t r = 0; r < batch.rows; ++r) {
            const size_t cell = batch.at(i, r);
            const Tag tag = batch.tags[cell];
            if (tag == Tag::Held)
                continue;
            const qsizetype row = m_firstRow + qsizetype(r);
            if (tag == Tag::Null) {
                column.nulls.set(row);
            } else {
                column.own.set(row);
                OwnValue odd{row, ColumnKind::Float, std::bit_cast<double>(batch.words[cell]), 0};
                if (tag != Tag::OwnFloat) {
                    odd.kind = tag == Tag::OwnText ? ColumnKind::Text : ColumnKind::Blob;
                    odd.real = 0.0;
                    odd.id = m_store.intern(batch.bytesAt(cell));
                }
                column.owns.push_back(odd);
            }
            batch.words[cell] = 0;
        }
    }

    std::vector<ColumnData>& m_columns;
    TextStore& m_store;
    qsizetype m_firstRow = 0;
    std::vector<QByteArrayView> m_views;
    std::vector<quint32> m_ids;
};

} // namespace

qsizetype ReadColumns(FeeDatabase& db, Statement& stmt, bool row, std::vector<ColumnData>& columns,
                      TextStore& store, bool general) {
    const Stager stager(columns, general);
    Packer packer(columns, store);
    Batch batch(columns.size());
    qsizetype rows = 0;
    for (; row; row = db.Step(stmt), ++rows) {
        stager.stage(stmt.get(), batch);
        if (batch.rows == Batch::kRows) {
            packer.store(batch);
            batch.clear();
        }
    }
    packer.store(batch);
    for (ColumnData& column : columns)
        column.values.finish();
    return rows;
}
