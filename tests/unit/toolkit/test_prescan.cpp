#include "toolkit/prescan.h"

#include "core/errors.h"
#include "rawdicom.h"
#include "toolkit/startup.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

using namespace ravlen::rawdicom;
using ravlen::toolkit::PrescanLimits;
using ravlen::toolkit::PrescanResult;
namespace errc = ravlen::errc;

namespace {

PrescanResult scan(const Bytes &bytes, const PrescanLimits &limits = {}) {
    ravlen::toolkit::ensureToolkit(); // the walk reads VRs from DCMTK's dictionary
    return ravlen::toolkit::prescanDataSet(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                           bytes.size(), limits);
}

Bytes deflateRaw(const Bytes &in) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&z, uLong(in.size())), '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

const Encoding kIL = kImplicitLittle;
const Encoding kEL = kExplicitLittle;
const Encoding kEB = kExplicitBig;

Bytes image(Encoding e, std::uint16_t rows, std::uint16_t columns, std::size_t pixelBytes,
            std::uint16_t bits = 8) {
    return imageModule(e, rows, columns, bits) + pixelData(e, pixelBytes, bits > 8 ? "OW" : "OB");
}

struct Case {
    const char *name;
    std::function<Bytes()> bytes;
    int error;               // 0: accepted
    const char *reason = ""; // a part of the reason when refused
    PrescanLimits limits = {};
};

void PrintTo(const Case &c, std::ostream *os) {
    *os << c.name;
}

class PrescanTable : public testing::TestWithParam<Case> {};

TEST_P(PrescanTable, GivesTheExpectedVerdict) {
    const Case &c = GetParam();
    const PrescanResult r = scan(c.bytes(), c.limits);
    if (c.error == 0) {
        EXPECT_TRUE(r.ok) << r.reason;
    } else {
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorNumber, c.error) << r.reason;
        EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
    }
}

std::string caseName(const testing::TestParamInfo<Case> &info) {
    return info.param.name;
}

// --- well-formed data sets in every encoding pass

const Case kValid[] = {
    {"ImplicitRaw", [] { return image(kIL, 4, 4, 16); }, 0},
    {"ExplicitRaw", [] { return image(kEL, 4, 4, 16); }, 0},
    {"ImplicitWithMeta", [] { return meta(kImplicitUid) + image(kIL, 4, 4, 16); }, 0},
    {"ExplicitWithMeta", [] { return meta(kExplicitUid) + image(kEL, 4, 4, 32, 16); }, 0},
    // Rows 2 big endian reads 512 little endian: a byte-order slip refuses this file.
    {"BigEndianNumbers", [] { return meta(kBigUid) + image(kEB, 2, 3, 12, 16); }, 0},
    {"Deflated", [] { return meta(kDeflatedUid) + deflateRaw(image(kEL, 64, 64, 4096)); }, 0},
    {"EncapsulatedIgnoresPresentSize",
     [] {
         return meta(kJpegLosslessUid) + imageModule(kEL, 512, 512, 16) +
                fragments(kEL, {Bytes(10, 'J')});
     },
     0},
    {"MetaWithoutGroupLength",
     [] { return meta(kExplicitUid, std::nullopt, false) + image(kEL, 4, 4, 16); }, 0},
    {"SequencesDefinedAndUndefined",
     [] {
         const Bytes content = text(kEL, 0x0008, 0x1150, "UI", "1.2.3");
         return meta(kExplicitUid) + image(kEL, 2, 2, 4) +
                sequence(kEL, 0x0040, 0xA730, item(kEL, content) + item(kEL, content, true)) +
                sequence(kEL, 0x0040, 0xA731, item(kEL, "", true), true);
     },
     0},
    // CP-246: UN of undefined length holds an implicit little endian sequence.
    {"UnknownVrSequence",
     [] {
         return meta(kExplicitUid) + text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                header(kEL, 0x0009, 0x1010, "UN", kUndefined) +
                item(kIL, text(kIL, 0x0010, 0x0020, "LO", "X")) + sequenceEnd(kIL);
     },
     0},
    {"OddLengthsPaddedPixels", [] { return image(kEL, 3, 3, 10); }, 0},
    {"MetaOnly", [] { return meta(kExplicitUid); }, 0},
    // DCMTK stops reading the data set at a stray item delimiter; what follows never parses.
    {"StrayItemDelimiterEndsTheDataSet",
     [] { return image(kEL, 2, 2, 4) + itemEnd(kEL) + header(kEL, 0x0011, 0x0010, "LO", 60000); },
     0},
};
INSTANTIATE_TEST_SUITE_P(Valid, PrescanTable, testing::ValuesIn(kValid), caseName);

