// zvfee: the headless command over the libraries of the window program.

#include "command.h"
#include "error.h"
#include "filenumberformat.h"

#include <QCoreApplication>

namespace {

QString GeneralUsage() {
    QString text = QStringLiteral("Usage: zvfee COMMAND [OPTIONS] [ARGUMENTS]\n\n"
                                  "ZV Fee Stats without a window: the same fee database, the same "
                                  "rules.\n\nCommands:\n");
    for (const CliCommand& command : RegisteredCommands())
        text += QStringLiteral("  %1  %2\n").arg(command.name.leftJustified(10), command.summary);
    text += QStringLiteral("\nRun \"zvfee COMMAND --help\" for the options of a command.\n");
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zvfee"));
    SetupFileNumberFormat();

    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        PrintErr(GeneralUsage());
        return kExitUsage;
    }
    if (args[0] == u"--help" || args[0] == u"-h" || args[0] == u"help") {
        PrintOut(GeneralUsage());
        return kExitOk;
    }
    const CliCommand* command = FindCommand(args[0]);
    if (!command) {
        PrintErr(QStringLiteral("zvfee: unknown command \"%1\"\n\n").arg(args[0]) + GeneralUsage());
        return kExitUsage;
    }
    if (args.size() == 2 && (args[1] == u"--help" || args[1] == u"-h")) {
        PrintOut(command->help);
        return kExitOk;
    }
    try {
        return command->run(args.mid(1));
    } catch (const ZvError& e) {
        PrintErr(e.message() + u'\n');
    } catch (const std::exception& e) {
        PrintErr(QString::fromLocal8Bit(e.what()) + u'\n');
    }
    return kExitFailure;
}
