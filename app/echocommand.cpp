#include "commands.h"

#include "toolkit/netops.h"

#include <QElapsedTimer>

namespace ravlen::app {

namespace {

constexpr const char *Usage =
    "usage: ravlenpacs echo HOST PORT [--aet TITLE] [--called TITLE] [--timeout S]";

// AE titles are at most 16 characters of the default character repertoire, no backslash.
bool validAeTitle(const QString &title) {
    if (title.trimmed().isEmpty() || title.size() > 16) {
        return false;
    }
    return std::all_of(title.begin(), title.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\');
    });
}

} // namespace

// C-ECHO: one line on stdout when the peer answers with success, else one line on stderr.
int runEcho(const QStringList &arguments) {
    QStringList positional;
    QString callingAE = QStringLiteral("RAVLENPACS");
    QString calledAE = QStringLiteral("ANY-SCP");
    int timeout = 10;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (!a.startsWith(QLatin1String("--"))) {
            positional << a;
            continue;
        }
        if (a != "--aet" && a != "--called" && a != "--timeout") {
            reportError(QStringLiteral("unknown option %1 (%2)").arg(a, QLatin1String(Usage)),
                        "echo");
            return ExitUsage;
        }
        if (i + 1 >= arguments.size()) {
            reportError(QStringLiteral("%1 needs a value").arg(a), "echo");
            return ExitUsage;
        }
        const QString value = arguments[++i];
        if (a == "--timeout") {
            bool ok = false;
            timeout = value.toInt(&ok);
            if (!ok || timeout < 1 || timeout > 600) {
                reportError(QStringLiteral("--timeout must be a whole number of seconds, 1 to 600"),
                            "echo");
                return ExitUsage;
            }
        } else if (!validAeTitle(value)) {
            reportError(QStringLiteral("%1 must be an AE title of 1 to 16 characters").arg(a),
                        "echo");
            return ExitUsage;
        } else {
            (a == "--aet" ? callingAE : calledAE) = value;
        }
    }
    if (positional.size() != 2 || positional[0].isEmpty()) {
        reportError(QString::fromLatin1(Usage), "echo");
        return ExitUsage;
    }
    const QString host = positional[0];
    bool ok = false;
    const int port = positional[1].toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        reportError(QStringLiteral("PORT must be 1 to 65535, not \"%1\"").arg(positional[1]),
                    "echo");
        return ExitUsage;
    }

    toolkit::NetworkTimeouts timeouts;
    timeouts.connectSeconds = timeout;
    timeouts.associationSeconds = timeout;
    timeouts.dimseSeconds = timeout;
    QString detail;
    QElapsedTimer clock;
    clock.start();
    const int status = toolkit::verifyEcho(host, port, callingAE, calledAE, timeouts, &detail);
    if (status != toolkit::StatusSuccess) {
        reportError(detail.isEmpty() ? toolkit::statusText(status, host, port) : detail, "echo");
        return ExitFailure;
    }
    writeOut(QStringLiteral("%1:%2 (%3) answered the echo of %4 in %5 ms\n")
                 .arg(host)
                 .arg(port)
                 .arg(calledAE, callingAE)
                 .arg(clock.elapsed()));
    return ExitOk;
}

} // namespace ravlen::app
