#pragma once

#include <QString>
#include <functional>

/// Shows the wait cursor for the whole application while it lives, and restores the normal
/// cursor when it goes, on every path. The window program installs the hooks that really change
/// the cursor; without hooks (command line, core tests) the guard only counts.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    /// How many guards are alive now (0 means the normal cursor shows).
    static int depth();
    /// Installs the functions that show and restore the wait cursor.
    static void setHooks(std::function<void()> show, std::function<void()> restore);
};

/// Writes a progress text into the status line of a page and repaints it at once (window), prints
/// it (command line) or records it (tests).
using StatusLine = std::function<void(const QString&)>;
