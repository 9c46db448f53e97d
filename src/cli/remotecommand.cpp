// zvfee remote: lists the results that the poker server holds, and imports them, as the window's
// Remote tab does.

#include "cliconsole.h"
#include "command.h"
#include "error.h"
#include "feedatabase.h"
#include "feeschema.h"
#include "lockwaitoption.h"
#include "remoteimport.h"
#include "remotelist.h"
#include "settings.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kHelp =
    u"Usage: zvfee remote list [SERVER OPTIONS]\n"
    "       zvfee remote import [--db FILE] [--wait SECONDS] [SERVER OPTIONS]\n"
    "                           (--all | --new | ITEM...)\n"
    "\n"
    "list    prints the results that the poker server holds, one item per line\n"
    "        as the Remote tab lists them (TR<date> <name>.txt).\n"
    "import  fetches the given items (as \"list\" prints them), or every listed\n"
    "        item with --all, and imports them into the fee database in one run.\n"
    "        The database records every item imported for the server.\n"
    "\n"
    "Server options (each defaults to what the window program saved):\n"
    "  --host HOST           poker server IP or domain; \"https://HOST\" for TLS\n"
    "  --port PORT           file port\n"
    "  --path PATH           API path\n"
    "  --password-file FILE  API password: the first line of FILE (\"-\" reads\n"
    "                        standard input); default: the saved password when\n"
    "                        \"Remember PW\" was ticked\n"
    "  --timeout SECONDS     ends each request to the server that takes longer\n"
    "                        in all (default: none; a connection not made in 15 s,\n"
    "                        or an answer slower than 1 KiB/s for 60 s, ends anyway)\n"
    "Import options:\n"
    "  --db FILE             the fee database (default: the window program's, see\n"
    "                        \"man zvfee\"); created with its tables when missing\n"
    "  --all                 every item of the server's list\n"
    "  --new                 only the items (given, or else listed) that the database\n"
    "                        has not recorded for this server; \"Skipped (already\n"
    "                        imported): K\" counts the others (for a cron line or the\n"
    "                        zvfee-remote-sync timer). Each item then stands\n"
    "                        alone: one that fails is named with its cause and\n"
    "                        left out, unrecorded, and the items after it still\n"
    "                        come; \"Not imported (tried again by the next --new): K\"\n"
    "                        counts the failed ones\n"
    "  --wait SECONDS        how long to wait for the database while another program\n"
    "                        holds it locked: 0 to 86400 (default 60; 0 waits only\n"
    "                        the window's 80 ms)\n"
    "  -h, --help            this help\n"
    "\n"
    "Progress and messages go to standard error; the items (list) and\n"
    "\"Tournaments with fees imported:  N\" (import) to standard output.\n"
    "\n"
    "Exit status:\n"
    "  0  done (also when the server holds no results)\n"
    "  1  the server could not be reached or answered an error (its text is\n"
    "     shown; items imported before it stay imported), or an error ended the\n"
    "     run, such as a tournament refused because the database holds another\n"
    "     under its number (nothing of the run is kept), or --new left an item out\n"
    "     (the others are imported)\n"
    "  2  the command line was wrong, or a server setting is empty\n"_s;

int RunRemote(const QStringList& args);

const RegisterCommand registration({u"remote"_s,
                                    u"List and import the results that the poker server holds"_s,
                                    kHelp, RunRemote});

/// Messages of a remote run: only the results go to standard output, everything else to
/// standard error; remembers whether an error was shown.
class RemoteConsole : public CliConsole {
public:
    bool show(MessageKind kind, const QString& text) override {
        if (kind == MessageKind::Error || kind == MessageKind::GeneralError)
            errorShown = true;
        if (kind == MessageKind::Information) {
            endStatus();
            PrintErr(text + u'\n');
            return true;
        }
        return CliConsole::show(kind, text);
    }
    bool errorShown = false;
};

/// The first line of a file ("-": standard input), without its line end.
std::optional<QString> ReadPasswordFile(const QString& path) {
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return std::nullopt;
    const QString text = QString::fromUtf8(file.readAll());
    const qsizetype end = text.indexOf(QRegularExpression(u"[\r\n]"_s));
    return end < 0 ? text : text.left(end);
}

struct RemoteOptions {
    QString action;
    std::optional<QString> host, port, path, passwordFile;
    std::optional<QString> timeout;
    std::optional<QString> wait;
    double waitSeconds = kDefaultWaitSeconds;
    QString db;
    bool all = false;
    bool onlyNew = false;
    QStringList items;
};

