#pragma once

#include <QFont>
#include <QListWidget>
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

/// A results list. It reports every double click in it, on an item or on the empty space below
/// the items alike, after the list has moved its focus mark for the click.
class ResultsList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

Q_SIGNALS:
    void doubleClickedAnywhere();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
