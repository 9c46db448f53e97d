// Fee Database page figures on a generated fee database of 100,000 tournaments and 2,000,000
// Detail rows: opening both views, a title click (re-sort and reload), and 1,000 moves of the
// master row with the detail view following, each beside plain SQLite stepping through the same
// queries in the same run; peak memory of each phase.
//
//   bench_feepage [folder] [--window]
//   (the database is generated in folder once and reused, default /tmp; --window: only the
//   figures of the window itself)

#include "Main.h"
#include "feedatabase.h"
#include "feeviews.h"
#include "resultset.h"
#include "resultsetmodel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sqlite3.h>

namespace {
constexpr int kTournaments = 100'000;
constexpr int kPlayersPerTournament = 20; // 2,000,000 Detail rows
constexpr int kPlayerPool = 30'000;
constexpr int kRuns = 5;
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

double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

/// Best wall-clock and processor times of a run, in ms.
struct Times {
    double wall = 1e300;
    double cpu = 1e300;
    void take(const std::function<void()>& run) {
        QElapsedTimer timer;
        const double cpuStart = CpuMs();
        timer.start();
        run();
        wall = std::min(wall, double(timer.nsecsElapsed()) / 1e6);
        cpu = std::min(cpu, CpuMs() - cpuStart);
    }
};

/// Ours and the baseline by turns, so that a busy machine weighs on both alike; the best of
/// each counts.
std::pair<Times, Times> Compare(const std::function<void()>& ours,
                                const std::function<void()>& plain) {
    Times o;
    Times p;
    for (int i = 0; i < kRuns; ++i) {
        p.take(plain);
        o.take(ours);
    }
    return {o, p};
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

void Row(const char* what, const std::pair<Times, Times>& t) {
    const auto& [ours, plain] = t;
    std::printf("%-44s %9.1f %9.1f %6.2f   %9.1f %9.1f %6.2f\n", what, ours.wall, plain.wall,
                ours.wall / plain.wall, ours.cpu, plain.cpu, ours.cpu / plain.cpu);
}

void Ignore(const QString&) {}

/// Messages of the window go to the standard error stream; nothing waits for an answer.
class PrintedMessages : public OperatorMessages {
public:
    bool show(MessageKind, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

/// The window itself (offscreen): Open, then 1,000 presses of the Down key in the master grid,
/// each with the detail grid, both status lines and the paint that follows.
void WindowFigures(const QString& path) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    PrintedMessages messages;
    TMainForm form(path, &messages);
    form.ShowAtStart();
    form.PageControl1->setCurrentWidget(form.DataPage);
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    form.DBOpenBtnClick();
    QApplication::processEvents();
    std::printf("\nWindow, offscreen: Open with the first paint %.1f ms\n",
                double(timer.nsecsElapsed()) / 1e6);

    form.MasterGrid->setFocus();
    std::vector<double> moveMs;
    std::vector<double> handleMs; ///< the key alone, without the paint that follows
    for (int i = 0; i < kMoves; ++i) {
        timer.restart();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(form.MasterGrid, &press);
        handleMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
        moveMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(moveMs.begin(), moveMs.end());
    std::sort(handleMs.begin(), handleMs.end());
    std::printf(
        "  1,000 Down keys in the master grid: median %.3f ms, 99.9th %.3f ms, slowest "
        "%.3f ms (the key alone, before the paint: median %.3f ms); status \"%s\" / \"%s\"\n",
        moveMs[moveMs.size() / 2], moveMs[moveMs.size() * 999 / 1000], moveMs.back(),
        handleMs[handleMs.size() / 2], qPrintable(form.MasterStatus->text()),
        qPrintable(form.DetailStatus->text()));
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool windowOnly = args.removeAll(QStringLiteral("--window")) > 0;
    const QString folder = args.isEmpty() ? QDir::tempPath() : args.first();
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
    if (windowOnly) {
        db.Close();
        WindowFigures(path);
        return 0;
    }
    sqlite3* raw = db.handle();
    std::printf("%lld tournaments, %lld Detail rows; resident before the runs %ld MB\n\n",
                CountRows(raw, "SELECT count(*) FROM Master"),
                CountRows(raw, "SELECT count(*) FROM Detail"), PeakMb());
    std::printf("%-44s %29s   %29s\n", "", "wall clock, ms", "processor time, ms");
    std::printf("%-44s %9s %9s %6s   %9s %9s %6s\n", "case", "ours", "plain", "ratio", "ours",
                "plain", "ratio");

    const QString masterSql = QString::fromUtf16(kInitialMasterSql);
    const QString detailSql = QString::fromUtf16(kDetailSql);

    FeeViews views;
    ResultSetModel masterModel(&views.master);
    ResultSetModel detailModel(&views.detail);

    // Open: both views, beside plain stepping of the two queries.
    PlainRun(raw, masterSql); // warms the page cache
    PlainRun(raw, detailSql);
    const auto open = [&] { views.load(db, masterSql, detailSql, Ignore, Ignore); };
    const auto plainOpen = [&] {
        PlainRun(raw, masterSql);
        PlainRun(raw, detailSql);
    };
    ResetPeak();
    Row("Open (both views)", Compare(open, plainOpen));
    std::printf("  master view %lld rows, detail view %lld rows; peak %ld MB\n",
                qlonglong(views.master.rowCount()), qlonglong(views.detail.totalRowCount()),
                PeakMb());

    // A click on the TName title: the master query sorted by name, both views reloaded.
    const QString sortedSql = MasterQueryFor(NextMasterSortOrder({}, QStringLiteral("TName")));
    const auto click = [&] {
        const MasterSortOrder order = NextMasterSortOrder({}, QStringLiteral("TName"));
        views.load(db, MasterQueryFor(order), detailSql, Ignore, Ignore);
    };
    const auto plainClick = [&] {
        PlainRun(raw, sortedSql);
        PlainRun(raw, detailSql);
    };
    ResetPeak();
    Row("Title click TName (re-sort, reload)", Compare(click, plainClick));
    std::printf("  peak %ld MB\n", PeakMb());

    // 1,000 master moves with the detail view and its grid model following, beside one
    // indexed query per move for the same tournament's rows.
    QRandomGenerator random(7);
    std::vector<qsizetype> targets(kMoves);
    for (auto& t : targets)
        t = random.bounded(int(views.master.rowCount()));
    const int tnumber = views.master.columnIndex(QStringLiteral("TNumber"));
    sqlite3_stmt* perMove = nullptr;
    sqlite3_prepare_v2(raw, "SELECT TNumber, Player, Fees FROM Detail WHERE TNumber = ?", -1,
                       &perMove, nullptr);
    std::vector<double> moveMs;
    qint64 shown = 0;
    qint64 plainShown = 0;
    const auto moves = [&] {
        for (qsizetype target : targets) {
            QElapsedTimer one;
            one.start();
            views.master.setCurrentRow(target);
            shown += views.detail.rowCount();
            moveMs.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    };
    const auto plainMoves = [&] {
        for (qsizetype target : targets) {
            sqlite3_bind_int64(perMove, 1, views.master.integerAt(target, tnumber));
            while (sqlite3_step(perMove) == SQLITE_ROW) {
                ++plainShown;
                (void)sqlite3_column_text(perMove, 1);
            }
            sqlite3_reset(perMove);
        }
    };
    Row("1,000 master moves (plain: indexed queries)", Compare(moves, plainMoves));
    sqlite3_finalize(perMove);
    std::sort(moveMs.begin(), moveMs.end());
    std::printf("  single moves: median %.4f ms, 99.9th %.3f ms, slowest %.3f ms; rows shown %lld"
                " (plain %lld)\n",
                moveMs[moveMs.size() / 2], moveMs[moveMs.size() * 999 / 1000], moveMs.back(), shown,
                plainShown);

    // The detail rows in another order than their tournaments: the link index must sort.
    const QString shuffledSql = QStringLiteral("SELECT TNumber, Player, Fees FROM Detail"
                                               " ORDER BY Player");
    ResetPeak();
    Row("Detail view ordered by Player",
        Compare([&] { views.detail.open(db, shuffledSql); }, [&] { PlainRun(raw, shuffledSql); }));
    std::printf("  peak %ld MB\n", PeakMb());

    const double shell = ShellMs(path, {masterSql, detailSql});
    if (shell > 0)
        std::printf("\nsqlite3 shell printing both queries to /dev/null: %.1f ms wall\n", shell);

    views.master.close();
    views.detail.close();
    db.Close();
    WindowFigures(path);
    return 0;
}
