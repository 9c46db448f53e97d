#pragma once

#include <QString>

/// A profile keeps the fees of one poker server apart from every other's: its own fee database
/// and its own settings file, beside the default ones ("zvfee --profile NAME", "zvfeestats
/// --profile NAME"). Without a profile both programs use the default files, as always.

/// The message that refuses NAME, or empty text when it can name a profile: 1 to 64 ASCII
/// letters, digits, ".", "_" and "-", not starting with ".".
QString ProfileNameFault(const QString& name);

/// The profile of this run: chosen once at start, before any file is opened; empty for none.
void SetProfile(const QString& name);
const QString& CurrentProfile();

/// The file names of a profile (empty: the default ones): "ZVFee2.db3" or "ZVFee2-NAME.db3",
/// "ZVFeeStats.ini" or "ZVFeeStats-NAME.ini".
QString ProfileDatabaseFileName(const QString& profile);
QString ProfileSettingsFileName(const QString& profile);

/// The profile whose database or settings file a file name is, or empty text when it is
/// neither (the default files included).
QString ProfileOfDatabaseFileName(const QString& fileName);
QString ProfileOfSettingsFileName(const QString& fileName);

/// A window title with the profile of this run after it ("ZV Fee Stats - club2"); the title as
/// it is without a profile.
QString TitleWithProfile(const QString& title);
