#include "guardedcall.h"

#include "error.h"

#include <exception>

QString CurrentExceptionText() {
    try {
        throw;
    } catch (const ZvError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void RunGuarded(OperatorMessages& messages, const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        messages.show(MessageKind::GeneralError, WithFullStop(CurrentExceptionText()));
    }
}
