#include "busywait.h"

#include "feedatabase.h"

#include <sqlite3.h>
#include <thread>
#include <utility>

namespace {
constexpr auto kPause = std::chrono::milliseconds(5);
/// A step tries a busy statement again every 10 ms a few times; within this time after a wait
/// gave up, a new wait is one of those tries.
constexpr auto kRetriesAfterGivingUp = std::chrono::milliseconds(100);
/// A wait shorter than a step's retries is not worth a word.
constexpr auto kNoticeAfter = std::chrono::milliseconds(80);
} // namespace

BusyWait::BusyWait(FeeDatabase& db, std::chrono::milliseconds limit, std::function<bool()> giveUp,
                   std::function<void()> onWaiting)
    : m_db(db), m_limit(limit), m_giveUp(std::move(giveUp)), m_onWaiting(std::move(onWaiting)) {
    db.requireOpen();
    sqlite3_busy_handler(db.handle(), &BusyWait::callback, this);
}

BusyWait::~BusyWait() {
    if (m_db.handle())
        sqlite3_busy_handler(m_db.handle(), nullptr, nullptr);
}

int BusyWait::callback(void* self, int count) {
    auto* wait = static_cast<BusyWait*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) { // a new wait for a lock begins, unless a step tries again after one
        if (now - wait->m_gaveUp < kRetriesAfterGivingUp) {
            wait->m_gaveUp = now;
            return 0;
        }
        wait->m_since = now;
    }
    if (now - wait->m_since >= wait->m_limit || (wait->m_giveUp && wait->m_giveUp())) {
        wait->m_gaveUp = now;
        return 0;
    }
    if (wait->m_onWaiting && now - wait->m_since >= kNoticeAfter)
        std::exchange(wait->m_onWaiting, {})(); // once
    std::this_thread::sleep_for(kPause);
    return 1;
}
