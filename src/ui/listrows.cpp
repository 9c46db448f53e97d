#include "listrows.h"

#include "importedmarks.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>

QFont FixedPitchListFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    return font;
}

QSize RowPaddingDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), option.fontMetrics.height()) + 2);
    return size;
}

void ResultsList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT doubleClickedAnywhere();
}

void ResultsList::setEmptyHint(const QString& hint) {
    if (hint == m_emptyHint)
        return;
    m_emptyHint = hint;
    viewport()->update();
}

void ResultsList::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (!showsEmptyHint())
        return;
    QPainter painter(viewport());
    // Muted as the marks of imported files are, and as readable (4.5:1 on the list).
    painter.setPen(MarkedTextColor(palette().color(QPalette::Active, QPalette::Text),
                                   palette().color(QPalette::Active, QPalette::Base)));
    painter.setFont(window()->font());
    const int margin = QFontMetrics(window()->font()).height();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignCenter | Qt::TextWordWrap, m_emptyHint);
}
