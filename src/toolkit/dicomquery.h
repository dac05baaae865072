#pragma once

#include "toolkit/image.h"
#include "toolkit/nettypes.h"

#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace ravlen::toolkit {

// One C-FIND answer: the text of each attribute the peer returned, by (group, element), in
// UTF-8 (converted from the answer's character set) with trailing blanks removed. Sequences
// are not kept.
class FindResult {
public:
    void set(quint16 group, quint16 element, const QString &text);
    // Whether the answer carried the attribute (possibly empty).
    bool has(quint16 group, quint16 element) const;
    // The attribute's text; "" when absent.
    QString text(quint16 group, quint16 element) const;
    const std::map<quint32, QString> &attributes() const { return m_values; }

    QString patientName() const { return text(0x0010, 0x0010); } // as sent: "Family^Given"
    QString patientID() const { return text(0x0010, 0x0020); }
    QString birthDate() const { return text(0x0010, 0x0030); }
    QString patientSex() const { return text(0x0010, 0x0040); }
    QString studyDescription() const { return text(0x0008, 0x1030); }
    QString studyInstanceUID() const { return text(0x0020, 0x000D); }
    QString seriesDescription() const { return text(0x0008, 0x103E); }
    QString seriesInstanceUID() const { return text(0x0020, 0x000E); }

private:
    std::map<quint32, QString> m_values;
};

// What an asynchronous C-MOVE reported when it ended. The images themselves arrive through the
// listener of the move destination; Orthanc reports completion before the last of them has
// arrived, so a caller that waits for them counts arrivals against `completed`.
struct MoveOutcome {
    int completed = 0;
    int failed = 0;
    int warning = 0;
    bool cancelled = false;
};

// The query/retrieve user: C-FIND, C-GET and C-MOVE against one peer.
//
// Threading: set the members, then run one operation at a time on any thread (a worker thread
// for a window); the callbacks run on that thread, one at a time (for moveSync() on the thread
// that receives the images). cancel() may be called from any thread while
// an operation runs. Failures throw ravlen::ToolkitError naming the peer and what failed
// (errc::NetworkRefused, NetworkTimeout, NetworkDropped, UnknownHost, PeerFailure,
// NoGetContext, ListenerPort).
class DicomQuery {
public:
    DicomQuery();
    ~DicomQuery();
    DicomQuery(const DicomQuery &) = delete;
    DicomQuery &operator=(const DicomQuery &) = delete;

    // --- the peer and ourselves
    QString remoteHost() const { return m_host; }
    void setRemoteHost(const QString &host) { m_host = host; }
    int remotePort() const { return m_port; }
    void setRemotePort(int port) { m_port = port; }
    QString callingAE() const { return m_callingAE; } // our own AE title
    void setCallingAE(const QString &ae) { m_callingAE = ae; }
    QString calledAE() const { return m_calledAE; } // the peer's AE title
    void setCalledAE(const QString &ae) { m_calledAE = ae; }

    // --- what is asked
    // Information model: "PATIENT" (patient root) or "STUDY" (study root); other texts count as
    // "STUDY".
    QString root() const { return m_root; }
    void setRoot(const QString &root) { m_root = root; }
    // Query/Retrieve Level: "PATIENT", "STUDY", "SERIES" or "IMAGE".
    QString level() const { return m_level; }
    void setLevel(const QString &level) { m_level = level; }

    // Identifier keys by (group, element). An empty text is a universal match. Keys stay until
    // changed; C-FIND also asks for the usual return attributes of the level (names, IDs,
    // dates, descriptions, UIDs) when the caller has not set them. C-GET and C-MOVE send only
    // the unique keys (Patient ID, Study, Series and SOP Instance UID) down to the level.
    void setKey(quint16 group, quint16 element, const QString &value);
    QString key(quint16 group, quint16 element) const;
    bool hasKey(quint16 group, quint16 element) const;
    void removeKey(quint16 group, quint16 element);
    void clearKeys() { m_keys.clear(); }
    const std::map<quint32, QString> &keys() const { return m_keys; }

