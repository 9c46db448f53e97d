#pragma once

#include "feedbfixture.h"
#include "importresults.h"

#include <QStringList>

// Results texts shared by the import tests.

inline const QStringList kStandardBlock = {"Tournament=Sunday Major",
                                           "Number=1",
                                           "BuyIn=10+1",
                                           "PrizeBonus=0",
                                           "MultiplyBonus=No",
                                           "Entrants=2",
                                           "RebuyFee=No",
                                           "Start=2024-05-05 18:00:00",
                                           "Place1=alpha",
                                           "Place2=bravo",
                                           "Stop=2024-05-05 18:30:00"};

/// A tournament block. Each change "Key=value" replaces the block's line of that key; "-Key="
/// removes it; "Place..." lines replace all player lines.
inline QString Block(const QStringList& changes = {}) {
    QStringList lines = kStandardBlock;
    QStringList players;
    for (const QString& change : changes) {
        if (change.startsWith(u"Place")) {
            players << change;
            continue;
        }
        const bool remove = change.startsWith(u'-');
        const QString key = change.mid(remove ? 1 : 0).section(u'=', 0, 0) + u'=';
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith(key)) {
                if (remove)
                    lines.removeAt(i);
                else
                    lines[i] = change;
                break;
            }
        }
    }
    if (!players.isEmpty()) {
        lines.removeIf([](const QString& l) { return l.startsWith(u"Place"); });
        lines.insert(lines.size() - 1, players.join(u'\n'));
    }
    return lines.join(u'\n') + u'\n';
}

/// Imports the text in a transaction of its own and commits it.
inline int ImportText(FeeDbFixture& f, const QString& text) {
    f.db.StartTransaction();
    const int count = ImportResults(Lines(text), f.db);
    f.db.Commit();
    return count;
}

inline const char* const kWorkedExample = R"(Tournament=Friday Freezeout
Number=1207
BuyIn=20+2
PrizeBonus=0
MultiplyBonus=No
Entrants=4
RebuyCost=20+2
Start=2024-05-03 19:00:00
Place1=delta Rebuys:1 AddOn:Yes
Place2=echo Rebuys:0 AddOn:No KO:delta
Place3=foxtrot Rebuys:2 KO:delta
Place4=golf Removed
Stop=2024-05-03 20:15:30
Tournament=Late Turbo
Number=1208
BuyIn=5+0.5
PrizeBonus=25
MultiplyBonus=Yes
Entrants=2
RebuyFee=No
Start=2024-05-03 23:50:00
Place1=hotel Rebuys:3
Place2=india KO:[removed]
Stop=2024-05-04 00:10:00)";
