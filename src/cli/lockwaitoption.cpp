#include "lockwaitoption.h"

#include "command.h"
#include "feedatabase.h"
#include "feeschema.h"

#include <cmath>

QString ParseWaitSeconds(const QString& text, double& seconds) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > 86400)
        return QStringLiteral("--wait takes seconds from 0 to 86400");
    seconds = value;
    return {};
}

LockWait LockWaitFor(double seconds, const QString& dbPath,
                     std::function<void(const QString&)> say) {
    LockWait wait;
    wait.limit = std::chrono::milliseconds(qint64(std::llround(seconds * 1000)));
    if (!say)
        say = [](const QString& line) { PrintErr(line + u'\n'); };
    wait.onWaiting = [say = std::move(say), dbPath] {
        say(QStringLiteral("Waiting for \"%1\": another program is using it").arg(dbPath));
    };
    return wait;
}

std::unique_ptr<BusyWait> OpenFeeDatabaseWaiting(FeeDatabase& db, const QString& path,
                                                 double seconds, std::function<bool()> giveUp,
                                                 std::function<void(const QString&)> say) {
    // Opening reads nothing of a file that exists; the fee tables' check is the first read.
    OpenOrCreateFeeDatabase(db, path);
    std::unique_ptr<BusyWait> busyWait;
    if (seconds > 0) {
        LockWait wait = LockWaitFor(seconds, path, std::move(say));
        busyWait = std::make_unique<BusyWait>(db, wait.limit, std::move(giveUp),
                                              std::move(wait.onWaiting));
    }
    RequireFeeSchema(db);
    return busyWait;
}
