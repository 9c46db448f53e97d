#include "importresults.h"

#include "filenumbers.h"
#include "playerfees.h"
#include "playerline.h"
#include "resultsmoment.h"

#include <algorithm>
#include <limits>

const char16_t* const kReplaceMasterSql =
    u"REPLACE INTO Master (TNumber, TName, Date, Time, Seconds, Entrants, Paid, Bonus, Multiply, "
    u"BuyIn, Fee, RebuyFee) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char16_t* const kReplaceDetailSql =
    u"REPLACE INTO Detail (TNumber, Player, Fees) VALUES(?, ?, ?);";

namespace {

/// Longest value taken from a key line.
constexpr qsizetype kMaxValue = 255;

/// The key line expected next in a tournament block.
enum class Expect {
    Idle,
    Number,
    BuyIn,
    PrizeBonus,
    MultiplyBonus,
    Entrants,
    Rebuy,
    Start,
    Players
};

qint32 clampToInt32(qint64 value) {
    return qint32(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(),
                                     std::numeric_limits<qint32>::max()));
}

/// The value of a key line: the rest after the key, at most 255 characters.
QStringView restAfter(QStringView line, qsizetype keyLength) {
    return line.sliced(keyLength).left(kMaxValue);
}

} // namespace

struct ResultsImporter::Tournament {
    qint32 TNumber = 0;
    QString TName;
    QString Date = QStringLiteral("0000-00-00");
    QString Time = QStringLiteral("00:00:00");
    qint32 Seconds = 0;
    qint32 Entrants = 0;
    qint64 Paid = 0; // rebuy counts come straight from the file: no overflow while counting
    double Bonus = 0;
    QString Multiply = QStringLiteral("No");
    double BuyIn = 0;
    double Fee = 0;
    double rebuyFeeAmount = 0;
    QString RebuyFee = QStringLiteral("No");
    PlayerFeeList players;

    void reset() {
        PlayerFeeList keep = std::move(players); // keeps its buffers for the next block
        *this = Tournament();
        players = std::move(keep);
        players.clear();
    }

    void addPlayer(QStringView line) {
        const PlayerLine player = ParsePlayerLine(line);
        double fee = 0;
        if (!player.removed && player.ko != u"[removed]") {
            fee = Fee;
            if (Fee > 0)
                ++Paid;
        }
        if (RebuyFee == u"Yes") {
            if (player.addOn == u"Yes") {
                fee += rebuyFeeAmount;
                ++Paid;
            }
            const qint32 rebuys = FileIntegerOrZero(player.rebuys);
            fee += rebuys * rebuyFeeAmount;
            Paid += rebuys;
        }
        players.add(player.name, fee);
    }
};

ResultsImporter::ResultsImporter(FeeDatabase& db) : m_db(db) {}

ResultsImporter::~ResultsImporter() = default;

void ResultsImporter::write(const Tournament& t) {
    if (!m_master) {
        m_master = m_db.Prepare16(QString::fromUtf16(kReplaceMasterSql));
        m_detail = m_db.Prepare16(QString::fromUtf16(kReplaceDetailSql));
    }
    m_db.Bind_Int(m_master, 1, t.TNumber);
    m_db.Bind_Str16(m_master, 2, t.TName);
    m_db.Bind_Str16(m_master, 3, t.Date);
    m_db.Bind_Str16(m_master, 4, t.Time);
    m_db.Bind_Int(m_master, 5, t.Seconds);
    m_db.Bind_Int(m_master, 6, t.Entrants);
    m_db.Bind_Int(m_master, 7, clampToInt32(t.Paid));
    m_db.Bind_Double(m_master, 8, t.Bonus);
    m_db.Bind_Str16(m_master, 9, t.Multiply);
    m_db.Bind_Double(m_master, 10, t.BuyIn);
    m_db.Bind_Double(m_master, 11, t.Fee);
    m_db.Bind_Str16(m_master, 12, t.RebuyFee);
    m_db.StepAndReset(m_master);

    for (const PlayerFeeList::Entry& entry : t.players.entries()) {
        m_db.Bind_Int(m_detail, 1, t.TNumber);
        m_db.Bind_Str16(m_detail, 2, entry.name);
        m_db.Bind_Double(m_detail, 3, entry.total);
        m_db.StepAndReset(m_detail);
    }
}

