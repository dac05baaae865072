#pragma once

#include "toolkit/image.h"
#include "toolkit/nettypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace ravlen::toolkit {

// One presentation context an incoming association proposes.
struct ProposedContext {
    int id = 0;             // presentation context ID (odd, 1..255)
    QString abstractSyntax; // SOP class UID
    QStringList transferSyntaxes;
    // 0: leave it to the listener (accepted when it takes the SOP class and a transfer syntax);
    // 3: reject (abstract syntax not supported); 1 and 4 are passed on as given.
    int result = 0;
};
using ProposedContexts = std::vector<ProposedContext>;

// An incoming association as the listener shows it to its owner. While the association-request
// signal runs, the owner may clear `accept` (the association is then rejected) and set a
// context's result; the listener applies both after the signal returns.
struct IncomingAssociation {
    int id = 0;            // counts associations of this listener from 1
    QString callerAddress; // the peer's IP address, as the socket gives it
    QString calledAE;      // as the peer sent it, trailing blanks removed
    QString callingAE;
    ProposedContexts contexts;
    bool accept = true;
};

// One image a peer stored with us, complete and parsed.
struct ReceivedImage {
    std::shared_ptr<Image> image;
    int associationId = 0;
    QString callerAddress;
    QString callingAE;
    QString calledAE;
    // Move Originator AE Title and Message ID of the C-STORE: they tie the image to the
    // C-MOVE that caused it ("" and 0 for a plain store).
    QString moveOriginatorAE;
    int moveOriginatorMessageId = 0;
    // Whether the owner of the listener should add the image to its viewer itself; the
    // image-received signal's handlers may clear it.
    bool addToViewer = true;
};

// A storage SCP (C-STORE and C-ECHO) on a TCP port of every interface, on its own threads: one
// accept loop and one thread per association, so several peers are served at once.
//
// Threading contract: every signal is emitted on the thread the Listener lives on (its owner's,
// normally the user-interface thread), one event after the other, in the order the events
// happened; associationRequested is emitted while the association's thread waits for the
// answer (bounded by decisionTimeoutMs(); past it the default answer applies: accepted,
// contexts as the listener decides). The owner's thread must therefore run its event loop.
//
// Received data sets are held in memory (capped by maxDataSetBytes()), pre-scanned before
// parsing, and answered with a failure status when they fail the checks; the association and
// the listener go on. Each image is delivered exactly once.
class Listener : public QObject {
    Q_OBJECT
public:
    explicit Listener(QObject *parent = nullptr);
    ~Listener() override; // stops listening; images not yet delivered are dropped

    // Listens on `port` (1..65535). True when listening on it afterwards (already listening on
    // the same port counts); false when the port cannot be opened, with a toolkit message
    // saying why. Listening on another port first stops the current one.
    bool start(int port);
    // Stops accepting associations at once (also while waiting in accept); associations in
    // progress finish on their own threads, and their images are still delivered. A no-op when
    // not listening.
    void stop();
    bool isListening() const;
    int port() const; // 0 when not listening

    // Asynchronous receive mode: images are reported by imageReceivedAsync instead of
    // imageReceived.
    void setAsyncReceive(bool on);
    bool asyncReceive() const;

    void setTimeouts(const NetworkTimeouts &timeouts);
    NetworkTimeouts timeouts() const;
    // Largest data set accepted, in bytes (default 2 GiB); a larger one gets a failure status.
    void setMaxDataSetBytes(qint64 bytes);
    qint64 maxDataSetBytes() const;
    // How long an association's thread waits for the owner's answer to associationRequested
    // (default 10000 ms).
    void setDecisionTimeoutMs(int ms);
    int decisionTimeoutMs() const;

    // Images delivered by imageReceived or imageReceivedAsync since creation.
    int imagesDelivered() const;

signals:
    // A peer asks for an association. `request` is valid during the emission only.
    void associationRequested(ravlen::toolkit::IncomingAssociation *request);
    // A stored image (normal receive mode). `received` is valid during the emission only;
    // handlers may clear its addToViewer.
    void imageReceived(ravlen::toolkit::ReceivedImage *received);
    // A stored image in asynchronous receive mode.
    void imageReceivedAsync(ravlen::toolkit::ReceivedImage *received);
    // Level 1: an error the user must see; 2: a warning; 3: information.
    void toolkitMessage(qint16 level, const QString &text);

public:
    struct Core; // toolkit-internal

private:
    std::shared_ptr<Core> m_core;
};

} // namespace ravlen::toolkit
