#include "resultsgenerator.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr int kNamePool = 4000;
const char* const kTournamentNames[] = {"Friday Freezeout", "Saturday Rebuy",        "Sunday Major",
                                        "Daily Turbo",      "Monday Freeroll Rebuy", "Deep Stack"};

QByteArray number(double value) {
    return QByteArray::number(value, 'g', 15);
}

QByteArray clockText(const char* format, int hours, int minutes, int seconds) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, hours, minutes, seconds);
    return QByteArray(buffer);
}

} // namespace

ResultsGenerator::ResultsGenerator(int playersPerTournament, std::uint64_t seed)
    : m_players(playersPerTournament), m_state(seed) {
    QStringEncoder cp1252("windows-1252");
    const char16_t* const accented[] = {u"Jürgen", u"Zoë", u"André", u"Søren", u"Begoña"};
    for (int i = 0; i < kNamePool; ++i) {
        // One name in twenty carries a letter outside ASCII, as real player lists do.
        const QString name = i % 20 == 7 ? QString::fromUtf16(accented[i % 5]) + QString::number(i)
                                         : QStringLiteral("player%1").arg(i, 4, 10, QChar(u'0'));
        m_namesUtf8.push_back(name.toUtf8());
        m_names1252.push_back(cp1252.encode(name));
    }
}

std::uint32_t ResultsGenerator::random(std::uint32_t bound) {
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return std::uint32_t((m_state >> 33) % bound);
}

ResultsGenerator::Tournament ResultsGenerator::next() {
    static const double kFees[][2] = {{10, 1}, {20, 2}, {5, 0.5}, {100, 9}, {2.2, 0.2}, {50, 4.5}};
    Tournament t;
    t.number = ++m_number;
    t.name = kTournamentNames[random(6)];
    const QDate day = QDate(2020, 1, 1).addDays(t.number / 40);
    t.date = day.toString(Qt::ISODate).toLatin1();
    const int startSecond = 12 * 3600 + int(random(11 * 3600));
    t.time =
        clockText("%02d:%02d:%02d", startSecond / 3600, startSecond / 60 % 60, startSecond % 60);
    t.seconds = 1800 + int(random(4 * 3600));
    const int stopSecond = startSecond + t.seconds;
    const QByteArray stopDate = day.addDays(stopSecond / 86400).toString(Qt::ISODate).toLatin1();
    const QByteArray stopTime =
        clockText("%02d:%02d:%02d", stopSecond / 3600 % 24, stopSecond / 60 % 60, stopSecond % 60);
    const auto& fees = kFees[random(6)];
    t.buyIn = fees[0];
    t.fee = fees[1];
    t.entrants = m_players;
    t.bonus = random(4) == 0 ? 100 : 0;
    t.multiply = t.bonus > 0 ? "Yes" : "No";

    QByteArray rebuyLine;
    double rebuyAmount = 0;
    switch (random(3)) {
    case 0:
        rebuyLine = "RebuyCost=" + number(t.buyIn) + "+" + number(t.fee);
        rebuyAmount = t.fee;
        break;
    case 1:
        rebuyLine = "RebuyFee=Yes";
        rebuyAmount = t.fee;
        break;
    default:
        rebuyLine = "RebuyFee=No";
        break;
    }
    t.rebuyFee = rebuyAmount > 0 ? "Yes" : "No";

    QByteArray& s = t.text;
    s += "Tournament=" + t.name + "\r\nNumber=" + QByteArray::number(t.number) +
         "\r\nBuyIn=" + number(t.buyIn) + "+" + number(t.fee) +
         "\r\nPrizeBonus=" + number(t.bonus) + "\r\nMultiplyBonus=" + t.multiply +
         "\r\nEntrants=" + QByteArray::number(t.entrants) + "\r\n" + rebuyLine +
         "\r\nStart=" + t.date + " " + t.time + "\r\n";
    const int first = int(random(kNamePool));
    for (int place = 1; place <= m_players; ++place) {
        const int name =
            (first + place * 7) % kNamePool; // distinct for up to kNamePool / 7 players
        const bool removed = random(40) == 0;
        const int rebuys = rebuyAmount > 0 ? int(random(4)) : 0;
        const bool addOn = rebuyAmount > 0 && random(2) == 0;
        s += "Place" + QByteArray::number(place) + "=" + m_names1252[name];
        if (place <= 3)
            s += " Prize:" + QByteArray::number(100 / place);
        s += " Rebuys:" + QByteArray::number(rebuys);
        s += addOn ? " AddOn:Yes" : " AddOn:No";
        if (place > 1)
            s += " KO:" + m_names1252[(first + 7) % kNamePool];
        if (removed)
            s += " Removed";
        s += "\r\n";
        double fee = removed ? 0 : t.fee;
        int paid = removed ? 0 : 1;
        if (addOn) {
            fee += rebuyAmount;
            ++paid;
        }
        fee += rebuys * rebuyAmount;
        paid += rebuyAmount > 0 ? rebuys : 0;
        t.paid += paid;
        t.players.push_back({name, QByteArray::number(fee, 'g', 15).toDouble()});
    }
    s += "Stop=" + stopDate + " " + stopTime + "\r\n";
    return t;
}

