#include "sqlmemo.h"

#include <QKeyEvent>

SqlMemo::SqlMemo(QWidget* parent) : QPlainTextEdit(parent) {}

void SqlMemo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
