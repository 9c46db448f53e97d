#pragma once

#include <QFont>
#include <QStyledItemDelegate>

/// The fixed-pitch font of the results lists and the viewer (9 pt).
QFont FixedPitchListFont();

/// Gives every row of a list a little vertical padding, so the accents of capitals are not
/// clipped; the rows stay of one height, so a list of a million rows lays out at once.
class RowPaddingDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
