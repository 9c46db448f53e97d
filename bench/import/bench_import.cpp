// Import benchmark: N tournaments x P players of generated results files through the import run
// (reading, decoding, parsing, fee arithmetic, writing, commit), against a plain sqlite3 program
// that inserts the same rows with prepared REPLACE statements in one transaction. Both run in the
// same process, twice each, alternately, on fresh database files in the same folder.
//
//   bench_import [--tournaments N] [--players P] [--per-file F] [--keep]

#include "feedatabase.h"
#include "importrun.h"
#include "resultsgenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

class NoMessages : public OperatorMessages {
public:
    bool show(MessageKind kind, const QString& text) override {
        if (kind != MessageKind::Notice)
            std::fprintf(stderr, "%s\n", qPrintable(text));
        return true;
    }
};

/// The rows of the generated tournaments, held compactly for the plain insert.
struct PlainRows {
    std::vector<ResultsGenerator::Tournament> masters; // players kept, texts dropped
    std::vector<QByteArray> names;
};

/// Resets the peak resident size (Linux: clear_refs 5), so a phase measures its own peak.
void resetPeakMemory() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

/// A field of /proc/self/status in MiB ("VmHWM:", "VmRSS:"), or -1.
double statusMiB(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(qsizetype(std::strlen(field)))
                           .trimmed()
                           .split(' ')
                           .first()
                           .toDouble() /
                       1024.0;
    }
    return -1;
}

/// Peak resident size in MiB since the last reset (getrusage when /proc has no VmHWM).
double peakMemoryMiB() {
    const double hwm = statusMiB("VmHWM:");
    if (hwm >= 0)
        return hwm;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

/// Processor time of the process so far, in seconds (user and system): less disturbed by other
/// programs on a busy machine than the wall clock.
double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

/// Wall and processor seconds of one timed phase.
struct Timing {
    double wall = 0;
    double processor = 0;
};

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        qFatal("sqlite: %s", sqlite3_errmsg(db));
}

QString freshDatabase(const QString& folder, const QString& name) {
    const QString path = folder + u'/' + name;
    QFile::remove(path);
    FeeDatabase db;
    OpenOrCreateFeeDatabase(db, path);
    return path;
}

Timing plainInsert(const QString& path, const PlainRows& rows) {
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    QElapsedTimer timer;
    timer.start();
    const double processorStart = processorSeconds();
    check(sqlite3_exec(db, "BEGIN DEFERRED TRANSACTION", nullptr, nullptr, nullptr), db);
    {
        PlainTournamentWriter writer(db);
        for (const ResultsGenerator::Tournament& t : rows.masters)
            writer.write(t, rows.names);
    }
    check(sqlite3_exec(db, "COMMIT TRANSACTION;", nullptr, nullptr, nullptr), db);
    const Timing timing{timer.nsecsElapsed() / 1e9, processorSeconds() - processorStart};
    sqlite3_close(db);
    return timing;
}

struct ImportFigures {
    double residentAtStart = 0;
    Timing time;
    double peakAtTenth = 0;
    double peak = 0;
};

ImportFigures importFiles(const QString& path, const QStringList& files) {
    FeeDatabase db;
    db.setDatabaseName(path);
    db.Open();
    QList<ImportRunFile> run;
    for (const QString& file : files)
        run.append({file, file});
    NoMessages messages;
    ImportFigures figures;
    const QString tenth =
        QStringLiteral("Loading (%1 of").arg(std::max<qsizetype>(1, files.size() / 10));
    resetPeakMemory();
    figures.residentAtStart = statusMiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    const double processorStart = processorSeconds();
    const ImportRunOutcome outcome = ImportResultsFiles(run, db, messages,
                                                        [&](const QString& status) {
                                                            if (status.startsWith(tenth))
                                                                figures.peakAtTenth =
                                                                    peakMemoryMiB();
                                                        },
                                                        {});
    figures.time = {timer.nsecsElapsed() / 1e9, processorSeconds() - processorStart};
    figures.peak = peakMemoryMiB();
    if (!outcome.unreadablePath.isEmpty())
        qFatal("could not read %s", qPrintable(outcome.unreadablePath));
    return figures;
}

