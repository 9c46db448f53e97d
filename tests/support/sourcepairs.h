#pragma once

// Two sources of results files that share a tournament number, for the tests that take them
// through every road of an import: which second file the fee database takes after the first,
// and which it refuses because its tournament is another one under the same number.

#include "feedatabase.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <sqlite3.h>

/// One results file: the source it comes from ('A' or 'B': a folder, or a server serving that
/// folder) and its name and text.
struct SourceFile {
    char source;
    QString name;
    QByteArray text;
};

struct SourcePair {
    const char* row;
    SourceFile first;
    SourceFile second;
    bool refused;       ///< the second file is refused: the database stays as the first left it
    QStringList master; ///< "TNumber|TName|Date|Time" of every Master row at the end
};

/// A tournament block with two fee-paying players.
inline QByteArray Tourney(int number, const QByteArray& name, const QByteArray& start) {
    return "Tournament=" + name + "\r\nNumber=" + QByteArray::number(number) +
           "\r\nBuyIn=10+1\r\nPrizeBonus=0\r\nMultiplyBonus=No\r\nEntrants=2\r\nRebuyFee=No\r\n"
           "Start=" +
           start + "\r\nPlace1=alpha\r\nPlace2=bravo\r\nStop=2026-01-01 00:00:00\r\n";
}

inline QList<SourcePair> SourcePairs() {
    const QByteArray friday = Tourney(1207, "Friday Freezeout", "2024-05-03 19:00:00");
    const SourceFile first{'A', QStringLiteral("TR2024-05-03 Friday.txt"), friday};
    const QString held = QStringLiteral("1207|Friday Freezeout|2024-05-03|19:00:00");
    return {
        {"another start",
         first,
         {'B', QStringLiteral("TR2025-02-01 Friday.txt"),
          // a free number before it is not kept either
          Tourney(1301, "Early Bird", "2025-02-01 17:00:00") +
              Tourney(1207, "Friday Freezeout", "2025-02-01 18:00:00")},
         true,
         {held}},
        {"another name",
         first,
         {'B', QStringLiteral("TR2024-05-03 Other.txt"),
          Tourney(1207, "Other Server Turbo", "2024-05-03 19:00:00")},
         true,
         {held}},
        {"the same tournament copied",
         first,
         {'B', QStringLiteral("TR2024-05-03 Copy.txt"), friday},
         false,
         {held}},
        {"the same file rewritten",
         first,
         {'A', first.name, Tourney(1207, "Friday Freezeout II", "2024-05-03 19:30:00")},
         false,
         {QStringLiteral("1207|Friday Freezeout II|2024-05-03|19:30:00")}},
        {"a number repeated inside one file",
         first,
         {'B', QStringLiteral("TR2024-05-04 Twice.txt"),
          Tourney(1300, "Early", "2024-05-04 10:00:00") +
              Tourney(1300, "Late", "2024-05-04 22:00:00")},
         false,
         {held, QStringLiteral("1300|Late|2024-05-04|22:00:00")}},
    };
}

/// The refusal's own words, which every road shows.
inline const char* const kCollisionText = "is not tournament 1207 in the fee database";

/// The rows of a query, each as its values joined by "|".
inline QStringList QueryRows(const QString& dbPath, const char* sql) {
    FeeDatabase db;
    db.setDatabaseName(dbPath);
    db.Open();
    QStringList rows;
    Statement stmt = db.Prepare16(QString::fromLatin1(sql));
    while (db.Step(stmt)) {
        QStringList values;
        for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c)
            values << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), c)));
        rows << values.join(u'|');
    }
    return rows;
}

/// Every row of the fee tables and of the record.
inline QStringList DatabaseRows(const QString& dbPath) {
    QStringList rows;
    for (const char* sql :
         {"SELECT * FROM Master ORDER BY TNumber", "SELECT * FROM Detail ORDER BY TNumber, Player",
          "SELECT * FROM ImportedFiles ORDER BY Source, Name",
          "SELECT * FROM ImportedTournaments ORDER BY Source, Name, TNumber"})
        rows << QueryRows(dbPath, sql);
    return rows;
}

/// "TNumber|TName|Date|Time" of every Master row.
inline QStringList MasterIdentities(const QString& dbPath) {
    return QueryRows(dbPath, "SELECT TNumber, TName, Date, Time FROM Master ORDER BY TNumber");
}
