#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace ravlen::toolkit {

// What a long toolkit operation tells its caller and asks it while it runs; both are called on
// the operation's own thread and may be left empty.
struct WorkProgress {
    std::function<void(int done, int total)> report; // total 0: not known
    std::function<bool()> cancelled;
};

// Runs a helper program (ffmpeg, ffprobe) as a separate process, so whatever it reads cannot
// take our process down, with every wait bounded: a program that neither reads nor writes for
// `stallMs`, or runs longer than `totalMs`, is killed and the call throws ToolkitError. Made,
// used and destroyed on one thread, which need not run an event loop. The destructor kills a
// program still running.
class ProcessRun {
public:
    struct Limits {
        int startMs = 10000;
        int stallMs = 30000;
        int totalMs = 10 * 60 * 1000;
    };

    // `what` names the work in messages ("the AVI export"). `cancelled`, when given, is asked
    // between waits; once it says yes the program is killed and the call throws.
    ProcessRun(const QString &what, Limits limits, std::function<bool()> cancelled = {});
    ~ProcessRun();
    ProcessRun(const ProcessRun &) = delete;
    ProcessRun &operator=(const ProcessRun &) = delete;

    // Starts `program` (looked up on PATH). Throws when it is not installed or does not start.
    void start(const QString &program, const QStringList &arguments);
    // Hands `size` bytes to the program's input and waits until little enough is queued, so a
    // slow reader holds our memory to a few frames. Throws when the program ended early
    // (with what it said) or stalled.
    void write(const char *data, qint64 size);
    void closeInput();
    // Reads up to `size` bytes of the program's output, waiting for them; fewer only when
    // the output ends. Throws when the program stalled.
    qint64 read(char *data, qint64 size);
    // Waits for the program to end and returns its exit code; throws when it stalled, ran too
    // long or crashed.
    int finish();
    // Ends the program at once (nothing more is wanted from it).
    void kill();

    // The last part of what the program wrote to its error output.
    QString errors() const;
    // Whether the program has ended.
    bool ended() const;

private:
    // One bounded slice of waiting; throws on cancel, stall or total time-out.
    void checkLimits();
    void drainErrors();
    [[noreturn]] void failStopped(const QString &how);

    QString m_what;
    Limits m_limits;
    std::function<bool()> m_cancelled;
    QProcess m_process;
    QElapsedTimer m_total;
    QElapsedTimer m_sinceProgress;
    QByteArray m_errors;
};

} // namespace ravlen::toolkit
