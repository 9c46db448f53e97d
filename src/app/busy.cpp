#include "busy.h"

namespace {
int g_depth = 0;
std::function<void()>& showHook() {
    static std::function<void()> f;
    return f;
}
std::function<void()>& restoreHook() {
    static std::function<void()> f;
    return f;
}
} // namespace

BusyCursor::BusyCursor() {
    ++g_depth;
    if (showHook())
        showHook()();
}

BusyCursor::~BusyCursor() {
    --g_depth;
    if (restoreHook())
        restoreHook()();
}

int BusyCursor::depth() { return g_depth; }

void BusyCursor::setHooks(std::function<void()> show, std::function<void()> restore) {
    showHook() = std::move(show);
    restoreHook() = std::move(restore);
}
