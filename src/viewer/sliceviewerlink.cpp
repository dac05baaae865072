#include "viewer/sliceviewerlink.h"

#include <atomic>

namespace ravlen::viewer {

namespace {
std::atomic<SliceViewerLink *(*)()> provider{nullptr};
}

SliceViewerLink *sliceViewerLink() {
    auto get = provider.load();
    return get ? get() : nullptr;
}

void setSliceViewerLink(SliceViewerLink *(*get)()) {
    provider.store(get);
}

} // namespace ravlen::viewer
