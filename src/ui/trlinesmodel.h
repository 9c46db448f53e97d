#pragma once

#include <QAbstractListModel>
#include <QStringList>

/// The lines of the file shown in the viewer, one row per line, read straight from the list.
class TRLinesModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setLines(QStringList lines);
    const QStringList& lines() const { return m_lines; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_lines;
};
