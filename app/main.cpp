#include "commands.h"

#include <QApplication>
#include <QCoreApplication>

#include <memory>

using namespace ravlen::app;

namespace {

QString helpText() {
    QString text = QStringLiteral("Usage: ravlenpacs COMMAND [ARGUMENTS]\n\nCommands:\n");
    for (const Command &c : commands()) {
        const QString head = QStringLiteral("  %1 %2").arg(QString::fromLatin1(c.name),
                                                           QString::fromLatin1(c.arguments));
        text += head.leftJustified(34) + QStringLiteral(" ") + QString::fromLatin1(c.summary) +
                QStringLiteral("\n");
    }
    text += QStringLiteral("  --help                           show this text\n"
                           "  --version                        show the version\n"
                           "\nExit codes: 0 success, 1 usage error, 2 input, network or "
                           "database failure.\n");
    return text;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        reportError(QStringLiteral("no command given (see ravlenpacs --help)"));
        return ExitUsage;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        writeOut(helpText());
        return ExitOk;
    }
    if (name == QLatin1String("--version")) {
        writeOut(QStringLiteral("ravlenpacs %1\n").arg(QStringLiteral(RAVLEN_VERSION)));
        return ExitOk;
    }
    for (const Command &c : commands()) {
        if (name == QLatin1String(c.name)) {
            std::unique_ptr<QCoreApplication> app;
            if (c.needsGui) {
                app = std::make_unique<QApplication>(argc, argv);
            } else {
                app = std::make_unique<QCoreApplication>(argc, argv);
            }
            QStringList arguments;
            for (int i = 2; i < argc; ++i) {
                arguments.append(QString::fromLocal8Bit(argv[i]));
            }
            return c.run(arguments);
        }
    }
    reportError(QStringLiteral("unknown command \"%1\" (see ravlenpacs --help)").arg(name));
    return ExitUsage;
}
