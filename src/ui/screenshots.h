#pragma once

#include <QString>

class TMainForm;

/// Writes one PNG per page of the shown main window into folder ("1-TournamentResultsPage.png",
/// ...), as the window draws itself. Returns false when a file cannot be written.
bool SavePageScreenshots(TMainForm& form, const QString& folder);
