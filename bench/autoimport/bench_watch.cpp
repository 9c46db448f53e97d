// "zvfee watch": the time from the last write of a new results file to its rows being committed
// (the watcher logs its run after the commit), with the settle time given, against a plain sqlite3
// insert and commit of the same rows; then the watcher's processor time and memory over an idle
// time, following a folder of F imported files, beside a watcher of an empty folder.
//
//   bench_watch [--files F] [--players P] [--settle S] [--samples K] [--idle SECONDS]

#include "benchsupport.h"
#include "feedatabase.h"
#include "resultsgenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

namespace {

/// Waits for a line of the watcher that holds text; false after the timeout.
bool waitForLine(QProcess& watcher, const QByteArray& text, int timeoutMs = 120000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        while (watcher.canReadLine()) {
            const QByteArray line = watcher.readLine();
            if (line.contains(text))
                return true;
            if (line.contains("not imported"))
                std::fprintf(stderr, "watcher: %s", line.constData());
        }
        watcher.waitForReadyRead(20);
    }
    return false;
}

/// Processor seconds (user and system) of a process so far.
double processorSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

/// A memory field of a process in MiB ("VmRSS:", "VmHWM:").
double memoryMiB(qint64 pid, const char* field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toDouble() /
                       1024.0;
    return -1;
}

/// Inserts and commits one tournament's rows with plain sqlite3 calls: milliseconds.
double plainInsertMs(const QString& path, const ResultsGenerator::Tournament& t,
                     const std::vector<QByteArray>& names) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    {
        PlainTournamentWriter writer(db);
        writer.write(t, names);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = timer.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = IntOption(args, QStringLiteral("--files"), 10000);
    const int players = IntOption(args, QStringLiteral("--players"), 10);
    const int settle = IntOption(args, QStringLiteral("--settle"), 1);
    const int samples = IntOption(args, QStringLiteral("--samples"), 10);
    const int idleSeconds = IntOption(args, QStringLiteral("--idle"), 600);
    const QString zvfee = QCoreApplication::applicationDirPath() + QStringLiteral("/zvfee");

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/watch-XXXXXX"));
    const QString folder = work.filePath(QStringLiteral("TourneyResults"));
    const QString db = work.filePath(QStringLiteral("fees.db3"));
    std::printf("a folder of %d imported results files (1 tournament x %d players each), "
                "settle %d s\n",
                files, players, settle);
    WriteResultsFolder(folder, files, players, 1);
    QProcess first;
    first.setStandardOutputFile(QProcess::nullDevice());
    first.setStandardErrorFile(QProcess::nullDevice());
    first.start(zvfee, {QStringLiteral("import"), QStringLiteral("--new"), QStringLiteral("--db"),
                        db, folder});
    if (!first.waitForFinished(-1) || first.exitCode() != 0)
        qFatal("the first import failed");
    // The new files' tournaments, and a scratch database for the plain inserts.
    ResultsGenerator generator(players);
    for (int i = 0; i < files; ++i)
        generator.next();
    const QString plainDb = work.filePath(QStringLiteral("plain.db3"));
    {
        FeeDatabase scratch;
        OpenOrCreateFeeDatabase(scratch, plainDb);
    }

    QProcess watcher;
    watcher.start(zvfee, {QStringLiteral("watch"), folder, QStringLiteral("--db"), db,
                          QStringLiteral("--settle"), QString::number(settle)});
    const QString emptyFolder = work.filePath(QStringLiteral("empty"));
    QDir().mkpath(emptyFolder);
    QProcess emptyWatcher;
    emptyWatcher.start(zvfee, {QStringLiteral("watch"), emptyFolder, QStringLiteral("--db"),
                               work.filePath(QStringLiteral("empty.db3"))});
    if (!waitForLine(watcher, "watching") || !waitForLine(emptyWatcher, "watching"))
        qFatal("the watchers did not start");
    QThread::sleep(unsigned(settle) +
                   2); // the look at every file at start, which finds nothing new

    std::vector<double> latency, plain;
    for (int k = 0; k < samples; ++k) {
        const ResultsGenerator::Tournament t = generator.next();
        const QString path = folder + QStringLiteral("/TR%1 %2 new.txt")
                                          .arg(QString::fromLatin1(t.date))
                                          .arg(t.number, 6, 10, QChar(u'0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(t.text) != t.text.size())
            qFatal("cannot write %s", qPrintable(path));
        file.close();
        QElapsedTimer timer;
        timer.start();
        if (!waitForLine(watcher, "imported 1 file"))
            qFatal("no run for %s", qPrintable(path));
        latency.push_back(timer.nsecsElapsed() / 1e9);
        plain.push_back(plainInsertMs(plainDb, t, generator.names()));
        QThread::msleep(300);
    }
    std::printf("last write to commit (%d files): median %.3f s, min %.3f s, max %.3f s\n", samples,
                Median(latency), *std::min_element(latency.begin(), latency.end()),
                *std::max_element(latency.begin(), latency.end()));
    std::printf("  beyond the settle time: median %.1f ms; a plain sqlite3 insert and commit of "
                "the same rows: median %.2f ms (ratio %.1f)\n",
                (Median(latency) - settle) * 1e3, Median(plain),
                (Median(latency) - settle) * 1e3 / Median(plain));

    const qint64 pids[2] = {watcher.processId(), emptyWatcher.processId()};
    double before[2];
    for (int i = 0; i < 2; ++i)
        before[i] = processorSeconds(pids[i]);
    std::printf("idle for %d s ...\n", idleSeconds);
    std::fflush(stdout);
    QThread::sleep(unsigned(idleSeconds));
    const char* what[2] = {"following the folder", "following an empty folder"};
    for (int i = 0; i < 2; ++i) {
        const double used = processorSeconds(pids[i]) - before[i];
        std::printf("  %-26s processor %.3f s (%.4f %% of one core), resident %.1f MiB, peak "
                    "%.1f MiB\n",
                    what[i], used, 100.0 * used / idleSeconds, memoryMiB(pids[i], "VmRSS:"),
                    memoryMiB(pids[i], "VmHWM:"));
    }
    for (QProcess* p : {&watcher, &emptyWatcher}) {
        ::kill(pid_t(p->processId()), SIGTERM);
        p->waitForFinished();
    }
    return 0;
}
