#pragma once

#include "error.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>

/// The text a cancelled run leaves in the status line of its page.
inline constexpr auto kCancelledText = u"Cancelled";

/// Raised inside a run once the operator has cancelled it. It travels like any error, so that
/// every run rolls back as it does on failure; the front end shows "Cancelled" instead of a box.
class RunCancelled : public ZvError {
public:
    RunCancelled();
};

/// The long operation running now: an import, a server request, a statement. At most one runs at
/// a time. The operation calls breathe() (or the free functions below) often: that lets the
/// front end keep its window painted and hear a cancel; without a front end (command line, core
/// tests) breathing costs only a clock read.
///
/// cancel() may be called from any thread; a request's worker thread reads the flag.
class RunControl {
public:
    RunControl();
    ~RunControl();
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    /// The run in progress, null when none.
    static RunControl* current();

    void cancel() noexcept { m_cancelled.store(true); }
    bool cancelled() const noexcept { return m_cancelled.load(); }
    /// The flag itself, for a thread that must not touch the run object.
    const std::atomic<bool>& cancelFlag() const noexcept { return m_cancelled; }

    /// Calls the front end's breathing hook when a breath is due (every 30 ms at most); true
    /// when the run has been cancelled.
    bool breathe();
    /// breathe(), then raises RunCancelled when the run has been cancelled.
    void checkpoint();

    /// Installs what a breath does (the window: paint, and let through Esc, the Cancel button
    /// and a close). Empty: breathing does nothing.
    static void setBreathingHook(std::function<void()> hook);
    /// The time between two breaths at most, for the front end's promise to paint.
    static constexpr std::chrono::milliseconds kBreathInterval{30};

private:
    std::atomic<bool> m_cancelled{false};
    std::chrono::steady_clock::time_point m_lastBreath;
    RunControl* m_outer = nullptr;
};

/// breathe() of the current run; false without one.
bool BreatheRun();
/// checkpoint() of the current run; nothing without one.
void CheckRunCancelled();
/// True when a run is current and has been cancelled.
bool RunWasCancelled();
