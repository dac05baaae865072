#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace ravlen::burn {

// A place a data track can be written to: a disc recorder, or a disc image file.
struct Recorder {
    QString name;    // as the user reads it in the list of recorders
    QString address; // the burning program's name for the drive ("/dev/sr0")
    // The disc image file target: its file is chosen when the burn starts.
    bool imageFile = false;
};

// One file of the data track: its name on the disc and where it is read from.
struct TrackFile {
    QString name;
    QString sourcePath;
};

// What a burn writes: a volume with one folder of files, on one recorder.
struct BurnJob {
    QString volumeLabel;
    QString folderName;
    QList<TrackFile> files;
    Recorder recorder;
    QString imagePath; // for the disc image file target: the file to write
};

// Final statuses besides the burning program's own exit codes (1..255).
namespace status {
inline constexpr int Success = 0;
inline constexpr int NotStarted = 256; // the burning program is missing or could not start
inline constexpr int Aborted = 257;    // the user aborted the burn
inline constexpr int Stalled = 258;    // the program gave no sign of life and was stopped
inline constexpr int Crashed = 259;    // the program ended without an exit code
inline constexpr int NotSaved = 260;   // the disc image was written but not put in its place
} // namespace status

// The burning service behind the burn window: it lists recorders and burns a data track,
// reporting what happens as signals on the thread that owns it. Nothing it does blocks that
// thread, and every wait it makes is bounded.
class BurnService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~BurnService() override = default;

    // Looks for recorders; recordersListed follows, also when none is found.
    virtual void listRecorders() = 0;
    // Starts writing `job`; finished follows, whatever happens. Ignored while busy.
    virtual void burn(const BurnJob &job) = 0;
    // Stops the running burn; finished follows with status::Aborted.
    virtual void abort() = 0;
    virtual bool busy() const = 0;
    // The two report texts of the last burn: what the outcome was, and what was written where.
    virtual QString resultText() const = 0;
    virtual QString trackText() const = 0;

signals:
    // `problem` says why the list is empty or holds no drive (empty when all is well).
    void recordersListed(const QList<ravlen::burn::Recorder> &recorders, const QString &problem);
    void progress(int percent);
    void phase(const QString &text);
    void logLine(int kind, const QString &text);
    // The drive has no disc, or not one it can write.
    void waitCD(int kind, const QString &text);
    void waitCDMediaInfo(const QString &media, const QString &text);
    void waitCDReminder();
    void waitCDDone();
    void doneWaitForMedia();
    // The disc in the drive is rewritable and already holds data.
    void nonEmptyCDRW();
    // The burning program met an error it cannot go on from.
    void megaFatal();
    void restart();
    void finished(int status);
};

// The files directly in `folder` (not in its sub-folders, not hidden, no links), in the order
// the file system lists them, each under its own name.
QList<TrackFile> filesOf(const QString &folder);

// A folder name for the disc from `name`: path separators, control characters and the names
// "." and ".." cannot reach the disc's file system.
QString discFolderName(const QString &name);

} // namespace ravlen::burn
