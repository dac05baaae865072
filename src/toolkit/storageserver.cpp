#include "toolkit/storageserver.h"

#include "core/errors.h"
#include "toolkit/netinternal.h"
#include "toolkit/startup.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/dcmnet/scpthrd.h>

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace ravlen::toolkit::net {

struct StorageServer::State {
    Handlers handlers;
    NetworkTimeouts timeouts;
    qint64 maxBytes = 0;
    DcmSharedSCPConfig config;

    std::mutex mutex;
    std::condition_variable idle;
    int active = 0;           // association threads running
    std::set<int> sockets;    // their connections, for cutAll()
    int associationCount = 0; // ids handed out

    std::thread acceptThread;
    std::shared_ptr<TrackingTransport> transport; // the connection being negotiated, if any
    int wakePipe[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::atomic<int> port{0};
};

namespace {

// One association, on its own thread.
class AssociationWorker : public DcmThreadSCP {
public:
    AssociationWorker(std::shared_ptr<StorageServer::State> state, int id, int socket)
        : m_state(std::move(state)), m_id(id), m_socket(socket) {}

protected:
    void notifyAssociationRequest(const T_ASC_Parameters &params,
                                  DcmSCPActionType &desiredAction) override {
        // DcmSCP negotiates on these very parameters right after this call; remembering them
        // lets negotiateAssociation() apply the owner's per-context answers.
        m_params = const_cast<T_ASC_Parameters *>(&params);
        m_request.id = m_id;
        m_request.callerAddress = QString::fromLatin1(getPeerIP().c_str());
        m_request.calledAE = QString::fromLatin1(params.DULparams.calledAPTitle).trimmed();
        m_request.callingAE = QString::fromLatin1(params.DULparams.callingAPTitle).trimmed();
        const int count = ASC_countPresentationContexts(m_params);
        for (int i = 0; i < count; ++i) {
            T_ASC_PresentationContext pc;
            if (ASC_getPresentationContext(m_params, i, &pc).bad()) {
                continue;
            }
            ProposedContext context;
            context.id = pc.presentationContextID;
            context.abstractSyntax = QString::fromLatin1(pc.abstractSyntax);
            for (int t = 0; t < pc.transferSyntaxCount; ++t) {
                context.transferSyntaxes << QString::fromLatin1(pc.proposedTransferSyntaxes[t]);
            }
            m_request.contexts.push_back(context);
        }
        if (m_state->handlers.decide) {
            m_state->handlers.decide(m_request);
        }
        if (!m_request.accept) {
            desiredAction = DCMSCP_ACTION_REFUSE_ASSOCIATION;
        }
    }

    OFCondition negotiateAssociation() override {
        if (!m_params) {
            return DcmThreadSCP::negotiateAssociation();
        }
        // DCMTK's association configuration holds at most 128 contexts per profile, fewer
        // than the storage classes; accept from the full lists directly instead.
        OFCondition cond = ASC_acceptContextsWithPreferredTransferSyntaxes(
            m_params, acceptedClasses().data(), int(acceptedClasses().size()),
            acceptedSyntaxes().data(), int(acceptedSyntaxes().size()));
        if (cond.good()) {
            for (const ProposedContext &context : m_request.contexts) {
                if (context.result == 1 || context.result == 3 || context.result == 4) {
                    ASC_refusePresentationContext(m_params, T_ASC_PresentationContextID(context.id),
                                                  T_ASC_P_ResultReason(context.result));
                }
            }
        }
        return cond;
    }

    static std::vector<const char *> &acceptedClasses() {
        static std::vector<const char *> list = [] {
            std::vector<const char *> l{UID_VerificationSOPClass};
            for (int i = 0; i < numberOfDcmAllStorageSOPClassUIDs; ++i) {
                l.push_back(dcmAllStorageSOPClassUIDs[i]);
            }
            return l;
        }();
        return list;
    }

    static std::vector<const char *> &acceptedSyntaxes() {
        static std::vector<const char *> list = [] {
            std::vector<const char *> l;
            for (const std::string &ts : uncompressedSyntaxes()) {
                l.push_back(ts.c_str());
            }
            for (const std::string &ts : compressedSyntaxes()) {
                l.push_back(ts.c_str());
            }
            return l;
        }();
        return list;
    }

    void notifyRECEIVEProgress(const unsigned long byteCount) override {
        // A data set past the cap is not worth receiving: cut the connection.
        if (qint64(byteCount) > m_state->maxBytes && !m_oversize) {
            m_oversize = true;
            ::shutdown(m_socket, SHUT_RDWR);
        }
    }

    OFCondition handleIncomingCommand(T_DIMSE_Message *incoming,
                                      const DcmPresentationContextInfo &info) override {
        if (incoming->CommandField != DIMSE_C_STORE_RQ) {
            return DcmThreadSCP::handleIncomingCommand(incoming, info);
        }
        T_DIMSE_C_StoreRQ &request = incoming->msg.CStoreRQ;
        const QString path = freshReceiveName();
        OFCondition cond =
            receiveSTORERequest(request, info.presentationContextID, path.toStdString().c_str());
        if (cond.bad()) {
            QFile::remove(path);
            if (m_oversize) {
                message(2, QStringLiteral("Refused a data set from %1 (%2): larger than %3 bytes; "
                                          "the association was cut")
                               .arg(m_request.callingAE, m_request.callerAddress)
                               .arg(m_state->maxBytes));
            }
            return cond;
        }
        const QString source =
            QStringLiteral("image from %1 (%2)").arg(m_request.callingAE, m_request.callerAddress);
        Uint16 status = STATUS_Success;
        try {
            ReceivedImage received;
            received.image = imageFromReceivedFile(path, m_state->maxBytes, source);
            received.associationId = m_id;
            received.callerAddress = m_request.callerAddress;
            received.callingAE = m_request.callingAE;
            received.calledAE = m_request.calledAE;
            if (request.opts & O_STORE_MOVEORIGINATORAETITLE) {
                received.moveOriginatorAE =
                    QString::fromLatin1(request.MoveOriginatorApplicationEntityTitle).trimmed();
            }
            if (request.opts & O_STORE_MOVEORIGINATORID) {
                received.moveOriginatorMessageId = request.MoveOriginatorID;
            }
            if (m_state->handlers.received) {
                m_state->handlers.received(std::move(received));
            }
        } catch (const ToolkitError &error) {
            status = STATUS_STORE_Error_CannotUnderstand;
            message(
                2,
                QStringLiteral("Refused %1: %2").arg(source, QString::fromStdString(error.what())));
        }
        return sendSTOREResponse(info.presentationContextID, request, status);
    }

private:
    void message(int level, const QString &text) {
        if (m_state->handlers.message) {
            m_state->handlers.message(level, text);
        }
    }

    std::shared_ptr<StorageServer::State> m_state;
    int m_id;
    int m_socket;
    T_ASC_Parameters *m_params = nullptr;
    IncomingAssociation m_request;
    bool m_oversize = false;
};

DcmSharedSCPConfig makeConfig(const NetworkTimeouts &t) {
    DcmSharedSCPConfig config;
    config->setAETitle("RAVLENPACS");
    config->setRespondWithCalledAETitle(OFTrue); // answer to whatever AE title the peer calls
    config->setHostLookupEnabled(OFFalse);
    config->setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    config->setDIMSETimeout(Uint32(t.dimseSeconds));
    config->setACSETimeout(Uint32(t.associationSeconds));
    config->setMaxReceivePDULength(ASC_MAXIMUMPDUSIZE);
    config->setProgressNotificationMode(OFTrue); // for the size cap
    OFList<OFString> uncompressed;
    for (const std::string &ts : uncompressedSyntaxes()) {
        uncompressed.push_back(ts.c_str());
    }
    // The storage classes are accepted in AssociationWorker::negotiateAssociation(); the
    // profile needs one context to be valid.
    config->addPresentationContext(UID_VerificationSOPClass, uncompressed);
    return config;
}

void runAssociation(std::shared_ptr<StorageServer::State> state, T_ASC_Association *assoc, int id,
                    int socket) {
    {
        AssociationWorker worker(state, id, socket);
        worker.setSharedConfig(state->config);
        worker.run(assoc); // negotiates, serves, and drops the association
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    state->sockets.erase(socket);
    --state->active;
    state->idle.notify_all();
}

void acceptLoop(std::shared_ptr<StorageServer::State> state, T_ASC_Network *network,
                std::shared_ptr<TrackingTransport> transport) {
    const int listenSocket = int(DUL_networkSocket(network->network));
    while (!state->stopping) {
        pollfd fds[2] = {{listenSocket, POLLIN, 0}, {state->wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (state->stopping || (fds[1].revents & POLLIN)) {
            break;
        }
        if (!(fds[0].revents & POLLIN)) {
            continue;
        }
        T_ASC_Association *assoc = nullptr;
        transport->forget();
        // The request PDU is read here, bounded by the association time-out.
        const OFCondition cond = ASC_receiveAssociation(network, &assoc, ASC_MAXIMUMPDUSIZE,
                                                        nullptr, nullptr, OFFalse, DUL_NOBLOCK, 1);
        if (cond.bad()) {
            if (assoc) {
                ASC_dropAssociation(assoc);
                ASC_destroyAssociation(&assoc);
            }
            continue;
        }
        int id = 0;
        const int socket = transport->lastSocket();
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            id = ++state->associationCount;
            ++state->active;
            state->sockets.insert(socket);
        }
        transport->forget(); // the association thread owns the connection from here
        std::thread(runAssociation, state, assoc, id, socket).detach();
    }
    ASC_dropNetwork(&network);
}

} // namespace

StorageServer::StorageServer(Handlers handlers, const NetworkTimeouts &timeouts,
                             qint64 maxDataSetBytes)
    : m_state(std::make_shared<State>()) {
    m_state->handlers = std::move(handlers);
    m_state->timeouts = clamped(timeouts);
    m_state->maxBytes = maxDataSetBytes;
}

StorageServer::~StorageServer() {
    stop();
    waitIdle();
}

bool StorageServer::start(int port, QString *error) {
    ensureToolkit();
    stop();
    if (port < 1 || port > 65535) {
        *error = QStringLiteral("%1 is not a TCP port").arg(port);
        return false;
    }
    m_state->config = makeConfig(m_state->timeouts);
    T_ASC_Network *network = nullptr;
    // A peer sends its association request as soon as it connects; a connection that stays
    // silent holds the accept loop only this long.
    const int requestSeconds = std::min(10, m_state->timeouts.associationSeconds);
    OFCondition cond = ASC_initializeNetwork(NET_ACCEPTOR, port, requestSeconds, &network);
    if (cond.bad()) {
        *error = QStringLiteral("port %1 cannot be opened: %2")
                     .arg(port)
                     .arg(QString::fromLatin1(cond.text()));
        return false;
    }
    auto transport = std::make_shared<TrackingTransport>();
    ASC_setTransportLayer(network, transport.get(), 0);
    if (::pipe2(m_state->wakePipe, O_CLOEXEC) != 0) {
        ASC_dropNetwork(&network);
        *error = QStringLiteral("no pipe for the accept loop");
        return false;
    }
    m_state->stopping = false;
    m_state->port = port;
    m_state->transport = transport;
    m_state->acceptThread = std::thread(acceptLoop, m_state, network, transport);
    return true;
}

void StorageServer::stop() {
    if (!m_state->acceptThread.joinable()) {
        return;
    }
    m_state->stopping = true;
    if (m_state->transport) {
        m_state->transport->shutdownConnection(); // a request still being read
    }
    const char wake = 1;
    (void)!::write(m_state->wakePipe[1], &wake, 1);
    m_state->acceptThread.join();
    ::close(m_state->wakePipe[0]);
    ::close(m_state->wakePipe[1]);
    m_state->wakePipe[0] = m_state->wakePipe[1] = -1;
    m_state->port = 0;
}

void StorageServer::waitIdle() {
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->idle.wait(lock, [this] { return m_state->active == 0; });
}

void StorageServer::cutAll() {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    for (int socket : m_state->sockets) {
        ::shutdown(socket, SHUT_RDWR);
    }
}

bool StorageServer::listening() const {
    return m_state->acceptThread.joinable();
}

int StorageServer::port() const {
    return m_state->port;
}

} // namespace ravlen::toolkit::net
