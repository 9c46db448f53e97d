// zvfee profiles: the fee databases of this user, the default one and one per profile.

#include "command.h"
#include "error.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "profiledatabases.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

const QString kHelp = QStringLiteral(
    "Usage: zvfee profiles\n"
    "\n"
    "Lists the default fee database and that of every profile, each with its number of\n"
    "tournaments: one line each, the profile's name (\"(default)\" for the default one),\n"
    "the number of tournaments (\"-\" when the database is not made yet) and the path.\n"
    "\n"
    "A profile keeps the fees of one poker server apart: use one for another server, or\n"
    "for a server whose tournament numbers started again. \"zvfee --profile NAME COMMAND\"\n"
    "and \"zvfeestats --profile NAME\" use it; the first use makes its files.\n"
    "\n"
    "Options:\n"
    "  -h, --help  this help\n"
    "\n"
    "Exit status: 0 listed, 1 a database could not be read (its reason; the others are\n"
    "listed), 2 the command line was wrong.\n");

int RunProfiles(const QStringList& args);

const RegisterCommand registration({QStringLiteral("profiles"),
                                    QStringLiteral("List the profiles and their fee databases"),
                                    kHelp, RunProfiles});

/// The number of tournaments in the fee database at path, as text: "-" when there is no file.
QString TournamentCount(const QString& path) {
    if (!QFileInfo::exists(path))
        return QStringLiteral("-");
    FeeDatabase db;
    OpenFeeDatabaseForReport(db, path);
    Statement count = db.Prepare16(QStringLiteral("SELECT COUNT(*) FROM Master"));
    db.Step(count);
    return QString::number(sqlite3_column_int64(count.get(), 0));
}

int RunProfiles(const QStringList& args) {
    const CliCommand& self = *FindCommand(QStringLiteral("profiles"));
    if (!args.isEmpty())
        return UsageError(self, QStringLiteral("unexpected argument \"%1\"").arg(args[0]));
    const QString programFolder = QCoreApplication::applicationDirPath();
    QStringList names{QString()};
    names << KnownProfiles(programFolder);
    const QString defaultName = QStringLiteral("(default)");
    qsizetype width = defaultName.size();
    for (const QString& name : names)
        width = std::max(width, name.size());

    int exitCode = kExitOk;
    QString lines = QStringLiteral("%1  %2  %3\n")
                        .arg(QStringLiteral("Profile").leftJustified(width),
                             QStringLiteral("Tournaments"), QStringLiteral("Fee database"));
    for (const QString& name : names) {
        const QString path = ProfileDatabaseLocation(programFolder, name);
        QString count;
        try {
            count = TournamentCount(path);
        } catch (const ZvError& e) {
            PrintErr(e.message() + u'\n');
            count = QStringLiteral("?");
            exitCode = kExitFailure;
        }
        lines += QStringLiteral("%1  %2  %3\n")
                     .arg((name.isEmpty() ? defaultName : name).leftJustified(width),
                          count.rightJustified(11), path);
    }
    PrintOut(lines);
    return exitCode;
}

} // namespace
