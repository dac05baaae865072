#pragma once

// DICOM bytes written by hand for tests, so a test can build what no writer produces: lying
// lengths, wrong VRs, sequences nested thousands deep, damaged meta headers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ravlen::rawdicom {

using Bytes = std::string;

struct Encoding {
    bool explicitVr = true;
    bool bigEndian = false;
};
inline constexpr Encoding kImplicitLittle{false, false};
inline constexpr Encoding kExplicitLittle{true, false};
inline constexpr Encoding kExplicitBig{true, true};

inline constexpr std::uint32_t kUndefined = 0xFFFFFFFFu;

inline constexpr const char *kImplicitUid = "1.2.840.10008.1.2";
inline constexpr const char *kExplicitUid = "1.2.840.10008.1.2.1";
inline constexpr const char *kBigUid = "1.2.840.10008.1.2.2";
inline constexpr const char *kDeflatedUid = "1.2.840.10008.1.2.1.99";
inline constexpr const char *kJpegLosslessUid = "1.2.840.10008.1.2.4.70";

inline Bytes u16(std::uint16_t v, bool big = false) {
    Bytes b(2, '\0');
    b[big ? 0 : 1] = char(v >> 8);
    b[big ? 1 : 0] = char(v & 0xFF);
    return b;
}

inline Bytes u32(std::uint32_t v, bool big = false) {
    Bytes b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[big ? 3 - i : i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

inline bool longVr(const std::string &vr) {
    static const std::vector<std::string> names = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                                   "SV", "UC", "UN", "UR", "UT", "UV"};
    for (const std::string &n : names)
        if (n == vr)
            return true;
    return false;
}

// An element header; `vr` is ignored for implicit VR.
inline Bytes header(Encoding e, std::uint16_t group, std::uint16_t element, const std::string &vr,
                    std::uint32_t length) {
    Bytes b = u16(group, e.bigEndian) + u16(element, e.bigEndian);
    if (!e.explicitVr)
        return b + u32(length, e.bigEndian);
    b += vr;
    if (longVr(vr))
        return b + Bytes(2, '\0') + u32(length, e.bigEndian);
    return b + u16(std::uint16_t(length), e.bigEndian);
}

// An element with its value; the length field says `length` when given (a lie, for tests).
inline Bytes element(Encoding e, std::uint16_t group, std::uint16_t element, const std::string &vr,
                     const Bytes &value, std::optional<std::uint32_t> length = std::nullopt) {
    return header(e, group, element, vr, length.value_or(std::uint32_t(value.size()))) + value;
}

// Text padded to even length (with NUL for UI, space otherwise).
inline Bytes text(Encoding e, std::uint16_t group, std::uint16_t el, const std::string &vr,
                  std::string value) {
    if (value.size() % 2)
        value.push_back(vr == "UI" ? '\0' : ' ');
    return element(e, group, el, vr, value);
}

inline Bytes us(Encoding e, std::uint16_t group, std::uint16_t el, std::uint16_t value) {
    return element(e, group, el, "US", u16(value, e.bigEndian));
}

// Item and delimiter headers (no VR in any encoding).
inline Bytes itemHeader(Encoding e, std::uint32_t length) {
    return u16(0xFFFE, e.bigEndian) + u16(0xE000, e.bigEndian) + u32(length, e.bigEndian);
}
inline Bytes itemEnd(Encoding e) {
    return u16(0xFFFE, e.bigEndian) + u16(0xE00D, e.bigEndian) + u32(0, e.bigEndian);
}
inline Bytes sequenceEnd(Encoding e) {
    return u16(0xFFFE, e.bigEndian) + u16(0xE0DD, e.bigEndian) + u32(0, e.bigEndian);
}

inline Bytes item(Encoding e, const Bytes &content, bool undefinedLength = false) {
    if (undefinedLength)
        return itemHeader(e, kUndefined) + content + itemEnd(e);
    return itemHeader(e, std::uint32_t(content.size())) + content;
}

// A sequence of already encoded items.
inline Bytes sequence(Encoding e, std::uint16_t group, std::uint16_t el, const Bytes &items,
                      bool undefinedLength = false) {
    if (undefinedLength)
        return header(e, group, el, "SQ", kUndefined) + items + sequenceEnd(e);
    return header(e, group, el, "SQ", std::uint32_t(items.size())) + items;
}

// `depth` sequences nested one in the item of the other around a short element, written
// front to back so that ten thousand levels cost no more than their bytes.
inline Bytes nested(Encoding e, int depth, bool undefinedLength) {
    const Bytes leaf = text(e, 0x0010, 0x0020, "LO", "LEAF");
    const std::uint32_t sqHeader = e.explicitVr ? 12 : 8;
    Bytes out;
    out.reserve(std::size_t(depth) * (sqHeader + 16) + leaf.size());
    for (int level = 0; level < depth; ++level) {
        const std::uint32_t inner = std::uint32_t(depth - level - 1) * (sqHeader + 8);
        const std::uint32_t itemLength = std::uint32_t(leaf.size()) + inner;
        out += header(e, 0x0008, 0x1140, "SQ", undefinedLength ? kUndefined : itemLength + 8);
        out += itemHeader(e, undefinedLength ? kUndefined : itemLength);
    }
    out += leaf;
    if (undefinedLength)
        for (int level = 0; level < depth; ++level)
            out += itemEnd(e) + sequenceEnd(e);
    return out;
}

// The preamble, "DICM" and a meta header naming `transferSyntax`; `groupLength` overrides
// the value of (0002,0000) and `withGroupLength` leaves it out.
inline Bytes meta(const std::string &transferSyntax,
                  std::optional<std::uint32_t> groupLength = std::nullopt,
                  bool withGroupLength = true) {
    const Encoding e = kExplicitLittle;
    Bytes body = element(e, 0x0002, 0x0001, "OB", Bytes("\0\1", 2)) +
                 text(e, 0x0002, 0x0002, "UI", "1.2.840.10008.5.1.4.1.1.7") +
                 text(e, 0x0002, 0x0003, "UI", "1.2.3.4.5.6.7.8.9") +
                 text(e, 0x0002, 0x0010, "UI", transferSyntax);
    Bytes out = Bytes(128, '\0') + "DICM";
    if (withGroupLength)
        out +=
            element(e, 0x0002, 0x0000, "UL", u32(groupLength.value_or(std::uint32_t(body.size()))));
    return out + body;
}

// The elements of a small monochrome image (before the pixel data), in the given encoding.
inline Bytes imageModule(Encoding e, std::uint16_t rows, std::uint16_t columns,
                         std::uint16_t bitsAllocated = 8, std::uint16_t samples = 1,
                         const std::string &frames = std::string()) {
    Bytes b = text(e, 0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7") +
              text(e, 0x0008, 0x0018, "UI", "1.2.3.4.5.6.7.8.9") +
              text(e, 0x0010, 0x0010, "PN", "Doe^Jane") + us(e, 0x0028, 0x0002, samples) +
              text(e, 0x0028, 0x0004, "CS", samples == 3 ? "RGB" : "MONOCHROME2");
    if (!frames.empty())
        b += text(e, 0x0028, 0x0008, "IS", frames);
    b += us(e, 0x0028, 0x0010, rows) + us(e, 0x0028, 0x0011, columns) +
         us(e, 0x0028, 0x0100, bitsAllocated) +
         us(e, 0x0028, 0x0101, bitsAllocated == 0 ? 0 : bitsAllocated) +
         us(e, 0x0028, 0x0102, bitsAllocated == 0 ? 0 : std::uint16_t(bitsAllocated - 1)) +
         us(e, 0x0028, 0x0103, 0);
    return b;
}

// Native pixel data of `length` bytes (a ramp).
inline Bytes pixelData(Encoding e, std::size_t length, const std::string &vr = "OW") {
    Bytes value(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        value[i] = char(i * 7);
    return element(e, 0x7FE0, 0x0010, vr, value);
}

// Encapsulated pixel data: an empty offset table and the given fragments.
inline Bytes fragments(Encoding e, const std::vector<Bytes> &frames) {
    Bytes b = header(e, 0x7FE0, 0x0010, "OB", kUndefined) + itemHeader(e, 0);
    for (const Bytes &f : frames)
        b += itemHeader(e, std::uint32_t(f.size())) + f;
    return b + sequenceEnd(e);
}

} // namespace ravlen::rawdicom
