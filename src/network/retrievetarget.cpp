#include "network/retrievetarget.h"

#include <atomic>

namespace ravlen::network {

namespace {
std::atomic<RetrieveTarget *(*)()> provider{nullptr};
}

RetrieveTarget *mainRetrieveTarget() {
    auto get = provider.load();
    return get ? get() : nullptr;
}

void setMainRetrieveTarget(RetrieveTarget *(*get)()) {
    provider.store(get);
}

} // namespace ravlen::network
