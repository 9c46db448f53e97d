#include "sqlmemo.h"

#include <QKeyEvent>
#include <QTextDocument>

SqlMemo::SqlMemo(QWidget* parent) : QPlainTextEdit(parent) {}

void SqlMemo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QString SqlMemoText(const QPlainTextEdit& memo) {
    QString text = memo.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}
