#include "importresults.h"

#include "filenumbers.h"
#include "playerfees.h"
#include "playerline.h"
#include "resultsmoment.h"
#include "stringlist2.h"

#include <algorithm>
#include <limits>

const char16_t* const kReplaceMasterSql =
    u"REPLACE INTO Master (TNumber, TName, Date, Time, Seconds, Entrants, Paid, Bonus, Multiply, "
    u"BuyIn, Fee, RebuyFee) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char16_t* const kReplaceDetailSql =
    u"REPLACE INTO Detail (TNumber, Player, Fees) VALUES(?, ?, ?);";
const char16_t* const kDeleteDetailSql = u"DELETE FROM Detail WHERE TNumber = ?;";

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

/// Whether the line begins with the key, exact case: an inline comparison, as every line of a
/// file meets several of these tests.
template <qsizetype N> bool startsWithKey(QStringView line, const char16_t (&key)[N]) {
    constexpr qsizetype length = N - 1;
    if (line.size() < length)
        return false;
    const char16_t* text = line.utf16();
    for (qsizetype i = 0; i < length; ++i)
        if (text[i] != key[i])
            return false;
    return true;
}

/// The first max UTF-16 units of text, one fewer when the cut would fall between the two halves
/// of a character outside the Basic Multilingual Plane: half a character would be stored as "?".
QStringView cutAt(QStringView text, qsizetype max) {
    if (text.size() <= max)
        return text;
    if (max > 0 && text[max - 1].isHighSurrogate() && text[max].isLowSurrogate())
        --max;
    return text.first(max);
}

/// The value of a key line: the rest after the key, at most 255 characters.
QStringView restAfter(QStringView line, qsizetype keyLength) {
    return cutAt(line.sliced(keyLength), kMaxValue);
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
        TNumber = 0;
        TName.clear();
        Date = QStringLiteral("0000-00-00");
        Time = QStringLiteral("00:00:00");
        Seconds = 0;
        Entrants = 0;
        Paid = 0;
        Bonus = 0;
        Multiply = QStringLiteral("No");
        BuyIn = 0;
        Fee = 0;
        rebuyFeeAmount = 0;
        RebuyFee = QStringLiteral("No");
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
        players.add(player.rawName, fee);
    }
};

/// The state of a scan through the lines of one file.
struct ResultsImporter::Scan {
    Tournament t;
    Expect expect = Expect::Idle;
    int count = 0;
    QList<qint32> written;
    qsizetype line = 0; ///< 1-based number of the line being read

    void start() {
        t.reset();
        expect = Expect::Idle;
        count = 0;
        written.clear();
        line = 0;
    }
    /// Raises the error of the text of the line being read again with its place.
    [[noreturn]] void raisePlaced(const ZvError& e) const {
        throw ResultsTextError(
            e.message(), t.TNumber > 0 ? QStringLiteral("line %1 (tournament %2)")
                                             .arg(QString::number(line), QString::number(t.TNumber))
                                       : QStringLiteral("line %1").arg(QString::number(line)));
    }
};

ResultsImporter::ResultsImporter(FeeDatabase& db) : m_db(db), m_scan(std::make_unique<Scan>()) {}

ResultsImporter::~ResultsImporter() = default;

void ResultsImporter::write(const Tournament& t) {
    if (!m_master) {
        m_master = m_db.Prepare16(QString::fromUtf16(kReplaceMasterSql));
        m_detail = m_db.Prepare16(QString::fromUtf16(kReplaceDetailSql));
        m_deleteDetail = m_db.Prepare16(QString::fromUtf16(kDeleteDetailSql));
    }
    // Texts are bound in place (no copy by SQLite): they stay put until the rows are stepped.
    m_masterTexts[0] = t.TName.toUtf8();
    m_masterTexts[1] = t.Date.toUtf8();
    m_masterTexts[2] = t.Time.toUtf8();
    m_masterTexts[3] = t.Multiply.toUtf8();
    m_masterTexts[4] = t.RebuyFee.toUtf8();
    if (m_check)
        m_check(t.TNumber, m_masterTexts[0], m_masterTexts[1], m_masterTexts[2]);
    m_db.Bind_Int(m_master, 1, t.TNumber);
    m_db.Bind_Utf8(m_master, 2, m_masterTexts[0], true);
    m_db.Bind_Utf8(m_master, 3, m_masterTexts[1], true);
    m_db.Bind_Utf8(m_master, 4, m_masterTexts[2], true);
    m_db.Bind_Int(m_master, 5, t.Seconds);
    m_db.Bind_Int(m_master, 6, t.Entrants);
    m_db.Bind_Int(m_master, 7, clampToInt32(t.Paid));
    m_db.Bind_Double(m_master, 8, t.Bonus);
    m_db.Bind_Utf8(m_master, 9, m_masterTexts[3], true);
    m_db.Bind_Double(m_master, 10, t.BuyIn);
    m_db.Bind_Double(m_master, 11, t.Fee);
    m_db.Bind_Utf8(m_master, 12, m_masterTexts[4], true);
    m_db.StepAndReset(m_master);

    // The tournament's player list replaces the stored one whole: a player that a corrected file
    // no longer names must not keep a fee row of the earlier import.
    m_db.Bind_Int(m_deleteDetail, 1, t.TNumber);
    m_db.StepAndReset(m_deleteDetail);
    for (qsizetype i = 0; i < t.players.size(); ++i) {
        m_db.Bind_Int(m_detail, 1, t.TNumber);
        m_db.Bind_Utf8(m_detail, 2, t.players.nameUtf8(i), true);
        m_db.Bind_Double(m_detail, 3, t.players.total(i));
        m_db.StepAndReset(m_detail);
    }
}

