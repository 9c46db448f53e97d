#include "messageboxmessages.h"

#include "guardedcall.h"

#include <QMessageBox>

namespace {
QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
    case MessageKind::GeneralError:
        return QMessageBox::Critical;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Confirmation:
        return QMessageBox::Question;
    case MessageKind::Notice:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

bool MessageBoxMessages::show(MessageKind kind, const QString& text) {
    return showWithLine(kind, text, QString());
}

bool MessageBoxMessages::showWithLine(MessageKind kind, const QString& text, const QString& line) {
    const bool confirm = kind == MessageKind::Confirmation;
    QMessageBox box(iconOf(kind), MessageCaption(kind), text,
                    confirm ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    m_parent.data());
    // Texts come from outside (server answers, file names, the engine's errors): markup in them
    // is shown, never rendered.
    box.setTextFormat(Qt::PlainText);
    if (!line.isEmpty())
        box.setInformativeText(line);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(confirm ? QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

void RunGuardedOver(QWidget* window, OperatorMessages* messages,
                    const std::function<void()>& handler) {
    if (messages) {
        RunGuarded(*messages, handler);
        return;
    }
    MessageBoxMessages boxes(window);
    RunGuarded(boxes, handler);
}
