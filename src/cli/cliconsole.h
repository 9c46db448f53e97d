#pragma once

#include "busy.h"
#include "operatormessages.h"

#include <QString>

/// The operator messages and status line of a command-line run. Errors go to standard error,
/// notices and information to standard output; confirmations are answered OK. Status texts go
/// to standard error: one line each, or, when standard error is a terminal, one line rewritten
/// in place with a progress bar for "Loading (i of n):" texts.
class CliConsole : public OperatorMessages {
public:
    CliConsole();
    explicit CliConsole(bool terminal);
    ~CliConsole() override;

    bool show(MessageKind kind, const QString& text) override;
    /// On standard error, on a line of its own after the error.
    void cause(const QString& text) override;
    StatusLine statusLine();
    /// Ends a status line left open on the terminal, so the next text starts on a line of its own.
    void endStatus();

private:
    void status(const QString& text);

    bool m_terminal = false;
    bool m_statusOpen = false;
};

/// The bar of a progress text "Loading (i of n):  ...", 20 characters wide, or empty text for
/// any other text: "[#####...............] " for 1 of 4.
QString ProgressBar(const QString& statusText);
