#include "command.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
QList<CliCommand>& registry() {
    static QList<CliCommand> commands;
    return commands;
}

struct ApplicationEntry {
    const char* commandName;
    ApplicationFactory factory;
};

QList<ApplicationEntry>& applications() {
    static QList<ApplicationEntry> entries;
    return entries;
}

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

RegisterCommand::RegisterCommand(CliCommand command) {
    registry().append(std::move(command));
}

QList<CliCommand> RegisteredCommands() {
    QList<CliCommand> commands = registry();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
    return commands;
}

const CliCommand* FindCommand(const QString& name) {
    for (const CliCommand& command : registry())
        if (command.name == name)
            return &command;
    return nullptr;
}

RegisterApplication::RegisterApplication(const char* commandName, ApplicationFactory factory) {
    applications().append({commandName, factory});
}

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) {
    // The command comes after zvfee's own "--profile NAME" (or "--profile=NAME").
    int at = 1;
    while (at < argc && std::strncmp(argv[at], "--profile", 9) == 0)
        at += argv[at][9] == '=' ? 1 : 2;
    if (at < argc) {
        for (const ApplicationEntry& entry : applications()) {
            if (std::strcmp(argv[at], entry.commandName) == 0)
                return entry.factory(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

void PrintOut(const QString& text) {
    print(stdout, text);
}
void PrintErr(const QString& text) {
    print(stderr, text);
}

int UsageError(const CliCommand& command, const QString& message) {
    PrintErr(QStringLiteral("zvfee %1: %2\nRun 'zvfee %1 --help'.\n").arg(command.name, message));
    return kExitUsage;
}
