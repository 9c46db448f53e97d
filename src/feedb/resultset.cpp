#include "resultset.h"

#include "feedatabase.h"
#include "growarray.h"
#include "keyindex.h"
#include "textstore.h"

#include <QPointer>
#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <vector>

ColumnKind ColumnKindFor(const QString& declType, int storageClass) {
    if (!declType.isEmpty()) {
        const QString type = declType.toUpper();
        if (type.contains(u"INT"))
            return ColumnKind::Integer;
        if (type.contains(u"CHAR") || type.contains(u"CLOB") || type.contains(u"TEXT"))
            return ColumnKind::Text;
        if (type.contains(u"BLOB"))
            return ColumnKind::Blob;
        return ColumnKind::Float;
    }
    switch (storageClass) {
    case SQLITE_INTEGER:
        return ColumnKind::Integer;
    case SQLITE_FLOAT:
        return ColumnKind::Float;
    case SQLITE_BLOB:
        return ColumnKind::Blob;
    default: // SQLITE_TEXT, SQLITE_NULL, no row
        return ColumnKind::Text;
    }
}

QStringList UniqueColumnNames(const QStringList& names) {
    QStringList out;
    out.reserve(names.size());
    const auto taken = [&out](const QString& name) {
        return out.contains(name, Qt::CaseInsensitive);
    };
    for (const QString& name : names) {
        QString unique = name;
        for (int n = 1; taken(unique); ++n)
            unique = name + u'_' + QString::number(n); // "%s_%d"
        out.append(unique);
    }
    return out;
}

namespace {

/// Whether a double is a whole number that a 64-bit integer holds exactly.
bool IsWholeInt64(double value) {
    return value == std::trunc(value) && value >= -9223372036854775808.0 &&
           value < 9223372036854775808.0;
}

ColumnKind CellKindOf(ColumnKind column, int type, sqlite3_value* value) {
    switch (column) {
    case ColumnKind::Text:
    case ColumnKind::Blob:
        return column;
    case ColumnKind::Float:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return column;
        break;
    case ColumnKind::Integer:
        if (type == SQLITE_INTEGER)
            return column;
        if (type == SQLITE_FLOAT)
            return IsWholeInt64(sqlite3_value_double(value)) ? column : ColumnKind::Float;
        break;
    }
    return type == SQLITE_BLOB ? ColumnKind::Blob : ColumnKind::Text;
}

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
        const ColumnKind kind = null ? info.kind : CellKindOf(info.kind, type, value);
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

} // namespace

ColumnKind CellKindFor(ColumnKind column, int storageClass, sqlite3_value* value) {
    return CellKindOf(column, storageClass, value);
}

QList<ResultColumn> ResultColumnsOf(sqlite3_stmt* stmt, bool hasRow) {
    const int count = sqlite3_column_count(stmt);
    QStringList names;
    QList<ResultColumn> columns(count);
    for (int i = 0; i < count; ++i) {
        names.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        const char* decl = sqlite3_column_decltype(stmt, i);
        const int storage = hasRow ? sqlite3_column_type(stmt, i) : 0;
        columns[i].kind = ColumnKindFor(QString::fromUtf8(decl), storage);
    }
    names = UniqueColumnNames(names);
    for (int i = 0; i < count; ++i)
        columns[i].name = names[i];
    return columns;
}

namespace {
/// A double as a key code: equal values give equal codes (0.0 and -0.0 included).
qint64 FloatKeyCode(double value) {
    return std::bit_cast<qint64>(value == 0.0 ? 0.0 : value);
}
} // namespace

struct ResultSet::Data {
    bool open = false;
    std::vector<ColumnData> columns;
    qsizetype rows = 0;
    TextStore store;
    qsizetype current = -1;

    // The link to a master set: the rows shown are index.rowsOf(key of the master's current row).
    QPointer<ResultSet> master;
    QString keyField;
    QList<QMetaObject::Connection> connections;
    int keyColumn = -1;
    std::vector<qint64> keyCodes; ///< the key column's codes, unless it holds integers
    KeyIndex index;
    KeyRows shown;

    bool linked() const { return !master.isNull(); }
    void buildIndex();
    std::optional<qint64> keyCode(const ResultSet& from, qsizetype row, int column) const;
};

