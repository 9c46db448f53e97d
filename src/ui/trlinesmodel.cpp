#include "trlinesmodel.h"

void TRLinesModel::setLines(QStringList lines) {
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

int TRLinesModel::rowCount(const QModelIndex& parent) const {
    // A list view counts rows in int; a file of more lines shows its first 2^31 - 1.
    return parent.isValid() ? 0 : int(qMin<qsizetype>(m_lines.size(), INT_MAX));
}

QVariant TRLinesModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_lines.size())
        return {};
    return m_lines.at(index.row());
}
