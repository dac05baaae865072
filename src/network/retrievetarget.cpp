#include "network/retrievetarget.h"

#include <atomic>

namespace ravlen::network {

namespace {
std::atomic<RetrieveTarget *(*)()> provider{nullptr};
std::atomic<RetrieveTarget *(*)()> sliceProvider{nullptr};
} // namespace

RetrieveTarget *mainRetrieveTarget() {
    auto get = provider.load();
    return get ? get() : nullptr;
}

void setMainRetrieveTarget(RetrieveTarget *(*get)()) {
    provider.store(get);
}

RetrieveTarget *sliceRetrieveTarget() {
    auto get = sliceProvider.load();
    return get ? get() : nullptr;
}

void setSliceRetrieveTarget(RetrieveTarget *(*get)()) {
    sliceProvider.store(get);
}

} // namespace ravlen::network
