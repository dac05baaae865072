#pragma once

#include <QStringList>

#include <functional>
#include <vector>

namespace ravlen::app {

// Exit codes of every command.
inline constexpr int ExitOk = 0;
inline constexpr int ExitUsage = 1;
inline constexpr int ExitFailure = 2; // unreadable input, network or database failure

// One command of the program: `ravlenpacs NAME ARGS...`. The handler gets the arguments after
// the name, writes its result to stdout and one clear line to stderr on failure, and returns
// an exit code.
struct Command {
    const char *name;
    const char *arguments; // usage text after the name, e.g. "FILE"
    const char *summary;
    const char *details; // what `ravlenpacs NAME --help` adds: options, one a line
    bool needsGui; // whether the command shows windows (QApplication instead of QCoreApplication)
    std::function<int(const QStringList &arguments)> run;
};

// Every command, in the order --help lists them.
const std::vector<Command> &commands();

// The text of `ravlenpacs --help` and of `ravlenpacs NAME --help`.
QString programHelp();
QString commandHelp(const Command &command);

// Writes "ravlenpacs: <text>" (or "ravlenpacs <command>: <text>") as one line to stderr.
void reportError(const QString &text, const char *command = nullptr);
// Writes one line of progress to stderr, so stdout stays the command's result.
void reportProgress(const QString &text, const char *command);
// Writes text to stdout as UTF-8.
void writeOut(const QString &text);

// The command handlers, one file each.
int runDump(const QStringList &arguments);
int runRender(const QStringList &arguments);
int runView(const QStringList &arguments);
int runOpen(const QStringList &arguments);
int runGetPacs(const QStringList &arguments);
int runEcho(const QStringList &arguments);

} // namespace ravlen::app
