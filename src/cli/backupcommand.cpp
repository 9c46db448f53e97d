// zvfee backup and zvfee restore: a consistent copy of the fee database, and putting one back.

#include "backup.h"
#include "command.h"
#include "databaselocation.h"
#include "feedatabase.h"
#include "lockwaitoption.h"

namespace {

const QString kBackupHelp =
    QStringLiteral(
        "Usage: zvfee backup [--db FILE] [--wait SECONDS] DEST\n"
        "\n"
        "Copies the fee database into the file DEST with SQLite's online backup: one consistent\n"
        "copy, also while the window program, \"zvfee watch\" or another run writes to it. The\n"
        "copy goes a thousand pages at a time and lets a writer in between; a write makes it "
        "start\n"
        "again, and after three new starts the rest is copied at once while writers wait. DEST is\n"
        "replaced only once the whole copy is written: until then it is DEST.XXXXXX.part, which\n"
        "SIGINT and SIGTERM remove, and which the next backup removes after a kill -9.\n"
        "\n"
        "Options:\n"
        "  --db FILE          the fee database (default: the file the window program uses)\n"
        "%1"
        "  -h, --help         this help\n"
        "\n"
        "Exit status: 0 copied, 1 the copy failed (its reason), 2 the command line was wrong.\n")
        .arg(QString::fromUtf16(kWaitHelp));

const QString kRestoreHelp =
    QStringLiteral(
        "Usage: zvfee restore BACKUP [--db FILE] [--wait SECONDS]\n"
        "\n"
        "Puts the backup file BACKUP back as the fee database, once it is checked to be a fee\n"
        "database. The current database is kept first as one more backup beside it\n"
        "(NAME-YYYYMMDD-HHMMSS.db3.bak; the last five are kept), and the backup goes in as one\n"
        "transaction: programs using the database see either the old or the restored one. The\n"
        "database keeps its own page size and journal mode (a copy in WAL mode does not turn it "
        "to\n"
        "WAL). Part files that a killed backup or restore left beside it are removed.\n"
        "\n"
        "Options:\n"
        "  --db FILE          the fee database (default: the file the window program uses)\n"
        "%1"
        "  -h, --help         this help\n"
        "\n"
        "Exit status: 0 restored, 1 refused or failed (its reason), 2 the command line was "
        "wrong.\n")
        .arg(QString::fromUtf16(kWaitHelp));

int RunBackup(const QStringList& args);
int RunRestore(const QStringList& args);

const RegisterCommand backupRegistration({QStringLiteral("backup"),
                                          QStringLiteral("Copy the fee database to a file"),
                                          kBackupHelp, RunBackup});
const RegisterCommand restoreRegistration({QStringLiteral("restore"),
                                           QStringLiteral("Put a backup back as the fee database"),
                                           kRestoreHelp, RunRestore});

/// The --db option and the one file argument of both commands; false after a usage error.
bool ParseArguments(const CliCommand& self, const QStringList& args, QString& dbPath, QString& file,
                    double& waitSeconds, int& exitCode) {
    QStringList files;
    bool optionsDone = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsDone || !arg.startsWith(u'-') || arg == u"-") {
            files << arg;
        } else if (arg == u"--") {
            optionsDone = true;
        } else if (arg == u"--db" || arg.startsWith(u"--db=")) {
            dbPath = arg == u"--db" ? (i + 1 < args.size() ? args[++i] : QString()) : arg.mid(5);
            if (dbPath.isEmpty()) {
                exitCode = UsageError(self, QStringLiteral("--db needs a file"));
                return false;
            }
        } else if (arg == u"--wait" || arg.startsWith(u"--wait=")) {
            const QString value =
                arg == u"--wait" ? (i + 1 < args.size() ? args[++i] : QString()) : arg.mid(7);
            if (const QString error = ParseWaitSeconds(value, waitSeconds); !error.isEmpty()) {
                exitCode = UsageError(self, error);
                return false;
            }
        } else if (arg == u"--help" || arg == u"-h") {
            PrintOut(self.help);
            exitCode = kExitOk;
            return false;
        } else {
            exitCode = UsageError(self, QStringLiteral("unknown option \"%1\"").arg(arg));
            return false;
        }
    }
    if (files.size() != 1) {
        exitCode = UsageError(self, files.isEmpty() ? QStringLiteral("no file given")
                                                    : QStringLiteral("only one file, please"));
        return false;
    }
    file = files.first();
    if (dbPath.isEmpty())
        dbPath = FeeDatabasePath();
    return true;
}

int RunBackup(const QStringList& args) {
    QString dbPath, dest;
    double waitSeconds = kDefaultWaitSeconds;
    int exitCode = kExitOk;
    if (!ParseArguments(*FindCommand(QStringLiteral("backup")), args, dbPath, dest, waitSeconds,
                        exitCode))
        return exitCode;
    FeeDatabase db;
    db.setDatabaseName(dbPath);
    db.OpenReadOnly();
    CopyDatabaseTo(db, dest, LockWaitFor(waitSeconds, dbPath, {}));
    PrintOut(QStringLiteral("Copied \"%1\" to \"%2\"\n").arg(dbPath, dest));
    return kExitOk;
}

int RunRestore(const QStringList& args) {
    QString dbPath, backup;
    double waitSeconds = kDefaultWaitSeconds;
    int exitCode = kExitOk;
    if (!ParseArguments(*FindCommand(QStringLiteral("restore")), args, dbPath, backup, waitSeconds,
                        exitCode))
        return exitCode;
    const QString kept = RestoreDatabase(backup, dbPath, QDateTime::currentDateTime(),
                                         LockWaitFor(waitSeconds, dbPath, {}));
    PrintOut(QStringLiteral("Restored \"%1\" as \"%2\"\n").arg(backup, dbPath));
    if (!kept.isEmpty())
        PrintOut(QStringLiteral("The database before is kept as \"%1\"\n").arg(kept));
    return kExitOk;
}

} // namespace
