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
