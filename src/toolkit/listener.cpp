#include "toolkit/listener.h"

namespace ravlen::toolkit {

struct Listener::Core {
    int port = 0;
    bool async = false;
    NetworkTimeouts timeouts;
    qint64 maxBytes = 2ll * 1024 * 1024 * 1024;
    int decisionMs = 10000;
    int delivered = 0;
};

Listener::Listener(QObject *parent) : QObject(parent), m_core(std::make_shared<Core>()) {}
Listener::~Listener() = default;

bool Listener::start(int) {
    return false;
}
void Listener::stop() {}
bool Listener::isListening() const {
    return false;
}
int Listener::port() const {
    return m_core->port;
}
void Listener::setAsyncReceive(bool on) {
    m_core->async = on;
}
bool Listener::asyncReceive() const {
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
    m_core->decisionMs = ms;
}
int Listener::decisionTimeoutMs() const {
    return m_core->decisionMs;
}
int Listener::imagesDelivered() const {
    return m_core->delivered;
}

} // namespace ravlen::toolkit
