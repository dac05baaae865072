#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ravlen::toolkit {

// Limits the pre-scan enforces before DCMTK parses a data set.
struct PrescanLimits {
    int maxDepth = 64;                                    // nested sequence levels
    std::uint64_t maxPixelBytes = 2ull * 1024 * 1024 * 1024; // declared frame bytes cap (2 GiB)
};

struct PrescanResult {
    bool ok = true;
    int errorNumber = 0;  // an errc:: number from core/errors.h when !ok
    std::string reason;   // what is wrong, in user terms, without the file name
};

// Walks the bytes of a DICOM file (Part 10 with meta header, or a raw data set without one)
// without recursion and without large allocations, and says whether DCMTK may parse it:
// nesting depth, element lengths against the data present, and the declared pixel size
// (rows x columns x samples x bytes x frames) against the pixel data present and the cap.
// Deflated data sets are inflated in a bounded stream for the walk.
PrescanResult prescanDataSet(const std::uint8_t *data, std::size_t size,
                             const PrescanLimits &limits = {});

} // namespace ravlen::toolkit
