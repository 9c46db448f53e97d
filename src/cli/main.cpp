// zvfee: the headless command over the libraries of the window program.

#include "command.h"
#include "commandlinefault.h"
#include "error.h"
#include "filenumberformat.h"
#include "importresults.h"
#include "profile.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

QString GeneralUsage() {
    QString text = QStringLiteral(
        "Usage: zvfee [--profile NAME] COMMAND [OPTIONS] [ARGUMENTS]\n"
        "       zvfee --version\n\n"
        "ZV Fee Stats without a window: the same fee database, the same rules.\n\n"
        "  --profile NAME  the fee database and the settings file of the profile NAME\n"
        "                  instead of the default ones (\"zvfee profiles\" lists them); a\n"
        "                  command's --db FILE still names the database it uses\n\n"
        "Commands:\n");
    for (const CliCommand& command : RegisteredCommands())
        text += QStringLiteral("  %1  %2\n").arg(command.name.leftJustified(10), command.summary);
    text += QStringLiteral("\nRun \"zvfee COMMAND --help\" for the options of a command.\n");
    return text;
}

/// A wrong command line before the command: one line naming the fault, and where help is.
int GeneralUsageError(const QString& message) {
    PrintErr(QStringLiteral("zvfee: %1\nRun 'zvfee --help'.\n").arg(message));
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zvfee"));
    QCoreApplication::setApplicationVersion(ProgramVersion());
    SetupFileNumberFormat();

    // The options of zvfee itself come before the command; everything from the command on is
    // the command's own.
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("This help."));
    parser.addOption(helpOption);
    const QCommandLineOption profileOption(
        QStringLiteral("profile"), QStringLiteral("The profile to use."), QStringLiteral("NAME"));
    parser.addOption(profileOption);
    const QCommandLineOption versionOption = parser.addVersionOption();
    if (!parser.parse(QCoreApplication::arguments()))
        return GeneralUsageError(CommandLineFault(parser, QCoreApplication::arguments()));
    if (parser.isSet(versionOption)) {
        PrintOut(QStringLiteral("zvfee %1\n").arg(ProgramVersion()));
        return kExitOk;
    }
    if (parser.isSet(profileOption)) {
        const QString profile = parser.value(profileOption);
        if (const QString fault = ProfileNameFault(profile); !fault.isEmpty())
            return GeneralUsageError(fault);
        SetProfile(profile);
    }
    const QStringList args = parser.positionalArguments();
    if (parser.isSet(helpOption) || (!args.isEmpty() && args[0] == u"help")) {
        PrintOut(GeneralUsage());
        return kExitOk;
    }
    if (args.isEmpty())
        return GeneralUsageError(QStringLiteral("no command given"));
    const CliCommand* command = FindCommand(args[0]);
    if (!command)
        return GeneralUsageError(QStringLiteral("unknown command \"%1\"").arg(args[0]));
    if (args.size() == 2 && (args[1] == u"--help" || args[1] == u"-h")) {
        PrintOut(command->help);
        return kExitOk;
    }
    try {
        return command->run(args.mid(1));
    } catch (const ResultsTextError& e) {
        PrintErr(e.placedMessage() + u'\n');
    } catch (const ZvError& e) {
        PrintErr(e.message() + u'\n');
    } catch (const std::exception& e) {
        PrintErr(QString::fromLocal8Bit(e.what()) + u'\n');
    }
    return kExitFailure;
}