    // AE title the peer sends the images to on a C-MOVE.
    QString moveDestination() const { return m_moveDestination; }
    void setMoveDestination(const QString &ae) { m_moveDestination = ae; }
    // Port on which moveSync() receives the images itself (the peer must know moveDestination
    // at this port).
    int receivePort() const { return m_receivePort; }
    void setReceivePort(int port) { m_receivePort = port; }

    NetworkTimeouts timeouts() const { return m_timeouts; }
    void setTimeouts(const NetworkTimeouts &timeouts) { m_timeouts = timeouts; }

    // --- progress
    // Called on the operation's thread after each image and each pending response:
    // images received so far and the number expected (from the peer's remaining and completed
    // counts, else from setExpectedCount(), else 0 for unknown).
    using ProgressCallback = std::function<void(int received, int expected)>;
    void setProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }
    // Called on the operation's thread with each image as soon as it is complete and parsed,
    // before the operation returns, so a window can show it at once.
    using ImageCallback = std::function<void(const std::shared_ptr<Image> &image)>;
    void setImageCallback(ImageCallback callback) { m_imageArrived = std::move(callback); }
    // Number of images to expect when the peer's responses carry no counts (e.g. from the
    // C-FIND that listed the entry); 0 for unknown.
    void setExpectedCount(int count) { m_expectedFallback = count; }

    // --- operations
    // C-FIND: the answers in the order the peer sent them. A failure status from the peer
    // (for example 0xA900 when it refuses the identifier) throws; it never reads as "no match".
    std::vector<FindResult> find();
    // C-GET: the images, in arrival order. A peer that accepts none of our C-GET contexts throws
    // errc::NoGetContext. When cancelled, returns the images that arrived before.
    std::vector<std::shared_ptr<Image>> get();
    // C-MOVE to moveDestination, receiving the images on receivePort for the duration of the
    // call (the port must be free: stop the viewer's listener on it first). Returns the images
    // in arrival order; when cancelled, the images that arrived before.
    std::vector<std::shared_ptr<Image>> moveSync();
    // C-MOVE to moveDestination, whose own listener receives the images. Returns when the peer
    // reports the move finished (or cancelled).
    MoveOutcome moveAsync();

    // Asks the running operation to stop: sends C-CANCEL and makes the operation return what
    // it has within a bounded time (it aborts the association if the peer does not end the
    // operation within 2 s). Safe from any thread; a no-op when nothing runs.
    void cancel();
    // Whether the last operation ended because of cancel().
    bool wasCancelled() const { return m_cancelled.load(); }
    // The images the last get() or moveSync() received, also when it threw: a failure in the
    // middle of a retrieve keeps what arrived before it.
    const std::vector<std::shared_ptr<Image>> &lastImages() const { return m_images; }

    struct Session; // toolkit-internal: the running association

private:
    friend struct Session;

    QString m_host;
    int m_port = 104;
    QString m_callingAE = QStringLiteral("RAVLENPACS");
    QString m_calledAE = QStringLiteral("ANY-SCP");
    QString m_root = QStringLiteral("STUDY");
    QString m_level = QStringLiteral("STUDY");
    std::map<quint32, QString> m_keys;
    QString m_moveDestination;
    int m_receivePort = 0;
    NetworkTimeouts m_timeouts;
    ProgressCallback m_progress;
    ImageCallback m_imageArrived;
    int m_expectedFallback = 0;

    std::vector<std::shared_ptr<Image>> m_images;
    std::atomic<bool> m_cancelRequested{false};
    std::atomic<bool> m_cancelled{false};
    std::mutex m_sessionMutex;
    Session *m_session = nullptr; // the running operation, for cancel()
};

} // namespace ravlen::toolkit
