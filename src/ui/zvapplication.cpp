#include "zvapplication.h"

#include "busy.h"
#include "error.h"
#include "guardedcall.h"
#include "messageboxmessages.h"

ZvApplication::ZvApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZvApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const QString text = WithFullStop(CurrentExceptionText());
        if (m_messages) {
            m_messages->show(MessageKind::GeneralError, text);
        } else {
            MessageBoxMessages boxes;
            boxes.show(MessageKind::GeneralError, text);
        }
    }
    return false;
}

void InstallBusyCursorHooks() {
    BusyCursor::setHooks([] { QApplication::setOverrideCursor(Qt::WaitCursor); },
                         [] { QApplication::restoreOverrideCursor(); });
}
