// zvfee watch: keeps the fee database up to date with a results folder, for as long as it runs.

#include "busywait.h"
#include "command.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "folderwatcher.h"
#include "lockwaitoption.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSocketNotifier>
#include <atomic>
#include <cmath>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kHelp =
    u"Usage: zvfee watch FOLDER [--db FILE] [--settle SECONDS] [--wait SECONDS]\n"
    "\n"
    "Imports the results files of FOLDER that are new, or changed since their recorded\n"
    "import, and then follows the folder: each new or changed TR*.txt file is imported once it\n"
    "has not changed for the settle time, so a file still being written is never read\n"
    "half-way. Files that settle together are imported as one run; a changed file replaces\n"
    "its tournaments. Runs until stopped with SIGINT or SIGTERM; a run in progress then is\n"
    "rolled back whole.\n"
    "\n"
    "Options:\n"
    "  --db FILE          the fee database (default: the file the window program uses, see\n"
    "                     \"man zvfee\"); created with its tables when missing\n"
    "  --settle SECONDS   how long a file must stay unchanged (from its last change)\n"
    "                     before it is imported: 0.1 to 3600 (default 5)\n"
    "  --wait SECONDS     how long to wait for the database while another program\n"
    "                     holds it locked: 0 to 86400 (default 60; 0 waits only the\n"
    "                     window's 80 ms)\n"
    "  -h, --help         this help\n"
    "\n"
    "A folder that is deleted or moved away is looked for again for 5 s and followed anew;\n"
    "when the system drops events or gives no watch, the whole folder is looked at again.\n"
    "\n"
    "Standard output gets one line per run: the time, the files and tournaments imported, or\n"
    "the error. A run that finds the database busy (another program writing, or reading a\n"
    "large view, for longer than the --wait time) is rolled back and tried again later;\n"
    "the first wait says \"Waiting for \"PATH\": another program is using it\". So is a run\n"
    "that meets any other database error. Each file stands on its own: one that cannot be\n"
    "imported (a bad start or stop, unreadable, a tournament whose number the database holds\n"
    "for another tournament) is logged with its cause and set aside until it changes, and the\n"
    "others are imported without it.\n"
    "\n"
    "Exit status:\n"
    "  0  stopped by a signal\n"
    "  1  the folder cannot be followed, or went away and did not come back within 5 s,\n"
    "     or the database cannot be opened\n"
    "  2  the command line was wrong\n"_s;

int RunWatch(const QStringList& args);

const RegisterCommand registration({u"watch"_s,
                                    u"Import new results files of a folder as they come"_s, kHelp,
                                    RunWatch});

std::atomic<bool> g_stop{false};
int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    g_stop = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_stopPipe[1], &byte, 1);
}

/// SIGINT and SIGTERM set the stop flag, which a run in progress reads between its files, and
/// wake the event loop, which then quits. False when the signals cannot be taken over.
bool CatchStopSignals() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_stopPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

void LogLine(const QString& text) {
    PrintOut(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s) + u' ' + text + u'\n');
}

int RunWatch(const QStringList& args) {
    const CliCommand& self = *FindCommand(u"watch"_s);
    QString folder;
    QString dbPath;
    QString settleText = u"5"_s;
    QString waitText = QString::number(kDefaultWaitSeconds);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString* target = nullptr;
        QString name = arg;
        const qsizetype eq = arg.indexOf(u'=');
        if (arg.startsWith(u"--") && eq > 0)
            name = arg.left(eq);
        if (name == u"--db")
            target = &dbPath;
        else if (name == u"--settle")
            target = &settleText;
        else if (name == u"--wait")
            target = &waitText;
        if (target) {
            if (eq > 0 && name != arg)
                *target = arg.mid(eq + 1);
            else if (i + 1 < args.size())
                *target = args[++i];
            else
                return UsageError(self, u"%1 needs a value"_s.arg(name));
            if (target->isEmpty())
                return UsageError(self, u"%1 needs a value"_s.arg(name));
        } else if (arg == u"--help" || arg == u"-h") {
            PrintOut(self.help);
            return kExitOk;
        } else if (arg.startsWith(u"--")) {
            return UsageError(self, u"unknown option \"%1\""_s.arg(arg));
        } else if (folder.isEmpty()) {
            folder = arg;
        } else {
            return UsageError(self, u"one folder only"_s);
        }
    }
    if (folder.isEmpty())
        return UsageError(self, u"no folder given"_s);
    bool ok = false;
    const double settle = settleText.toDouble(&ok);
    // NaN passes every comparison: only a finite number in range is a settle time.
    if (!ok || !std::isfinite(settle) || settle < 0.1 || settle > 3600)
        return UsageError(self, u"--settle takes seconds from 0.1 to 3600"_s);
    double waitSeconds = kDefaultWaitSeconds;
    if (const QString error = ParseWaitSeconds(waitText, waitSeconds); !error.isEmpty())
        return UsageError(self, error);

    if (!QFileInfo(folder).isDir()) { // before the database is opened, or made
        PrintErr(u"zvfee watch: not a folder: %1\n"_s.arg(folder));
        return kExitFailure;
    }
    if (!CatchStopSignals()) {
        PrintErr(u"cannot take over SIGINT and SIGTERM\n"_s);
        return kExitFailure;
    }
    const auto stopRequested = [] { return g_stop.load(); };
    FeeDatabase db;
    // The window may be reading a large view while the watcher commits.
    const auto busyWait = OpenFeeDatabaseWaiting(db, dbPath.isEmpty() ? FeeDatabasePath() : dbPath,
                                                 waitSeconds, stopRequested, LogLine);

    FolderWatcher::Options options;
    options.folder = folder;
    options.settleMs = int(settle * 1000);
    options.retryMs = std::max(1000, options.settleMs); // a busy database gets a moment
    FolderWatcher watcher(db, options, LogLine, stopRequested);
    // The watcher says so itself when a stop ended a run; otherwise the stop is logged here.
    bool ending = false;
    const auto end = [&ending](int code, const QString& line) {
        if (ending)
            return;
        ending = true;
        if (!line.isEmpty())
            LogLine(line);
        QCoreApplication::exit(code);
    };
    QObject::connect(&watcher, &FolderWatcher::stopped, [&] { end(kExitOk, {}); });
    QObject::connect(&watcher, &FolderWatcher::folderGone, [&] { end(kExitFailure, {}); });
    QSocketNotifier stopNotifier(g_stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated,
                     [&] { end(kExitOk, u"stopped"_s); });
    if (!watcher.start())
        return kExitFailure;
    LogLine(u"watching %1 (database %2, settle %3 s)"_s.arg(folder, db.databaseName(),
                                                            QString::number(settle)));
    return QCoreApplication::exec();
}

} // namespace
