#include "resultsetmodel.h"

#include "resultset.h"

#include <limits>

const QString ResultSetModel::kCurrentRowMarker = QStringLiteral("\u25B8");

QString FormatFloat00(double value, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(value, 'f', 2);
}

namespace {
/// Qt's views count rows in int; a result beyond that shows its first rows only.
int ClampToInt(qsizetype n) {
    return int(std::min<qsizetype>(n, std::numeric_limits<int>::max()));
}
} // namespace

ResultSetModel::ResultSetModel(ResultSet* set, QObject* parent)
    : QAbstractTableModel(parent), m_set(set) {
    setLocale(QLocale());
    m_rows = ClampToInt(set->rowCount());
    m_columns = set->columnCount();
    m_markedRow = ClampToInt(set->currentRow());

    connect(set, &ResultSet::aboutToReset, this, [this] { beginResetModel(); });
    connect(set, &ResultSet::reset, this, [this] {
        m_rows = ClampToInt(m_set->rowCount());
        m_columns = m_set->columnCount();
        m_markedRow = ClampToInt(m_set->currentRow());
        m_titleData.clear();
        endResetModel();
    });
    // The rows of a linked set change without its columns: remove and insert the rows, so views
    // keep their column widths (a reset would drop them).
    connect(set, &ResultSet::rowsAboutToChange, this, [this] {
        if (m_rows > 0) {
            beginRemoveRows({}, 0, m_rows - 1);
            m_rows = 0;
            m_markedRow = -1;
            endRemoveRows();
        }
    });
    connect(set, &ResultSet::rowsChanged, this, [this] {
        const int rows = ClampToInt(m_set->rowCount());
        if (rows > 0) {
            beginInsertRows({}, 0, rows - 1);
            m_rows = rows;
            endInsertRows();
        }
    });
    connect(set, &ResultSet::currentRowChanged, this, &ResultSetModel::currentMoved);
}

void ResultSetModel::setLocale(const QLocale& locale) {
    m_locale = locale;
    m_locale.setNumberOptions(m_locale.numberOptions() | QLocale::OmitGroupSeparator);
    if (m_rows > 0 && m_columns > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1), {Qt::DisplayRole});
}

int ResultSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int ResultSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant ResultSetModel::data(const QModelIndex& index, int role) const {
    // The set is asked too, since a view may repaint while the set announces a change.
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_columns ||
        index.row() >= m_set->rowCount() || index.column() >= m_set->columnCount())
        return {};
    const int row = index.row();
    const int column = index.column();
    // A value of its own form (a text in a number column) shows as that form.
    const ColumnKind kind = m_set->cellKind(row, column);
    if (role == Qt::TextAlignmentRole) {
        const bool number = kind == ColumnKind::Integer || kind == ColumnKind::Float;
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole || m_set->isNull(row, column))
        return {};
    switch (kind) {
    case ColumnKind::Integer:
        return QString::number(m_set->integerAt(row, column));
    case ColumnKind::Float:
        return FormatFloat00(m_set->realAt(row, column), m_locale);
    case ColumnKind::Text:
        return m_set->textAt(row, column);
    case ColumnKind::Blob:
        return QStringLiteral("(BLOB)");
    }
    return {};
}

QVariant ResultSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section == m_markedRow ? kCurrentRowMarker : QString();
        return {};
    }
    if (section < 0 || section >= m_columns || section >= m_set->columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_set->column(section).name;
    return m_titleData.value({section, role});
}

bool ResultSetModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                   int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns ||
        role == Qt::DisplayRole)
        return false;
    m_titleData.insert({section, role}, value);
    Q_EMIT headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

Qt::ItemFlags ResultSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void ResultSetModel::currentMoved() {
    const int previous = m_markedRow;
    m_markedRow = ClampToInt(m_set->currentRow());
    if (previous == m_markedRow)
        return;
    if (previous >= 0 && previous < m_rows)
        Q_EMIT headerDataChanged(Qt::Vertical, previous, previous);
    if (m_markedRow >= 0 && m_markedRow < m_rows)
        Q_EMIT headerDataChanged(Qt::Vertical, m_markedRow, m_markedRow);
}