QStringList WriteResultsFolder(const QString& folder, int tournaments, int players, int perFile,
                               std::uint64_t seed) {
    QDir().mkpath(folder);
    ResultsGenerator generator(players, seed);
    QStringList paths;
    for (int done = 0; done < tournaments;) {
        QByteArray content;
        ResultsGenerator::Tournament first;
        for (int i = 0; i < perFile && done < tournaments; ++i, ++done) {
            ResultsGenerator::Tournament t = generator.next();
            content += t.text;
            if (i == 0)
                first = std::move(t);
        }
        const QString path =
            QStringLiteral("%1/TR%2 %3 %4.txt")
                .arg(folder, QString::fromLatin1(first.date), QString::fromLatin1(first.name))
                .arg(first.number, 6, 10, QChar(u'0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        paths << path;
    }
    return paths;
}

PlainTournamentWriter::PlainTournamentWriter(sqlite3* db) : m_db(db) {
    check(sqlite3_prepare_v2(db,
                             "REPLACE INTO Master (TNumber, TName, Date, Time, Seconds, Entrants, "
                             "Paid, Bonus, Multiply, BuyIn, Fee, RebuyFee) VALUES(?, ?, ?, ?, ?, "
                             "?, ?, ?, ?, ?, ?, ?);",
                             -1, &m_master, nullptr));
    check(sqlite3_prepare_v2(db, "REPLACE INTO Detail (TNumber, Player, Fees) VALUES(?, ?, ?);", -1,
                             &m_detail, nullptr));
}

PlainTournamentWriter::~PlainTournamentWriter() {
    sqlite3_finalize(m_master);
    sqlite3_finalize(m_detail);
}

void PlainTournamentWriter::check(int rc) const {
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        qFatal("sqlite: %s", sqlite3_errmsg(m_db));
}

void PlainTournamentWriter::write(const ResultsGenerator::Tournament& t,
                                  const std::vector<QByteArray>& names) {
    const auto text = [](sqlite3_stmt* s, int i, const QByteArray& v) {
        sqlite3_bind_text(s, i, v.constData(), int(v.size()), SQLITE_STATIC);
    };
    sqlite3_bind_int(m_master, 1, t.number);
    text(m_master, 2, t.name);
    text(m_master, 3, t.date);
    text(m_master, 4, t.time);
    sqlite3_bind_int(m_master, 5, t.seconds);
    sqlite3_bind_int(m_master, 6, t.entrants);
    sqlite3_bind_int(m_master, 7, t.paid);
    sqlite3_bind_double(m_master, 8, t.bonus);
    text(m_master, 9, t.multiply);
    sqlite3_bind_double(m_master, 10, t.buyIn);
    sqlite3_bind_double(m_master, 11, t.fee);
    text(m_master, 12, t.rebuyFee);
    check(sqlite3_step(m_master));
    sqlite3_reset(m_master);
    for (const ResultsGenerator::Player& p : t.players) {
        sqlite3_bind_int(m_detail, 1, t.number);
        text(m_detail, 2, names[size_t(p.name)]);
        sqlite3_bind_double(m_detail, 3, p.fee);
        check(sqlite3_step(m_detail));
        sqlite3_reset(m_detail);
    }
}
