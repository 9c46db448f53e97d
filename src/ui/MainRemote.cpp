// Handlers of the main window: Tournament Results page, remote tab.

#include "Main.h"

void TMainForm::connectRemoteTab() {}
