#include "burn/xorrisoburner.h"

#include "burn/burnconstants.h"
#include "burn/xorrisooutput.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ravlen::burn {

namespace {

const QString kNotFound =
    QStringLiteral("The burning program xorriso was not found; install the xorriso package to "
                   "burn discs.");

QString sizeText(qint64 bytes) {
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// What a burn writes where, for the report after it.
QString trackSummary(const BurnJob &job) {
    qint64 bytes = 0;
    for (const TrackFile &f : job.files) {
        bytes += QFileInfo(f.sourcePath).size();
    }
    const QString where = job.recorder.imageFile
                              ? QStringLiteral("the disc image file ") + job.imagePath
                              : job.recorder.name;
    return QStringLiteral("Volume \"%1\": folder \"%2\" with %3 file(s), %4, on %5.")
        .arg(job.volumeLabel, job.folderName)
        .arg(job.files.size())
        .arg(sizeText(bytes), where);
}

// Ends a process that may be running, without waiting longer than a moment.
void endProcess(QProcess *process) {
    if (process && process->state() != QProcess::NotRunning) {
        process->disconnect();
        process->kill();
        process->waitForFinished(3000);
    }
}

} // namespace

XorrisoBurner::XorrisoBurner(const QString &program, QObject *parent)
    : BurnService(parent), m_program(program) {
    m_scanTimer.setSingleShot(true);
    m_silenceTimer.setSingleShot(true);
    m_killTimer.setSingleShot(true);
    connect(&m_scanTimer, &QTimer::timeout, this, [this] {
        if (m_scan) {
            m_scanTimedOut = true;
            m_scan->kill();
        }
    });
    connect(&m_silenceTimer, &QTimer::timeout, this, [this] {
        if (m_burn) {
            m_stalled = true;
            stop();
        }
    });
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        if (m_burn) {
            m_burn->kill();
        }
    });
}

XorrisoBurner::~XorrisoBurner() {
    endProcess(m_scan.get());
    endProcess(m_burn.get());
    if (!m_partPath.isEmpty()) {
        QFile::remove(m_partPath);
    }
}

void XorrisoBurner::setTimeouts(int scanMs, int silenceMs, int stopGraceMs) {
    m_scanMs = scanMs;
    m_silenceMs = silenceMs;
    m_stopGraceMs = stopGraceMs;
}

QString XorrisoBurner::programName() const {
    if (m_program.isEmpty()) {
        return QStandardPaths::findExecutable(QStringLiteral("xorriso"));
    }
    return QFileInfo(m_program).isExecutable() ? m_program : QString();
}

bool XorrisoBurner::busy() const {
    return m_burn != nullptr;
}

// --- recorders

void XorrisoBurner::listRecorders() {
    if (m_scan) {
        return;
    }
    const QString program = programName();
    if (program.isEmpty()) {
        QTimer::singleShot(0, this, [this] { emit recordersListed({}, kNotFound); });
        return;
    }
    m_scan = std::make_unique<QProcess>();
    m_scan->setProcessChannelMode(QProcess::MergedChannels);
    m_scanTimedOut = false;
    connect(m_scan.get(), &QProcess::finished, this, &XorrisoBurner::scanEnded);
    connect(m_scan.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) {
            return; // a crash or kill ends in finished()
        }
        m_scanTimer.stop();
        const QString why = m_scan->errorString();
        m_scan.release()->deleteLater();
        emit recordersListed({}, QStringLiteral("The burning program xorriso could not be "
                                                "started: ") +
                                     why);
    });
    m_scanTimer.start(m_scanMs);
    m_scan->start(
        program, {QStringLiteral("-pkt_output"), QStringLiteral("on"), QStringLiteral("-devices")});
}

void XorrisoBurner::scanEnded(int exitCode, QProcess::ExitStatus exitStatus) {
    Q_UNUSED(exitCode);
    Q_UNUSED(exitStatus);
    m_scanTimer.stop();
    const QString output = QString::fromLocal8Bit(m_scan->readAll());
    m_scan.release()->deleteLater(); // not while its own signal runs
    QList<Recorder> recorders = parseDrives(output);
    QString problem;
    if (m_scanTimedOut) {
        problem = QStringLiteral("The search for disc recorders did not end within %1 seconds.")
                      .arg(m_scanMs / 1000);
    } else if (recorders.isEmpty()) {
        problem = QStringLiteral("No disc recorder was found; a disc image file can be written "
                                 "instead.");
    }
    Recorder image;
    image.name = kImageTargetName;
    image.imageFile = true;
    recorders.append(image);
    emit recordersListed(recorders, problem);
}

// --- burning

