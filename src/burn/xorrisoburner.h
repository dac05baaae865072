#pragma once

#include "burn/burnservice.h"

#include <QProcess>
#include <QTimer>

#include <memory>

namespace ravlen::burn {

// The burning service over xorriso, run as a separate program: recorders come from its drive
// list, and a disc image file target is always offered beside them; a burn writes one session
// with Rock Ridge and Joliet names. A disc image is written under a temporary name beside the
// chosen file and renamed when complete, so a failed or aborted burn leaves no image behind.
// Lives on the thread that owns it; output arrives as signals through the event loop.
class XorrisoBurner : public BurnService {
    Q_OBJECT
public:
    // `program`: the xorriso to run; empty looks for "xorriso" on the PATH.
    explicit XorrisoBurner(const QString &program = QString(), QObject *parent = nullptr);
    ~XorrisoBurner() override;

    void listRecorders() override;
    void burn(const BurnJob &job) override;
    void abort() override;
    bool busy() const override;
    QString resultText() const override { return m_resultText; }
    QString trackText() const override { return m_trackText; }

    // Bounds on waiting: for the drive scan, for a burn that prints nothing, and between
    // asking xorriso to stop and killing it.
    void setTimeouts(int scanMs, int silenceMs, int stopGraceMs);

private:
    void scanEnded(int exitCode, QProcess::ExitStatus exitStatus);
    void readBurnOutput();
    void handleLine(const QString &line);
    void burnEnded(int exitCode, QProcess::ExitStatus exitStatus);
    void finish(int status, const QString &result);
    void stop();
    QString programName() const;

    QString m_program;
    std::unique_ptr<QProcess> m_scan;
    std::unique_ptr<QProcess> m_burn;
    QTimer m_scanTimer;
    QTimer m_silenceTimer;
    QTimer m_killTimer;
    int m_scanMs = 30000;
    int m_silenceMs = 600000;
    int m_stopGraceMs = 5000;
    bool m_scanTimedOut = false;

    BurnJob m_job;
    QByteArray m_pending; // output not yet ended by a line break
    QString m_partPath;   // the temporary disc image file
    QString m_media;
    QString m_firstProblem;
    bool m_writing = false;
    bool m_aborted = false;
    bool m_stalled = false;
    QString m_resultText;
    QString m_trackText;
};

} // namespace ravlen::burn
