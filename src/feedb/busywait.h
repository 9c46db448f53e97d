#pragma once

#include <chrono>
#include <functional>

class FeeDatabase;

/// How long a command waits for a lock that another program holds on the fee database, and
/// what it says once when it starts to wait. A limit of 0: a statement's few retries (80 ms).
struct LockWait {
    std::chrono::milliseconds limit{0};
    /// Called once, the first time a wait lasts longer than those retries.
    std::function<void()> onWaiting;
};

/// A longer wait for a busy database than the few retries of a step: while another connection
/// holds the lock, SQLite calls back and the lock is tried again every few milliseconds, up to
/// the limit or until giveUp says so; then the statement fails as busy. Short pauses matter: a
/// writer that waits for a reader blocks new readers, so it must take its turn as soon as the
/// reader is done. The retries of a step that follow a wait that gave up do not wait again.
/// Installed on the open connection while the object lives.
class BusyWait {
public:
    BusyWait(FeeDatabase& db, std::chrono::milliseconds limit, std::function<bool()> giveUp = {},
             std::function<void()> onWaiting = {});
    ~BusyWait();
    BusyWait(const BusyWait&) = delete;
    BusyWait& operator=(const BusyWait&) = delete;

private:
    static int callback(void* self, int count);

    FeeDatabase& m_db;
    std::chrono::milliseconds m_limit;
    std::function<bool()> m_giveUp;
    std::function<void()> m_onWaiting;
    std::chrono::steady_clock::time_point m_since;
    std::chrono::steady_clock::time_point m_gaveUp;
};
