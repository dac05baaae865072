#include "toolkit/prescan.h"

namespace ravlen::toolkit {

// Stand-in until the full pre-scan lands: accepts everything, so DCMTK alone judges the data.
PrescanResult prescanDataSet(const std::uint8_t *, std::size_t, const PrescanLimits &) {
    return PrescanResult{};
}

} // namespace ravlen::toolkit
