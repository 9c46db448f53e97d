#pragma once

#include <QPlainTextEdit>

/// The multi-line SQL text box: Enter inserts no line break (the key is left to the window);
/// pasted text keeps its line breaks.
class SqlMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SqlMemo(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

/// The text of an SQL box exactly as typed: the document's own characters, only its paragraph
/// breaks given as line feeds. (toPlainText() also turns a no-break space into a blank and a line
/// separator into a line feed, and a statement on a name that holds either would find nothing.)
QString SqlMemoText(const QPlainTextEdit& memo);
