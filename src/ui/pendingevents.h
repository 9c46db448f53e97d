#pragma once

#include "operatormessages.h"

class QEvent;

/// Input of the operator that reaches a widget: keys, mouse, wheel, touch, drag and drop,
/// shortcuts.
bool IsOperatorInput(const QEvent* event);

/// Lets the window system's pending events through once (paints, a close asked for) and drops
/// every input of the operator that came meanwhile, as a modal box or a run would drop it: a
/// click queued there starts nothing.
void ProcessPendingEventsWithoutInput();

/// The operator messages of an operation of the main window while it runs. Before each box the
/// window system's pending events are taken: a box is modal, and a request to close the window
/// made during the operation would otherwise reach the window only while the box blocks it, and
/// be dropped there. Input that came meanwhile is dropped here, as the box would drop it.
class PendingEventsFirst : public OperatorMessages {
public:
    explicit PendingEventsFirst(OperatorMessages& shown) : m_shown(shown) {}
    bool show(MessageKind kind, const QString& text) override;
    bool showWithLine(MessageKind kind, const QString& text, const QString& line) override;

private:
    OperatorMessages& m_shown;
};
