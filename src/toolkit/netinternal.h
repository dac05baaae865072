#pragma once

// Toolkit-internal: the pieces the query object, the listener and echo/send share. Never
// included outside src/toolkit.

#include "toolkit/image.h"
#include "toolkit/nettypes.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/dcmlayer.h>
#include <dcmtk/dcmnet/scu.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace ravlen::toolkit::net {

// A plain TCP transport that remembers the socket of the connection it made, so another thread
// can shut the connection down (cancel, a frozen peer) while DCMTK waits on it. DCMTK keeps the
// socket open until it drops the association, so the number stays ours until then.
class TrackingTransport : public DcmTransportLayer {
public:
    DcmTransportConnection *createConnection(DcmNativeSocketType openSocket,
                                             OFBool useSecureLayer) override;
    // Shuts the last connection down in both directions (no-op without one).
    void shutdownConnection();
    void forget() { m_socket = -1; }
    int lastSocket() const { return m_socket.load(); }

private:
    std::atomic<int> m_socket{-1};
};

// "AE at host:port", the way messages name a peer.
QString peerName(const QString &calledAE, const QString &host, int port);

// Throws ToolkitError when the port is out of range or the host does not resolve.
void checkPeer(const QString &host, int port, const QString &calledAE);

// Time-outs clamped to at least one second.
NetworkTimeouts clamped(const NetworkTimeouts &timeouts);

// A DcmSCU with our time-outs, non-blocking DIMSE (so a frozen peer surfaces after the DIMSE
// time-out instead of DCMTK's 60 s "peer aborted") and a connection another thread can cut.
class Scu : public DcmSCU {
public:
    Scu(const QString &host, int port, const QString &callingAE, const QString &calledAE,
        const NetworkTimeouts &timeouts);
    ~Scu() override;

    // Resolves, connects and negotiates the contexts added before. Throws ToolkitError
    // (UnknownHost, NetworkRefused, NetworkTimeout, BadArgument) naming the peer.
    void open();
    // Releases the association, or aborts it when `abort`; never throws.
    void close(bool abort);
    // From any thread: cuts the connection so the waiting call returns at once.
    void cut();

    QString peer() const { return m_peer; }
    // The transfer syntax accepted on a context ("" when not accepted).
    std::string acceptedSyntax(T_ASC_PresentationContextID presID) {
        OFString abstractSyntax, transferSyntax;
        findPresentationContext(presID, abstractSyntax, transferSyntax);
        return transferSyntax.c_str();
    }
    const NetworkTimeouts &timeouts() const { return m_timeouts; }

    // The error for a failed DIMSE exchange while doing `what`: NetworkTimeout after a
    // time-out, NetworkDropped otherwise.
    [[noreturn]] void failExchange(const OFCondition &cond, const QString &what) const;

private:
    QString m_host;
    int m_port;
    QString m_peer;
    NetworkTimeouts m_timeouts;
    TrackingTransport m_transport;
};

// Transfer syntaxes we decode, the uncompressed ones first.
const std::vector<std::string> &uncompressedSyntaxes();
const std::vector<std::string> &compressedSyntaxes();

// Storage classes a retrieve asks for, in two tiers: the image classes proposed once per
// transfer syntax family, the rest uncompressed only. Together with the retrieve context they
// stay under DcmSCU's 128 contexts.
const std::vector<std::string> &retrieveImageClasses();
const std::vector<std::string> &retrieveOtherClasses();
// Adds the storage contexts of a C-GET (role SCP) or of a listener.
void addRetrieveStorageContexts(DcmSCU &scu);

// A private folder (mode 0700) for received data sets in flight, made once per process.
QString receiveFolder();
// A fresh file name inside it; never derived from received data.
QString freshReceiveName();

// Reads a received file, removes it, and turns it into an image: the pre-scan first, then
// parsing. Throws ToolkitError (RefusedDataSet, FileAccess) with the reason.
std::shared_ptr<Image> imageFromReceivedFile(const QString &path, qint64 maxBytes,
                                             const QString &sourceName);

// DIMSE status as "0xA700".
QString hexStatus(unsigned status);

} // namespace ravlen::toolkit::net
