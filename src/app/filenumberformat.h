#pragma once

#include <QLocale>
#include <QString>

/// The number format of everything read from results files and of the fee totals: "." as decimal
/// separator, "," as thousands separator, never the user's regional settings. Numbers shown in
/// grids and written to CSV follow the user's locale instead.
const QLocale& FileNumberFormat();

/// Sets FileNumberFormat up; called once at start-up before any window exists. Idempotent.
void SetupFileNumberFormat();

/// A double written in the shortest general form with at most 15 significant digits in
/// FileNumberFormat: 1.5 -> "1.5", 6 -> "6", 0.1 + 0.2 -> "0.3", 5e-5 -> "5E-5".
QString FormatGeneral15(double value);
