// zvfee import: results files into the fee database, as the window's import of local files does.

#include "cliconsole.h"
#include "command.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "importrun.h"
#include "lockwaitoption.h"
#include "newfiles.h"

namespace {

const QString kHelp = QStringLiteral(
    "Usage: zvfee import [--db FILE] [--new] [--wait SECONDS] FOLDER|FILE...\n"
    "\n"
    "Imports tournament results files into the fee database, in the order given, as one run:\n"
    "the fee of every player of every tournament with fee-paying entries. Importing a\n"
    "tournament again replaces its rows. A FOLDER stands for its TR*.txt files in name order.\n"
    "The database records every file imported (folder, name, stamp, tournaments); a recorded\n"
    "file imported again replaces its tournaments whole.\n"
    "\n"
    "A tournament is its number, its start and its name: a tournament whose number the\n"
    "database holds for another start or name is refused (\"Tournament N of FILE ... is not\n"
    "tournament N in the fee database ...\"), unless the file recorded as holding it is the one\n"
    "imported again. Results of another server belong in a profile of their own.\n"
    "\n"
    "Options:\n"
    "  --db FILE   the fee database (default: the file the window program uses, see\n"
    "              \"man zvfee\"); created with its tables when missing\n"
    "  --new       only files not imported before, changed since (size, modification or\n"
    "              change time, inode), or whose tournaments are no longer all in Master;\n"
    "              \"Skipped (already imported): K\" counts the others. Each file then\n"
    "              stands alone: one that fails is named with its cause and left out,\n"
    "              unrecorded, the others imported; \"Not imported (tried again by the next\n"
    "              --new): K\" counts the failed ones, and the next --new tries them again\n"
    "  --wait SECONDS\n"
    "              how long to wait for the database while another program holds it\n"
    "              locked: 0 to 86400 (default 60; 0 waits only the window's 80 ms)\n"
    "  -h, --help  this help\n"
    "\n"
    "Progress goes to standard error, \"Tournaments with fees imported:  N\" to standard output.\n"
    "\n"
    "Exit status:\n"
    "  0  every file was read and imported\n"
    "  1  a file could not be read (\"Error loading FILE\" and the reason on the next line;\n"
    "     the files before it stay imported; only regular files up to 256 MiB are read),\n"
    "     or an error ended the run (its message, such as a refused tournament; nothing\n"
    "     of the run is kept), or --new left a file out (the others are imported)\n"
    "  2  the command line was wrong\n");

int RunImport(const QStringList& args);

const RegisterCommand registration({QStringLiteral("import"),
                                    QStringLiteral("Import results files into the fee database"),
                                    kHelp, RunImport});

int RunImport(const QStringList& args) {
    const CliCommand& self = *FindCommand(QStringLiteral("import"));
    QString dbPath;
    QStringList files;
    bool onlyNew = false;
    double waitSeconds = kDefaultWaitSeconds;
    bool optionsDone = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsDone || !arg.startsWith(u'-') || arg == u"-") {
            files << arg;
        } else if (arg == u"--") {
            optionsDone = true;
        } else if (arg == u"--db") {
            if (i + 1 >= args.size())
                return UsageError(self, QStringLiteral("--db needs a file"));
            dbPath = args[++i];
        } else if (arg.startsWith(u"--db=")) {
            dbPath = arg.mid(5);
        } else if (arg == u"--new") {
            onlyNew = true;
        } else if (arg == u"--wait" || arg.startsWith(u"--wait=")) {
            const QString value =
                arg == u"--wait" ? (i + 1 < args.size() ? args[++i] : QString()) : arg.mid(7);
            if (const QString error = ParseWaitSeconds(value, waitSeconds); !error.isEmpty())
                return UsageError(self, error);
        } else if (arg == u"--help" || arg == u"-h") {
            PrintOut(self.help);
            return kExitOk;
        } else {
            return UsageError(self, QStringLiteral("unknown option \"%1\"").arg(arg));
        }
    }
    if (dbPath.isEmpty() && args.contains(QStringLiteral("--db=")))
        return UsageError(self, QStringLiteral("--db needs a file"));
    if (files.isEmpty())
        return UsageError(self, QStringLiteral("no results files given"));

    FeeDatabase db;
    const auto wait =
        OpenFeeDatabaseWaiting(db, dbPath.isEmpty() ? FeeDatabasePath() : dbPath, waitSeconds);

    // A folder of many thousand files is held as the bytes of its names, not a string each.
    ImportRunFiles run = RunFilesOf(files);
    if (onlyNew) {
        const NewFiles fresh = NewOrChangedFiles(db, run.paths());
        PrintErr(QStringLiteral("Skipped (already imported): %1\n").arg(fresh.skipped));
        run = ImportRunFiles(fresh.paths);
    }
    CliConsole console;
    try {
        // With --new each file stands alone: one that fails is left out, unrecorded, so that
        // the next --new tries it again, and cannot keep the others out.
        const ImportRunOutcome outcome =
            ImportResultsFiles(run, db, console, console.statusLine(), {},
                               onlyNew ? ImportRunKind::EachFile : ImportRunKind::Whole);
        if (!outcome.failed.isEmpty())
            PrintErr(QStringLiteral("Not imported (tried again by the next --new): %1\n")
                         .arg(outcome.failed.size()));
        return outcome.unreadable || !outcome.failed.isEmpty() ? kExitFailure : kExitOk;
    } catch (...) {
        console.endStatus();
        throw;
    }
}

} // namespace
