#include "windowcommandline.h"

#include "commandlinefault.h"
#include "profile.h"
#include "version.h"

#include <QCommandLineParser>

WindowCommandLine ReadWindowCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("ZV Fee Stats: tournament fees of a Zorvane poker server, imported from "
                       "its results files into a fee database, browsed and reported."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help and ends."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Shows the version and ends."));
    const QCommandLineOption profileOption(
        QStringLiteral("profile"),
        QStringLiteral("Uses the fee database and the settings file of the profile NAME instead "
                       "of the default ones (one profile per poker server)."),
        QStringLiteral("NAME"));
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    parser.addOption(profileOption);
    parser.addPositionalArgument(
        QStringLiteral("FOLDER"),
        QStringLiteral("A folder of TR*.txt results files, listed at start "
                       "as if chosen with \"Get Tourney Results List\"."),
        QStringLiteral("[FOLDER]"));

    WindowCommandLine result;
    QString fault;
    if (!parser.parse(arguments))
        fault = CommandLineFault(parser, arguments);
    else if (parser.positionalArguments().size() > 1)
        fault = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[1]);
    else if (parser.isSet(profileOption))
        fault = ProfileNameFault(parser.value(profileOption));
    if (!fault.isEmpty()) {
        result.exitCode = 2;
        result.err =
            QStringLiteral(
                "zvfeestats: %1 (it takes --help, --version, --profile NAME or a FOLDER)\n")
                .arg(fault);
    } else if (parser.isSet(helpOption)) {
        result.exitCode = 0;
        result.out = QStringLiteral("Usage: zvfeestats [OPTION] [FOLDER]\n\n") +
                     parser.helpText().section(u'\n', 1).trimmed() +
                     QStringLiteral("\n\nThe fee database and the settings file are listed in "
                                    "zvfeestats(1); F1 in the window shows the ones in use.\n");
    } else if (parser.isSet(versionOption)) {
        result.exitCode = 0;
        result.out = QStringLiteral("zvfeestats %1\n").arg(ProgramVersion());
    } else if (!parser.positionalArguments().isEmpty()) {
        result.folder = parser.positionalArguments()[0]; // the window says when it is no folder
    }
    if (!result.exitCode && parser.isSet(profileOption))
        result.profile = parser.value(profileOption);
    return result;
}
