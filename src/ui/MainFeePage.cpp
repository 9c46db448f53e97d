// Handlers of the main window: Fee Database page.

#include "Main.h"

void TMainForm::connectFeePage() {}
