// Hostile files through the whole load path: pre-scan, DCMTK's parse, pixel decoding and the
// display pipeline. Whatever the bytes, the result is an image or a ToolkitError; any other
// exception, a crash or a sanitizer report is a fault.

#include "core/errors.h"
#include "rawdicom.h"
#include "toolkit/datasetbuilder.h"
#include "toolkit/image.h"
#include "toolkit/pipeline.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

using namespace ravlen::rawdicom;
using ravlen::ToolkitError;
using ravlen::toolkit::DataSetBuilder;
using ravlen::toolkit::Image;
using ravlen::toolkit::PixelSpec;
using ravlen::toolkit::TransferSyntax;
namespace errc = ravlen::errc;

namespace {

struct Outcome {
    bool loaded = false;
    bool rendered = false;
    int error = 0; // the ToolkitError number, 0 when none
    std::string text;
};

// Loads the bytes and, when they load, lists the elements and renders frame 1 with the
// image's default window, as a tile would.
Outcome loadAndRender(const QByteArray &bytes) {
    Outcome out;
    try {
        const std::shared_ptr<Image> image = Image::fromBytes(bytes, QStringLiteral("hostile"));
        out.loaded = true;
        for (const ravlen::toolkit::DataElement &e : image->elements())
            (void)ravlen::toolkit::valueText(e.value());
        (void)image->patientName();
        if (image->hasPixelData()) {
            const ravlen::toolkit::PixelFrame frame = image->frame(1);
            const ravlen::toolkit::StoredWindow window = image->defaultWindow();
            const std::optional<ravlen::toolkit::VoiLut> voi = image->voiLut();
            ravlen::toolkit::RenderRequest request;
            request.center = window.center;
            request.width = window.width;
            request.voiLut = voi ? &*voi : nullptr;
            request.target = QSize(48, 40);
            out.rendered =
                !ravlen::toolkit::renderFrame(frame, image->modalityTransform(), request).isNull();
        }
    } catch (const ToolkitError &e) {
        out.error = e.number();
        out.text = e.what();
    }
    return out;
}

Outcome loadAndRender(const Bytes &bytes) {
    return loadAndRender(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

const Encoding kEL = kExplicitLittle;
const Encoding kIL = kImplicitLittle;

Bytes uid(std::uint16_t element, const std::string &value) {
    return text(kEL, 0x0008, element, "UI", value);
}

// A 4x4 image; `extra` elements go between the pixel module and the pixel data.
Bytes smallImage(const Bytes &extra = Bytes(), std::uint16_t bits = 8) {
    return meta(kExplicitUid) + imageModule(kEL, 4, 4, bits) + extra +
           pixelData(kEL, std::size_t(16) * ((bits + 7) / 8), bits > 8 ? "OW" : "OB");
}

// The pixel module with one element's bytes replaced.
Bytes withElement(std::uint16_t group, std::uint16_t element, const Bytes &replacement,
                  std::uint16_t bits = 8) {
    Bytes file = smallImage(Bytes(), bits);
    const Bytes tag = u16(group) + u16(element);
    const std::size_t at = file.find(tag, 132);
    if (at == Bytes::npos)
        return file.insert(file.find(u16(0x7FE0) + u16(0x0010)), replacement);
    const std::size_t length = 8 + std::uint8_t(file[at + 6]) + (std::uint8_t(file[at + 7]) << 8);
    return file.replace(at, length, replacement);
}

Bytes encapsulated(const char *transferSyntax, const std::vector<Bytes> &frames,
                   std::uint16_t rows = 16, std::uint16_t bits = 8, std::uint16_t samples = 1) {
    return meta(transferSyntax) + imageModule(kEL, rows, rows, bits, samples) +
           fragments(kEL, frames);
}

struct Hostile {
    const char *name;
    std::function<Bytes()> bytes;
    int mustFailWith = 0; // 0: loading may succeed or fail, only cleanly
};

void PrintTo(const Hostile &h, std::ostream *os) {
    *os << h.name;
}

class HostileFiles : public testing::TestWithParam<Hostile> {};

TEST_P(HostileFiles, LoadOrFailCleanly) {
    const Hostile &h = GetParam();
    const Outcome out = loadAndRender(h.bytes());
    if (h.mustFailWith != 0) {
        EXPECT_FALSE(out.loaded);
        EXPECT_EQ(out.error, h.mustFailWith) << out.text;
    }
    if (out.error != 0) {
        EXPECT_EQ(out.text.rfind("hostile: ", 0), 0u)
            << "the message names the source: " << out.text;
    }
}

std::string hostileName(const testing::TestParamInfo<Hostile> &info) {
    return info.param.name;
}

const Hostile kStructure[] = {
    {"Nested65", [] { return meta(kExplicitUid) + uid(0x0016, "1.2.3") + nested(kEL, 65, false); },
     errc::TooDeep},
    {"Nested10000Implicit",
     [] {
         return meta(kImplicitUid) + text(kIL, 0x0008, 0x0016, "UI", "1.2.3") +
                nested(kIL, 10000, true);
     },
     errc::TooDeep},
    {"Nested10000Explicit",
     [] { return meta(kExplicitUid) + uid(0x0016, "1.2.3") + nested(kEL, 10000, false); },
     errc::TooDeep},
    {"Nested64Loads", [] { return smallImage(nested(kEL, 64, true)); }, 0},
    {"Declared65535Squared",
     [] { return meta(kExplicitUid) + imageModule(kEL, 65535, 65535, 16) + pixelData(kEL, 64); },
     errc::TooLarge},
    {"PixelDataShorterThanDeclared",
     [] { return meta(kExplicitUid) + imageModule(kEL, 64, 64, 16) + pixelData(kEL, 8000); },
     errc::TooLarge},
    {"ElementLengthBeyondFile",
     [] { return smallImage() + header(kEL, 0x0011, 0x1010, "OB", 0xFFFFFFF0u) + "tail"; },
     errc::Damaged},
    {"UnknownVrHidingALongElement",
     [] {
         return smallImage() + header(kEL, 0x0011, 0x1010, "UN", kUndefined) + itemHeader(kIL, 12) +
                header(kIL, 0x0010, 0x0010, "", 0xF0000000u) + "abcd" + sequenceEnd(kIL);
     },
     errc::Damaged},
    {"TextFile", [] { return Bytes("This is not an image.\n"); }, errc::NotDicom},
    {"Empty", [] { return Bytes(); }, errc::NotDicom},
    {"MetaOnly", [] { return meta(kExplicitUid); }, 0},
    {"DeflatedGarbage", [] { return meta(kDeflatedUid) + Bytes(300, '\x5a'); }, 0},
};
INSTANTIATE_TEST_SUITE_P(Structure, HostileFiles, testing::ValuesIn(kStructure), hostileName);

const Hostile kValues[] = {
    {"BitsAllocatedZero", [] { return withElement(0x0028, 0x0100, us(kEL, 0x0028, 0x0100, 0)); }},
    {"BitsAllocatedThirteen",
     [] { return withElement(0x0028, 0x0100, us(kEL, 0x0028, 0x0100, 13), 16); }},
    {"BitsAllocated64",
     [] { return withElement(0x0028, 0x0100, us(kEL, 0x0028, 0x0100, 64), 16); }},
    {"BitsStoredZero", [] { return withElement(0x0028, 0x0101, us(kEL, 0x0028, 0x0101, 0)); }},
    {"BitsStoredAboveAllocated",
     [] { return withElement(0x0028, 0x0101, us(kEL, 0x0028, 0x0101, 16)); }},
    {"HighBitAboveStored", [] { return withElement(0x0028, 0x0102, us(kEL, 0x0028, 0x0102, 15)); }},
    {"RowsAsShortString",
     [] { return withElement(0x0028, 0x0010, element(kEL, 0x0028, 0x0010, "US", "abc")); }},
    {"RowsAsText",
     [] { return withElement(0x0028, 0x0010, text(kEL, 0x0028, 0x0010, "IS", "4")); }},
    {"ColumnsEmpty",
     [] { return withElement(0x0028, 0x0011, element(kEL, 0x0028, 0x0011, "US", "")); }},
    {"RowsZero", [] { return withElement(0x0028, 0x0010, us(kEL, 0x0028, 0x0010, 0)); }},
    {"SamplesZero", [] { return withElement(0x0028, 0x0002, us(kEL, 0x0028, 0x0002, 0)); }},
    {"SamplesThreeMonochrome",
     [] { return withElement(0x0028, 0x0002, us(kEL, 0x0028, 0x0002, 3)); }},
    {"PhotometricUnknown",
     [] { return withElement(0x0028, 0x0004, text(kEL, 0x0028, 0x0004, "CS", "PURPLE")); }},
    {"PhotometricPaletteWithoutLut",
     [] { return withElement(0x0028, 0x0004, text(kEL, 0x0028, 0x0004, "CS", "PALETTE COLOR")); }},
    {"PaletteLutDescriptorHuge",
     [] {
         return withElement(0x0028, 0x0004,
                            text(kEL, 0x0028, 0x0004, "CS", "PALETTE COLOR") +
                                element(kEL, 0x0028, 0x1101, "US", u16(0) + u16(0) + u16(16)) +
                                element(kEL, 0x0028, 0x1102, "US", u16(0) + u16(0) + u16(16)) +
                                element(kEL, 0x0028, 0x1103, "US", u16(0) + u16(0) + u16(16)) +
                                element(kEL, 0x0028, 0x1201, "OW", u16(1)) +
                                element(kEL, 0x0028, 0x1202, "OW", u16(1)) +
                                element(kEL, 0x0028, 0x1203, "OW", u16(1)));
     }},
    {"WindowCenterText",
     [] {
         return smallImage(text(kEL, 0x0028, 0x1050, "DS", "abc") +
                           text(kEL, 0x0028, 0x1051, "DS", "xyz"));
     }},
    {"WindowWidthZeroAndNegative",
     [] {
         return smallImage(text(kEL, 0x0028, 0x1050, "DS", "10\\20") +
                           text(kEL, 0x0028, 0x1051, "DS", "0\\-5"));
     }},
    {"RescaleExtreme",
     [] {
         return smallImage(text(kEL, 0x0028, 0x1052, "DS", "-1e308") +
                           text(kEL, 0x0028, 0x1053, "DS", "1e308"));
     }},
    {"RescaleNotANumber",
     [] {
         return smallImage(text(kEL, 0x0028, 0x1052, "DS", "nan") +
                           text(kEL, 0x0028, 0x1053, "DS", "inf"));
     }},
    {"FramesHuge",
     [] { return withElement(0x0028, 0x0008, text(kEL, 0x0028, 0x0008, "IS", "99999999")); },
     errc::TooLarge},
    {"FramesNegative",
     [] { return withElement(0x0028, 0x0008, text(kEL, 0x0028, 0x0008, "IS", "-3")); }},
    {"VoiLutShortData",
     [] {
         return smallImage(
             sequence(kEL, 0x0028, 0x3010,
                      item(kEL, element(kEL, 0x0028, 0x3002, "US", u16(0) + u16(0) + u16(16)) +
                                    element(kEL, 0x0028, 0x3006, "OW", u16(7)))));
     }},
    {"ModalityLutBitsZero",
     [] {
         return smallImage(
             sequence(kEL, 0x0028, 0x3000,
                      item(kEL, element(kEL, 0x0028, 0x3002, "US", u16(4) + u16(0xFFFF) + u16(0)) +
                                    element(kEL, 0x0028, 0x3006, "OW", u16(7) + u16(9)))));
     }},
    {"PlanarConfigurationOdd",
     [] {
         return meta(kExplicitUid) + imageModule(kEL, 4, 4, 8, 3) + us(kEL, 0x0028, 0x0006, 7) +
                pixelData(kEL, 48, "OB");
     }},
    {"PixelDataAsSequence",
     [] {
         return meta(kExplicitUid) + imageModule(kEL, 4, 4) +
                sequence(kEL, 0x7FE0, 0x0010, item(kEL, text(kEL, 0x0010, 0x0010, "PN", "X")),
                         true);
     }},
};
INSTANTIATE_TEST_SUITE_P(Values, HostileFiles, testing::ValuesIn(kValues), hostileName);

const Hostile kCompressed[] = {
    {"JpegGarbage", [] { return encapsulated(kJpegLosslessUid, {Bytes(64, 'J')}); }},
    {"JpegNoFragments", [] { return encapsulated(kJpegLosslessUid, {}); }},
    {"JpegTruncatedMarker",
     [] { return encapsulated("1.2.840.10008.1.2.4.50", {Bytes("\xFF\xD8\xFF\xC0\x00\x11", 6)}); }},
    {"RleHeaderLies",
     [] {
         Bytes header = u32(15);
         for (int i = 0; i < 15; ++i)
             header += u32(0x7FFFFFF0u);
         return encapsulated("1.2.840.10008.1.2.5", {header + Bytes(4, '\0')});
     }},
    {"RleEmpty", [] { return encapsulated("1.2.840.10008.1.2.5", {Bytes(64, '\0')}); }},
    {"JpegLsGarbage", [] { return encapsulated("1.2.840.10008.1.2.4.80", {Bytes(40, '\xFF')}); }},
    {"Jpeg2000Garbage",
     [] {
         return encapsulated("1.2.840.10008.1.2.4.90",
                             {Bytes("\xFF\x4F\xFF\x51", 4) + Bytes(40, 'x')});
     }},
    {"Jpeg2000HugeSizeInHeader",
     [] {
         // SIZ marker declaring 60000 x 60000 samples in a file that declares 16 x 16
         Bytes siz = Bytes("\xFF\x4F\xFF\x51\x00\x29\x00\x00", 8) + Bytes("\x00\x00\xEA\x60", 4) +
                     Bytes("\x00\x00\xEA\x60", 4) + Bytes(16, '\0') +
                     Bytes("\x00\x01\x07\x01\x01", 5);
         return encapsulated("1.2.840.10008.1.2.4.90", {siz + Bytes("\xFF\xD9", 2)});
     }},
    {"EncapsulatedOverCap",
     [] { return encapsulated(kJpegLosslessUid, {Bytes(8, 'J')}, 65535, 16, 3); }, errc::TooLarge},
};
INSTANTIATE_TEST_SUITE_P(Compressed, HostileFiles, testing::ValuesIn(kCompressed), hostileName);

// --- truncation and damage: every prefix of valid files in several encodings, and each of
// their bytes changed, loads or fails cleanly

QByteArray referenceFile(TransferSyntax syntax) {
    PixelSpec pixels;
    pixels.rows = 12;
    pixels.columns = 10;
    pixels.bitsAllocated = 16;
    pixels.bitsStored = 12;
    pixels.frames = 2;
    pixels.data.resize(pixels.rows * pixels.columns * 2 * pixels.frames);
    for (qsizetype i = 0; i < pixels.data.size(); i += 2) {
        pixels.data[i] = char(i * 13);
        pixels.data[i + 1] = char((i / 7) & 0x0F);
    }
    DataSetBuilder item;
    item.set(0x0008, 0x1150, QStringLiteral("1.2.840.10008.5.1.4.1.1.2"));
    item.set(0x0008, 0x1155, QStringLiteral("1.2.3.4.5"));
    DataSetBuilder b;
    b.set(0x0008, 0x0016, QStringLiteral("1.2.840.10008.5.1.4.1.1.7"));
    b.set(0x0008, 0x0018, QStringLiteral("1.2.826.0.1.3680043.9.7433.9"));
    b.set(0x0010, 0x0010, QStringLiteral("Doe^Jane"));
    b.set(0x0028, 0x1050, QStringLiteral("2000"));
    b.set(0x0028, 0x1051, QStringLiteral("4000"));
    b.addItem(0x0008, 0x1140, item);
    b.setPixels(pixels);
    return b.toBytes(syntax);
}

class Truncation : public testing::TestWithParam<TransferSyntax> {};

TEST_P(Truncation, EveryCutLoadsOrFailsCleanly) {
    const QByteArray whole = referenceFile(GetParam());
    const Outcome full = loadAndRender(whole);
    ASSERT_TRUE(full.loaded) << full.text;
    ASSERT_TRUE(full.rendered);
    // every byte through the headers, then every third byte through the pixels
    int loaded = 0;
    for (qsizetype n = 0; n < whole.size(); n += n < 600 ? 1 : 3) {
        const Outcome cut = loadAndRender(whole.left(n));
        loaded += cut.loaded ? 1 : 0;
        if (!cut.loaded) {
            EXPECT_NE(cut.error, 0) << n;
        }
    }
    EXPECT_LT(loaded, whole.size() / 2);
}

// Most cuts stop at the pre-scan; changed bytes of the same length reach DCMTK's parser, the
// decoders and the pipeline with values no writer produces.
TEST_P(Truncation, EveryChangedByteLoadsOrFailsCleanly) {
    const QByteArray whole = referenceFile(GetParam());
    static const char replacements[] = {'\x00', '\xFF', '\x7F', '\x80', '\x01'};
    int rendered = 0;
    for (qsizetype at = 0; at < whole.size(); ++at) {
        QByteArray changed = whole;
        changed[at] = replacements[at % 5] == whole[at] ? char(~whole[at]) : replacements[at % 5];
        const Outcome out = loadAndRender(changed);
        rendered += out.rendered ? 1 : 0;
        if (!out.loaded) {
            EXPECT_NE(out.error, 0) << at;
        }
    }
    EXPECT_GT(rendered, 0);
}

INSTANTIATE_TEST_SUITE_P(Encodings, Truncation,
                         testing::Values(TransferSyntax::ImplicitLittle,
                                         TransferSyntax::ExplicitLittle,
                                         TransferSyntax::ExplicitBig, TransferSyntax::Deflated,
                                         TransferSyntax::JpegLossless, TransferSyntax::Rle,
                                         TransferSyntax::JpegLsLossless,
                                         TransferSyntax::Jpeg2000Lossless));

// --- from a file on disk, and the crash files the fuzzer found

TEST(HostileFromFile, FailsWithTheFileName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("deep.dcm"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const Bytes deep = meta(kExplicitUid) + uid(0x0016, "1.2.3") + nested(kEL, 10000, true);
    file.write(deep.data(), qint64(deep.size()));
    file.close();
    try {
        Image::fromFile(path);
        ADD_FAILURE() << "a file nested 10,000 deep loaded";
    } catch (const ToolkitError &e) {
        EXPECT_EQ(e.number(), errc::TooDeep);
        EXPECT_NE(std::string(e.what()).find(path.toStdString()), std::string::npos) << e.what();
    }
}

TEST(HostileRegressions, EveryCrashFileLoadsOrFailsCleanly) {
    const QDir dir(QStringLiteral(RAVLEN_SOURCE_DIR "/fuzz/regressions"));
    const QStringList names = dir.entryList(QDir::Files);
    for (const QString &name : names) {
        if (name.endsWith(QStringLiteral(".md")))
            continue;
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        SCOPED_TRACE(name.toStdString());
        (void)loadAndRender(file.readAll());
    }
}

} // namespace