int ResultsImporter::Import(const QStringList& lines) {
    Tournament t;
    Expect expect = Expect::Idle;
    int count = 0;
    for (const QString& text : lines) {
        const QStringView line(text);
        if (line.startsWith(u"Tournament=")) {
            t.reset();
            t.TName = restAfter(line, 11).toString();
            expect = Expect::Number;
            continue;
        }
        switch (expect) {
        case Expect::Idle:
            break;
        case Expect::Number:
            if (line.startsWith(u"Number=")) {
                t.TNumber = FileIntegerOrZero(restAfter(line, 7));
                expect = t.TNumber > 0 ? Expect::BuyIn : Expect::Idle;
            }
            break;
        case Expect::BuyIn:
            if (line.startsWith(u"BuyIn=")) {
                const QStringView value = restAfter(line, 6);
                const qsizetype plus = value.indexOf(u'+');
                if (plus >= 0) {
                    t.BuyIn = FileDecimalOrZero(value.first(plus));
                    t.Fee = FileDecimalOrZero(value.sliced(plus + 1));
                }
                expect = Expect::PrizeBonus;
            }
            break;
        case Expect::PrizeBonus:
            if (line.startsWith(u"PrizeBonus=")) {
                t.Bonus = FileDecimalOrZero(restAfter(line, 11));
                expect = Expect::MultiplyBonus;
            }
            break;
        case Expect::MultiplyBonus:
            if (line.startsWith(u"MultiplyBonus=")) {
                t.Multiply = restAfter(line, 14).left(3).toString();
                expect = Expect::Entrants;
            }
            break;
        case Expect::Entrants:
            if (line.startsWith(u"Entrants=")) {
                t.Entrants = FileIntegerOrZero(restAfter(line, 9));
                if (t.Entrants > 0)
                    expect = Expect::Rebuy;
            }
            break;
        case Expect::Rebuy:
            if (line.startsWith(u"RebuyFee=")) {
                t.RebuyFee = restAfter(line, 9).left(3).toString();
                if (t.RebuyFee == u"Yes")
                    t.rebuyFeeAmount = t.Fee;
                expect = Expect::Start;
            } else if (line.startsWith(u"RebuyCost=")) {
                // Written like a buy-in, cost "+" fee: the fee is what counts.
                const qsizetype plus = line.indexOf(u'+');
                if (plus >= 0)
                    t.rebuyFeeAmount = FileDecimalOrZero(line.sliced(plus + 1).left(kMaxValue));
                if (t.rebuyFeeAmount > 0)
                    t.RebuyFee = QStringLiteral("Yes");
                expect = Expect::Start;
            }
            break;
        case Expect::Start:
            if (line.startsWith(u"Start=")) {
                // Characters 7 to 16 hold the date and 18 to 25 the time; 17 is not examined.
                t.Date = line.mid(6, 10).toString();
                t.Time = line.mid(17, 8).toString();
                expect = Expect::Players;
            }
            break;
        case Expect::Players:
            if (line.startsWith(u"Place")) {
                t.addPlayer(line);
            } else if (line.startsWith(u"Stop=")) {
                expect = Expect::Idle;
                if (t.Paid == 0)
                    break; // no fee-paying entries: nothing to store
                const ResultsMoment start = ResultsMoment::FromText(t.Date, t.Time);
                const ResultsMoment stop =
                    ResultsMoment::FromText(line.mid(5, 10).toString(), line.mid(16, 8).toString());
                t.Seconds = clampToInt32(SecondsBetween(start, stop));
                write(t);
                ++count;
            }
            break;
        }
    }
    return count;
}

int ImportResults(const QStringList& lines, FeeDatabase& db) {
    ResultsImporter importer(db);
    return importer.Import(lines);
}