/// Reads the command line; an error text when it is wrong.
QString ParseOptions(const QStringList& args, RemoteOptions& options) {
    bool optionsDone = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsDone || !arg.startsWith(u"--")) {
            if (options.action.isEmpty())
                options.action = arg;
            else
                options.items << arg;
            continue;
        }
        if (arg == u"--") {
            optionsDone = true;
            continue;
        }
        if (arg == u"--all") {
            options.all = true;
            continue;
        }
        if (arg == u"--new") {
            options.onlyNew = true;
            continue;
        }
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = eq < 0 ? arg : arg.left(eq);
        std::optional<QString>* target = nullptr;
        std::optional<QString> db;
        if (name == u"--host")
            target = &options.host;
        else if (name == u"--port")
            target = &options.port;
        else if (name == u"--path")
            target = &options.path;
        else if (name == u"--password-file")
            target = &options.passwordFile;
        else if (name == u"--db")
            target = &db;
        else if (name == u"--timeout")
            target = &options.timeout;
        else if (name == u"--wait")
            target = &options.wait;
        else
            return u"unknown option \"%1\""_s.arg(arg);
        if (eq >= 0) {
            *target = arg.mid(eq + 1);
        } else {
            if (i + 1 >= args.size())
                return u"%1 needs a value"_s.arg(name);
            *target = args[++i];
        }
        if (db) {
            if (db->isEmpty())
                return u"--db needs a file"_s;
            options.db = *db;
        }
    }
    if (options.timeout) {
        bool ok = false;
        const long seconds = options.timeout->toLong(&ok);
        if (!ok || seconds <= 0)
            return u"--timeout needs a number of seconds above 0"_s;
    }
    if (options.wait)
        if (QString error = ParseWaitSeconds(*options.wait, options.waitSeconds); !error.isEmpty())
            return error;
    if (options.action != u"list" && options.action != u"import")
        return options.action.isEmpty() ? u"list or import?"_s
                                        : u"unknown action \"%1\""_s.arg(options.action);
    if (options.action == u"list" && (options.all || options.onlyNew || !options.items.isEmpty() ||
                                      !options.db.isEmpty() || options.wait))
        return u"list takes only server options"_s;
    if (options.all && !options.items.isEmpty())
        return u"--all and items do not go together"_s;
    if (options.action == u"import" && !options.all && !options.onlyNew && options.items.isEmpty())
        return u"no items given (or --all, --new)"_s;
    return {};
}

/// The server fields: the options, else what the window program saved.
std::optional<ServerFields> ServerFieldsOf(const RemoteOptions& options, QString& error) {
    const SettingsStore settings;
    ServerFields fields;
    fields.host = options.host.value_or(settings.ReadText(Setting::ServerIP));
    fields.port = options.port.value_or(settings.ReadText(Setting::FilePort));
    fields.path = options.path.value_or(settings.ReadText(Setting::APIPath));
    if (options.passwordFile) {
        const auto password = ReadPasswordFile(*options.passwordFile);
        if (!password) {
            error = u"cannot read the password file \"%1\""_s.arg(*options.passwordFile);
            return std::nullopt;
        }
        fields.password = *password;
    } else if (settings.ReadBool(Setting::RememberPW)) {
        fields.password = settings.ReadText(Setting::Password);
    }
    return fields;
}

int RunList(const ServerFields& fields) {
    RemoteConsole console;
    const QList<RemoteItem> items = FetchRemoteList(fields, console, console.statusLine());
    console.endStatus();
    QString out;
    for (const RemoteItem& item : items)
        out += item.text + u'\n';
    PrintOut(out);
    return console.errorShown ? kExitFailure : kExitOk;
}

int RunImport(const RemoteOptions& options, const ServerFields& fields) {
    RemoteConsole console;
    // The list gives every item the server's own date and name; an item that is not on it is
    // taken apart by position, and the server's answer to it decides.
    const QList<RemoteItem> listed = FetchRemoteList(fields, console, console.statusLine());
    if (console.errorShown)
        return kExitFailure;
    QList<RemoteItem> selected;
    if (options.all || (options.onlyNew && options.items.isEmpty())) {
        if (listed.isEmpty())
            return kExitOk; // "No files found" was shown
        selected = listed;
    } else {
        for (const QString& text : options.items) {
            const auto found =
                std::find_if(listed.begin(), listed.end(),
                             [&text](const RemoteItem& i) { return i.text == text; });
            selected << (found != listed.end() ? *found : RemoteItem::FromText(text));
        }
    }

    FeeDatabase db;
    const auto wait = OpenFeeDatabaseWaiting(
        db, options.db.isEmpty() ? FeeDatabasePath() : options.db, options.waitSeconds);
    if (options.onlyNew) {
        const QList<RemoteItem> fresh = NewRemoteItems(db, fields, selected);
        PrintErr(u"Skipped (already imported): %1\n"_s.arg(selected.size() - fresh.size()));
        if (fresh.isEmpty()) { // nothing to fetch: the run would only say nothing was selected
            PrintOut(u"Tournaments with fees imported:  0\n"_s);
            return kExitOk;
        }
        selected = fresh;
    }
    try {
        // With --new each item stands alone: one that fails is left out, unrecorded, so that
        // the next --new tries it again, and the items after it are still fetched.
        const RemoteImportOutcome outcome = ImportRemoteFiles(
            selected, fields, db, console, console.statusLine(), {}, options.onlyNew);
        if (options.onlyNew && outcome.failures > 0)
            PrintErr(u"Not imported (tried again by the next --new): %1\n"_s.arg(outcome.failures));
        return outcome.failed ? kExitFailure : kExitOk;
    } catch (...) {
        console.endStatus();
        throw;
    }
}

int RunRemote(const QStringList& args) {
    const CliCommand& self = *FindCommand(u"remote"_s);
    RemoteOptions options;
    if (args.contains(u"--help"_s) || args.contains(u"-h"_s)) {
        PrintOut(self.help);
        return kExitOk;
    }
    if (const QString error = ParseOptions(args, options); !error.isEmpty())
        return UsageError(self, error);
    QString error;
    const auto fields = ServerFieldsOf(options, error);
    if (!fields)
        return UsageError(self, error);

    if (options.timeout) {
        ApiTimeouts limits = DefaultApiTimeouts();
        limits.totalSeconds = options.timeout->toLong();
        SetDefaultApiTimeouts(limits);
    }

    // An empty server setting stops the run before anything is sent, as in the window (the
    // import shows a missing host as information, the list shows it as an error).
    if (const auto missing = CheckServerFields(*fields)) {
        PrintErr(missing->message + u'\n');
        return kExitUsage;
    }
    return options.action == u"list" ? RunList(*fields) : RunImport(options, *fields);
}

} // namespace
