#pragma once

#include <QString>

class TMainForm;

/// Writes one PNG per page of the shown main window into folder ("1-TournamentResultsPage.png",
/// ...), as the window draws itself, then one of the chart window for "Fees by Date" and "Fees by
/// Player" when the database has fees ("chart-fees-by-date.png", ...). Returns false when a file
/// cannot be written.
bool SavePageScreenshots(TMainForm& form, const QString& folder);
