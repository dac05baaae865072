#include "toolkit/processrun.h"

#include "core/errors.h"

#include <QStandardPaths>

#include <fcntl.h>

#include <algorithm>

namespace ravlen::toolkit {

namespace {
// Waits are cut into slices this long so a cancel is seen promptly.
constexpr int kSliceMs = 100;
// What stays of the program's error output: its last lines say what went wrong.
constexpr qsizetype kErrorTail = 16 * 1024;
// Input queued beyond this is waited for before more is written.
constexpr qint64 kMaxQueued = 8 * 1024 * 1024;
// The pipes' capacity asked for (the usual system limit for an unprivileged process).
constexpr int kPipeBytes = 1024 * 1024;
} // namespace

ProcessRun::ProcessRun(const QString &what, Limits limits, std::function<bool()> cancelled)
    : m_what(what), m_limits(limits), m_cancelled(std::move(cancelled)) {}

ProcessRun::~ProcessRun() {
    kill();
}

void ProcessRun::start(const QString &program, const QStringList &arguments) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        throw ToolkitError(errc::HelperProgram,
                           QStringLiteral("%1 needs the program \"%2\", which is not installed.")
                               .arg(m_what, program)
                               .toStdString());
    }
#ifdef F_SETPIPE_SZ
    // Frames cross the pipes in large pieces: with the default 64 KB each frame costs both
    // processes several wake-ups. Runs in the child before the program starts; a refusal
    // (a lower system limit) only leaves the default.
    m_process.setChildProcessModifier([] {
        ::fcntl(STDIN_FILENO, F_SETPIPE_SZ, kPipeBytes);
        ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, kPipeBytes);
    });
#endif
    m_process.start(path, arguments);
    if (!m_process.waitForStarted(m_limits.startMs)) {
        const QString reason = m_process.errorString();
        kill();
        throw ToolkitError(errc::HelperProgram, QStringLiteral("%1: \"%2\" did not start: %3")
                                                    .arg(m_what, program, reason)
                                                    .toStdString());
    }
    m_total.start();
    m_sinceProgress.start();
}

void ProcessRun::write(const char *data, qint64 size) {
    if (m_process.state() != QProcess::Running) {
        failStopped(QStringLiteral("stopped before it had all its input"));
    }
    checkLimits(); // a cancel is seen at every frame, not only when the program lags
    m_process.write(data, size);
    m_sinceProgress.restart();
    // Hand over what the pipe takes now, so the program works while the next frame is made;
    // without an event loop nothing moves otherwise until the queue is full.
    m_process.waitForBytesWritten(0);
    while (m_process.bytesToWrite() > kMaxQueued) {
        const qint64 before = m_process.bytesToWrite();
        m_process.waitForBytesWritten(kSliceMs);
        drainErrors();
        if (m_process.state() != QProcess::Running) {
            failStopped(QStringLiteral("stopped before it had all its input"));
        }
        if (m_process.bytesToWrite() < before) {
            m_sinceProgress.restart();
        }
        checkLimits();
    }
}

void ProcessRun::closeInput() {
    // What is still queued goes out first; closeWriteChannel waits for it.
    while (m_process.state() == QProcess::Running && m_process.bytesToWrite() > 0) {
        const qint64 before = m_process.bytesToWrite();
        m_process.waitForBytesWritten(kSliceMs);
        drainErrors();
        if (m_process.bytesToWrite() < before) {
            m_sinceProgress.restart();
        }
        checkLimits();
    }
    m_process.closeWriteChannel();
}

qint64 ProcessRun::read(char *data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const qint64 got = m_process.read(data + done, size - done);
        if (got > 0) {
            done += got;
            m_sinceProgress.restart();
            continue;
        }
        if (m_process.state() != QProcess::Running) {
            // Whatever arrived before the end is still buffered.
            const qint64 rest = m_process.read(data + done, size - done);
            return done + std::max<qint64>(rest, 0);
        }
        m_process.waitForReadyRead(kSliceMs);
        drainErrors();
        checkLimits();
    }
    return done;
}

int ProcessRun::finish() {
    while (!m_process.waitForFinished(kSliceMs)) {
        if (m_process.state() == QProcess::NotRunning) {
            break;
        }
        drainErrors();
        // The program's output is not wanted any more; reading it keeps it from blocking.
        if (m_process.bytesAvailable() > 0) {
            m_process.readAllStandardOutput();
            m_sinceProgress.restart();
        }
        checkLimits();
    }
    drainErrors();
    if (m_process.exitStatus() == QProcess::CrashExit) {
        throw ToolkitError(errc::Damaged,
                           QStringLiteral("%1: the helper program stopped abnormally.%2")
                               .arg(m_what, errors().isEmpty() ? QString() : "\n" + errors())
                               .toStdString());
    }
    return m_process.exitCode();
}

void ProcessRun::kill() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ProcessRun::errors() const {
    return QString::fromUtf8(m_errors).trimmed();
}

bool ProcessRun::ended() const {
    return m_process.state() == QProcess::NotRunning;
}

void ProcessRun::checkLimits() {
    if (m_cancelled && m_cancelled()) {
        kill();
        throw ToolkitError(errc::Cancelled,
                           QStringLiteral("%1 was cancelled.").arg(m_what).toStdString());
    }
    if (m_sinceProgress.elapsed() > m_limits.stallMs || m_total.elapsed() > m_limits.totalMs) {
        kill();
        throw ToolkitError(errc::HelperProgram, QStringLiteral("%1 stopped: the helper program did "
                                                               "not answer in time.")
                                                    .arg(m_what)
                                                    .toStdString());
    }
}

void ProcessRun::drainErrors() {
    m_errors += m_process.readAllStandardError();
    if (m_errors.size() > kErrorTail) {
        m_errors = m_errors.right(kErrorTail);
    }
}

void ProcessRun::failStopped(const QString &how) {
    m_process.waitForFinished(1000);
    drainErrors();
    const QString said = errors();
    throw ToolkitError(errc::Damaged,
                       QStringLiteral("%1: the helper program %2.%3")
                           .arg(m_what, how, said.isEmpty() ? QString() : "\n" + said)
                           .toStdString());
}

} // namespace ravlen::toolkit
