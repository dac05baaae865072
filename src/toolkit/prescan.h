#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ravlen::toolkit {

// Limits the pre-scan enforces before DCMTK parses a data set.
struct PrescanLimits {
    int maxDepth = 64;                                       // nested sequence levels
    std::uint64_t maxPixelBytes = 2ull * 1024 * 1024 * 1024; // declared pixels, all frames (2 GiB)
    std::uint64_t maxElements = 2'000'000;                   // data elements and items
    // A deflated data set may inflate to this many bytes (the pixel cap and room for the rest).
    std::uint64_t maxInflatedBytes = 2ull * 1024 * 1024 * 1024 + 256ull * 1024 * 1024;
};

struct PrescanResult {
    bool ok = true;
    int errorNumber = 0; // an errc:: number from core/errors.h when !ok
    std::string reason;  // what is wrong, in user terms, without the file name
};

// Walks the bytes of a DICOM file (preamble, "DICM" and meta header, or a raw data set) without
// recursion and without large allocations, and says whether DCMTK may parse it:
// nesting depth, element lengths against the data present, and the declared pixel size
// (rows x columns x samples x bytes x frames) against the pixel data present and the cap.
// Deflated data sets are inflated in a bounded stream for the walk. Safe on any input and
// from any thread; DCMTK's data dictionary should be loaded (see ensureToolkit()).
PrescanResult prescanDataSet(const std::uint8_t *data, std::size_t size,
                             const PrescanLimits &limits = {});

} // namespace ravlen::toolkit
