#pragma once

#include <QString>
#include <QStringList>

/// The fee database of a profile of a program kept in programFolder, "ZVFee2-NAME.db3": where
/// FeeDatabaseLocation puts the default one, and beside the program also when it is there
/// already. An empty profile gives FeeDatabaseLocation itself. FeeDatabasePath gives this for
/// the profile of the run.
QString ProfileDatabaseLocation(const QString& programFolder, const QString& profile);

/// The profiles that a program kept in programFolder has: those with a database where
/// ProfileDatabaseLocation puts it, and those with a settings file beside the default one,
/// sorted.
QStringList KnownProfiles(const QString& programFolder);
