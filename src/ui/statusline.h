#pragma once

#include "busy.h"

class QLabel;
class QWidget;

/// A status line of one text panel (19 px high, sunken), as the pages have at their bottom.
QLabel* MakeStatusPanel(const QString& objectName, QWidget* parent);

/// Writes a text into a status panel and repaints it at once, before the long step that follows
/// (no events are processed while it runs).
StatusLine StatusLineFor(QLabel* panel);
