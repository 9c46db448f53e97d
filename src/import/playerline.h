#pragma once

#include <QString>
#include <QStringView>

/// One player line of a results file ("Place3=kilo Rebuys:2 AddOn:Yes KO:lima"), cut into what
/// the fee rule reads. The views point into the line, which must outlive this value.
struct PlayerLine {
    /// Text after the first "=" (or ":") of the first token, as written: every ":" in it stands
    /// for "=" (PlayerName gives the name itself). Kept whole, so a name may hold "=". Empty when
    /// the first token has neither.
    QStringView rawName;
    /// The line holds " Removed".
    bool removed = false;
    /// Values of the first tokens whose keys equal "KO", "AddOn" and "Rebuys" ignoring letter
    /// case; empty when no token has the key. A ":" in a value is left as it is: no value that
    /// the fee rule looks for ("Yes", "[removed]", an integer) holds one either way.
    QStringView ko;
    QStringView addOn;
    QStringView rebuys;
};

/// Reads a player line: tokens are cut at every blank (empty tokens play no part) and split at
/// their first "=" or ":" into key and value.
PlayerLine ParsePlayerLine(QStringView line);

/// The player name of a raw name: every ":" becomes "=".
QString PlayerName(QStringView rawName);
