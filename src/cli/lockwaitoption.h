#pragma once

#include "busywait.h"

#include <QString>
#include <functional>
#include <memory>

class FeeDatabase;

/// The --wait option of the commands that write: how long they wait for a lock that another
/// program holds on the fee database.
inline constexpr double kDefaultWaitSeconds = 60;
inline constexpr auto kWaitHelp =
    u"  --wait SECONDS     how long to wait for the database while another program\n"
    u"                     holds it locked: 0 to 86400 (default 60; 0 waits\n"
    u"                     only the window's 80 ms)\n";

/// Reads the value of --wait into seconds; the usage error's text when it is no such number.
QString ParseWaitSeconds(const QString& text, double& seconds);

/// The wait of seconds for the database at dbPath, which says once through say:
/// "Waiting for "PATH": another program is using it".
LockWait LockWaitFor(double seconds, const QString& dbPath,
                     std::function<void(const QString&)> say);

/// OpenFeeDatabaseForImport with the wait installed before the first read of the file; the
/// wait lasts as long as the returned object (none for 0 seconds).
std::unique_ptr<BusyWait> OpenFeeDatabaseWaiting(FeeDatabase& db, const QString& path,
                                                 double seconds, std::function<bool()> giveUp = {},
                                                 std::function<void(const QString&)> say = {});
