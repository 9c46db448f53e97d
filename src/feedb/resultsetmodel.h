#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QLocale>

class ResultSet;

/// A floating-point value in the display format "0.00": at least one integer digit, exactly two
/// decimals, the locale's decimal separator, no digit grouping.
QString FormatFloat00(double value, const QLocale& locale);

/// The grid model of a result view. It reads the ResultSet's rows in place (nothing is copied),
/// shows each cell in the form of its value (ResultSet::cellKind): floating-point values as "0.00"
/// in the user's locale, texts as they are, NULL as an empty cell, the column
/// names as titles and a marker on the current row in the row indicator. Read-only.
///
/// Titles can carry extra data (a bold font for the sort column) through setHeaderData; it is
/// dropped when the set opens or closes.
class ResultSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// The marker of the current row in the row indicator.
    static const QString kCurrentRowMarker;

    explicit ResultSetModel(ResultSet* set, QObject* parent = nullptr);

    ResultSet* resultSet() const { return m_set; }
    /// The locale of the numbers shown; the user's (QLocale()) unless set.
    void setLocale(const QLocale& locale);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void currentMoved();

    ResultSet* m_set;
    QLocale m_locale;
    int m_rows = 0;
    int m_columns = 0;
    int m_markedRow = -1;
    QHash<QPair<int, int>, QVariant> m_titleData; ///< (column, role) -> value
};
