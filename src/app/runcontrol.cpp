#include "runcontrol.h"

namespace {
RunControl* g_current = nullptr;

std::function<void()>& breathingHook() {
    static std::function<void()> hook;
    return hook;
}
} // namespace

RunCancelled::RunCancelled() : ZvError(QString::fromUtf16(kCancelledText)) {}

RunControl::RunControl() : m_lastBreath(std::chrono::steady_clock::now()), m_outer(g_current) {
    g_current = this;
}

RunControl::~RunControl() {
    g_current = m_outer;
}

RunControl* RunControl::current() {
    return g_current;
}

bool RunControl::breathe() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastBreath >= kBreathInterval && breathingHook()) {
        m_lastBreath = now;
        breathingHook()();
    }
    return cancelled();
}

void RunControl::checkpoint() {
    if (breathe())
        throw RunCancelled();
}

void RunControl::setBreathingHook(std::function<void()> hook) {
    breathingHook() = std::move(hook);
}

bool BreatheRun() {
    return g_current && g_current->breathe();
}

void CheckRunCancelled() {
    if (g_current)
        g_current->checkpoint();
}

bool RunWasCancelled() {
    return g_current && g_current->cancelled();
}
