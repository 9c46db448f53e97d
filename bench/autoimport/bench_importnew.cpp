// "zvfee import --new" over a folder of F results files (one tournament of P players each) of
// which N are new or changed: the zvfee process (wall time, processor time, peak memory) and
// the same run in this process, against a plain program that does the same work with sqlite3 and
// POSIX calls (list the folder, stat every file, read the record, read and insert the N files'
// rows and record rows in one transaction). Each round touches the N files again.
//
//   bench_importnew [--files F] [--new N] [--players P] [--rounds R]

#include "benchsupport.h"
#include "feedatabase.h"
#include "importrun.h"
#include "newfiles.h"
#include "resultsgenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <spawn.h>
#include <sqlite3.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unordered_map>

extern char** environ;

namespace {

class NoMessages : public OperatorMessages {
public:
    bool show(MessageKind, const QString&) override { return true; }
};

struct Figures {
    double wall = 0;      // s
    double processor = 0; // s
    double peakMiB = 0;
};

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

/// Runs a program to its end: wall time, and its processor time and peak memory from wait4.
Figures runProcess(const QStringList& args) {
    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        qFatal("cannot start %s", argv[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Figures f;
    f.wall = timer.nsecsElapsed() / 1e9;
    f.processor = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    f.peakMiB = usage.ru_maxrss / 1024.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        qFatal("%s failed", argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    return f;
}

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        qFatal("sqlite: %s", sqlite3_errmsg(db));
}

/// The record's modification time of a stat: ISO 8601 in UTC with milliseconds.
std::string isoModified(const struct stat& st) {
    char text[40];
    tm utc{};
    gmtime_r(&st.st_mtim.tv_sec, &utc);
    const size_t n = strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03ldZ", st.st_mtim.tv_nsec / 1000000);
    return text;
}

/// The plain program: what "import --new" must do at the least, with the generated rows of
/// the files at hand instead of parsing them (each file is still read).
Figures plainImportNew(const QString& dbPath, const QString& folder,
                       const std::unordered_map<std::string, ResultsGenerator::Tournament>& rows,
                       const std::vector<QByteArray>& names) {
    QElapsedTimer timer;
    timer.start();
    const double processorStart = processorSeconds();
    const std::string dir = QDir(folder).canonicalPath().toStdString();
    struct Entry {
        std::string name;
        long long size;
        std::string modified;
    };
    std::vector<Entry> entries;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) {
        if (fnmatch("TR*.txt", e->d_name, FNM_CASEFOLD) != 0)
            continue;
        struct stat st {};
        if (stat((dir + '/' + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            entries.push_back({e->d_name, (long long)st.st_size, isoModified(st)});
    }
    closedir(d);

    sqlite3* db = nullptr;
    check(sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    std::unordered_map<std::string, std::pair<long long, std::string>> record;
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, "SELECT Name, Size, Modified FROM ImportedFiles WHERE Source = ?",
                             -1, &s, nullptr),
          db);
    sqlite3_bind_text(s, 1, dir.c_str(), -1, SQLITE_STATIC);
    while (sqlite3_step(s) == SQLITE_ROW)
        record.emplace(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                       std::pair(sqlite3_column_int64(s, 1),
                                 reinterpret_cast<const char*>(sqlite3_column_text(s, 2))));
    sqlite3_finalize(s);

    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    PlainTournamentWriter writer(db);
    sqlite3_stmt* rec = nullptr;
    check(sqlite3_prepare_v2(
              db,
              "REPLACE INTO ImportedFiles (Source, Name, Size, Modified, Tournaments, Imported) "
              "VALUES(?, ?, ?, ?, ?, ?)",
              -1, &rec, nullptr),
          db);
    for (const Entry& e : entries) {
        const auto known = record.find(e.name);
        if (known != record.end() && known->second.first == e.size &&
            known->second.second == e.modified)
            continue;
        QFile file(QString::fromStdString(dir + '/' + e.name));
        if (!file.open(QIODevice::ReadOnly) || file.readAll().isEmpty())
            qFatal("cannot read %s", e.name.c_str());
        const ResultsGenerator::Tournament& t = rows.at(e.name);
        writer.write(t, names);
        sqlite3_bind_text(rec, 1, dir.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(rec, 2, e.name.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int64(rec, 3, e.size);
        sqlite3_bind_text(rec, 4, e.modified.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int(rec, 5, 1);
        sqlite3_bind_text(rec, 6, "2024-01-01T00:00:00Z", -1, SQLITE_STATIC);
        check(sqlite3_step(rec), db);
        sqlite3_reset(rec);
    }
    sqlite3_finalize(rec);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close_v2(db); // the writer's statements go when it does
    return {timer.nsecsElapsed() / 1e9, processorSeconds() - processorStart, 0};
}

/// The same run as "zvfee import --new FOLDER", in this process.
Figures inProcessImportNew(const QString& dbPath, const QString& folder) {
    QElapsedTimer timer;
    timer.start();
    const double processorStart = processorSeconds();
    FeeDatabase db;
    OpenOrCreateFeeDatabase(db, dbPath);
    const NewFiles fresh = NewOrChangedFiles(db, ResultsFilesOf({folder}));
    QList<ImportRunFile> run;
    for (const QString& path : fresh.paths)
        run.append({path, path});
    NoMessages messages;
    ImportResultsFiles(run, db, messages, [](const QString&) {}, {});
    if (fresh.paths.isEmpty())
        qFatal("nothing new");
    return {timer.nsecsElapsed() / 1e9, processorSeconds() - processorStart, 0};
}

void touch(const QStringList& paths) {
    for (const QString& path : paths) {
        QFile file(path);
        file.open(QIODevice::ReadWrite);
        const QByteArray content = file.readAll();
        file.seek(0);
        file.write(content); // a write: a new modification time
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = IntOption(args, QStringLiteral("--files"), 10000);
    const int fresh = IntOption(args, QStringLiteral("--new"), 10);
    const int players = IntOption(args, QStringLiteral("--players"), 10);
    const int rounds = IntOption(args, QStringLiteral("--rounds"), 5);
    const QString zvfee = QCoreApplication::applicationDirPath() + QStringLiteral("/zvfee");

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/importnew-XXXXXX"));
    const QString folder = work.filePath(QStringLiteral("TourneyResults"));
    const QString later = work.filePath(QStringLiteral("later"));
    std::printf("%d results files of 1 tournament x %d players, %d of them new\n", files, players,
                fresh);
    QStringList paths = WriteResultsFolder(folder, files, players, 1);
    // The rows of every file for the plain program, by file name.
    std::unordered_map<std::string, ResultsGenerator::Tournament> rows;
    ResultsGenerator generator(players);
    for (const QString& path : std::as_const(paths)) {
        ResultsGenerator::Tournament t = generator.next();
        t.text.clear();
        rows.emplace(QFileInfo(path).fileName().toStdString(), std::move(t));
    }
    QDir().mkpath(later);
    QStringList newPaths;
    for (const QString& path : paths.mid(files - fresh)) {
        const QString moved = later + u'/' + QFileInfo(path).fileName();
        QFile::rename(path, moved);
        newPaths << folder + u'/' + QFileInfo(path).fileName();
    }

    const QString db = work.filePath(QStringLiteral("fees.db3"));
    const QString plainDb = work.filePath(QStringLiteral("plain.db3"));
    QElapsedTimer timer;
    timer.start();
    runProcess({zvfee, QStringLiteral("import"), QStringLiteral("--new"), QStringLiteral("--db"),
                db, folder});
    std::printf("first import of %d files: %.2f s\n", files - fresh, timer.nsecsElapsed() / 1e9);
    QFile::copy(db, plainDb);
    const QString emptyFolder = work.filePath(QStringLiteral("empty"));
    QDir().mkpath(emptyFolder);
    const Figures idle = runProcess({zvfee, QStringLiteral("import"), QStringLiteral("--new"),
                                     QStringLiteral("--db"), db, emptyFolder});

    for (const QString& path : paths.mid(files - fresh))
        QFile::rename(later + u'/' + QFileInfo(path).fileName(), path);

    std::vector<double> processWall, processCpu, processPeak, inWall, inCpu, plainWall, plainCpu;
    // Each run finds the same files changed: they are written again before it.
    const std::vector<QByteArray>& names = generator.names();
    for (int round = 0; round < rounds; ++round) {
        touch(newPaths);
        const Figures p = runProcess({zvfee, QStringLiteral("import"), QStringLiteral("--new"),
                                      QStringLiteral("--db"), db, folder});
        touch(newPaths);
        const Figures in = inProcessImportNew(db, folder);
        touch(newPaths);
        const Figures plain = plainImportNew(plainDb, folder, rows, names);
        processWall.push_back(p.wall);
        processCpu.push_back(p.processor);
        processPeak.push_back(p.peakMiB);
        inWall.push_back(in.wall);
        inCpu.push_back(in.processor);
        plainWall.push_back(plain.wall);
        plainCpu.push_back(plain.processor);
    }
    std::printf("medians of %d rounds (wall / processor):\n", rounds);
    std::printf("  zvfee import --new (process)   %7.1f ms / %7.1f ms, peak %.1f MiB "
                "(%.1f MiB on an empty folder)\n",
                Median(processWall) * 1e3, Median(processCpu) * 1e3, Median(processPeak),
                idle.peakMiB);
    std::printf("  the same run in this process   %7.1f ms / %7.1f ms\n", Median(inWall) * 1e3,
                Median(inCpu) * 1e3);
    std::printf("  plain sqlite3 + POSIX          %7.1f ms / %7.1f ms\n", Median(plainWall) * 1e3,
                Median(plainCpu) * 1e3);
    std::printf("  ratio, in process : plain      %7.2f (processor %.2f)\n",
                Median(inWall) / Median(plainWall), Median(inCpu) / Median(plainCpu));
    std::printf("  ratio, process : plain         %7.2f (processor %.2f)\n",
                Median(processWall) / Median(plainWall), Median(processCpu) / Median(plainCpu));
    return 0;
}
