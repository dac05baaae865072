#pragma once

// Toolkit-internal: the storage SCP behind Listener and DicomQuery::moveSync(). Never included
// outside src/toolkit.

#include "toolkit/listener.h"
#include "toolkit/nettypes.h"

#include <QString>

#include <functional>
#include <memory>

namespace ravlen::toolkit::net {

// A storage SCP on a port: our own accept loop (stoppable at once, also while waiting for a
// connection) and one thread per association over DcmThreadSCP. DCMTK's DcmSCPPool is not used:
// in 3.6.7 it leaks a thread per association and cannot stop while waiting in accept.
//
// Threading contract: the handlers run on the association threads, concurrently; they must be
// thread-safe. `decide` may block (it is the owner's answer) and returns when decided.
class StorageServer {
public:
    struct Handlers {
        std::function<void(IncomingAssociation &request)> decide;
        std::function<void(ReceivedImage &&received)> received;
        std::function<void(int level, const QString &text)> message;
    };

    StorageServer(Handlers handlers, const NetworkTimeouts &timeouts, qint64 maxDataSetBytes);
    ~StorageServer(); // stop() and waitIdle()

    // Opens the port on every interface; false with `error` set when it cannot.
    bool start(int port, QString *error);
    // Stops accepting at once; associations in progress go on.
    void stop();
    // Waits until no association is in progress (each ends within its time-outs).
    void waitIdle();
    // Shuts the connections in progress down, so waitIdle() returns soon.
    void cutAll();
    bool listening() const;
    int port() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace ravlen::toolkit::net