/// The code under which this (detail) set indexes the value of a cell of from (the master).
/// Integer keys are their value, floats their bit pattern, texts and blobs their store id; a
/// value that cannot equal any key of this set has no code.
std::optional<qint64> ResultSet::Data::keyCode(const ResultSet& from, qsizetype row,
                                               int column) const {
    if (from.isNull(row, column))
        return std::nullopt;
    const QVariant value = from.value(row, column);
    bool ok = false;
    switch (columns[size_t(keyColumn)].info.kind) {
    case ColumnKind::Integer: {
        if (from.cellKind(row, column) == ColumnKind::Float) {
            const double real = value.toDouble();
            if (real != std::floor(real) || std::abs(real) > 9.0e18)
                return std::nullopt;
            return qint64(real);
        }
        const qint64 integer = value.toLongLong(&ok);
        return ok ? std::optional<qint64>(integer) : std::nullopt;
    }
    case ColumnKind::Float: {
        const double real = value.toDouble(&ok);
        return ok ? std::optional<qint64>(FloatKeyCode(real)) : std::nullopt;
    }
    case ColumnKind::Text:
    case ColumnKind::Blob: {
        const QByteArray bytes = value.typeId() == QMetaType::QByteArray
                                     ? value.toByteArray()
                                     : value.toString().toUtf8();
        const qint64 id = store.find(bytes);
        return id < 0 ? std::nullopt : std::optional<qint64>(id);
    }
    }
    return std::nullopt;
}

/// Groups the rows by the key column; NULL keys equal no master row and are left out.
void ResultSet::Data::buildIndex() {
    index.clear();
    std::vector<qint64>().swap(keyCodes);
    if (keyColumn < 0)
        return;
    const ColumnData& key = columns[size_t(keyColumn)];
    std::span<const qint64> codes = key.integers;
    if (key.info.kind == ColumnKind::Float) {
        keyCodes.reserve(size_t(rows));
        for (const double real : key.reals)
            keyCodes.push_back(FloatKeyCode(real));
        codes = keyCodes;
    } else if (key.info.kind != ColumnKind::Integer) {
        keyCodes.assign(key.ids.begin(), key.ids.end());
        codes = keyCodes;
    }
    // NULL keys and keys of their own form (a text in a number column) equal no master key.
    index.build(codes, [&key](size_t row) {
        return key.nulls.test(qsizetype(row)) || key.own.test(qsizetype(row));
    });
}

ResultSet::ResultSet(QObject* parent) : QObject(parent), d(std::make_unique<Data>()) {}

ResultSet::~ResultSet() {
    for (const auto& c : d->connections)
        disconnect(c);
}

