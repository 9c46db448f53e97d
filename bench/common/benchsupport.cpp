#include "benchsupport.h"

#include "feedatabase.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

BenchOptions ParseBenchOptions(const QStringList& arguments, const char* usage) {
    BenchOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        bool ok = true;
        if (arg == u"--rows" && hasValue)
            options.rows = arguments[++i].toLongLong(&ok);
        else if (arg == u"--db" && hasValue)
            options.db = arguments[++i];
        else if (arg == u"--runs" && hasValue)
            options.runs = arguments[++i].toInt(&ok);
        else if (arg == u"-h" || arg == u"--help")
            ok = false;
        else
            options.rest << arg;
        if (!ok || options.rows < 1 || options.runs < 3) {
            std::fprintf(stderr, "usage: %s\n", usage);
            std::exit(2);
        }
    }
    if (options.db.isEmpty())
        options.db = QDir::tempPath() + QStringLiteral("/zvfee-bench-%1.db3").arg(options.rows);
    return options;
}

void EnsureBenchDatabase(const QString& path, qint64 rows) {
    if (QFile::exists(path))
        return;
    std::printf("building %s with %lld Detail rows ...\n", qPrintable(path), rows);
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    {
        FeeDatabase fee;
        OpenOrCreateFeeDatabase(fee, building);
        sqlite3* db = fee.handle();
        sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* master = nullptr;
        sqlite3_stmt* detail = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Master VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", -1,
                           &master, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO Detail VALUES (?, ?, ?)", -1, &detail, nullptr);
        constexpr int kPlayers = 20;
        constexpr int kPool = 30'000;
        QRandomGenerator random(2024);
        const char* names[] = {"Daily Turbo", "Sunday Major",  "Hyper 5",   "Deepstack 20",
                               "Freeroll",    "Bounty 10",     "Night Owl", "Rebuy 2+2",
                               "Heads-Up 50", "Satellite Step"};
        const QDate first(2010, 1, 1);
        const qint64 tournaments = (rows + kPlayers - 1) / kPlayers;
        qint64 left = rows;
        for (qint64 t = 1; t <= tournaments; ++t) {
            const double buyIn = 5 * (1 + random.bounded(20));
            const QByteArray date = first.addDays(t / 60).toString(Qt::ISODate).toLatin1();
            const QByteArray time = QStringLiteral("%1:%2:00")
                                        .arg(t % 24, 2, 10, QLatin1Char('0'))
                                        .arg(t % 60, 2, 10, QLatin1Char('0'))
                                        .toLatin1();
            const int players = int(std::min<qint64>(kPlayers, left));
            left -= players;
            sqlite3_bind_int64(master, 1, t);
            sqlite3_bind_text(master, 2, names[random.bounded(10)], -1, SQLITE_STATIC);
            sqlite3_bind_text(master, 3, date.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(master, 4, time.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(master, 5, 600 + random.bounded(7200));
            sqlite3_bind_int(master, 6, players);
            sqlite3_bind_int(master, 7, 1 + random.bounded(players));
            sqlite3_bind_double(master, 8, random.bounded(4) * 25.0);
            sqlite3_bind_text(master, 9, "No", -1, SQLITE_STATIC);
            sqlite3_bind_double(master, 10, buyIn);
            sqlite3_bind_double(master, 11, buyIn / 10);
            sqlite3_bind_text(master, 12, "Yes", -1, SQLITE_STATIC);
            sqlite3_step(master);
            sqlite3_reset(master);
            const int start = random.bounded(kPool);
            for (int p = 0; p < players; ++p) {
                const int number = (start + p * 97) % kPool;
                const QByteArray player = (number % 50 == 0 ? QStringLiteral("J\u00f8rgen %1")
                                                            : QStringLiteral("Player %1"))
                                              .arg(number, 5, 10, QLatin1Char('0'))
                                              .toUtf8();
                sqlite3_bind_int64(detail, 1, t);
                sqlite3_bind_text(detail, 2, player.constData(), int(player.size()),
                                  SQLITE_TRANSIENT);
                sqlite3_bind_double(detail, 3, buyIn / 10 * (1 + random.bounded(3)));
                sqlite3_step(detail);
                sqlite3_reset(detail);
            }
        }
        sqlite3_finalize(master);
        sqlite3_finalize(detail);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    QFile::rename(building, path);
    std::printf("built in %.1f s\n", double(timer.elapsed()) / 1000.0);
}

qint64 PlainRead(sqlite3* db, const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare16_v2(db, sql.utf16(), -1, &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "plain read: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    qint64 rows = 0;
    quint64 sink = 0;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                sink += quint64(sqlite3_column_int64(stmt, c));
                break;
            case SQLITE_FLOAT:
                sink += quint64(sqlite3_column_double(stmt, c));
                break;
            case SQLITE_TEXT:
                sink += quint64(reinterpret_cast<quintptr>(sqlite3_column_text(stmt, c)));
                sink += quint64(sqlite3_column_bytes(stmt, c));
                break;
            case SQLITE_BLOB:
                sink += quint64(reinterpret_cast<quintptr>(sqlite3_column_blob(stmt, c)));
                sink += quint64(sqlite3_column_bytes(stmt, c));
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(stmt);
    // The sum keeps the reads from being left out; it never changes the count.
    return rows + qint64(sink & 0) * qint64(sink >> 63);
}

qint64 CountRows(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return -1;
    const qint64 n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return n;
}

namespace {
double StatusMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toDouble() /
                   1024.0;
    return -1;
}

/// Sets the peak back to the present resident size (Linux: "5" into clear_refs).
void ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}
} // namespace

double ResidentMiB() {
    return StatusMiB("VmRSS:");
}

void TrimMemory() {
    malloc_trim(0);
}

Sample Measure(const std::function<void()>& run) {
    TrimMemory();
    ResetPeak();
    const double start = ResidentMiB();
    QElapsedTimer timer;
    const double cpuStart = CpuMs();
    timer.start();
    run();
    Sample s;
    s.wallMs = double(timer.nsecsElapsed()) / 1e6;
    s.cpuMs = CpuMs() - cpuStart;
    s.peakMiB = StatusMiB("VmHWM:") - start;
    return s;
}

Sample MeasureProgram(const QString& program, const QStringList& args, const QString& outputFile) {
    // The program runs under GNU time, which forks it from a small process of its own: a child
    // started straight from this (large) process would inherit its peak resident size at exec.
    const QString timeFile = QDir::tempPath() + QStringLiteral("/zvfee-bench-time.txt");
    std::vector<QByteArray> bytes{
        "/usr/bin/time",           "-f", "%M %U %S", "-o", QFile::encodeName(timeFile),
        QFile::encodeName(program)};
    for (const QString& a : args)
        bytes.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray out =
        QFile::encodeName(outputFile.isEmpty() ? QStringLiteral("/dev/null") : outputFile);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s (GNU time is needed: package \"time\")\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    Sample s;
    s.wallMs = double(timer.nsecsElapsed()) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(1);
    }
    QFile figures(timeFile);
    figures.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = figures.readAll().trimmed().split(' ');
    if (fields.size() == 3) {
        s.peakMiB = fields[0].toDouble() / 1024.0;
        s.cpuMs = (fields[1].toDouble() + fields[2].toDouble()) * 1e3;
    }
    QFile::remove(timeFile);
    return s;
}

Comparison Alternate(int runs, const std::function<Sample()>& ours,
                     const std::function<Sample()>& base) {
    Comparison c;
    for (int i = 0; i < runs; ++i) {
        c.base.push_back(base());
        c.ours.push_back(ours());
    }
    return c;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int IntOption(const QStringList& args, const QString& name, int fallback) {
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
}

double MedianOf(const std::vector<Sample>& samples, double Sample::*field) {
    std::vector<double> values;
    for (const Sample& s : samples)
        values.push_back(s.*field);
    return Median(values);
}

void PrintComparisonHeader() {
    std::printf("%-40s %25s   %25s   %15s\n", "", "wall clock ms (median)", "processor ms (median)",
                "peak MiB");
    std::printf("%-40s %9s %9s %5s   %9s %9s %5s   %7s %7s\n", "case", "ours", "base", "ratio",
                "ours", "base", "ratio", "ours", "base");
}

void PrintComparison(const char* what, const Comparison& c) {
    const double ow = MedianOf(c.ours, &Sample::wallMs);
    const double bw = MedianOf(c.base, &Sample::wallMs);
    const double oc = MedianOf(c.ours, &Sample::cpuMs);
    const double bc = MedianOf(c.base, &Sample::cpuMs);
    std::printf("%-40s %9.1f %9.1f %5.2f   %9.1f %9.1f %5.2f   %7.1f %7.1f\n", what, ow, bw,
                ow / bw, oc, bc, oc / bc, MedianOf(c.ours, &Sample::peakMiB),
                MedianOf(c.base, &Sample::peakMiB));
    std::fflush(stdout);
}
