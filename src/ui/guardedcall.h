#pragma once

#include "operatormessages.h"

#include <functional>

/// Runs one event handler. An error that the handler does not handle itself reaches the general
/// error display: its text, passed through WithFullStop, shown as MessageKind::GeneralError. The
/// window stays usable: nothing escapes into the event loop.
void RunGuarded(OperatorMessages& messages, const std::function<void()>& handler);

/// The text the general error display shows for the exception being handled (call inside a
/// catch block only).
QString CurrentExceptionText();
