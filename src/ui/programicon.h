#pragma once

#include <QIcon>

/// The program's icon in every size it is drawn in (48, 128, 256 pixels), for the title bars of
/// the main window and the viewer. Built into the program, so it shows before any installation.
QIcon ProgramIcon();
