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

    /// A muted text (4.5:1 on the list) painted in the middle of the list while it has no items;
    /// empty for none. It is no item: it is never selected, counted, imported or viewed.
    void setEmptyHint(const QString& hint);
    /// Whether the hint is painted now.
    bool showsEmptyHint() const { return count() == 0 && !m_emptyHint.isEmpty(); }

Q_SIGNALS:
    void doubleClickedAnywhere();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_emptyHint;
};
