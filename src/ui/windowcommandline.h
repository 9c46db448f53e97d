#pragma once

#include <QString>
#include <QStringList>
#include <optional>

/// What the command line of the window program asks for. It takes --help, --version, a profile
/// (--profile NAME) and one FOLDER to list at start; every other argument is a fault. Read before
/// any window exists, so both work without a display.
struct WindowCommandLine {
    /// Set when the program ends at once with this status: 0 after --help or --version, 2 for a
    /// wrong command line.
    std::optional<int> exitCode;
    QString out; ///< for standard output
    QString err; ///< for standard error: one line naming the fault
    /// The results folder to list at start, as given (TMainForm::ListStartFolder); empty for none.
    QString folder;
    QString profile; ///< the profile to use; empty for the default files
};

/// arguments: as the program got them, the program's own name first.
WindowCommandLine ReadWindowCommandLine(const QStringList& arguments);
