#pragma once

// Toolkit-internal: JPEG 2000 through OpenJPEG, because DCMTK has no JPEG 2000 codec.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ravlen::toolkit::j2k {

// A decoded JPEG 2000 picture: one plane of samples per component, each component's own size
// (components may be subsampled).
struct Picture {
    int width = 0;
    int height = 0;
    struct Component {
        int width = 0;
        int height = 0;
        int dx = 1;
        int dy = 1;
        int precision = 0;
        bool isSigned = false;
        std::vector<std::int32_t> samples;
    };
    std::vector<Component> components;
};

// Decodes a J2K codestream or a JP2 file. `maxWidth`/`maxHeight` bound the picture before any
// sample memory is allocated. Throws std::runtime_error with OpenJPEG's reason.
Picture decode(const std::uint8_t *data, std::size_t size, int maxWidth, int maxHeight);

// Encodes interleaved samples (components per pixel) losslessly (reversible 5-3 wavelet, no
// colour transform) as a J2K codestream.
std::vector<std::uint8_t> encodeLossless(const std::vector<std::int32_t> &samples, int width,
                                         int height, int components, int precision, bool isSigned);

} // namespace ravlen::toolkit::j2k