// --- nesting: 64 levels pass, 65 and 10,000 fail, in every layout

struct Nesting {
    const char *name;
    Encoding encoding;
    bool undefinedLength;
    int depth;
    bool ok;
};

void PrintTo(const Nesting &n, std::ostream *os) {
    *os << n.name;
}

class PrescanNesting : public testing::TestWithParam<Nesting> {};

TEST_P(PrescanNesting, LimitsTheDepth) {
    const Nesting &n = GetParam();
    const Encoding e = n.encoding;
    const Bytes bytes = (e.explicitVr ? meta(kExplicitUid) : meta(kImplicitUid)) +
                        text(e, 0x0008, 0x0016, "UI", "1.2.3") +
                        nested(e, n.depth, n.undefinedLength);
    const PrescanResult r = scan(bytes);
    EXPECT_EQ(r.ok, n.ok) << r.reason;
    if (!n.ok) {
        EXPECT_EQ(r.errorNumber, errc::TooDeep);
        EXPECT_NE(r.reason.find("deeper than 64"), std::string::npos) << r.reason;
    }
}

std::string nestingName(const testing::TestParamInfo<Nesting> &info) {
    return info.param.name;
}

const Nesting kNesting[] = {
    {"Explicit64Defined", kEL, false, 64, true},
    {"Explicit65Defined", kEL, false, 65, false},
    {"Explicit64Undefined", kEL, true, 64, true},
    {"Explicit65Undefined", kEL, true, 65, false},
    {"Implicit64Defined", kIL, false, 64, true},
    {"Implicit65Defined", kIL, false, 65, false},
    {"Implicit64Undefined", kIL, true, 64, true},
    {"Implicit65Undefined", kIL, true, 65, false},
    {"Explicit10000Defined", kEL, false, 10000, false},
    {"Explicit10000Undefined", kEL, true, 10000, false},
    {"Implicit10000Defined", kIL, false, 10000, false},
    {"Implicit10000Undefined", kIL, true, 10000, false},
};
INSTANTIATE_TEST_SUITE_P(Depth, PrescanNesting, testing::ValuesIn(kNesting), nestingName);

TEST(Prescan, NestingThroughUnknownVrAndDeflateCounts) {
    Bytes deep = text(kEL, 0x0008, 0x0016, "UI", "1.2.3");
    for (int i = 0; i < 65; ++i)
        deep += header(i == 0 ? kEL : kIL, 0x0009, 0x1010, "UN", kUndefined) +
                itemHeader(kIL, kUndefined);
    for (int i = 0; i < 65; ++i)
        deep += itemEnd(kIL) + sequenceEnd(kIL);
    EXPECT_EQ(scan(meta(kExplicitUid) + deep).errorNumber, errc::TooDeep);
    EXPECT_EQ(scan(meta(kDeflatedUid) +
                   deflateRaw(text(kEL, 0x0008, 0x0016, "UI", "1.2.3") + nested(kEL, 10000, true)))
                  .errorNumber,
              errc::TooDeep);
    PrescanLimits shallow;
    shallow.maxDepth = 2;
    EXPECT_TRUE(scan(nested(kEL, 2, false), shallow).ok);
    EXPECT_EQ(scan(nested(kEL, 3, false), shallow).errorNumber, errc::TooDeep);
}

// --- lengths that reach past the data or past their enclosing item

