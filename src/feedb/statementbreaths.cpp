#include "statementbreaths.h"

#include "feedatabase.h"
#include "runcontrol.h"

#include <sqlite3.h>

namespace {
/// Engine steps between two calls: a few microseconds of work, so a breath is never late.
constexpr int kStepsPerCall = 1000;
} // namespace

StatementBreaths::StatementBreaths(FeeDatabase& db) : m_db(db) {
    if (m_db.handle())
        sqlite3_progress_handler(m_db.handle(), kStepsPerCall, &StatementBreaths::callback, this);
}

StatementBreaths::~StatementBreaths() {
    if (m_db.handle())
        sqlite3_progress_handler(m_db.handle(), 0, nullptr, nullptr);
}

int StatementBreaths::callback(void*) {
    // Nothing may be raised through the engine: the cancel comes back as an interrupt.
    try {
        return BreatheRun() ? 1 : 0;
    } catch (...) {
        if (RunControl* run = RunControl::current())
            run->cancel();
        return 1;
    }
}
