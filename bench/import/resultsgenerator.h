#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

/// Made-up tournaments as the poker server writes them, the same for the same seed: P players a
/// tournament with rebuys, add-ons, knock-outs and a few removed players; a mix of
/// "RebuyCost=", "RebuyFee=Yes" and "RebuyFee=No" tournaments; every tournament has fee-paying
/// entries, so every one is written. Some player names carry letters outside ASCII.
class ResultsGenerator {
public:
    struct Player {
        int name = 0;   // index into names()
        double fee = 0; // what the import must store
    };
    struct Tournament {
        int number = 0;
        QByteArray text; // the block, Windows-1252, CR LF
        QByteArray name;
        QByteArray date;
        QByteArray time;
        int seconds = 0;
        int entrants = 0;
        int paid = 0;
        double bonus = 0;
        QByteArray multiply;
        double buyIn = 0;
        double fee = 0;
        QByteArray rebuyFee;
        std::vector<Player> players;
    };

    ResultsGenerator(int playersPerTournament, std::uint64_t seed = 20240503);

    /// The next tournament (numbers count up from 1).
    Tournament next();
    /// Player names as UTF-8.
    const std::vector<QByteArray>& names() const { return m_namesUtf8; }

private:
    std::uint32_t random(std::uint32_t bound);

    int m_players;
    std::uint64_t m_state;
    int m_number = 0;
    std::vector<QByteArray> m_namesUtf8;
    std::vector<QByteArray> m_names1252;
};

/// Writes tournaments 1..count into files of perFile tournaments each in folder, named
/// "TR" + date + " " + name + ".txt" as the server names them. Returns the file paths in order.
QStringList WriteResultsFolder(const QString& folder, int tournaments, int players, int perFile,
                               std::uint64_t seed = 20240503);

struct sqlite3;
struct sqlite3_stmt;

/// Writes generated tournaments the plain engine way, the baseline the import benchmarks measure
/// against: the import's two REPLACE statements, prepared once, bound and stepped per row. The
/// caller opens and commits the transaction. An engine error ends the benchmark.
class PlainTournamentWriter {
public:
    explicit PlainTournamentWriter(sqlite3* db);
    ~PlainTournamentWriter();
    PlainTournamentWriter(const PlainTournamentWriter&) = delete;
    PlainTournamentWriter& operator=(const PlainTournamentWriter&) = delete;

    void write(const ResultsGenerator::Tournament& t, const std::vector<QByteArray>& names);

private:
    void check(int rc) const;

    sqlite3* m_db;
    sqlite3_stmt* m_master = nullptr;
    sqlite3_stmt* m_detail = nullptr;
};