const Case kDamaged[] = {
    {"ElementBeyondData",
     [] { return image(kEL, 2, 2, 4) + header(kEL, 0x0010, 0x4000, "LT", 100) + "short"; },
     errc::Damaged, "(0010,4000)"},
    {"LongElementBeyondData",
     [] { return image(kEL, 2, 2, 4) + header(kEL, 0x0011, 0x1010, "OB", 0xFFFFFFF0u) + "abcd"; },
     errc::Damaged, "beyond the end of the data"},
    {"ImplicitElementBeyondData",
     [] {
         return meta(kImplicitUid) + image(kIL, 2, 2, 4) + header(kIL, 0x0010, 0x4000, "", 4000);
     },
     errc::Damaged, "(0010,4000)"},
    {"PixelDataBeyondData",
     [] { return imageModule(kEL, 2, 2) + header(kEL, 0x7FE0, 0x0010, "OB", 1000) + "1234"; },
     errc::Damaged, "(7FE0,0010)"},
    {"ItemBeyondSequence",
     [] {
         const Bytes content = text(kEL, 0x0008, 0x1150, "UI", "1.2.3");
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                header(kEL, 0x0008, 0x1140, "SQ", std::uint32_t(content.size() + 8)) +
                itemHeader(kEL, std::uint32_t(content.size() + 40)) + content +
                text(kEL, 0x0010, 0x0010, "PN", "Doe^Jane") + Bytes(40, 'x');
     },
     errc::Damaged, "beyond its sequence"},
    {"ElementBeyondItem",
     [] {
         const Bytes content = header(kEL, 0x0008, 0x1150, "UI", 30) + "1.2.3.";
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                sequence(kEL, 0x0008, 0x1140,
                         itemHeader(kEL, std::uint32_t(content.size())) + content) +
                Bytes(64, 'x');
     },
     errc::Damaged, "bytes remain in it"},
    {"UndefinedItemPastDefinedSequence",
     [] {
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") + header(kEL, 0x0008, 0x1140, "SQ", 8) +
                itemHeader(kEL, kUndefined) + text(kEL, 0x0010, 0x0020, "LO", "ID") + itemEnd(kEL);
     },
     errc::Damaged, "runs past the end"},
    {"UndefinedLengthOnText",
     [] {
         return image(kEL, 2, 2, 4) + header(kEL, 0x0010, 0x4000, "UT", kUndefined) + itemEnd(kEL);
     },
     errc::Damaged, "undefined length"},
    {"FragmentOfUndefinedLength",
     [] {
         return meta(kJpegLosslessUid) + imageModule(kEL, 8, 8) +
                header(kEL, 0x7FE0, 0x0010, "OB", kUndefined) + itemHeader(kEL, 0) +
                itemHeader(kEL, kUndefined) + "abcd" + sequenceEnd(kEL);
     },
     errc::Damaged, "fragment"},
    {"FragmentBeyondData",
     [] {
         return meta(kJpegLosslessUid) + imageModule(kEL, 8, 8) +
                header(kEL, 0x7FE0, 0x0010, "OB", kUndefined) + itemHeader(kEL, 0) +
                itemHeader(kEL, 5000) + "abcd";
     },
     errc::Damaged, "fragment"},
    {"ElementInsideSequence",
     [] {
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                header(kEL, 0x0008, 0x1140, "SQ", kUndefined) +
                text(kEL, 0x0010, 0x0020, "LO", "ID") + sequenceEnd(kEL);
     },
     errc::Damaged, "needs an item"},
    {"TruncatedInsideUndefinedSequence",
     [] { return image(kEL, 2, 2, 4) + nested(kEL, 3, true).substr(0, 60); }, errc::Damaged,
     "ends inside"},
    {"TruncatedHeader", [] { return image(kEL, 2, 2, 4) + "\x10\x00\x10"; }, errc::Damaged,
     "element header"},
    {"UnknownVrContentBeyondItem",
     [] {
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                header(kEL, 0x0009, 0x1010, "UN", kUndefined) + itemHeader(kIL, 4) + "ABCD" +
                sequenceEnd(kIL);
     },
     errc::Damaged, "runs past the end"},
    {"TooManyElements",
     [] {
         Bytes b = text(kEL, 0x0008, 0x0016, "UI", "1.2.3");
         for (int i = 0; i < 100; ++i)
             b += text(kEL, 0x0009, std::uint16_t(0x1000 + i), "LO", "x");
         return b;
     },
     errc::TooLarge, "more than 50 elements", PrescanLimits{64, 1ull << 31, 50, 1ull << 31}},
};
INSTANTIATE_TEST_SUITE_P(Damaged, PrescanTable, testing::ValuesIn(kDamaged), caseName);

// --- RLE frame headers, which DCMTK's decoder trusts

