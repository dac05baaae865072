#include "commands.h"

#include <QApplication>
#include <QCoreApplication>

#include <memory>

using namespace ravlen::app;

int main(int argc, char **argv) {
    if (argc < 2) {
        reportError(QStringLiteral("no command given (see ravlenpacs --help)"));
        return ExitUsage;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        writeOut(programHelp());
        return ExitOk;
    }
    if (name == QLatin1String("--version")) {
        writeOut(QStringLiteral("ravlenpacs %1\n").arg(QStringLiteral(RAVLEN_VERSION)));
        return ExitOk;
    }
    for (const Command &c : commands()) {
        if (name != QLatin1String(c.name)) {
            continue;
        }
        QStringList arguments;
        for (int i = 2; i < argc; ++i) {
            arguments.append(QString::fromLocal8Bit(argv[i]));
        }
        if (arguments.contains(QLatin1String("--help")) ||
            arguments.contains(QLatin1String("-h"))) {
            writeOut(commandHelp(c));
            return ExitOk;
        }
        std::unique_ptr<QCoreApplication> app;
        if (c.needsGui) {
            app = std::make_unique<QApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
        return c.run(arguments);
    }
    reportError(QStringLiteral("unknown command \"%1\" (see ravlenpacs --help)").arg(name));
    return ExitUsage;
}
