#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QCoreApplication;

/// Exit codes of zvfee.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // the work failed (a file unreadable, an error)
inline constexpr int kExitUsage = 2;   // the command line was wrong

/// A sub-command of zvfee ("zvfee import ..."). Each lives in its own file and registers itself
/// with a static RegisterCommand, so main.cpp never changes when one is added.
struct CliCommand {
    QString name;
    /// One line for "zvfee --help".
    QString summary;
    /// The full help of "zvfee NAME --help".
    QString help;
    /// Runs with the arguments after the name and gives the exit code. A ZvError that escapes
    /// is printed on standard error and ends the program with kExitFailure.
    std::function<int(const QStringList& args)> run;
};

/// Every registered command, sorted by name.
QList<CliCommand> RegisteredCommands();
const CliCommand* FindCommand(const QString& name);

struct RegisterCommand {
    explicit RegisterCommand(CliCommand command);
};

/// Makes the application object of a command that needs more than QCoreApplication.
using ApplicationFactory = std::unique_ptr<QCoreApplication> (*)(int& argc, char** argv);

/// Every command runs under QCoreApplication, without a display, unless it registers a factory
/// here (the chart command draws with the widget toolkit on the offscreen platform).
struct RegisterApplication {
    RegisterApplication(const char* commandName, ApplicationFactory factory);
};

/// The application object for the command that argv names (after zvfee's own --profile).
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv);

/// Text on standard output or standard error, as UTF-8, flushed.
void PrintOut(const QString& text);
void PrintErr(const QString& text);

/// A usage error of a command: one line naming the fault and one telling where the help is,
/// on standard error.
int UsageError(const CliCommand& command, const QString& message);