void XorrisoBurner::burn(const BurnJob &job) {
    if (m_burn) {
        return;
    }
    m_job = job;
    m_pending.clear();
    m_media.clear();
    m_firstProblem.clear();
    m_writing = false;
    m_aborted = false;
    m_stalled = false;
    m_resultText.clear();
    m_trackText = trackSummary(job);
    m_partPath.clear();

    const QString program = programName();
    if (program.isEmpty()) {
        QTimer::singleShot(0, this, [this] { finish(status::NotStarted, kNotFound); });
        return;
    }
    QString outdev = job.recorder.address;
    if (job.recorder.imageFile) {
        // A fresh file: xorriso would add a session to an image already there.
        m_partPath = job.imagePath + QStringLiteral(".part");
        QFile::remove(m_partPath);
        outdev = QStringLiteral("stdio:") + m_partPath;
    }
    m_burn = std::make_unique<QProcess>();
    m_burn->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_burn.get(), &QProcess::readyRead, this, &XorrisoBurner::readBurnOutput);
    connect(m_burn.get(), &QProcess::finished, this, &XorrisoBurner::burnEnded);
    connect(m_burn.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) {
            return;
        }
        m_silenceTimer.stop();
        const QString why = m_burn->errorString();
        m_burn.release()->deleteLater();
        finish(status::NotStarted,
               QStringLiteral("The burning program xorriso could not be started: ") + why);
    });
    emit phase(QStringLiteral("Adding %1 file(s) to the data track").arg(job.files.size()));
    m_silenceTimer.start(m_silenceMs);
    m_burn->start(program, burnArguments(job, outdev));
}

void XorrisoBurner::abort() {
    if (m_burn && !m_aborted) {
        m_aborted = true;
        stop();
    }
}

void XorrisoBurner::stop() {
    // xorriso ends a write cleanly on SIGTERM; one that does not answer is killed.
    m_burn->terminate();
    m_killTimer.start(m_stopGraceMs);
}

void XorrisoBurner::readBurnOutput() {
    m_silenceTimer.start(m_silenceMs);
    m_pending += m_burn->readAll();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        handleLine(QString::fromLocal8Bit(m_pending.left(end)));
        m_pending.remove(0, end + 1);
    }
}

void XorrisoBurner::handleLine(const QString &line) {
    const XorrisoLine l = classifyXorrisoLine(line);
    using K = XorrisoLine::Kind;
    switch (l.kind) {
    case K::Ignore:
        break;
    case K::Progress:
        if (!m_writing) {
            m_writing = true;
            emit phase(QStringLiteral("Writing the data track"));
        }
        emit progress(l.percent);
        break;
    case K::Problem:
        if (m_firstProblem.isEmpty()) {
            m_firstProblem = l.text.trimmed(); // the cause; later ones are its consequences
        }
        emit logLine(1, l.text);
        if (l.text.contains(QLatin1String(": FATAL :"))) {
            emit megaFatal();
        }
        break;
    case K::NoMedia:
        emit waitCD(0, l.text);
        break;
    case K::MediaType:
        m_media = l.text.section(QLatin1Char(':'), 1).trimmed();
        emit logLine(0, l.text);
        if (m_media.contains(QLatin1String("ROM"))) {
            emit waitCDMediaInfo(m_media, l.text); // a disc that cannot be written
        }
        break;
    case K::ClosedMedia:
        emit logLine(0, l.text);
        if (m_media.contains(QLatin1String("RW"))) {
            emit nonEmptyCDRW();
        }
        break;
    case K::Success:
    case K::Log:
        emit logLine(0, l.text);
        break;
    }
}

void XorrisoBurner::burnEnded(int exitCode, QProcess::ExitStatus exitStatus) {
    m_silenceTimer.stop();
    m_killTimer.stop();
    m_pending += m_burn->readAll();
    if (!m_pending.isEmpty()) {
        m_pending += '\n';
        readBurnOutput();
    }
    m_silenceTimer.stop();
    m_burn.release()->deleteLater(); // not while its own signal runs

    int status = status::Success;
    QString result;
    if (m_aborted) {
        status = status::Aborted;
        result = QStringLiteral("The burn was aborted.");
    } else if (m_stalled) {
        status = status::Stalled;
        result = QStringLiteral("xorriso reported nothing for %1 seconds and was stopped.")
                     .arg(m_silenceMs / 1000);
    } else if (exitStatus == QProcess::CrashExit) {
        status = status::Crashed;
        result = QStringLiteral("xorriso ended unexpectedly.");
    } else if (exitCode != 0) {
        status = exitCode;
        result = m_firstProblem.isEmpty()
                     ? QStringLiteral("xorriso ended with exit code %1.").arg(exitCode)
                     : m_firstProblem;
    } else if (m_job.recorder.imageFile) {
        if (std::rename(QFile::encodeName(m_partPath).constData(),
                        QFile::encodeName(m_job.imagePath).constData()) == 0) {
            m_partPath.clear();
            result = QStringLiteral("The disc image was written to %1.").arg(m_job.imagePath);
        } else {
            status = status::NotSaved;
            result = QStringLiteral("The disc image could not be saved as %1: %2")
                         .arg(m_job.imagePath, QString::fromLocal8Bit(std::strerror(errno)));
        }
    } else {
        result = QStringLiteral("The disc was written in %1.").arg(m_job.recorder.name);
    }
    if (!m_partPath.isEmpty()) {
        QFile::remove(m_partPath); // nothing half written stays behind
        m_partPath.clear();
    }
    finish(status, result);
}

void XorrisoBurner::finish(int status, const QString &result) {
    m_resultText = result;
    m_writing = false;
    emit finished(status);
}

} // namespace ravlen::burn