void ResultsImporter::handleLine(Scan& scan, QStringView line) {
    Tournament& t = scan.t;
    if (startsWithKey(line, u"Tournament=")) {
        t.reset();
        t.TName = restAfter(line, 11).toString();
        scan.expect = Expect::Number;
        return;
    }
    switch (scan.expect) {
    case Expect::Idle:
        break;
    case Expect::Number:
        if (startsWithKey(line, u"Number=")) {
            t.TNumber = FileIntegerOrZero(restAfter(line, 7));
            scan.expect = t.TNumber > 0 ? Expect::BuyIn : Expect::Idle;
        }
        break;
    case Expect::BuyIn:
        if (startsWithKey(line, u"BuyIn=")) {
            const QStringView value = restAfter(line, 6);
            const qsizetype plus = value.indexOf(u'+');
            if (plus >= 0) {
                t.BuyIn = FileDecimalOrZero(value.first(plus));
                t.Fee = FileDecimalOrZero(value.sliced(plus + 1));
            }
            scan.expect = Expect::PrizeBonus;
        }
        break;
    case Expect::PrizeBonus:
        if (startsWithKey(line, u"PrizeBonus=")) {
            t.Bonus = FileDecimalOrZero(restAfter(line, 11));
            scan.expect = Expect::MultiplyBonus;
        }
        break;
    case Expect::MultiplyBonus:
        if (startsWithKey(line, u"MultiplyBonus=")) {
            t.Multiply = cutAt(restAfter(line, 14), 3).toString();
            scan.expect = Expect::Entrants;
        }
        break;
    case Expect::Entrants:
        if (startsWithKey(line, u"Entrants=")) {
            t.Entrants = FileIntegerOrZero(restAfter(line, 9));
            if (t.Entrants > 0)
                scan.expect = Expect::Rebuy;
        }
        break;
    case Expect::Rebuy:
        if (startsWithKey(line, u"RebuyFee=")) {
            t.RebuyFee = cutAt(restAfter(line, 9), 3).toString();
            if (t.RebuyFee == u"Yes")
                t.rebuyFeeAmount = t.Fee;
            scan.expect = Expect::Start;
        } else if (startsWithKey(line, u"RebuyCost=")) {
            // Written like a buy-in, cost "+" fee: the fee is what counts.
            const qsizetype plus = line.indexOf(u'+');
            if (plus >= 0)
                t.rebuyFeeAmount = FileDecimalOrZero(cutAt(line.sliced(plus + 1), kMaxValue));
            if (t.rebuyFeeAmount > 0)
                t.RebuyFee = QStringLiteral("Yes");
            scan.expect = Expect::Start;
        }
        break;
    case Expect::Start:
        if (startsWithKey(line, u"Start=")) {
            // Characters 7 to 16 hold the date and 18 to 25 the time; 17 is not examined.
            t.Date = line.mid(6, 10).toString();
            t.Time = line.mid(17, 8).toString();
            scan.expect = Expect::Players;
        }
        break;
    case Expect::Players:
        if (startsWithKey(line, u"Place")) {
            t.addPlayer(line);
        } else if (startsWithKey(line, u"Stop=")) {
            scan.expect = Expect::Idle;
            if (t.Paid == 0)
                break; // no fee-paying entries: nothing to store
            const ResultsMoment start = ResultsMoment::FromText(t.Date, t.Time);
            const ResultsMoment stop = ResultsMoment::FromText(line.mid(5, 10), line.mid(16, 8));
            t.Seconds = clampToInt32(SecondsBetween(start, stop));
            write(t);
            ++scan.count;
            scan.written << t.TNumber;
        }
        break;
    }
}

template <typename ForEachLine> int ResultsImporter::importLines(ForEachLine forEachLine) {
    Scan& scan = *m_scan;
    scan.start();
    try {
        forEachLine([&](QStringView line) {
            ++scan.line;
            handleLine(scan, line);
        });
    } catch (const DatabaseError&) {
        throw; // the database's fault, not the file's
    } catch (const TournamentCollision&) {
        throw; // names its file and tournament itself
    } catch (const ZvError& e) {
        scan.raisePlaced(e);
    }
    return scan.count;
}

int ResultsImporter::Import(const QStringList& lines) {
    return importLines([&lines](const auto& handle) {
        for (const QString& line : lines)
            handle(line);
    });
}

int ResultsImporter::ImportText(QStringView text) {
    return importLines([text](const auto& handle) { ForEachResultsLine(text, handle); });
}

const QList<qint32>& ResultsImporter::written() const {
    return m_scan->written;
}

ResultsTextError::ResultsTextError(const QString& message, QString place)
    : ZvError(message), m_place(std::move(place)) {}

QString ResultsTextError::placedMessage() const {
    return (m_file.isEmpty() ? m_place : m_file + u' ' + m_place) + QStringLiteral(": ") +
           message();
}

int ImportResults(const QStringList& lines, FeeDatabase& db) {
    ResultsImporter importer(db);
    return importer.Import(lines);
}
