#pragma once

#include <QString>

/// Where the fee database of a program kept in programFolder lives:
/// - beside the program when a "ZVFee2.db3" is there already, or when the folder is writable by
///   this user and the program is not an installed copy (portable use, such as build/);
/// - otherwise in the per-user data folder, $XDG_DATA_HOME/Kestrelle/ZVFee2.db3 (by default
///   ~/.local/share/Kestrelle/), whose Kestrelle folder is created, readable by its owner only.
///
/// An installed copy is one with the shared data folder "../share/zvfeestats" beside its own
/// folder. It never writes beside itself: run by root, whom every folder lets in, it would put the
/// database into /usr/bin.
QString FeeDatabaseLocation(const QString& programFolder);

/// The fee database of this program: FeeDatabaseLocation of the executable's folder. The window
/// program and zvfee both start from it.
QString FeeDatabasePath();
