#pragma once

#include <QString>
#include <QStringView>

/// One player line of a results file ("Place3=kilo Rebuys:2 AddOn:Yes KO:lima"), cut into what
/// the fee rule reads. The views point into the line, which must outlive this value.
struct PlayerLine {
    /// Text after the first "=" (or ":") of the first token, every ":" in it read as "="; kept
    /// whole, so a name may hold "=". Empty when the first token has neither.
    QString name;
    /// The line holds " Removed".
    bool removed = false;
    /// Values of the first tokens whose keys equal "KO", "AddOn" and "Rebuys" ignoring letter
    /// case; empty when no token has the key.
    QStringView ko;
    QStringView addOn;
    QStringView rebuys;
};

/// Reads a player line: tokens are cut at every blank (empty tokens play no part) and split at
/// their first "=" or ":" into key and value.
PlayerLine ParsePlayerLine(QStringView line);
