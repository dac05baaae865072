#include "toolkit/listener.h"

#include "toolkit/storageserver.h"

#include <QMetaObject>
#include <QPointer>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ravlen::toolkit {

// The part the association threads share with the Listener. The owner pointer is cleared
// (under the mutex) when the Listener goes, so no event is posted to a dead object.
struct Listener::Core {
    std::mutex mutex;
    Listener *owner = nullptr;
    bool async = false;
    NetworkTimeouts timeouts;
    qint64 maxBytes = 2ll * 1024 * 1024 * 1024;
    int decisionMs = 10000;
    std::atomic<int> delivered{0};
    std::unique_ptr<net::StorageServer> server;

    // A decision the owner has still to take; abandoned ones are answered by default.
    struct Pending {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        IncomingAssociation request;
    };
    std::vector<std::shared_ptr<Pending>> pending;

    // Runs `work` on the owner's thread after the events posted before it.
    template <typename Work> bool post(Work work) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!owner) {
            return false;
        }
        QMetaObject::invokeMethod(owner, std::move(work), Qt::QueuedConnection);
        return true;
    }

    void abandonPending() {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto &p : pending) {
            std::lock_guard<std::mutex> plock(p->mutex);
            p->finished = true;
            p->done.notify_all();
        }
        pending.clear();
    }
};

namespace {

void decide(const std::shared_ptr<Listener::Core> &core, IncomingAssociation &request) {
    auto pending = std::make_shared<Listener::Core::Pending>();
    pending->request = request;
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        core->pending.push_back(pending);
    }
    const bool posted = core->post([core, pending] {
        Listener *owner = nullptr;
        {
            std::lock_guard<std::mutex> lock(core->mutex);
            owner = core->owner;
        }
        bool late = false;
        {
            std::lock_guard<std::mutex> plock(pending->mutex);
            late = pending->finished;
        }
        IncomingAssociation answer = pending->request;
        if (owner && !late) {
            emit owner->associationRequested(&answer);
        }
        std::lock_guard<std::mutex> plock(pending->mutex);
        if (!pending->finished) {
            pending->request = answer;
            pending->finished = true;
            pending->done.notify_all();
        }
    });
    int waitMs = 0;
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        waitMs = core->decisionMs;
    }
    std::unique_lock<std::mutex> plock(pending->mutex);
    if (posted) {
        pending->done.wait_for(plock, std::chrono::milliseconds(waitMs),
                               [&] { return pending->finished; });
    }
    if (pending->finished) {
        request = pending->request; // the owner's answer (or the default when abandoned)
    }
    pending->finished = true;
    plock.unlock();
    std::lock_guard<std::mutex> lock(core->mutex);
    std::erase(core->pending, pending);
}

} // namespace

Listener::Listener(QObject *parent) : QObject(parent), m_core(std::make_shared<Core>()) {
    m_core->owner = this;
}

Listener::~Listener() {
    {
        std::lock_guard<std::mutex> lock(m_core->mutex);
        m_core->owner = nullptr;
    }
    m_core->abandonPending();
    stop();
}

bool Listener::start(int port) {
    if (m_core->server && m_core->server->listening() && m_core->server->port() == port) {
        return true;
    }
    stop();
    std::weak_ptr<Core> weak = m_core;
    net::StorageServer::Handlers handlers;
    handlers.decide = [weak](IncomingAssociation &request) {
        if (auto core = weak.lock()) {
            decide(core, request);
        }
    };
    handlers.received = [weak](ReceivedImage &&received) {
        auto core = weak.lock();
        if (!core) {
            return;
        }
        auto shared = std::make_shared<ReceivedImage>(std::move(received));
        core->post([core, shared] {
            Listener *owner = nullptr;
            bool async = false;
            {
                std::lock_guard<std::mutex> lock(core->mutex);
                owner = core->owner;
                async = core->async;
            }
            if (!owner) {
                return;
            }
            ++core->delivered;
            if (async) {
                emit owner->imageReceivedAsync(shared.get());
            } else {
                emit owner->imageReceived(shared.get());
            }
        });
    };
    handlers.message = [weak](int level, const QString &text) {
        if (auto core = weak.lock()) {
            core->post([core, level, text] {
                Listener *owner = nullptr;
                {
                    std::lock_guard<std::mutex> lock(core->mutex);
                    owner = core->owner;
                }
                if (owner) {
                    emit owner->toolkitMessage(qint16(level), text);
                }
            });
        }
    };
    auto server = std::make_unique<net::StorageServer>(std::move(handlers), m_core->timeouts,
                                                       m_core->maxBytes);
    QString error;
    if (!server->start(port, &error)) {
        emit toolkitMessage(2, QStringLiteral("Cannot listen: %1").arg(error));
        return false;
    }
    m_core->server = std::move(server);
    return true;
}

void Listener::stop() {
    if (!m_core->server) {
        return;
    }
    m_core->server->stop();
    // Associations still in progress keep the server alive on their own threads; it is
    // released (and waits for them) on a helper thread so stop() returns at once.
    std::shared_ptr<net::StorageServer> old(m_core->server.release());
    std::thread([old]() mutable { old.reset(); }).detach();
}

bool Listener::isListening() const {
    return m_core->server && m_core->server->listening();
}

int Listener::port() const {
    return m_core->server ? m_core->server->port() : 0;
}

void Listener::setAsyncReceive(bool on) {
    std::lock_guard<std::mutex> lock(m_core->mutex);
    m_core->async = on;
}

bool Listener::asyncReceive() const {
    std::lock_guard<std::mutex> lock(m_core->mutex);
    return m_core->async;
}

void Listener::setTimeouts(const NetworkTimeouts &timeouts) {
    m_core->timeouts = timeouts;
}

NetworkTimeouts Listener::timeouts() const {
    return m_core->timeouts;
}

void Listener::setMaxDataSetBytes(qint64 bytes) {
    m_core->maxBytes = bytes;
}

qint64 Listener::maxDataSetBytes() const {
    return m_core->maxBytes;
}

void Listener::setDecisionTimeoutMs(int ms) {
    std::lock_guard<std::mutex> lock(m_core->mutex);
    m_core->decisionMs = std::max(0, ms);
}

int Listener::decisionTimeoutMs() const {
    std::lock_guard<std::mutex> lock(m_core->mutex);
    return m_core->decisionMs;
}

int Listener::imagesDelivered() const {
    return m_core->delivered.load();
}

} // namespace ravlen::toolkit
