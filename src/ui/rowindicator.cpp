#include "rowindicator.h"

#include "resultsetmodel.h"

#include <QEvent>
#include <QStyleOptionHeader>

RowIndicator::RowIndicator(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
    // As a table view's own vertical header.
    setSectionsClickable(true);
    setHighlightSections(true);
}

QSize RowIndicator::sizeHint() const {
    if (count() == 0)
        return QHeaderView::sizeHint();
    if (m_markerSize.isEmpty()) {
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = 0;
        option.text = ResultSetModel::kCurrentRowMarker;
        option.fontMetrics = fontMetrics();
        m_markerSize = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    }
    return {m_markerSize.width(), defaultSectionSize()};
}

void RowIndicator::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_markerSize = QSize();
    QHeaderView::changeEvent(event);
}
