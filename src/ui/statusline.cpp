#include "statusline.h"

#include <QLabel>
#include <QPointer>

QLabel* MakeStatusPanel(const QString& objectName, QWidget* parent) {
    auto* panel = new QLabel(parent);
    panel->setObjectName(objectName);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setFixedHeight(19);
    panel->setIndent(2);
    panel->setTextFormat(Qt::PlainText);
    panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return panel;
}

StatusLine StatusLineFor(QLabel* panel) {
    return [p = QPointer<QLabel>(panel)](const QString& text) {
        if (!p)
            return;
        p->setText(text);
        p->repaint();
    };
}
