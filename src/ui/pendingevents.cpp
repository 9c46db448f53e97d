#include "pendingevents.h"

#include <QCoreApplication>
#include <QEvent>

namespace {
/// Drops every input event of the application while it lives.
class InputDropper : public QObject {
public:
    InputDropper() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputDropper() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override { return IsOperatorInput(event); }
};
} // namespace

bool IsOperatorInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return true;
    default:
        return event->isInputEvent();
    }
}

void ProcessPendingEventsWithoutInput() {
    const InputDropper dropped;
    QCoreApplication::processEvents();
}

bool PendingEventsFirst::show(MessageKind kind, const QString& text) {
    return showWithLine(kind, text, QString());
}

bool PendingEventsFirst::showWithLine(MessageKind kind, const QString& text, const QString& line) {
    ProcessPendingEventsWithoutInput();
    return line.isEmpty() ? m_shown.show(kind, text) : m_shown.showWithLine(kind, text, line);
}
