// Handlers of the main window: Reports page.

#include "Main.h"

void TMainForm::connectReportPage() {}
