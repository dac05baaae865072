#include "toolkit/pixeldecoder.h"

#include "core/errors.h"
#include "toolkit/jpeg2000.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmimage/diregist.h>
#include <dcmtk/dcmimgle/dcmimage.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace ravlen::toolkit::pixels {

namespace {

[[noreturn]] void fail(const Image::Data &data, int number, const QString &what) {
    throw ToolkitError(number, QStringLiteral("%1: %2").arg(data.name, what).toStdString());
}

DcmElement *findTopLevel(DcmItem &item, const DcmTagKey &key) {
    DcmElement *element = nullptr;
    if (item.findAndGetElement(key, element, OFFalse).bad()) {
        return nullptr;
    }
    return element;
}

} // namespace

std::optional<long long> integerOf(DcmItem &item, const DcmTagKey &key, unsigned long pos) {
    const std::optional<double> value = numberOf(item, key, pos);
    if (!value || !std::isfinite(*value) || std::fabs(*value) > 9.0e18) {
        return std::nullopt;
    }
    return static_cast<long long>(std::llround(*value));
}

std::optional<double> numberOf(DcmItem &item, const DcmTagKey &key, unsigned long pos) {
    DcmElement *element = findTopLevel(item, key);
    if (element == nullptr || element->getLength() == 0) {
        return std::nullopt;
    }
    switch (element->ident()) {
    case EVR_US: {
        Uint16 v = 0;
        return element->getUint16(v, pos).good() ? std::optional<double>(v) : std::nullopt;
    }
    case EVR_SS: {
        Sint16 v = 0;
        return element->getSint16(v, pos).good() ? std::optional<double>(v) : std::nullopt;
    }
    case EVR_UL: {
        Uint32 v = 0;
        return element->getUint32(v, pos).good() ? std::optional<double>(v) : std::nullopt;
    }
    case EVR_SL: {
        Sint32 v = 0;
        return element->getSint32(v, pos).good() ? std::optional<double>(v) : std::nullopt;
    }
    case EVR_FL: {
        Float32 v = 0;
        return element->getFloat32(v, pos).good() ? std::optional<double>(v) : std::nullopt;
    }
    case EVR_FD: {
        Float64 v = 0;
        return element->getFloat64(v, pos).good() ? std::optional<double>(v) : std::nullopt;
    }
    case EVR_IS:
    case EVR_DS:
    case EVR_LO:
    case EVR_SH:
    case EVR_CS: {
        OFString text;
        if (element->getOFString(text, pos, OFTrue).bad()) {
            return std::nullopt;
        }
        bool ok = false;
        const double v = QString::fromLatin1(text.c_str()).trimmed().toDouble(&ok);
        return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

PixelLayout readLayout(DcmItem &dataset) {
    PixelLayout l;
    auto intOr = [&](const DcmTagKey &key, long long fallback) {
        const auto v = integerOf(dataset, key);
        return v && *v >= std::numeric_limits<int>::min() && *v <= std::numeric_limits<int>::max()
                   ? int(*v)
                   : int(fallback);
    };
    l.rows = intOr(DCM_Rows, 0);
    l.columns = intOr(DCM_Columns, 0);
    l.frames = std::max(1, intOr(DCM_NumberOfFrames, 1));
    l.samplesPerPixel = intOr(DCM_SamplesPerPixel, 1);
    l.bitsAllocated = intOr(DCM_BitsAllocated, 0);
    l.bitsStored = intOr(DCM_BitsStored, l.bitsAllocated);
    l.highBit = intOr(DCM_HighBit, l.bitsStored - 1);
    l.pixelRepresentation = intOr(DCM_PixelRepresentation, 0);
    l.planarConfiguration = intOr(DCM_PlanarConfiguration, 0);
    OFString photometric;
    if (dataset.findAndGetOFString(DCM_PhotometricInterpretation, photometric).good()) {
        l.photometric = QString::fromLatin1(photometric.c_str()).trimmed().toUpper();
    }
    if (l.photometric.isEmpty() && l.samplesPerPixel == 1) {
        l.photometric = QStringLiteral("MONOCHROME2");
    }
    return l;
}

namespace {

// LUT Descriptor and LUT Data of one item of a Modality or VOI LUT Sequence.
bool readLut(DcmItem &item, const PixelLayout &layout, int &firstMapped, int &bits,
             std::vector<std::uint16_t> &data) {
    DcmElement *descriptor = findTopLevel(item, DCM_LUTDescriptor);
    if (descriptor == nullptr || descriptor->getVM() < 3) {
        return false;
    }
    Uint16 d[3] = {0, 0, 0};
    for (unsigned long i = 0; i < 3; ++i) {
        if (descriptor->ident() == EVR_SS) {
            Sint16 s = 0;
            descriptor->getSint16(s, i);
            d[i] = Uint16(s);
        } else if (descriptor->getUint16(d[i], i).bad()) {
            return false;
        }
    }
    const std::size_t entries = d[0] == 0 ? 65536 : d[0];
    firstMapped = layout.pixelRepresentation == 1 ? int(Sint16(d[1])) : int(d[1]);
    bits = d[2];
    if (bits < 1 || bits > 16) {
        return false;
    }
    const Uint16 *words = nullptr;
    unsigned long count = 0;
    if (item.findAndGetUint16Array(DCM_LUTData, words, &count).bad() || words == nullptr) {
        return false;
    }
    data.clear();
    if (bits <= 8 && count < entries && count * 2 >= entries) {
        // 8-bit entries packed two to a word
        data.reserve(entries);
        for (std::size_t i = 0; i < entries; ++i) {
            const Uint16 w = words[i / 2];
            data.push_back(i % 2 == 0 ? (w & 0xFF) : (w >> 8));
        }
    } else {
        data.assign(words, words + std::min<std::size_t>(count, entries));
    }
    return !data.empty();
}

DcmItem *firstItem(DcmItem &dataset, const DcmTagKey &key) {
    DcmItem *item = nullptr;
    if (dataset.findAndGetSequenceItem(key, item, 0, OFFalse).bad()) {
        return nullptr;
    }
    return item;
}

} // namespace

ModalityTransform readModality(DcmItem &dataset, const PixelLayout &layout) {
    ModalityTransform t;
    if (DcmItem *item = firstItem(dataset, DCM_ModalityLUTSequence)) {
        ModalityTransform::Lut lut;
        if (readLut(*item, layout, lut.firstMapped, lut.bits, lut.data)) {
            t.lut = std::move(lut);
            return t;
        }
    }
    if (const auto slope = numberOf(dataset, DCM_RescaleSlope); slope && *slope != 0.0) {
        t.slope = *slope;
    }
    if (const auto intercept = numberOf(dataset, DCM_RescaleIntercept)) {
        t.intercept = *intercept;
    }
    return t;
}

std::optional<VoiLut> readVoiLut(DcmItem &dataset, const PixelLayout &layout) {
    if (DcmItem *item = firstItem(dataset, DCM_VOILUTSequence)) {
        VoiLut lut;
        // The VOI LUT maps modality values, whose sign follows the pixel data's.
        if (readLut(*item, layout, lut.firstMapped, lut.bits, lut.data)) {
            return lut;
        }
    }
    return std::nullopt;
}

// --- taking native pixels out of the data set

void takeOutNativePixels(Image::Data &data) {
    const PixelLayout &l = data.layout;
    if (!data.hasPixels || data.encapsulated || !l.monochrome() || l.samplesPerPixel != 1) {
        return;
    }
    const bool bigEndian = DcmXfer(data.xfer).isBigEndian();
    const bool wordsOk = l.bitsAllocated == 16 || (!bigEndian && l.bitsAllocated == 32);
    if (!(wordsOk || (!bigEndian && l.bitsAllocated == 8))) {
        return;
    }
    const std::uint64_t frameBytes = l.frameBytes();
    DcmElement *element = findTopLevel(data.dataset(), DCM_PixelData);
    if (frameBytes == 0 || element == nullptr || element->ident() != EVR_PixelData) {
        return;
    }
    const std::uint64_t total = frameBytes * std::uint64_t(l.frames);
    const std::uint64_t length = element->getLength();
    if (length < total) {
        return; // too short: decoding reports it
    }
    const std::uint8_t *bytes = nullptr;
    if (l.bitsAllocated == 8) {
        Uint8 *p = nullptr;
        if (element->getUint8Array(p).bad()) {
            return;
        }
        bytes = p;
    } else {
        Uint16 *p = nullptr;
        if (element->getUint16Array(p).bad()) {
            return;
        }
        bytes = reinterpret_cast<const std::uint8_t *>(p);
    }
    if (bytes == nullptr) {
        return;
    }
    data.nativeFrames.reserve(std::size_t(l.frames));
    for (int f = 0; f < l.frames; ++f) {
        const std::uint8_t *begin = bytes + std::uint64_t(f) * frameBytes;
        data.nativeFrames.push_back(std::make_shared<ByteBuffer>(begin, begin + frameBytes));
    }
    data.nativeTail.assign(bytes + total, bytes + length);
    data.pixelWords = l.bitsAllocated != 8;
    data.pixelsTakenOut = true;
    element->putUint8Array(nullptr, 0);
}

// --- decoding

namespace {

int outputBytes(int bitsStored) {
    return bitsStored <= 8 ? 1 : bitsStored <= 16 ? 2 : 4;
}

PixelFrame::Sample sampleType(int bitsStored, bool isSigned) {
    switch (outputBytes(bitsStored)) {
    case 1:
        return isSigned ? PixelFrame::Sample::S8 : PixelFrame::Sample::U8;
    case 2:
        return isSigned ? PixelFrame::Sample::S16 : PixelFrame::Sample::U16;
    default:
        return isSigned ? PixelFrame::Sample::S32 : PixelFrame::Sample::U32;
    }
}

// Extracts the stored values of a native monochrome frame (host byte order, `Raw` a sample)
// into `Out`, keeping bitsStored bits from highBit down and extending the sign.
template <typename Raw, typename Out>
void convertSamples(const Raw *in, Out *out, std::size_t n, int shift, std::uint32_t mask,
                    bool isSigned, std::uint32_t signBit) {
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t v = (std::uint32_t(in[i]) >> shift) & mask;
        if (isSigned && (v & signBit)) {
            v |= ~mask;
        }
        out[i] = static_cast<Out>(isSigned ? static_cast<std::int64_t>(std::int32_t(v))
                                           : static_cast<std::int64_t>(v));
    }
}

// Whether the raw samples already are the stored values in their own type, so the buffer can
// serve as the decoded frame as it is.
template <typename Raw>
bool alreadyClean(const Raw *in, std::size_t n, std::uint32_t mask, bool isSigned,
                  std::uint32_t signBit) {
    using Signed = std::make_signed_t<Raw>;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t v = std::uint32_t(in[i]) & mask;
        if (isSigned) {
            if (v & signBit) {
                v |= ~mask;
            }
            if (std::int32_t(v) != std::int32_t(Signed(in[i]))) {
                return false;
            }
        } else if (v != std::uint32_t(in[i])) {
            return false;
        }
    }
    return true;
}

template <typename Raw>
std::shared_ptr<ByteBuffer> convertFrom(const Raw *in, std::size_t n, int outBytes, int shift,
                                        std::uint32_t mask, bool isSigned, std::uint32_t signBit) {
    auto out = std::make_shared<ByteBuffer>(n * std::size_t(outBytes));
    switch (outBytes) {
    case 1:
        if (isSigned) {
            convertSamples(in, reinterpret_cast<std::int8_t *>(out->data()), n, shift, mask, true,
                           signBit);
        } else {
            convertSamples(in, out->data(), n, shift, mask, false, signBit);
        }
        break;
    case 2:
        if (isSigned) {
            convertSamples(in, reinterpret_cast<std::int16_t *>(out->data()), n, shift, mask, true,
                           signBit);
        } else {
            convertSamples(in, reinterpret_cast<std::uint16_t *>(out->data()), n, shift, mask,
                           false, signBit);
        }
        break;
    default:
        if (isSigned) {
            convertSamples(in, reinterpret_cast<std::int32_t *>(out->data()), n, shift, mask, true,
                           signBit);
        } else {
            convertSamples(in, reinterpret_cast<std::uint32_t *>(out->data()), n, shift, mask,
                           false, signBit);
        }
        break;
    }
    return out;
}

void checkLayout(const Image::Data &data) {
    const PixelLayout &l = data.layout;
    if (l.rows <= 0 || l.columns <= 0) {
        fail(data, errc::Damaged,
             QStringLiteral("the image has no valid size (rows %1, columns %2)")
                 .arg(l.rows)
                 .arg(l.columns));
    }
    if (l.bitsAllocated != 8 && l.bitsAllocated != 16 && l.bitsAllocated != 32) {
        fail(data, errc::Unsupported,
             QStringLiteral("bits allocated %1 is not supported (8, 16 or 32)")
                 .arg(l.bitsAllocated));
    }
    if (l.bitsStored < 1 || l.bitsStored > l.bitsAllocated || l.highBit < l.bitsStored - 1 ||
        l.highBit >= l.bitsAllocated) {
        fail(data, errc::Damaged,
             QStringLiteral("bits stored %1 and high bit %2 do not fit bits allocated %3")
                 .arg(l.bitsStored)
                 .arg(l.highBit)
                 .arg(l.bitsAllocated));
    }
    if (l.monochrome() && l.samplesPerPixel != 1) {
        fail(data, errc::Damaged,
             QStringLiteral("%1 with %2 samples per pixel")
                 .arg(l.photometric)
                 .arg(l.samplesPerPixel));
    }
    if (!l.monochrome() && l.photometric != QLatin1String("PALETTE COLOR") &&
        l.samplesPerPixel != 3) {
        fail(data, errc::Unsupported,
             QStringLiteral("photometric interpretation \"%1\" with %2 samples per pixel is not "
                            "supported")
                 .arg(l.photometric)
                 .arg(l.samplesPerPixel));
    }
}

PixelFrame monochromeFrame(const Image::Data &data, std::shared_ptr<ByteBuffer> raw,
                           bool swapWordHalves) {
    const PixelLayout &l = data.layout;
    const std::size_t n = std::size_t(l.rows) * std::size_t(l.columns);
    const bool isSigned = l.pixelRepresentation == 1;
    const int shift = l.highBit + 1 - l.bitsStored;
    const std::uint32_t mask =
        l.bitsStored >= 32 ? 0xFFFFFFFFu : (std::uint32_t(1) << l.bitsStored) - 1;
    const std::uint32_t signBit = std::uint32_t(1) << (l.bitsStored - 1);
    const int outBytes = outputBytes(l.bitsStored);

    if (swapWordHalves) {
        auto *w = reinterpret_cast<std::uint32_t *>(raw->data());
        for (std::size_t i = 0; i < n; ++i) {
            w[i] = (w[i] << 16) | (w[i] >> 16);
        }
    }
    PixelFrame frame;
    frame.columns = l.columns;
    frame.rows = l.rows;
    frame.sample = sampleType(l.bitsStored, isSigned);
    frame.photometric = l.photometric == QLatin1String("MONOCHROME1")
                            ? PixelFrame::Photometric::Monochrome1
                            : PixelFrame::Photometric::Monochrome2;
    frame.bitsStored = l.bitsStored;

    const bool sameWidth = outBytes * 8 == l.bitsAllocated && shift == 0;
    switch (l.bitsAllocated) {
    case 8: {
        const auto *in = raw->data();
        if (sameWidth && alreadyClean(in, n, mask, isSigned, signBit)) {
            raw->resize(n);
            frame.data = std::move(raw);
        } else {
            frame.data = convertFrom(in, n, outBytes, shift, mask, isSigned, signBit);
        }
        break;
    }
    case 16: {
        const auto *in = reinterpret_cast<const std::uint16_t *>(raw->data());
        if (sameWidth && alreadyClean(in, n, mask, isSigned, signBit)) {
            raw->resize(n * 2);
            frame.data = std::move(raw);
        } else {
            frame.data = convertFrom(in, n, outBytes, shift, mask, isSigned, signBit);
        }
        break;
    }
    default: {
        const auto *in = reinterpret_cast<const std::uint32_t *>(raw->data());
        if (sameWidth && alreadyClean(in, n, mask, isSigned, signBit)) {
            raw->resize(n * 4);
            frame.data = std::move(raw);
        } else {
            frame.data = convertFrom(in, n, outBytes, shift, mask, isSigned, signBit);
        }
        break;
    }
    }
    return frame;
}

DcmPixelData *pixelDataOf(const Image::Data &data) {
    DcmElement *element = findTopLevel(data.dataset(), DCM_PixelData);
    if (element == nullptr || element->ident() != EVR_PixelData) {
        fail(data, errc::NoPixelData, QStringLiteral("the data set holds no pixel data"));
    }
    return static_cast<DcmPixelData *>(element);
}

std::shared_ptr<ByteBuffer> nativeFrameBytes(const Image::Data &data, int index) {
    if (data.pixelsTakenOut) {
        // The buffer is handed to the frame: a second decode of the same frame never happens,
        // and copyFile() reads it only.
        return data.nativeFrames[std::size_t(index)];
    }
    const PixelLayout &l = data.layout;
    const std::uint64_t frameBytes = l.frameBytes();
    DcmPixelData *pixelData = pixelDataOf(data);
    const std::uint64_t needed = frameBytes * std::uint64_t(l.frames);
    if (pixelData->getLength() < needed) {
        fail(data, errc::Damaged,
             QStringLiteral("pixel data is shorter than declared (%1 bytes of %2)")
                 .arg(pixelData->getLength())
                 .arg(needed));
    }
    const std::uint8_t *bytes = nullptr;
    if (l.bitsAllocated == 8 && !DcmXfer(data.xfer).isBigEndian()) {
        Uint8 *p = nullptr;
        pixelData->getUint8Array(p);
        bytes = p;
    } else {
        Uint16 *p = nullptr;
        pixelData->getUint16Array(p);
        bytes = reinterpret_cast<const std::uint8_t *>(p);
    }
    if (bytes == nullptr) {
        fail(data, errc::Damaged, QStringLiteral("the pixel data cannot be read"));
    }
    const std::uint8_t *begin = bytes + frameBytes * std::uint64_t(index);
    return std::make_shared<ByteBuffer>(begin, begin + frameBytes);
}

bool isJpeg2000(E_TransferSyntax xfer) {
    return xfer == EXS_JPEG2000LosslessOnly || xfer == EXS_JPEG2000 ||
           xfer == EXS_JPEG2000MulticomponentLosslessOnly || xfer == EXS_JPEG2000Multicomponent;
}

// The compressed bytes of frame `index` of a pixel sequence: one fragment per frame, the
// frames the Basic Offset Table points at, or fragments grouped by their end-of-codestream
// marker when the table is empty.
ByteBuffer j2kFrameBytes(const Image::Data &data, DcmPixelSequence &sequence, int index) {
    const unsigned long items = sequence.card();
    if (items < 2) {
        fail(data, errc::Damaged, QStringLiteral("the encapsulated pixel data has no fragments"));
    }
    const unsigned long fragments = items - 1;
    const int frames = data.layout.frames;
    auto fragmentBytes = [&](unsigned long i, ByteBuffer &out) {
        DcmPixelItem *item = nullptr;
        Uint8 *p = nullptr;
        if (sequence.getItem(item, i).bad() || item == nullptr) {
            return;
        }
        const Uint32 length = item->getLength();
        if (length > 0 && item->getUint8Array(p).good() && p != nullptr) {
            out.insert(out.end(), p, p + length);
        }
    };
    ByteBuffer out;
    if (frames == 1) {
        for (unsigned long i = 1; i < items; ++i) {
            fragmentBytes(i, out);
        }
        return out;
    }
    if (fragments == static_cast<unsigned long>(frames)) {
        fragmentBytes(static_cast<unsigned long>(index) + 1, out);
        return out;
    }
    // Which fragments start a frame: from the offset table, else by end-of-codestream markers.
    std::vector<unsigned long> starts;
    DcmPixelItem *table = nullptr;
    Uint8 *tableBytes = nullptr;
    if (sequence.getItem(table, 0).good() && table != nullptr && table->getLength() >= 4 &&
        table->getUint8Array(tableBytes).good() && tableBytes != nullptr) {
        std::vector<Uint32> offsets;
        for (Uint32 i = 0; i + 4 <= table->getLength(); i += 4) {
            const std::uint8_t *b = tableBytes + i;
            offsets.push_back(Uint32(b[0]) | (Uint32(b[1]) << 8) | (Uint32(b[2]) << 16) |
                              (Uint32(b[3]) << 24));
        }
        std::uint64_t position = 0;
        std::size_t next = 0;
        for (unsigned long i = 1; i < items && next < offsets.size(); ++i) {
            if (position == offsets[next]) {
                starts.push_back(i);
                ++next;
            }
            DcmPixelItem *item = nullptr;
            if (sequence.getItem(item, i).good() && item != nullptr) {
                position += 8 + std::uint64_t(item->getLength());
            }
        }
    } else {
        starts.push_back(1);
        for (unsigned long i = 1; i + 1 < items; ++i) {
            DcmPixelItem *item = nullptr;
            Uint8 *p = nullptr;
            if (sequence.getItem(item, i).good() && item != nullptr && item->getLength() >= 2 &&
                item->getUint8Array(p).good() && p != nullptr) {
                Uint32 end = item->getLength();
                while (end > 2 && p[end - 1] == 0) {
                    --end; // padding after the marker
                }
                if (p[end - 2] == 0xFF && p[end - 1] == 0xD9) {
                    starts.push_back(i + 1);
                }
            }
        }
    }
    if (std::size_t(index) >= starts.size()) {
        fail(data, errc::Damaged,
             QStringLiteral("frame %1 cannot be found in the encapsulated pixel data")
                 .arg(index + 1));
    }
    const unsigned long first = starts[std::size_t(index)];
    const unsigned long last =
        std::size_t(index) + 1 < starts.size() ? starts[std::size_t(index) + 1] : items;
    for (unsigned long i = first; i < last; ++i) {
        fragmentBytes(i, out);
    }
    return out;
}

std::uint8_t clamp8(double v) {
    return std::uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

PixelFrame j2kFrame(const Image::Data &data, int index) {
    const PixelLayout &l = data.layout;
    DcmPixelData *pixelData = pixelDataOf(data);
    E_TransferSyntax repType = EXS_Unknown;
    const DcmRepresentationParameter *repParam = nullptr;
    pixelData->getOriginalRepresentationKey(repType, repParam);
    DcmPixelSequence *sequence = nullptr;
    if (pixelData->getEncapsulatedRepresentation(repType, repParam, sequence).bad() ||
        sequence == nullptr) {
        fail(data, errc::Damaged, QStringLiteral("the JPEG 2000 pixel data is not encapsulated"));
    }
    const ByteBuffer bytes = j2kFrameBytes(data, *sequence, index);
    j2k::Picture picture;
    try {
        picture = j2k::decode(bytes.data(), bytes.size(), l.columns, l.rows);
    } catch (const std::exception &e) {
        fail(data, errc::Damaged,
             QStringLiteral("frame %1: %2").arg(index + 1).arg(QString::fromUtf8(e.what())));
    }
    if (picture.width != l.columns || picture.height != l.rows) {
        fail(data, errc::Damaged,
             QStringLiteral("the JPEG 2000 picture is %1 x %2, the data set says %3 x %4")
                 .arg(picture.width)
                 .arg(picture.height)
                 .arg(l.columns)
                 .arg(l.rows));
    }
    const std::size_t n = std::size_t(l.rows) * std::size_t(l.columns);
    PixelFrame frame;
    frame.columns = l.columns;
    frame.rows = l.rows;
    if (l.monochrome()) {
        const j2k::Picture::Component &c = picture.components.front();
        if (std::size_t(c.width) * std::size_t(c.height) != n) {
            fail(data, errc::Damaged, QStringLiteral("the JPEG 2000 component is subsampled"));
        }
        const bool isSigned = l.pixelRepresentation == 1;
        const int bits = std::clamp(l.bitsStored, 1, 32);
        const std::int64_t mask = bits >= 32 ? 0xFFFFFFFFll : (std::int64_t(1) << bits) - 1;
        frame.sample = sampleType(bits, isSigned);
        frame.photometric = l.photometric == QLatin1String("MONOCHROME1")
                                ? PixelFrame::Photometric::Monochrome1
                                : PixelFrame::Photometric::Monochrome2;
        frame.bitsStored = bits;
        const int outBytes = outputBytes(bits);
        auto out = std::make_shared<ByteBuffer>(n * std::size_t(outBytes));
        for (std::size_t i = 0; i < n; ++i) {
            // The data set's Pixel Representation decides the sign, whatever the codestream
            // declared.
            std::int64_t v = std::int64_t(c.samples[i]) & mask;
            if (isSigned && bits < 64 && (v >> (bits - 1)) & 1) {
                v -= (std::int64_t(1) << bits);
            }
            switch (outBytes) {
            case 1:
                (*out)[i] = std::uint8_t(v);
                break;
            case 2: {
                const auto s = std::uint16_t(v);
                std::memcpy(out->data() + 2 * i, &s, 2);
                break;
            }
            default: {
                const auto s = std::uint32_t(v);
                std::memcpy(out->data() + 4 * i, &s, 4);
                break;
            }
            }
        }
        frame.data = std::move(out);
        return frame;
    }
    if (picture.components.size() < 3) {
        fail(data, errc::Unsupported,
             QStringLiteral("JPEG 2000 colour with %1 component(s) is not supported")
                 .arg(picture.components.size()));
    }
    frame.sample = PixelFrame::Sample::Rgb8;
    frame.photometric = PixelFrame::Photometric::Rgb;
    frame.bitsStored = 8;
    // YBR_RCT/ICT were undone by the decoder; a plain YBR_FULL codestream still is YCbCr.
    const bool ybr = l.photometric.startsWith(QLatin1String("YBR_FULL"));
    auto out = std::make_shared<ByteBuffer>(n * 3);
    for (int y = 0; y < l.rows; ++y) {
        for (int x = 0; x < l.columns; ++x) {
            double s[3];
            for (int k = 0; k < 3; ++k) {
                const j2k::Picture::Component &c = picture.components[std::size_t(k)];
                const int cx = std::min(x / c.dx, c.width - 1);
                const int cy = std::min(y / c.dy, c.height - 1);
                double v = c.samples[std::size_t(cy) * std::size_t(c.width) + std::size_t(cx)];
                if (c.isSigned) {
                    v += double(std::int64_t(1) << (c.precision - 1));
                }
                s[k] = c.precision > 8 ? v / double(std::int64_t(1) << (c.precision - 8)) : v;
            }
            std::uint8_t *p = out->data() + (std::size_t(y) * l.columns + x) * 3;
            if (ybr) {
                p[0] = clamp8(s[0] + 1.402 * (s[2] - 128.0));
                p[1] = clamp8(s[0] - 0.344136 * (s[1] - 128.0) - 0.714136 * (s[2] - 128.0));
                p[2] = clamp8(s[0] + 1.772 * (s[1] - 128.0));
            } else {
                p[0] = clamp8(s[0]);
                p[1] = clamp8(s[1]);
                p[2] = clamp8(s[2]);
            }
        }
    }
    frame.data = std::move(out);
    return frame;
}

std::uint64_t nativeColourFrameBytes(const PixelLayout &l) {
    const std::uint64_t pixels = std::uint64_t(l.rows) * std::uint64_t(l.columns);
    const std::uint64_t bytes = std::uint64_t(l.bitsAllocated / 8);
    if (l.photometric.endsWith(QLatin1String("_422"))) {
        return pixels * 2 * bytes;
    }
    if (l.photometric.endsWith(QLatin1String("_420"))) {
        return pixels * 3 / 2 * bytes;
    }
    return l.frameBytes();
}

PixelFrame colourFrame(const Image::Data &data, int index) {
    const PixelLayout &l = data.layout;
    if (!data.encapsulated) {
        const std::uint64_t needed = nativeColourFrameBytes(l) * std::uint64_t(l.frames);
        if (data.pixelLength < needed) {
            fail(data, errc::Damaged,
                 QStringLiteral("pixel data is shorter than declared (%1 bytes of %2)")
                     .arg(data.pixelLength)
                     .arg(needed));
        }
    }
    // Partial access decodes just this frame and leaves the data set's pixel data as it is.
    DicomImage image(&data.dataset(), data.xfer, CIF_UsePartialAccessToPixelData,
                     static_cast<unsigned long>(index), 1);
    if (image.getStatus() != EIS_Normal) {
        fail(data, errc::Unsupported,
             QStringLiteral("frame %1 cannot be decoded: %2")
                 .arg(index + 1)
                 .arg(QString::fromLatin1(DicomImage::getString(image.getStatus()))));
    }
    if (int(image.getWidth()) != l.columns || int(image.getHeight()) != l.rows) {
        fail(data, errc::Damaged, QStringLiteral("decoded frame size differs from the data set"));
    }
    const std::size_t n = std::size_t(l.rows) * std::size_t(l.columns);
    const void *rgb = image.getOutputData(8, 0, 0);
    if (rgb == nullptr || image.getOutputDataSize(8) < n * 3) {
        fail(data, errc::Damaged,
             QStringLiteral("frame %1 cannot be decoded (damaged colour pixel data)")
                 .arg(index + 1));
    }
    const auto *bytes = static_cast<const std::uint8_t *>(rgb);
    PixelFrame frame;
    frame.columns = l.columns;
    frame.rows = l.rows;
    frame.sample = PixelFrame::Sample::Rgb8;
    frame.photometric = PixelFrame::Photometric::Rgb;
    frame.bitsStored = 8;
    frame.data = std::make_shared<ByteBuffer>(bytes, bytes + n * 3);
    return frame;
}

} // namespace

PixelFrame decodeFrame(const Image::Data &data, int index) {
    if (!data.hasPixels) {
        fail(data, errc::NoPixelData, QStringLiteral("the data set holds no pixel data"));
    }
    checkLayout(data);
    const PixelLayout &l = data.layout;
    if (index < 0 || index >= l.frames) {
        fail(data, errc::BadArgument,
             QStringLiteral("frame %1 does not exist (the image has %2)")
                 .arg(index + 1)
                 .arg(l.frames));
    }
    if (isJpeg2000(data.xfer) && data.encapsulated) {
        return j2kFrame(data, index);
    }
    if (!l.monochrome()) {
        return colourFrame(data, index);
    }
    if (!data.encapsulated) {
        const bool swap = l.bitsAllocated == 32 && DcmXfer(data.xfer).isBigEndian();
        return monochromeFrame(data, nativeFrameBytes(data, index), swap);
    }
    const std::uint64_t frameBytes = l.frameBytes();
    if (frameBytes > std::numeric_limits<Uint32>::max() - 1) {
        fail(data, errc::TooLarge, QStringLiteral("a frame is larger than 4 GB"));
    }
    DcmPixelData *pixelData = pixelDataOf(data);
    auto buffer = std::make_shared<ByteBuffer>(std::size_t(frameBytes + (frameBytes & 1)));
    const auto known = data.startFragments.find(index);
    Uint32 start = known != data.startFragments.end() ? known->second : 0;
    OFString colourModel;
    const OFCondition status = pixelData->getUncompressedFrame(
        &data.dataset(), Uint32(index), start, buffer->data(), Uint32(buffer->size()), colourModel);
    if (status.bad()) {
        fail(data, errc::Damaged,
             QStringLiteral("frame %1 cannot be decoded: %2")
                 .arg(index + 1)
                 .arg(QString::fromLatin1(status.text())));
    }
    if (index + 1 < l.frames) {
        data.startFragments[index + 1] = start;
    }
    return monochromeFrame(data, std::move(buffer), false);
}

} // namespace ravlen::toolkit::pixels
