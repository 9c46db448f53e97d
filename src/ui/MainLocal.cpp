// Handlers of the main window: Tournament Results page, local tab.

#include "Main.h"

void TMainForm::connectLocalTab() {}
