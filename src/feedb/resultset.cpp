#include "resultset.h"

#include "columndata.h"
#include "feedatabase.h"
#include "keyindex.h"
#include "textstore.h"

#include <QPointer>
#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <vector>

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
    if (keyColumn < 0)
        return;
    const ColumnData& key = columns[size_t(keyColumn)];
    const ColumnKind kind = key.info.kind;
    const auto forEachRun = [&key, kind](auto visit) {
        key.values.forEachRun([&](quint64 value, size_t first, size_t count) {
            visit(kind == ColumnKind::Float ? FloatKeyCode(std::bit_cast<double>(value))
                                            : qint64(value),
                  first, count);
        });
    };
    // NULL keys and keys of their own form (a text in a number column) equal no master key.
    if (!key.nulls.empty() || !key.own.empty()) {
        index.build(size_t(rows), forEachRun, [&key](size_t row) {
            return key.nulls.test(qsizetype(row)) || key.own.test(qsizetype(row));
        });
        return;
    }
    // A key column that the query grouped in ascending order is held as runs: those are the
    // index already. (A float's key code is not its stored value.)
    const std::span<const quint64> runs = key.values.runValues();
    if (kind != ColumnKind::Float && key.values.form() == PackedValues::Form::Runs &&
        std::adjacent_find(runs.begin(), runs.end(), [](quint64 a, quint64 b) {
            return qint64(a) >= qint64(b);
        }) == runs.end()) {
        index.useRuns(runs.data(), key.values.runEnds().data(), runs.size());
        return;
    }
    index.build(size_t(rows), forEachRun, [](size_t) { return false; });
}

ResultSet::ResultSet(QObject* parent) : QObject(parent), d(std::make_unique<Data>()) {}

ResultSet::~ResultSet() {
    for (const auto& c : d->connections)
        disconnect(c);
}

struct FetchedRows::Data {
    std::vector<ColumnData> columns;
    qsizetype rows = 0;
    TextStore store;
    int keyColumn = -1;
};

FetchedRows::FetchedRows() : d(std::make_unique<Data>()) {}
FetchedRows::~FetchedRows() = default;
FetchedRows::FetchedRows(FetchedRows&& other) noexcept = default;
FetchedRows& FetchedRows::operator=(FetchedRows&& other) noexcept = default;

void ResultSet::open(FeeDatabase& db, const QString& sql) {
    close();
    show(fetch(db, sql));
}

FetchedRows ResultSet::fetch(FeeDatabase& db, const QString& sql) const {
    Statement stmt = db.Prepare16(sql);
    const int count = sqlite3_column_count(stmt.get());
    if (count == 0) // not a query: refuse it before it changes anything
        throw ZvError(QStringLiteral("The statement returns no result columns"));

    bool row = db.Step(stmt);
    const QList<ResultColumn> infos = ResultColumnsOf(stmt.get(), row);
    FetchedRows fetched;
    FetchedRows::Data& f = *fetched.d;
    f.columns.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        f.columns[size_t(i)].info = infos[i];

    if (d->linked()) {
        for (int i = 0; i < count && f.keyColumn < 0; ++i)
            if (infos[i].name.compare(d->keyField, Qt::CaseInsensitive) == 0)
                f.keyColumn = i;
        if (f.keyColumn < 0)
            throw ZvError(QStringLiteral("Field '%1' not found").arg(d->keyField));
    }
    f.rows = ReadColumns(db, stmt, row, f.columns, f.store);
    return fetched;
}

void ResultSet::show(FetchedRows rows) {
    close();
    FetchedRows::Data& f = *rows.d;
    Q_EMIT aboutToReset();
    d->columns.swap(f.columns);
    d->rows = f.rows;
    std::swap(d->store, f.store);
    d->keyColumn = f.keyColumn;
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
    return d->columns[size_t(column)].isNull(source);
}

ColumnKind ResultSet::cellKind(qsizetype row, int column) const {
    if (column < 0 || column >= columnCount())
        return ColumnKind::Text;
    const ColumnData& data = d->columns[size_t(column)];
    const qsizetype source = sourceRow(row);
    return source < 0 ? data.info.kind : data.kind(source);
}

qint64 ResultSet::integerAt(qsizetype row, int column) const {
    if (isNull(row, column) || cellKind(row, column) != ColumnKind::Integer)
        return 0;
    return d->columns[size_t(column)].integer(sourceRow(row));
}

double ResultSet::realAt(qsizetype row, int column) const {
    if (isNull(row, column) || cellKind(row, column) != ColumnKind::Float)
        return 0.0;
    return d->columns[size_t(column)].real(sourceRow(row));
}

QByteArrayView ResultSet::bytesAt(qsizetype row, int column) const {
    if (isNull(row, column))
        return {};
    const ColumnKind kind = cellKind(row, column);
    if (kind != ColumnKind::Text && kind != ColumnKind::Blob)
        return {};
    return d->store.bytes(d->columns[size_t(column)].id(sourceRow(row)));
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