void ResultSet::open(FeeDatabase& db, const QString& sql) {
    close();
    Statement stmt = db.Prepare16(sql);
    const int count = sqlite3_column_count(stmt.get());
    if (count == 0) // not a query: refuse it before it changes anything
        throw ZvError(QStringLiteral("The statement returns no result columns"));

    bool row = db.Step(stmt);
    const QList<ResultColumn> infos = ResultColumnsOf(stmt.get(), row);
    std::vector<ColumnData> columns(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        columns[size_t(i)].info = infos[i];

    int keyColumn = -1;
    if (d->linked()) {
        for (int i = 0; i < count && keyColumn < 0; ++i)
            if (infos[i].name.compare(d->keyField, Qt::CaseInsensitive) == 0)
                keyColumn = i;
        if (keyColumn < 0)
            throw ZvError(QStringLiteral("Field '%1' not found").arg(d->keyField));
    }

    TextStore store;
    qsizetype rows = 0;
    for (; row; row = db.Step(stmt), ++rows)
        for (int i = 0; i < count; ++i)
            columns[size_t(i)].append(stmt.get(), i, rows, store);
    for (ColumnData& column : columns)
        column.internPending(store);

    Q_EMIT aboutToReset();
    d->columns.swap(columns);
    d->rows = rows;
    std::swap(d->store, store);
    d->keyColumn = keyColumn;
    d->buildIndex();
    d->open = true;
    d->shown = {};
    if (d->linked())
        applyLink();
    d->current = rowCount() > 0 ? 0 : -1;
    Q_EMIT reset();
    Q_EMIT currentRowChanged();
}

void ResultSet::close() {
    if (!d->open)
        return;
    Q_EMIT aboutToReset();
    d->rows = 0;
    d->keyColumn = -1;
    d->buildIndex(); // drops the index
    d->shown = {};
    std::vector<ColumnData>().swap(d->columns);
    d->store.clear();
    d->current = -1;
    d->open = false;
    Q_EMIT reset();
    Q_EMIT closed();
}

bool ResultSet::isOpen() const {
    return d->open;
}

int ResultSet::columnCount() const {
    return int(d->columns.size());
}

const ResultColumn& ResultSet::column(int index) const {
    return d->columns[size_t(index)].info;
}

int ResultSet::columnIndex(const QString& name) const {
    for (int i = 0; i < columnCount(); ++i)
        if (d->columns[size_t(i)].info.name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

qsizetype ResultSet::rowCount() const {
    return d->linked() ? d->shown.count : d->rows;
}

qsizetype ResultSet::totalRowCount() const {
    return d->rows;
}

qsizetype ResultSet::sourceRow(qsizetype row) const {
    if (row < 0 || row >= rowCount())
        return -1;
    return d->linked() ? d->shown.row(row) : row;
}

bool ResultSet::isNull(qsizetype row, int column) const {
    const qsizetype source = sourceRow(row);
    if (source < 0 || column < 0 || column >= columnCount())
        return true;
    return d->columns[size_t(column)].nulls.test(source);
}

ColumnKind ResultSet::cellKind(qsizetype row, int column) const {
    if (column < 0 || column >= columnCount())
        return ColumnKind::Text;
    const ColumnData& data = d->columns[size_t(column)];
    const qsizetype source = sourceRow(row);
    if (source < 0 || data.own.empty())
        return data.info.kind;
    const OwnValue* own = data.ownValue(source);
    return own ? own->kind : data.info.kind;
}

qint64 ResultSet::integerAt(qsizetype row, int column) const {
    if (isNull(row, column) || cellKind(row, column) != ColumnKind::Integer)
        return 0;
    return d->columns[size_t(column)].integers[size_t(sourceRow(row))];
}

double ResultSet::realAt(qsizetype row, int column) const {
    if (isNull(row, column) || cellKind(row, column) != ColumnKind::Float)
        return 0.0;
    const ColumnData& data = d->columns[size_t(column)];
    const qsizetype source = sourceRow(row);
    if (const OwnValue* own = data.ownValue(source))
        return own->real;
    return data.reals[size_t(source)];
}

QByteArrayView ResultSet::bytesAt(qsizetype row, int column) const {
    if (isNull(row, column))
        return {};
    const ColumnKind kind = cellKind(row, column);
    if (kind != ColumnKind::Text && kind != ColumnKind::Blob)
        return {};
    const ColumnData& data = d->columns[size_t(column)];
    const qsizetype source = sourceRow(row);
    const OwnValue* own = data.ownValue(source);
    return d->store.bytes(own ? own->id : data.ids[size_t(source)]);
}

QString ResultSet::textAt(qsizetype row, int column) const {
    if (cellKind(row, column) != ColumnKind::Text)
        return {};
    return QString::fromUtf8(bytesAt(row, column));
}

QByteArray ResultSet::blobAt(qsizetype row, int column) const {
    if (cellKind(row, column) != ColumnKind::Blob)
        return {};
    return bytesAt(row, column).toByteArray();
}

QVariant ResultSet::value(qsizetype row, int column) const {
    if (isNull(row, column))
        return {};
    switch (cellKind(row, column)) {
    case ColumnKind::Integer:
        return integerAt(row, column);
    case ColumnKind::Float:
        return realAt(row, column);
    case ColumnKind::Text:
        return textAt(row, column);
    case ColumnKind::Blob:
        return blobAt(row, column);
    }
    return {};
}

qsizetype ResultSet::currentRow() const {
    return d->current;
}

void ResultSet::setCurrentRow(qsizetype row) {
    const qsizetype rows = rowCount();
    d->current = rows == 0 ? -1 : std::clamp<qsizetype>(row, 0, rows - 1);
    Q_EMIT currentRowChanged();
}

void ResultSet::linkTo(ResultSet* master, const QString& keyField) {
    for (const auto& c : d->connections)
        disconnect(c);
    d->connections.clear();
    d->master = master;
    d->keyField = keyField;
    if (master) {
        d->connections << connect(master, &ResultSet::currentRowChanged, this,
                                  &ResultSet::followMaster);
        // An opening master announces its first row itself; a closing one does not. The link
        // follows only once the master's views have reset, since a view may repaint meanwhile.
        d->connections << connect(master, &ResultSet::closed, this, &ResultSet::followMaster);
    }
    d->keyColumn = master && d->open ? columnIndex(keyField) : -1;
    d->buildIndex();
    if (d->open)
        followMaster();
}

void ResultSet::applyLink() {
    d->shown = {};
    const ResultSet* master = d->master.data();
    if (!master || !master->isOpen() || master->currentRow() < 0 || d->keyColumn < 0)
        return;
    const int masterKey = master->columnIndex(d->keyField);
    if (masterKey < 0)
        return;
    if (const auto code = d->keyCode(*master, master->currentRow(), masterKey))
        d->shown = d->index.rowsOf(*code);
}

void ResultSet::followMaster() {
    if (!d->open)
        return;
    Q_EMIT rowsAboutToChange();
    applyLink();
    d->current = rowCount() > 0 ? 0 : -1;
    Q_EMIT rowsChanged();
    Q_EMIT currentRowChanged();
}
