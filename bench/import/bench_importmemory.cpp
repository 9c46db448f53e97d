// Peak memory of "zvfee import FOLDER" against the number of Detail rows: for each size, a
// generated folder of results files (P players a tournament, F tournaments a file; one a file by
// default, as the server writes them, so the number of files grows with the rows) is imported
// into a fresh database by the zvfee program, whose peak resident size, wall and processor time
// GNU time reports. The import should not grow with the rows: at most 4 MB more at 1,000,000
// rows than at 250,000, and at most 64 MB at 10,000,000.
//
//   bench_importmemory [--rows N] [--players P] [--per-file F] [--zvfee PROGRAM] [--keep]
//
// The sizes are 250,000, 1,000,000 and 2,000,000 rows, and N when given. Each folder is written,
// imported and removed before the next (10,000,000 rows take 2 GB of files).

#include "benchsupport.h"
#include "resultsgenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace {

/// Runs the program with standard error into /dev/null: the progress of 500,000 files is not
/// worth printing.
Sample measureQuietly(const QString& program, const QStringList& args) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(null, STDERR_FILENO);
    const Sample s = MeasureProgram(program, args);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(null);
    return s;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int players = IntOption(args, QStringLiteral("--players"), 20);
    const int perFile = IntOption(args, QStringLiteral("--per-file"), 1);
    std::vector<qint64> sizes{250000, 1000000, 2000000};
    if (const int extra = IntOption(args, QStringLiteral("--rows"), 0); extra > 0)
        sizes.push_back(extra);
    const qsizetype programAt = args.indexOf(QStringLiteral("--zvfee"));
    const QString zvfee = programAt >= 0 && programAt + 1 < args.size()
                              ? args[programAt + 1]
                              : QCoreApplication::applicationDirPath() + QStringLiteral("/zvfee");
    if (players <= 0 || perFile <= 0) {
        std::fprintf(stderr, "usage: bench_importmemory [--rows N] [--players P] [--per-file F] "
                             "[--zvfee PROGRAM] [--keep]\n");
        return 2;
    }

    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench_importmemory-XXXXXX"));
    dir.setAutoRemove(!args.contains(QStringLiteral("--keep")));
    std::printf("zvfee import of generated folders: %d players a tournament, %d tournaments a "
                "file, in %s, with %s\n",
                players, perFile, qPrintable(dir.path()), qPrintable(zvfee));
    std::printf("%12s %9s %12s %10s %10s %14s\n", "Detail rows", "files", "peak MiB", "wall s",
                "processor s", "rows/s (wall)");
    std::map<qint64, double> peaks;
    for (const qint64 rows : sizes) {
        const int tournaments = int(rows / players);
        const QString folder = dir.path() + QStringLiteral("/TR-%1").arg(rows);
        QElapsedTimer timer;
        timer.start();
        const QStringList files = WriteResultsFolder(folder, tournaments, players, perFile);
        const double generated = timer.nsecsElapsed() / 1e9;
        const QString db = dir.path() + QStringLiteral("/fees-%1.db3").arg(rows);
        const Sample s =
            measureQuietly(zvfee, {QStringLiteral("import"), QStringLiteral("--db"), db, folder});
        peaks[rows] = s.peakMiB;
        std::printf("%12lld %9lld %12.1f %10.1f %10.1f %14.0f   (written in %.0f s)\n",
                    qint64(tournaments) * players, qint64(files.size()), s.peakMiB, s.wallMs / 1e3,
                    s.cpuMs / 1e3, double(tournaments) * players / (s.wallMs / 1e3), generated);
        std::fflush(stdout);
        if (dir.autoRemove()) {
            QDir(folder).removeRecursively();
            QFile::remove(db);
        }
    }
    const double growth = (peaks[1000000] - peaks[250000]) * 1.048576; // MiB to MB
    std::printf("\npeak at 1,000,000 rows minus peak at 250,000: %.1f MB (target at most 4 MB)\n",
                growth);
    for (const auto& [rows, peak] : peaks)
        if (rows >= 10000000)
            std::printf("peak at %lld rows: %.1f MB (target at most 64 MB)\n", rows,
                        peak * 1.048576);
    return 0;
}