Bytes rleFrame(std::uint32_t segments, std::uint32_t firstOffset, std::uint32_t secondOffset,
               std::size_t size = 80) {
    Bytes header = u32(segments) + u32(firstOffset) + u32(secondOffset);
    header.resize(64, '\0');
    return header + Bytes(size - 64, '\x01');
}

Bytes rleFile(const std::vector<Bytes> &frames) {
    return meta("1.2.840.10008.1.2.5") + imageModule(kEL, 4, 4, 16) + fragments(kEL, frames);
}

const Case kRle[] = {
    {"Valid", [] { return rleFile({rleFrame(2, 64, 72)}); }, 0},
    {"SegmentPastFragment", [] { return rleFile({rleFrame(2, 64, 0xFF000040u)}); }, errc::Damaged,
     "segment 2 at byte 4278190144 of a 80-byte fragment"},
    {"SegmentsOutOfOrder", [] { return rleFile({rleFrame(2, 72, 64)}); }, errc::Damaged,
     "segment 2"},
    {"ShorterThanHeader", [] { return rleFile({Bytes(10, '\0')}); }, errc::Damaged,
     "shorter than its 64-byte header"},
    {"EmptyFragment", [] { return rleFile({Bytes()}); }, errc::Damaged, "64-byte header"},
    {"SecondFrameChecked",
     [] {
         return rleFile({rleFrame(2, 64, 72), rleFrame(1, 81, 0)});
     },
     errc::Damaged, "segment 1 at byte 81"},
    // DCMTK refuses a header without 1 to 15 segments on its own.
    {"SegmentCountLeftToDcmtk", [] { return rleFile({rleFrame(16, 0xFFFFFFFFu, 0)}); }, 0},
    // The offset table (the first item) is not a frame.
    {"OffsetTableNotAFrame",
     [] {
         return meta("1.2.840.10008.1.2.5") + imageModule(kEL, 4, 4, 16) +
                header(kEL, 0x7FE0, 0x0010, "OB", kUndefined) + itemHeader(kEL, 4) + u32(0) +
                itemHeader(kEL, 80) + rleFrame(2, 64, 72) + sequenceEnd(kEL);
     },
     0},
};
INSTANTIATE_TEST_SUITE_P(Rle, PrescanTable, testing::ValuesIn(kRle), caseName);

// --- JPEG marker walks, which DCMTK's decoder does before decoding

Bytes jpegFile(const Bytes &frame) {
    return meta(kJpegLosslessUid) + imageModule(kEL, 8, 8) + fragments(kEL, {frame});
}

