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
    bool eventFilter(QObject*, QEvent* event) override {
        return event->isInputEvent() || event->type() == QEvent::Shortcut;
    }
};
} // namespace

bool PendingEventsFirst::show(MessageKind kind, const QString& text) {
    return showWithLine(kind, text, QString());
}

bool PendingEventsFirst::showWithLine(MessageKind kind, const QString& text, const QString& line) {
    {
        const InputDropper dropped;
        QCoreApplication::processEvents();
    }
    return line.isEmpty() ? m_shown.show(kind, text) : m_shown.showWithLine(kind, text, line);
}
