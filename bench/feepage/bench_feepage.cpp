// Fee Database page figures on a generated fee database of 100,000 tournaments and 2,000,000
// Detail rows: opening both views, a title click (re-sort and reload), and 1,000 moves of the
// master row with the detail view following, each beside plain SQLite stepping through the same
// queries in the same run; peak memory of each phase.
//
//   bench_feepage [folder]   (the database is generated there once and reused; default /tmp)

#include "feedatabase.h"
#include "feeviews.h"
#include "resultset.h"
#include "resultsetmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace {
constexpr int kTournaments = 100'000;
constexpr int kPlayersPerTournament = 20; // 2,000,000 Detail rows
constexpr int kPlayerPool = 30'000;
constexpr int kRuns = 3;
constexpr int kMoves = 1'000;

qint64 CountRows(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return -1;
    const qint64 n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return n;
}

/// Writes the database with plain sqlite3 inserts, players of a tournament together, as the
/// import stores them.
void Generate(const QString& path) {
    QFile::remove(path);
    FeeDatabase fee;
    OpenOrCreateFeeDatabase(fee, path);
    sqlite3* db = fee.handle();
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* master = nullptr;
    sqlite3_stmt* detail = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Master VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", -1,
                       &master, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO Detail VALUES (?, ?, ?)", -1, &detail, nullptr);
    QRandomGenerator random(2024);
    const char* names[] = {"Daily Turbo", "Sunday Major",  "Hyper 5",   "Deepstack 20",
                           "Freeroll",    "Bounty 10",     "Night Owl", "Rebuy 2+2",
                           "Heads-Up 50", "Satellite Step"};
    const QDate first(2020, 1, 1);
    for (int t = 1; t <= kTournaments; ++t) {
        const double buyIn = 5 * (1 + random.bounded(20));
        const QByteArray date = first.addDays(t / 60).toString(Qt::ISODate).toLatin1();
        const QByteArray time = QStringLiteral("%1:%2:00")
                                    .arg(t % 24, 2, 10, QLatin1Char('0'))
                                    .arg(t % 60, 2, 10, QLatin1Char('0'))
                                    .toLatin1();
        sqlite3_bind_int(master, 1, t);
        sqlite3_bind_text(master, 2, names[random.bounded(10)], -1, SQLITE_STATIC);
        sqlite3_bind_text(master, 3, date.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(master, 4, time.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(master, 5, 600 + random.bounded(7200));
        sqlite3_bind_int(master, 6, kPlayersPerTournament);
        sqlite3_bind_int(master, 7, kPlayersPerTournament + random.bounded(10));
        sqlite3_bind_double(master, 8, random.bounded(4) * 25.0);
        sqlite3_bind_text(master, 9, "No", -1, SQLITE_STATIC);
        sqlite3_bind_double(master, 10, buyIn);
        sqlite3_bind_double(master, 11, buyIn / 10);
        sqlite3_bind_text(master, 12, "Yes", -1, SQLITE_STATIC);
        sqlite3_step(master);
        sqlite3_reset(master);
        const int start = random.bounded(kPlayerPool);
        for (int p = 0; p < kPlayersPerTournament; ++p) {
            const QByteArray player =
                QStringLiteral("Player %1").arg((start + p * 97) % kPlayerPool).toUtf8();
            sqlite3_bind_int(detail, 1, t);
            sqlite3_bind_text(detail, 2, player.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(detail, 3, buyIn / 10 * random.bounded(4));
            sqlite3_step(detail);
            sqlite3_reset(detail);
        }
    }
    sqlite3_finalize(master);
    sqlite3_finalize(detail);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

double BestMs(const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

/// Plain stepping: prepare, step every row and read every value by its storage class.
qint64 PlainRun(sqlite3* db, const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare16_v2(db, sql.utf16(), -1, &stmt, nullptr);
    qint64 rows = 0;
    qint64 sink = 0;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                sink += sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_FLOAT:
                sink += qint64(sqlite3_column_double(stmt, c));
                break;
            case SQLITE_TEXT:
                sink += *sqlite3_column_text(stmt, c);
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(stmt);
    return rows + (sink & 0);
}

/// The sqlite3 shell writing the rows of the queries to /dev/null, in ms (-1 without the shell).
double ShellMs(const QString& path, const QStringList& queries) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        for (const QString& sql : queries) {
            QProcess shell;
            shell.setStandardOutputFile(QProcess::nullDevice());
            shell.start(QStringLiteral("sqlite3"), {path, sql});
            if (!shell.waitForFinished(600'000) || shell.exitCode() != 0)
                return -1;
        }
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

/// Peak resident memory since the last ResetPeak, in MB (VmHWM).
long PeakMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
    return -1;
}

/// Sets the peak back to the present resident size (Linux: "5" into clear_refs).
void ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

void Row(const char* what, double ours, double plain) {
    std::printf("%-48s %10.1f ms %10.1f ms %7.2f\n", what, ours, plain, ours / plain);
}

void Ignore(const QString&) {}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const QString path = folder + QStringLiteral("/zvfee-bench-feepage.db3");

    FeeDatabase db;
    if (QFile::exists(path)) {
        db.setDatabaseName(path);
        db.Open();
    }
    if (!db.isOpen() || CountRows(db.handle(), "SELECT count(*) FROM Detail") !=
                            qint64(kTournaments) * kPlayersPerTournament) {
        db.Close();
        std::printf("generating %s ...\n", qPrintable(path));
        QElapsedTimer timer;
        timer.start();
        Generate(path);
        std::printf("generated in %.1f s\n", double(timer.elapsed()) / 1000.0);
        db.setDatabaseName(path);
        db.Open();
    }
    sqlite3* raw = db.handle();
    std::printf("%lld tournaments, %lld Detail rows; resident before the runs %ld MB\n\n",
                CountRows(raw, "SELECT count(*) FROM Master"),
                CountRows(raw, "SELECT count(*) FROM Detail"), PeakMb());
    std::printf("%-48s %13s %13s %7s\n", "case", "ours", "baseline", "ratio");

    const QString masterSql = QString::fromUtf16(kInitialMasterSql);
    const QString detailSql = QString::fromUtf16(kDetailSql);
    const MasterSortOrder byName = NextMasterSortOrder({}, QStringLiteral("TName"));
    const QString sortedSql = MasterQueryFor(byName);

    FeeViews views;
    ResultSetModel masterModel(&views.master);
    ResultSetModel detailModel(&views.detail);

    // Open: both views, beside plain stepping of the two queries.
    PlainRun(raw, masterSql); // warms the page cache
    PlainRun(raw, detailSql);
    const double plainOpen = BestMs([&] {
        PlainRun(raw, masterSql);
        PlainRun(raw, detailSql);
    });
    ResetPeak();
    const double open = BestMs([&] { views.load(db, masterSql, detailSql, Ignore, Ignore); });
    const long openPeak = PeakMb();
    Row("Open (both views) vs plain stepping", open, plainOpen);
    std::printf("  master view %lld rows, detail view %lld rows; peak %ld MB\n",
                qlonglong(views.master.rowCount()), qlonglong(views.detail.totalRowCount()),
                openPeak);

    // A click on the TName title: the master query sorted by name, both views reloaded.
    const double plainClick = BestMs([&] {
        PlainRun(raw, sortedSql);
        PlainRun(raw, detailSql);
    });
    ResetPeak();
    const double click = BestMs([&] {
        const MasterSortOrder order = NextMasterSortOrder({}, QStringLiteral("TName"));
        views.load(db, MasterQueryFor(order), detailSql, Ignore, Ignore);
    });
    Row("Title click TName (re-sort, reload) vs plain", click, plainClick);
    std::printf("  peak %ld MB\n", PeakMb());

    // 1,000 master moves with the detail view and its grid model following, beside one
    // indexed query per move for the same tournament's rows.
    QRandomGenerator random(7);
    std::vector<qsizetype> targets(kMoves);
    for (auto& t : targets)
        t = random.bounded(int(views.master.rowCount()));
    double slowest = 0;
    qint64 shown = 0;
    QElapsedTimer timer;
    timer.start();
    for (qsizetype target : targets) {
        QElapsedTimer one;
        one.start();
        views.master.setCurrentRow(target);
        shown += views.detail.rowCount();
        slowest = std::max(slowest, double(one.nsecsElapsed()) / 1e6);
    }
    const double moves = double(timer.nsecsElapsed()) / 1e6;
    sqlite3_stmt* perMove = nullptr;
    sqlite3_prepare_v2(raw, "SELECT TNumber, Player, Fees FROM Detail WHERE TNumber = ?", -1,
                       &perMove, nullptr);
    const int tnumber = views.master.columnIndex(QStringLiteral("TNumber"));
    qint64 plainShown = 0;
    timer.restart();
    for (qsizetype target : targets) {
        sqlite3_bind_int64(perMove, 1, views.master.integerAt(target, tnumber));
        while (sqlite3_step(perMove) == SQLITE_ROW) {
            ++plainShown;
            (void)sqlite3_column_text(perMove, 1);
        }
        sqlite3_reset(perMove);
    }
    const double plainMoves = double(timer.nsecsElapsed()) / 1e6;
    sqlite3_finalize(perMove);
    Row("1,000 master moves vs 1,000 indexed queries", moves, plainMoves);
    std::printf("  slowest move %.3f ms, mean %.4f ms; rows shown %lld (plain %lld)\n", slowest,
                moves / kMoves, shown, plainShown);

    // The detail rows in another order than their tournaments: the link index must sort.
    const QString shuffledSql = QStringLiteral("SELECT TNumber, Player, Fees FROM Detail"
                                               " ORDER BY Player");
    const double plainShuffled = BestMs([&] { PlainRun(raw, shuffledSql); });
    ResetPeak();
    const double shuffled = BestMs([&] { views.detail.open(db, shuffledSql); });
    Row("Detail view ordered by Player vs plain", shuffled, plainShuffled);
    std::printf("  peak %ld MB\n", PeakMb());

    const double shell = ShellMs(path, {masterSql, detailSql});
    if (shell > 0)
        std::printf("\nsqlite3 shell printing both queries to /dev/null: %.1f ms (Open is %.2f "
                    "of it)\n",
                    shell, open / shell);
    return 0;
}