const Bytes kSoi("\xFF\xD8", 2);
const Bytes kApp0 = Bytes("\xFF\xE0\x00\x04", 4) + "ab";
const Bytes kSof = Bytes("\xFF\xC3\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 13);

const Case kJpeg[] = {
    {"FrameHeaderFound", [] { return jpegFile(kSoi + kApp0 + kSof + "x"); }, 0},
    {"FillBytesSkipped", [] { return jpegFile(kSoi + Bytes(40, '\xFF') + kSof + "x"); }, 0},
    {"TemMarkerWouldHang", [] { return jpegFile(kSoi + kApp0 + Bytes("\xFF\x01", 2) + kSof); },
     errc::Damaged, "TEM marker"},
    {"TemAfterTheFrameHeaderIsNotReached",
     [] { return jpegFile(kSoi + kSof + Bytes("\xFF\x01", 2) + "abcd"); }, 0},
    {"InvalidMarkerEndsTheWalk",
     [] { return jpegFile(kSoi + Bytes("\x12\x34", 2) + Bytes("\xFF\x01", 2) + "abcd"); }, 0},
    {"EndlessReservedMarkers",
     [] {
         Bytes markers;
         for (int i = 0; i < 70000; ++i)
             markers += Bytes("\xFF\x10", 2);
         return jpegFile(kSoi + markers + kSof);
     },
     errc::Damaged, "no frame header within"},
    {"SecondFrameChecked",
     [] {
         return meta(kJpegLosslessUid) + imageModule(kEL, 8, 8, 8, 1, "2") +
                fragments(kEL, {kSoi + kSof + "x", kSoi + Bytes("\xFF\x01", 2) + "abcd"});
     },
     errc::Damaged, "TEM"},
};
INSTANTIATE_TEST_SUITE_P(Jpeg, PrescanTable, testing::ValuesIn(kJpeg), caseName);

// --- the declared pixel size against the data present and the cap

const Case kPixels[] = {
    {"HugeDeclaredFewBytes", [] { return image(kEL, 65535, 65535, 16); }, errc::TooLarge,
     "pixel data shorter than declared: 4294836225 bytes declared, 16 present"},
    {"ShorterThanDeclared", [] { return image(kEL, 4, 4, 30, 16); }, errc::TooLarge,
     "32 bytes declared, 30 present"},
    {"BigEndianShorter", [] { return meta(kBigUid) + image(kEB, 2, 3, 10, 16); }, errc::TooLarge,
     "12 bytes declared, 10 present"},
    {"FramesCount", [] { return imageModule(kEL, 4, 4, 8, 1, "3") + pixelData(kEL, 32, "OB"); },
     errc::TooLarge, "48 bytes declared, 32 present"},
    {"RgbSamplesCount", [] { return imageModule(kEL, 4, 4, 8, 3) + pixelData(kEL, 40, "OB"); },
     errc::TooLarge, "48 bytes declared"},
    {"GarbageFramesMeansOne",
     [] { return imageModule(kEL, 4, 4, 8, 1, "abc") + pixelData(kEL, 16, "OB"); }, 0},
    {"NegativeFramesMeansOne",
     [] { return imageModule(kEL, 4, 4, 8, 1, "-5") + pixelData(kEL, 16, "OB"); }, 0},
    // Native YBR_FULL_422 holds two samples a pixel, not three.
    {"Ybr422Halved",
     [] {
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") + us(kEL, 0x0028, 0x0002, 3) +
                text(kEL, 0x0028, 0x0004, "CS", "YBR_FULL_422") + us(kEL, 0x0028, 0x0010, 4) +
                us(kEL, 0x0028, 0x0011, 4) + us(kEL, 0x0028, 0x0100, 8) + pixelData(kEL, 31, "OB");
     },
     errc::TooLarge, "32 bytes declared, 31 present"},
    {"OneBitPacks", [] { return image(kEL, 10, 10, 14, 1); }, 0}, // 13 bytes + padding
    {"OneBitShort", [] { return image(kEL, 10, 10, 12, 1); }, errc::TooLarge,
     "13 bytes declared, 12 present"},
    {"BitsAllocatedZero", [] { return image(kEL, 8, 8, 4, 0); }, 0},
    {"BitsAllocatedThirteen", [] { return image(kEL, 8, 8, 128, 13); }, 0},
    {"BitsAllocatedThirteenShort", [] { return image(kEL, 8, 8, 64, 13); }, errc::TooLarge,
     "128 bytes declared"},
    {"ZeroRowsWithPixels", [] { return image(kEL, 0, 8, 4); }, 0},
    {"NoRowsLeftToDcmtk",
     [] { return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") + pixelData(kEL, 4, "OB"); }, 0},
    {"RowsAsTextIsNoRows",
     [] {
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                text(kEL, 0x0028, 0x0010, "IS", "60000") + us(kEL, 0x0028, 0x0011, 60000) +
                us(kEL, 0x0028, 0x0100, 16) + pixelData(kEL, 4);
     },
     0},
    {"RowsWithBadLengthStillCounts",
     [] {
         return text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                element(kEL, 0x0028, 0x0010, "US", "abc") + us(kEL, 0x0028, 0x0011, 600) +
                us(kEL, 0x0028, 0x0100, 16) + pixelData(kEL, 4);
     },
     errc::TooLarge, "present"},
    {"EncapsulatedOverCap",
     [] {
         return meta(kJpegLosslessUid) + imageModule(kEL, 65535, 65535, 16, 3) +
                fragments(kEL, {Bytes(16, 'J')});
     },
     errc::TooLarge, "limit of 2147483648"},
    {"NativeOverCap", [] { return image(kEL, 300, 300, 90000); }, errc::TooLarge, "limit of 50000",
     PrescanLimits{64, 50000, 2'000'000, 1ull << 31}},
    {"DeflatedShorter", [] { return meta(kDeflatedUid) + deflateRaw(image(kEL, 64, 64, 4000)); },
     errc::TooLarge, "4096 bytes declared, 4000 present"},
    // Pixel data inside an item (an icon) is not the image's.
    {"NestedPixelDataNotCounted",
     [] {
         return image(kEL, 2, 2, 4) +
                sequence(kEL, 0x0088, 0x0200,
                         item(kEL, us(kEL, 0x0028, 0x0010, 900) + us(kEL, 0x0028, 0x0011, 900) +
                                       us(kEL, 0x0028, 0x0100, 8) + pixelData(kEL, 4, "OB")));
     },
     0},
};
INSTANTIATE_TEST_SUITE_P(Pixels, PrescanTable, testing::ValuesIn(kPixels), caseName);

// --- what is not DICOM, and damaged meta headers

const Case kHeaders[] = {
    {"Empty", [] { return Bytes(); }, errc::NotDicom, "not a DICOM file"},
    {"ThreeBytes", [] { return Bytes("\x08\x00\x16", 3); }, errc::NotDicom, "not a DICOM file"},
    {"DicmAlone", [] { return Bytes("DICM"); }, errc::NotDicom, "not a DICOM file"},
    {"TextFile", [] { return Bytes("Dear radiologist,\nplease find the report attached.\n"); },
     errc::NotDicom, "not a DICOM file"},
    {"RawImplicitUnknownFirstTag",
     [] { return element(kIL, 0x0008, 0x00FE, "", "abcd") + image(kIL, 2, 2, 4); }, errc::NotDicom,
     "not a DICOM file"},
    {"ZeroBytes", [] { return Bytes(4096, '\0'); }, errc::NotDicom, "not a DICOM file"},
    {"PrefixAndNothing", [] { return Bytes(128, '\0') + "DICM"; }, errc::Damaged, "DICM"},
    {"PrefixAndText", [] { return Bytes(128, '\0') + "DICM" + "hello, this is text"; },
     errc::Damaged, "DICM"},
    {"PrefixAndRawDataSet", [] { return Bytes(128, '\0') + "DICM" + image(kEL, 2, 2, 4); }, 0},
    // (0002,0000) says 10 bytes: DCMTK stops after the next element and reads the rest of the
    // header as the data set, guessing explicit VR.
    {"GroupLengthTooSmall", [] { return meta(kExplicitUid, 10) + image(kEL, 2, 2, 4); }, 0},
    // ... or reads data set elements as part of the header, in explicit VR little endian.
    {"GroupLengthTooLargeExplicit", [] { return meta(kExplicitUid, 150) + image(kEL, 2, 2, 4); },
     0},
    {"GroupLengthTooLargeImplicit", [] { return meta(kImplicitUid, 150) + image(kIL, 2, 2, 4); },
     errc::Damaged, ""},
    {"GroupLengthBeyondFile", [] { return meta(kExplicitUid, 0x7FFFFFFF) + image(kEL, 2, 2, 4); },
     0},
    {"GroupLengthWrongVr",
     [] {
         Bytes m = meta(kExplicitUid);
         m[132 + 4] = 'U';
         m[132 + 5] = 'S'; // a 2-byte length of 4 then reads the value's first half
         return m + image(kEL, 2, 2, 4);
     },
     errc::Damaged, "group length"},
    {"MetaElementBeyondData",
     [] { return Bytes(128, '\0') + "DICM" + element(kEL, 0x0002, 0x0001, "OB", "ab", 5000); },
     errc::Damaged, "(0002,0001)"},
    {"MissingTransferSyntaxGuessesImplicit",
     [] {
         Bytes m = Bytes(128, '\0') + "DICM" + text(kEL, 0x0002, 0x0002, "UI", "1.2.3");
         return m + image(kIL, 2, 2, 4);
     },
     0},
    {"TransferSyntaxNotUi",
     [] {
         return Bytes(128, '\0') + "DICM" + text(kEL, 0x0002, 0x0010, "LO", kImplicitUid) +
                image(kEL, 2, 2, 4);
     },
     errc::Damaged, "transfer syntax"},
    {"TransferSyntaxSpacesDropped",
     [] {
         return Bytes(128, '\0') + "DICM" + text(kEL, 0x0002, 0x0010, "UI", " 1.2.840.10008.1.2 ") +
                image(kIL, 2, 2, 4);
     },
     0},
    // DCMTK drops white space (tabs too) from the UID before it reads it as a C string, and
    // an empty UID names its implicit big endian.
    {"TransferSyntaxEmptyAfterWhiteSpace",
     [] {
         return Bytes(128, '\0') + "DICM" +
                element(kEL, 0x0002, 0x0010, "UI",
                        Bytes("\t\0\0\0"
                              "1.2.840.10008.1.2",
                              21) +
                            " ") +
                image(kEL, 2, 2, 4);
     },
     errc::Damaged, "encoding"},
    {"TransferSyntaxTabsDropped",
     [] {
         return Bytes(128, '\0') + "DICM" + text(kEL, 0x0002, 0x0010, "UI", "\t1.2.840.10008.1.2") +
                image(kIL, 2, 2, 4);
     },
     0},
    {"TransferSyntaxByName",
     [] {
         return Bytes(128, '\0') + "DICM" +
                text(kEL, 0x0002, 0x0010, "UI", "Little Endian Implicit") + image(kIL, 2, 2, 4);
     },
     0},
    {"SequenceInMeta",
     [] {
         return Bytes(128, '\0') + "DICM" + sequence(kEL, 0x0002, 0x0005, item(kEL, "")) +
                text(kEL, 0x0002, 0x0010, "UI", kExplicitUid) + image(kEL, 2, 2, 4);
     },
     errc::Damaged, "meta header holds a sequence"},
    {"WrongTransferSyntaxForData", [] { return meta(kImplicitUid) + image(kEL, 2, 2, 4); },
     errc::Damaged, ""},
};
INSTANTIATE_TEST_SUITE_P(Headers, PrescanTable, testing::ValuesIn(kHeaders), caseName);

// --- deflated data sets

TEST(PrescanDeflate, StopsAZipBombAtTheCap) {
    // 24 MiB of one element inflating from a few tens of kilobytes.
    const Bytes bomb =
        meta(kDeflatedUid) +
        deflateRaw(text(kEL, 0x0008, 0x0016, "UI", "1.2.3") +
                   header(kEL, 0x0009, 0x1010, "OB", 24u << 20) + Bytes(24u << 20, '\0'));
    ASSERT_LT(bomb.size(), 100'000u);
    PrescanLimits limits;
    limits.maxInflatedBytes = 8u << 20;
    const PrescanResult r = scan(bomb, limits);
    EXPECT_EQ(r.errorNumber, errc::TooLarge);
    EXPECT_NE(r.reason.find("inflates to more than 8388608"), std::string::npos) << r.reason;
    EXPECT_TRUE(scan(bomb).ok); // under the default cap the same data set is fine
}

TEST(PrescanDeflate, RefusesCorruptAndTruncatedStreams) {
    const Bytes data = image(kEL, 32, 32, 1024);
    Bytes corrupt = deflateRaw(data);
    corrupt[0] = char(0xFF); // an invalid block type
    EXPECT_EQ(scan(meta(kDeflatedUid) + corrupt).errorNumber, errc::Damaged);

    const Bytes whole = deflateRaw(data);
    const PrescanResult cut = scan(meta(kDeflatedUid) + whole.substr(0, whole.size() / 2));
    EXPECT_EQ(cut.errorNumber, errc::Damaged);
    EXPECT_NE(cut.reason.find("inflated data set"), std::string::npos) << cut.reason;
}

// --- every prefix of a valid file: a verdict, never a crash or a hang

TEST(Prescan, EveryTruncationGivesAVerdict) {
    const Bytes whole =
        meta(kExplicitUid) + image(kEL, 4, 4, 16) +
        sequence(kEL, 0x0040, 0xA730, item(kEL, text(kEL, 0x0008, 0x0100, "SH", "T1"), true), true);
    ASSERT_TRUE(scan(whole).ok);
    int refused = 0;
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const PrescanResult r = scan(whole.substr(0, n));
        refused += r.ok ? 0 : 1;
        if (!r.ok) {
            EXPECT_TRUE(r.errorNumber == errc::Damaged || r.errorNumber == errc::NotDicom ||
                        r.errorNumber == errc::TooLarge)
                << n << ": " << r.reason;
        }
    }
    EXPECT_GT(refused, int(whole.size()) / 2);
}

} // namespace
