#pragma once

#include "operatormessages.h"

#include <QPointer>
#include <QWidget>
#include <functional>

/// The operator messages of the window program: modal message boxes with the captions and icons
/// of their kinds; a confirmation has OK (the default) and Cancel.
class MessageBoxMessages : public OperatorMessages {
public:
    explicit MessageBoxMessages(QWidget* parent = nullptr) : m_parent(parent) {}
    bool show(MessageKind kind, const QString& text) override;
    bool showWithLine(MessageKind kind, const QString& text, const QString& line) override;

private:
    QPointer<QWidget> m_parent;
};

/// Runs an event handler of a window: its errors go to the given messages, or, when there are
/// none (the real program), to message boxes over the window.
void RunGuardedOver(QWidget* window, OperatorMessages* messages,
                    const std::function<void()>& handler);
