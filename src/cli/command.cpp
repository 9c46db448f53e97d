#include "command.h"

#include <algorithm>
#include <cstdio>

namespace {
QList<CliCommand>& registry() {
    static QList<CliCommand> commands;
    return commands;
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

void PrintOut(const QString& text) {
    print(stdout, text);
}
void PrintErr(const QString& text) {
    print(stderr, text);
}

int UsageError(const CliCommand& command, const QString& message) {
    PrintErr(QStringLiteral("zvfee %1: %2\n\n%3").arg(command.name, message, command.help));
    return kExitUsage;
}
