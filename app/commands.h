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
    bool needsGui; // whether the command shows windows (QApplication instead of QCoreApplication)
    std::function<int(const QStringList &arguments)> run;
};

// Every command, in the order --help lists them.
const std::vector<Command> &commands();

// Writes "ravlenpacs: <text>" (or "ravlenpacs <command>: <text>") as one line to stderr.
void reportError(const QString &text, const char *command = nullptr);
// Writes text to stdout as UTF-8.
void writeOut(const QString &text);

// The command handlers, one file each.
int runDump(const QStringList &arguments);
int runRender(const QStringList &arguments);
int runView(const QStringList &arguments);

} // namespace ravlen::app