QString tableSummary(const QString& path) {
    FeeDatabase db;
    db.setDatabaseName(path);
    db.Open();
    Statement s = db.Prepare16(QStringLiteral(
        "SELECT (SELECT count(*) FROM Master), (SELECT sum(Paid) FROM Master), count(*), "
        "printf('%.6f', sum(Fees)) FROM Detail"));
    db.Step(s);
    return QStringLiteral("%1 Master rows, Paid %2, %3 Detail rows, fees %4")
        .arg(sqlite3_column_int64(s.get(), 0))
        .arg(sqlite3_column_int64(s.get(), 1))
        .arg(sqlite3_column_int64(s.get(), 2))
        .arg(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 3))));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int tournaments = 100000;
    int players = 20;
    int perFile = 100;
    bool keep = false;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--tournaments" && i + 1 < args.size())
            tournaments = args[++i].toInt();
        else if (args[i] == u"--players" && i + 1 < args.size())
            players = args[++i].toInt();
        else if (args[i] == u"--per-file" && i + 1 < args.size())
            perFile = args[++i].toInt();
        else if (args[i] == u"--keep")
            keep = true;
        else {
            std::fprintf(
                stderr,
                "usage: bench_import [--tournaments N] [--players P] [--per-file F] [--keep]\n");
            return 2;
        }
    }

    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench_import-XXXXXX"));
    dir.setAutoRemove(!keep);
    const QString folder = dir.path();
    std::printf(
        "import benchmark: %d tournaments x %d players (%lld Detail rows), %d tournaments a "
        "file, in %s\n",
        tournaments, players, qint64(tournaments) * players, perFile, qPrintable(folder));

    QElapsedTimer timer;
    timer.start();
    const QStringList files = WriteResultsFolder(folder + QStringLiteral("/TourneyResults"),
                                                 tournaments, players, perFile);
    qint64 bytes = 0;
    for (const QString& f : files)
        bytes += QFileInfo(f).size();
    std::printf("generated %lld files, %.1f MB, in %.1f s\n", qint64(files.size()), bytes / 1e6,
                timer.nsecsElapsed() / 1e9);

    // Round 1 import first, so its peak memory is not that of the plain rows held below.
    const QString importDb = freshDatabase(folder, QStringLiteral("import.db3"));
    const ImportFigures import1 = importFiles(importDb, files);

    PlainRows rows;
    {
        ResultsGenerator generator(players);
        rows.names = generator.names();
        rows.masters.reserve(size_t(tournaments));
        for (int i = 0; i < tournaments; ++i) {
            ResultsGenerator::Tournament t = generator.next();
            t.text.clear();
            rows.masters.push_back(std::move(t));
        }
    }
    const QString plainDb = freshDatabase(folder, QStringLiteral("plain.db3"));
    const Timing plain1 = plainInsert(plainDb, rows);

    const QString importSummary = tableSummary(importDb);
    const QString plainSummary = tableSummary(plainDb);
    if (importSummary != plainSummary) {
        std::fprintf(stderr, "the two databases differ:\n  import: %s\n  plain:  %s\n",
                     qPrintable(importSummary), qPrintable(plainSummary));
        return 1;
    }
    std::printf("same rows in both: %s\n", qPrintable(importSummary));

    freshDatabase(folder, QStringLiteral("import.db3"));
    const ImportFigures import2 = importFiles(importDb, files);
    freshDatabase(folder, QStringLiteral("plain.db3"));
    const Timing plain2 = plainInsert(plainDb, rows);

    const double rowsTotal = double(tournaments) * (players + 1);
    auto line = [&](const char* what, Timing a, Timing b) {
        std::printf("%-27s %6.2f s %6.2f s   %6.2f s %6.2f s   %8.0f rows/s\n", what, a.wall,
                    b.wall, a.processor, b.processor, rowsTotal / std::min(a.wall, b.wall));
    };
    std::printf("\n%-27s %17s   %17s\n", "", "wall, rounds 1 2", "processor, 1 2");
    line("plain sqlite3 insert", plain1, plain2);
    line("import (read+parse+write)", import1.time, import2.time);
    auto best = [](Timing a, Timing b, double Timing::*field) {
        return std::min(a.*field, b.*field);
    };
    std::printf("ratio import / plain insert, best of each: %.2f wall, %.2f processor (target at "
                "most 1.30)\n",
                best(import1.time, import2.time, &Timing::wall) /
                    best(plain1, plain2, &Timing::wall),
                best(import1.time, import2.time, &Timing::processor) /
                    best(plain1, plain2, &Timing::processor));
    // Round 2 runs while the plain rows are held in memory too: its peak says little.
    std::printf(
        "peak memory of the import (round 1): %.1f MiB resident at its start, peak %.1f MiB "
        "after a tenth of the files, %.1f MiB at the end\n",
        import1.residentAtStart, import1.peakAtTenth, import1.peak);
    return 0;
}
