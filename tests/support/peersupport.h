#pragma once

// What the tests against real peers share: the variables the service scripts write, a free
// loopback port, and waiting for a condition while the event loop runs.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>

namespace ravlen::testsupport {

// NAME=value lines (an "export " prefix allowed), as scripts/orthanc-start writes them. A
// missing file gives no values, which the caller reports as a fixture that did not run.
inline std::map<QString, QString> readEnv(const QString &path) {
    std::map<QString, QString> values;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            QString text = QString::fromUtf8(line).trimmed();
            text.remove(QRegularExpression(QStringLiteral("^export ")));
            const qsizetype eq = text.indexOf(QLatin1Char('='));
            if (eq > 0) {
                values[text.left(eq)] = text.mid(eq + 1);
            }
        }
    }
    return values;
}

// A port nothing listens on right now (the kernel's choice for an ephemeral bind).
inline int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Processes events until `done`, for at most `ms`; the caller asserts the condition.
template <typename Done> bool waitFor(Done done, int ms = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

} // namespace ravlen::testsupport
