#pragma once

// Toolkit-internal: what an Image holds behind its public face. Code elsewhere in the toolkit
// (writing, sending) reaches the data set through here; nothing outside src/toolkit includes it.

#include "toolkit/dcmtkbridge.h"
#include "toolkit/image.h"
#include "toolkit/pipeline.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ravlen::toolkit {

// The pixel module as the data set declares it (Image Pixel Module attributes).
struct PixelLayout {
    int rows = 0;
    int columns = 0;
    int frames = 1;
    int samplesPerPixel = 1;
    int bitsAllocated = 0;
    int bitsStored = 0;
    int highBit = 0;
    int pixelRepresentation = 0;
    int planarConfiguration = 0;
    QString photometric;

    bool monochrome() const {
        return photometric == QLatin1String("MONOCHROME1") ||
               photometric == QLatin1String("MONOCHROME2");
    }
    // Bytes of one native frame; 0 when the declared sizes make no sense.
    std::uint64_t frameBytes() const {
        if (rows <= 0 || columns <= 0 || samplesPerPixel <= 0 || bitsAllocated <= 0 ||
            bitsAllocated % 8 != 0) {
            return 0;
        }
        return std::uint64_t(rows) * std::uint64_t(columns) * std::uint64_t(samplesPerPixel) *
               std::uint64_t(bitsAllocated / 8);
    }
};

using ByteBuffer = std::vector<std::uint8_t>;

struct Image::Data {
    QString name;
    std::unique_ptr<DcmFileFormat> file;
    E_TransferSyntax xfer = EXS_Unknown;
    bridge::TextDecoder text;
    PixelLayout layout;
    bool hasPixels = false;
    bool encapsulated = false;
    std::uint64_t pixelLength = 0; // bytes of the native pixel value as read

    // Native monochrome pixels are taken out of the data set at load, one buffer per frame,
    // so that a decoded frame can share its buffer instead of copying it: an image then costs
    // its pixel bytes once. copyFile() puts them back.
    bool pixelsTakenOut = false;
    bool pixelWords = false; // the value is put back as 16-bit words (OW) rather than bytes
    std::vector<std::shared_ptr<ByteBuffer>> nativeFrames;
    ByteBuffer nativeTail; // bytes after the last whole frame (padding)

    // Guards the data set and decoding: DCMTK objects are not safe for concurrent use.
    mutable std::mutex mutex;
    // Guards the frame cache alone, so a decoded frame is handed out while another frame is
    // being decoded (cine decodes ahead on a worker while the viewer draws).
    mutable std::mutex framesMutex;
    // Keyed by 0-based frame index; sparse, since Number of Frames comes from the file.
    mutable std::map<int, PixelFrame> frames;
    mutable std::map<int, Uint32> startFragments; // first fragment of a frame, once known

    // Read once at load: the pipeline recognises LUTs by address, so one object serves every
    // drawing.
    ModalityTransform modality;
    std::optional<VoiLut> voiLut;
    CineRate cineRate;
    mutable std::mutex windowMutex; // the first computation of the default window
    // The drawing's lookup table, rebuilt only when the window changes.
    mutable std::mutex renderMutex;
    mutable DisplayLut displayLut;

    DcmDataset &dataset() const { return *file->getDataset(); }
    // A complete copy of the file, pixel data included, for writing and sending.
    std::unique_ptr<DcmFileFormat> copyFile() const;
};

} // namespace ravlen::toolkit
