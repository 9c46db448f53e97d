#pragma once

#include <QApplication>

class OperatorMessages;

/// The application object of the window program. Its event delivery is the last resort of the
/// general error display: an error that escapes an event handler not connected through the
/// window's guard is shown instead of ending the program.
class ZvApplication : public QApplication {
    Q_OBJECT
public:
    ZvApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    void setMessages(OperatorMessages* messages) { m_messages = messages; }

private:
    OperatorMessages* m_messages = nullptr;
};

/// Shows the wait cursor for the whole application while a BusyCursor guard lives.
void InstallBusyCursorHooks();
