// Report figures on a generated fee database: each report beside the plain SQLite run of the same
// statement, and "Detail only" load + export beside the sqlite3 shell writing the same rows as
// CSV, all in one run so that the ratios compare like with like.
//
//   bench_reports [folder]   (the database is generated there once and reused; default /tmp)

#include "csvexport.h"
#include "feedatabase.h"
#include "reportcatalogue.h"
#include "reportrun.h"
#include "resultset.h"

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
#include <sys/resource.h>

namespace {
constexpr int kTournaments = 100'000;
constexpr int kPlayersPerTournament = 20; // 2,000,000 Detail rows
constexpr int kPlayerPool = 20'000;
constexpr int kRuns = 3;

qint64 Count(FeeDatabase& db, const char* sql) {
    ResultSet view;
    view.open(db, QString::fromLatin1(sql));
    return view.rowCount() ? view.integerAt(0, 0) : 0;
}

void Generate(const QString& path) {
    QFile::remove(path);
    FeeDatabase db;
    OpenOrCreateFeeDatabase(db, path);
    db.StartTransaction();
    Statement master = db.Prepare16(
        QStringLiteral("REPLACE INTO Master VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    Statement detail = db.Prepare16(QStringLiteral("REPLACE INTO Detail VALUES (?, ?, ?)"));
    QRandomGenerator random(2024);
    const QStringList names = {"Daily Turbo", "Sunday Major", "Hyper 5",   "Deepstack 20",
                               "Freeroll",    "Bounty 10",    "Night Owl", "Rebuy 2+2",
                               "Heads-Up 50", "Satellite"};
    const QDate first(2023, 1, 1);
    for (int t = 1; t <= kTournaments; ++t) {
        const double buyIn = 5 * (1 + random.bounded(20));
        db.Bind_Int(master, 1, t);
        db.Bind_Str16(master, 2, names[random.bounded(int(names.size()))]);
        db.Bind_Str16(master, 3, ReportDateText(first.addDays(t * 730 / kTournaments)));
        db.Bind_Str16(master, 4, QStringLiteral("20:%1").arg(t % 60, 2, 10, QLatin1Char('0')));
        db.Bind_Int(master, 5, 600 + random.bounded(7200));
        db.Bind_Int(master, 6, kPlayersPerTournament);
        db.Bind_Int(master, 7, 3);
        db.Bind_Double(master, 8, 0);
        db.Bind_Str16(master, 9, QStringLiteral("No"));
        db.Bind_Double(master, 10, buyIn);
        db.Bind_Double(master, 11, buyIn / 10);
        db.Bind_Str16(master, 12, QStringLiteral("0"));
        db.StepAndReset(master);
        const int start = random.bounded(kPlayerPool);
        for (int p = 0; p < kPlayersPerTournament; ++p) {
            db.Bind_Int(detail, 1, t);
            db.Bind_Str16(detail, 2,
                          QStringLiteral("Player %1")
                              .arg((start + p * 97) % kPlayerPool, 5, 10, QLatin1Char('0')));
            db.Bind_Double(detail, 3, buyIn / 10 * (1 + random.bounded(3)));
            db.StepAndReset(detail);
        }
    }
    db.Commit();
}

double BestMs(const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

/// The plain run: prepare, step every row and read every value as its storage class.
qint64 PlainRun(FeeDatabase& db, const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare16_v2(db.handle(), sql.utf16(), -1, &stmt, nullptr);
    qint64 rows = 0, sink = 0;
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
                sink += sqlite3_column_bytes16(stmt, c);
                (void)sqlite3_column_text16(stmt, c);
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(stmt);
    return rows + (sink & 0);
}

long PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

qint64 Lines(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    qint64 lines = 0;
    while (!f.atEnd()) {
        const QByteArray chunk = f.read(1 << 20);
        lines += chunk.count('\n');
    }
    return lines;
}

void Row(const char* what, double ours, double plain) {
    std::printf("%-44s %10.1f ms %10.1f ms %7.2f\n", what, ours, plain, ours / plain);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const QString path = folder + QStringLiteral("/zvfee-bench-reports.db3");

    FeeDatabase db;
    if (QFile::exists(path)) {
        db.setDatabaseName(path);
        db.Open();
    }
    if (!db.isOpen() ||
        Count(db, "SELECT COUNT(*) FROM Detail") != qint64(kTournaments) * kPlayersPerTournament) {
        db.Close();
        std::printf("generating %s ...\n", qPrintable(path));
        QElapsedTimer timer;
        timer.start();
        Generate(path);
        std::printf("generated in %.1f s\n", timer.elapsed() / 1000.0);
        db.setDatabaseName(path);
        db.Open();
    }
    std::printf("%lld tournaments, %lld Detail rows, peak before the runs %ld MB\n\n",
                Count(db, "SELECT COUNT(*) FROM Master"), Count(db, "SELECT COUNT(*) FROM Detail"),
                PeakMb());
    std::printf("%-44s %13s %13s %7s\n", "case", "ours", "baseline", "ratio");

    const std::optional<QDate> from = QDate(2024, 3, 1), to = QDate(2024, 5, 31);
    struct Case {
        const char* name;
        QString sql;
    };
    const Case cases[] = {
        {"Fees by Player (view vs plain run)", ComposeReportSQL(1, std::nullopt, std::nullopt)},
        {"Fees by Player, 3 months (view vs plain)", ComposeReportSQL(1, from, to)},
        {"Fees by TName & Player (view vs plain)", ComposeReportSQL(4, std::nullopt, std::nullopt)},
        {"Detail only (view vs plain run)", ComposeReportSQL(7, std::nullopt, std::nullopt)},
    };
    for (const Case& c : cases) {
        ResultSet view;
        qint64 plainRows = PlainRun(db, c.sql); // warms the page cache
        const double plain = BestMs([&] { plainRows = PlainRun(db, c.sql); });
        const double ours = BestMs([&] { RunReportStatement(db, c.sql, view); });
        if (view.rowCount() != plainRows)
            std::printf("ROW COUNTS DIFFER: %lld vs %lld\n", qlonglong(view.rowCount()),
                        qlonglong(plainRows));
        Row(c.name, ours, plain);
    }

    // "Detail only" loaded into the view and exported, beside the sqlite3 shell's CSV.
    const QString detailSql = ComposeReportSQL(7, std::nullopt, std::nullopt);
    const QString ourFile = folder + QStringLiteral("/zvfee-bench-detail.csv");
    const QString shellFile = folder + QStringLiteral("/zvfee-bench-detail-sqlite3.csv");
    double loadMs = 0, buildMs = 0, writeMs = 0;
    const double ours = BestMs([&] {
        QElapsedTimer timer;
        timer.start();
        ResultSet view;
        RunReportStatement(db, detailSql, view);
        loadMs = timer.nsecsElapsed() / 1e6;
        const QByteArray bytes = BuildCsvFile(view, QLocale::c());
        buildMs = timer.nsecsElapsed() / 1e6 - loadMs;
        WriteCsvFile(ourFile, bytes);
        writeMs = timer.nsecsElapsed() / 1e6 - loadMs - buildMs;
    });
    const double shell = BestMs([&] {
        QProcess sqlite;
        sqlite.setStandardOutputFile(shellFile);
        sqlite.start(QStringLiteral("sqlite3"),
                     {QStringLiteral("-csv"), QStringLiteral("-header"), path, detailSql});
        sqlite.waitForFinished(-1);
    });
    Row("Detail only load + export (vs sqlite3 -csv)", ours, shell);
    std::printf("  last run: load %.1f ms, build %.1f ms, write %.1f ms\n", loadMs, buildMs,
                writeMs);
    std::printf("  lines: ours %lld, sqlite3 %lld; file sizes %lld and %lld bytes\n",
                Lines(ourFile), Lines(shellFile), QFile(ourFile).size(), QFile(shellFile).size());
    std::printf("\npeak memory of this process: %ld MB\n", PeakMb());
    QFile::remove(ourFile);
    QFile::remove(shellFile);
    return 0;
}
