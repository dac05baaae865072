#include "toolkit/prescan.h"

#include "core/errors.h"
#include "toolkit/dcmtkbridge.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dctag.h>
#include <dcmtk/dcmdata/dcvr.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

// The walk mirrors how DCMTK 3.6.7 reads a file (DcmFileFormat, DcmMetaInfo, DcmItem,
// DcmSequenceOfItems, DcmPixelSequence), so that every byte DCMTK will parse has been checked
// here first: which transfer syntax it picks, where the meta header ends, which elements it
// reads as sequences and which as opaque values. Where DCMTK would fail anyway we may be
// stricter; we must never be more lenient.

namespace ravlen::toolkit {
namespace {

constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kUndefinedLength = 0xFFFFFFFFu;
constexpr std::uint32_t kItemTag = 0xFFFEE000u;
constexpr std::uint32_t kItemEndTag = 0xFFFEE00Du;
constexpr std::uint32_t kSequenceEndTag = 0xFFFEE0DDu;
constexpr std::uint32_t kPixelDataTag = 0x7FE00010u;
constexpr std::size_t kMaxPeek = 256; // the longest value the walk ever reads
constexpr std::size_t kInflateWindow = 64 * 1024;

struct Syntax {
    bool explicitVr = true;
    bool bigEndian = false;
};
constexpr Syntax kImplicitLittle{false, false};

std::uint16_t get16(const std::uint8_t *p, bool big) {
    return big ? std::uint16_t((p[0] << 8) | p[1]) : std::uint16_t(p[0] | (p[1] << 8));
}

std::uint32_t get32(const std::uint8_t *p, bool big) {
    return big ? (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
                     (std::uint32_t(p[2]) << 8) | p[3]
               : (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) |
                     (std::uint32_t(p[1]) << 8) | p[0];
}

std::string tagText(std::uint32_t tag) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", unsigned(tag >> 16), unsigned(tag & 0xFFFF));
    return text;
}

std::string number(std::uint64_t value) {
    return std::to_string(value);
}

struct Failure {
    int number;
    std::string text;
};

// --- value representations, as DCMTK's DcmVR classifies the two letters of explicit VR

enum VrFlag : std::uint8_t {
    LongLength = 1,    // 2 reserved bytes and a 32-bit length
    Standard = 2,      // a VR DICOM defines
    Sequence = 4,      // SQ
    UnknownVr = 8,     // UN or an unknown name: read as UN (undefined length: a CP-246 sequence)
    Fragments = 16,    // undefined length reads as encapsulated fragments for pixel data
    AnyFragments = 32, // DCMTK's internal "px": fragments whatever the tag
    Text = 64,         // a character string VR
};

std::uint8_t flagsFor(DcmEVR evr, const DcmVR &vr) {
    std::uint8_t flags = 0;
    if (vr.usesExtendedLengthEncoding())
        flags |= LongLength;
    if (vr.isStandard())
        flags |= Standard;
    switch (evr) {
    case EVR_SQ:
        flags |= Sequence;
        break;
    case EVR_UN:
    case EVR_UNKNOWN:
        flags |= UnknownVr;
        break;
    case EVR_OB:
    case EVR_OW:
    case EVR_ox:
        flags |= Fragments;
        break;
    case EVR_px:
        flags |= Fragments | AnyFragments;
        break;
    default:
        break;
    }
    if (bridge::isTextVr(evr))
        flags |= Text;
    return flags;
}

// Flags of each two-byte VR field, computed on first sight; racing threads compute the same
// value, so relaxed atomics suffice.
std::uint8_t vrFlags(const std::uint8_t *letters) {
    constexpr std::uint8_t kKnown = 0x80;
    static std::array<std::atomic<std::uint8_t>, 65536> table{};
    std::atomic<std::uint8_t> &slot = table[letters[0] | (letters[1] << 8)];
    std::uint8_t flags = slot.load(std::memory_order_relaxed);
    if (!(flags & kKnown)) {
        const char name[3] = {char(letters[0]), char(letters[1]), 0};
        const DcmVR vr(name);
        flags = flagsFor(vr.getEVR(), vr) | kKnown;
        slot.store(flags, std::memory_order_relaxed);
    }
    return flags & ~kKnown;
}

// The dictionary VR of a tag, as DCMTK uses it for implicit VR; a small cache keeps the
// dictionary lookups (each takes a lock) off the common path.
class DictionaryVr {
public:
    std::uint8_t flags(std::uint32_t tag) {
        Slot &slot = m_slots[(tag * 2654435761u) >> (32 - kBits)];
        if (!slot.used || slot.tag != tag) {
            const DcmTag dcmTag(std::uint16_t(tag >> 16), std::uint16_t(tag & 0xFFFF));
            const DcmEVR evr = dcmTag.getEVR();
            slot = {tag, flagsFor(evr, DcmVR(evr)), true};
        }
        return slot.flags;
    }

private:
    static constexpr unsigned kBits = 9;
    struct Slot {
        std::uint32_t tag = 0;
        std::uint8_t flags = 0;
        bool used = false;
    };
    std::array<Slot, 1u << kBits> m_slots{};
};

// --- byte sources: the file in memory, or a deflated data set inflated on the fly

class Source {
public:
    virtual ~Source() = default;
    // The next n bytes (n <= kMaxPeek) without consuming them; nullptr when fewer remain.
    virtual const std::uint8_t *peek(std::size_t n) = 0;
    // Consumes n bytes; false when the data ends first.
    virtual bool skip(std::uint64_t n) = 0;
    virtual bool atEnd() = 0;
    // The offset where the data ends, when known before reading it.
    virtual std::uint64_t end() const = 0;
    std::uint64_t offset() const { return m_offset; }
    // Set when the source itself failed (a corrupt or oversized deflate stream).
    const std::optional<Failure> &failure() const { return m_failure; }
    // Appended to offsets in messages.
    virtual const char *where() const { return ""; }

protected:
    std::uint64_t m_offset = 0;
    std::optional<Failure> m_failure;
};

class MemorySource : public Source {
public:
    MemorySource(const std::uint8_t *data, std::size_t size, std::size_t start)
        : m_data(data), m_size(size) {
        m_offset = start;
    }
    const std::uint8_t *peek(std::size_t n) override {
        return m_size - m_offset >= n ? m_data + m_offset : nullptr;
    }
    bool skip(std::uint64_t n) override {
        if (m_size - m_offset < n) {
            m_offset = m_size;
            return false;
        }
        m_offset += n;
        return true;
    }
    bool atEnd() override { return m_offset >= m_size; }
    std::uint64_t end() const override { return m_size; }

private:
    const std::uint8_t *m_data;
    std::uint64_t m_size;
};

// Raw deflate (what DCMTK expects for the deflated transfer syntax) through a fixed window:
// only the bytes the walk looks at are kept, so memory stays small whatever the data set
// inflates to, and the cap stops a zip bomb after maxInflatedBytes.
class InflateSource : public Source {
public:
    InflateSource(const std::uint8_t *data, std::size_t size, std::uint64_t cap) : m_cap(cap) {
        m_stream.next_in = const_cast<Bytef *>(data);
        m_stream.avail_in = 0;
        m_pending = size;
        if (inflateInit2(&m_stream, -MAX_WBITS) == Z_OK)
            m_ready = true;
        else
            m_failure = Failure{errc::Damaged, "the deflated data set cannot be inflated"};
        m_window.resize(kInflateWindow);
    }
    ~InflateSource() override {
        if (m_ready)
            inflateEnd(&m_stream);
    }
    const std::uint8_t *peek(std::size_t n) override {
        return ensure(n) ? m_window.data() + m_head : nullptr;
    }
    bool skip(std::uint64_t n) override {
        while (n > 0) {
            if (m_tail == m_head && !fill())
                return false;
            const std::uint64_t take = std::min<std::uint64_t>(n, m_tail - m_head);
            m_head += std::size_t(take);
            m_offset += take;
            n -= take;
        }
        return true;
    }
    bool atEnd() override { return !ensure(1); }
    std::uint64_t end() const override { return kNoEnd; }
    const char *where() const override { return " of the inflated data set"; }

private:
    bool ensure(std::size_t n) {
        while (m_tail - m_head < n)
            if (!fill())
                return false;
        return true;
    }
    // Inflates more into the window; false when nothing more can come.
    bool fill() {
        if (m_done || m_failure)
            return false;
        if (m_head > 0) {
            std::memmove(m_window.data(), m_window.data() + m_head, m_tail - m_head);
            m_tail -= m_head;
            m_head = 0;
        }
        for (;;) {
            if (m_stream.avail_in == 0 && m_pending > 0) {
                const std::size_t chunk =
                    std::min<std::size_t>(m_pending, std::numeric_limits<uInt>::max());
                m_stream.avail_in = uInt(chunk);
                m_pending -= chunk;
            } else if (m_stream.avail_in == 0 && !m_padded) {
                // DCMTK feeds one zero byte after the data so that raw inflate can finish;
                // that byte may complete a last code, so it is fed here too.
                static const Bytef zero = 0;
                m_stream.next_in = const_cast<Bytef *>(&zero);
                m_stream.avail_in = 1;
                m_padded = true;
            }
            m_stream.next_out = m_window.data() + m_tail;
            m_stream.avail_out = uInt(m_window.size() - m_tail);
            const int rc = inflate(&m_stream, Z_NO_FLUSH);
            const std::size_t produced = (m_window.size() - m_tail) - m_stream.avail_out;
            m_tail += produced;
            m_total += produced;
            if (m_total > m_cap) {
                m_failure = Failure{errc::TooLarge, "the deflated data set inflates to more than " +
                                                        number(m_cap) + " bytes"};
                return false;
            }
            if (rc == Z_STREAM_END || (rc == Z_BUF_ERROR && m_stream.avail_in == 0 && m_padded)) {
                m_done = true; // a truncated stream simply ends; the walk judges what it lacks
                return produced > 0;
            }
            if (rc != Z_OK && rc != Z_BUF_ERROR) {
                m_failure =
                    Failure{errc::Damaged, std::string("the deflated data set is corrupt (") +
                                               (m_stream.msg ? m_stream.msg : "zlib") + ")"};
                return false;
            }
            if (produced > 0)
                return true;
        }
    }

    z_stream m_stream{};
    bool m_ready = false;
    bool m_done = false;
    bool m_padded = false;
    std::size_t m_pending = 0;
    std::uint64_t m_total = 0;
    std::uint64_t m_cap;
    std::vector<std::uint8_t> m_window;
    std::size_t m_head = 0;
    std::size_t m_tail = 0;
};

// --- the walk

enum class FrameKind { Root, Sequence, Item, Fragments };

struct Frame {
    FrameKind kind;
    Syntax syntax;           // how the frame's content is encoded
    std::uint32_t tag;       // the sequence's tag (items: their sequence's)
    std::uint64_t start;     // offset of the element or item header
    std::uint64_t end;       // one past the content when the length is defined, else kNoEnd
    std::uint64_t limit;     // the tightest end of this frame and every enclosing one
    std::uint32_t items = 0; // fragments seen so far
};

// The first value of each image attribute at the top level (DCMTK keeps the first of
// duplicates).
struct ImageFacts {
    bool rowsSeen = false, columnsSeen = false, samplesSeen = false, bitsSeen = false;
    bool framesSeen = false;
    bool photometricSeen = false;
    // Native YBR_*_422 and _420 data hold two and one and a half samples a pixel, not three.
    int chromaHalved = 0; // 0 none, 1 horizontally (422), 2 both ways (420)
    std::optional<std::uint16_t> rows, columns, samples, bitsAllocated;
    std::optional<std::int64_t> frames;
    bool pixelData = false;
    bool encapsulated = false;
    std::uint64_t pixelBytes = 0;
};

// What the walk of the meta header found.
struct MetaFacts {
    bool transferSyntaxSeen = false;
    bool transferSyntaxReadable = true;
    std::string transferSyntax;
};

enum class Region { Meta, DataSet };

// Leading integer of an IS value as DCMTK's getSint32 would read it; nullopt when none.
std::optional<std::int64_t> leadingInteger(const std::uint8_t *p, std::size_t n) {
    std::size_t i = 0;
    while (i < n && p[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (p[i] == '+' || p[i] == '-'))
        negative = p[i++] == '-';
    if (i >= n || p[i] < '0' || p[i] > '9')
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (p[i] - '0'), std::int64_t(1) << 40);
    return negative ? -value : value;
}

class Walker {
public:
    Walker(Source &source, const PrescanLimits &limits, Region region, Syntax syntax)
        : m_source(source), m_limits(limits), m_region(region), m_syntax(syntax) {}

    // The data set is RLE or JPEG compressed: its frames' headers are checked before DCMTK's
    // decoders read them.
    void setRle(bool rle) { m_rle = rle; }
    void setJpeg(bool jpeg) { m_jpeg = jpeg; }

    // In the meta region: the offset the group length says the header ends at (DCMTK reads
    // whole elements until it is reached); kNoEnd to read while the tags are of group 0002.
    void setMetaEnd(std::uint64_t end) { m_metaEnd = end; }

    std::optional<Failure> run();

    const ImageFacts &image() const { return m_image; }
    const MetaFacts &meta() const { return m_meta; }

private:
    Failure damaged(const std::string &text) const { return {errc::Damaged, text}; }
    std::string at(std::uint64_t offset) const {
        return "at offset " + number(offset) + m_source.where();
    }
    std::string describe(const Frame &frame) const;
    // The failure for data that ends while `what` still needs bytes.
    Failure endsEarly(const std::string &what) const;
    std::optional<Failure> push(FrameKind kind, Syntax syntax, std::uint32_t tag,
                                std::uint64_t start, std::uint64_t end);
    std::optional<Failure> delimiter(std::uint32_t tag, std::uint32_t length, std::uint64_t pos);
    std::optional<Failure> element(const std::uint8_t *header, std::uint32_t tag,
                                   std::uint64_t pos);
    bool startsWithItem(Syntax syntax);
    std::optional<Failure> checkRleHeader(std::uint32_t length, std::uint64_t pos);
    std::optional<Failure> checkJpegMarkers(std::uint32_t length, std::uint64_t pos,
                                            std::uint64_t &consumed);
    void noteValue(std::uint32_t tag, std::uint8_t flags, bool ui, std::uint32_t length);
    bool metaEndsHere();

    Source &m_source;
    const PrescanLimits &m_limits;
    Region m_region;
    Syntax m_syntax;
    std::uint64_t m_metaEnd = kNoEnd;
    bool m_rle = false;
    bool m_jpeg = false;
    std::vector<Frame> m_stack;
    int m_depth = 0;
    std::uint64_t m_count = 0;
    bool m_stopped = false;
    DictionaryVr m_dictionary;
    ImageFacts m_image;
    MetaFacts m_meta;
};

std::string Walker::describe(const Frame &frame) const {
    switch (frame.kind) {
    case FrameKind::Root:
        return m_region == Region::Meta ? "the meta header" : "the data set";
    case FrameKind::Sequence:
        return "sequence " + tagText(frame.tag) + " begun " + at(frame.start);
    case FrameKind::Item:
        return "an item of sequence " + tagText(frame.tag) + " begun " + at(frame.start);
    case FrameKind::Fragments:
        return "pixel data fragments " + tagText(frame.tag) + " begun " + at(frame.start);
    }
    return {};
}

Failure Walker::endsEarly(const std::string &what) const {
    if (m_source.failure())
        return *m_source.failure();
    return damaged("the data ends inside " + what);
}

std::optional<Failure> Walker::push(FrameKind kind, Syntax syntax, std::uint32_t tag,
                                    std::uint64_t start, std::uint64_t end) {
    if (m_region == Region::Meta)
        return damaged("the meta header holds a sequence " + tagText(tag) + " " + at(start));
    if (kind != FrameKind::Item) {
        if (m_depth >= m_limits.maxDepth)
            return Failure{errc::TooDeep,
                           "sequences are nested deeper than " +
                               number(std::uint64_t(std::max(m_limits.maxDepth, 0))) + " levels " +
                               at(start)};
        ++m_depth;
    }
    const std::uint64_t limit = std::min(end, m_stack.back().limit);
    m_stack.push_back({kind, syntax, tag, start, end, limit, 0});
    return std::nullopt;
}

bool Walker::metaEndsHere() {
    if (m_metaEnd != kNoEnd)
        return m_source.offset() >= m_metaEnd;
    const std::uint8_t *p = m_source.peek(2);
    return !p || !((p[0] == 0x02 && p[1] == 0x00) || (p[0] == 0x00 && p[1] == 0x02));
}

std::optional<Failure> Walker::run() {
    m_stack.clear();
    m_stack.reserve(std::size_t(std::clamp(m_limits.maxDepth, 0, 4096)) * 2 + 2);
    m_stack.push_back({FrameKind::Root, m_syntax, 0, m_source.offset(), kNoEnd, m_source.end(), 0});

    while (!m_stopped) {
        const Frame &top = m_stack.back();
        const std::uint64_t pos = m_source.offset();
        if (top.end != kNoEnd && pos >= top.end) {
            if (top.kind == FrameKind::Sequence || top.kind == FrameKind::Fragments)
                --m_depth;
            m_stack.pop_back();
            continue;
        }
        if (top.kind != FrameKind::Root && top.limit != kNoEnd && pos >= top.limit) {
            if (top.limit == m_source.end())
                return endsEarly(describe(top));
            return damaged(describe(top) + " runs past the end of its enclosing item");
        }
        if (top.kind == FrameKind::Root && m_region == Region::Meta && metaEndsHere())
            return std::nullopt;
        if (m_source.atEnd()) {
            if (m_source.failure())
                return *m_source.failure();
            if (top.kind == FrameKind::Root)
                return std::nullopt;
            return endsEarly(describe(top));
        }
        const std::uint8_t *header = m_source.peek(8);
        if (!header)
            return endsEarly("the element header " + at(pos));
        const Syntax syntax = top.syntax;
        const std::uint32_t tag = (std::uint32_t(get16(header, syntax.bigEndian)) << 16) |
                                  get16(header + 2, syntax.bigEndian);
        if (++m_count > m_limits.maxElements)
            return Failure{errc::TooLarge, "the data set holds more than " +
                                               number(m_limits.maxElements) + " elements"};
        std::optional<Failure> failure;
        if (tag == kItemTag || tag == kItemEndTag || tag == kSequenceEndTag) {
            const std::uint32_t length = get32(header + 4, syntax.bigEndian);
            if (pos + 8 > top.limit)
                return damaged("the item tag " + at(pos) + " runs past the end of " +
                               describe(top));
            m_source.skip(8);
            failure = delimiter(tag, length, pos);
        } else if (top.kind == FrameKind::Sequence || top.kind == FrameKind::Fragments) {
            return damaged("element " + tagText(tag) + " " + at(pos) + " stands where " +
                           describe(top) + " needs an item");
        } else {
            failure = element(header, tag, pos);
        }
        if (failure)
            return failure;
    }
    return std::nullopt;
}

std::optional<Failure> Walker::delimiter(std::uint32_t tag, std::uint32_t length,
                                         std::uint64_t pos) {
    const Frame top = m_stack.back();
    if (tag == kItemTag) {
        if (top.kind == FrameKind::Sequence) {
            if (length == kUndefinedLength)
                return push(FrameKind::Item, top.syntax, top.tag, pos, kNoEnd);
            if (pos + 8 + length > top.limit)
                return damaged("an item of sequence " + tagText(top.tag) + " " + at(pos) +
                               " has length " + number(length) + ", beyond " +
                               (top.limit == m_source.end() ? std::string("the end of the data")
                                                            : "its sequence"));
            return push(FrameKind::Item, top.syntax, top.tag, pos, pos + 8 + length);
        }
        if (top.kind == FrameKind::Fragments) {
            if (length == kUndefinedLength)
                return damaged("a pixel data fragment " + at(pos) + " has an undefined length");
            if (pos + 8 + length > top.limit)
                return damaged("a pixel data fragment " + at(pos) + " has length " +
                               number(length) + ", beyond the end of the data");
            // Each fragment after the offset table may start a frame of the data set's image.
            const bool frame = m_stack.size() == 2 && m_stack.back().items++ > 0;
            std::uint64_t consumed = 0;
            if (frame && m_rle)
                if (std::optional<Failure> failure = checkRleHeader(length, pos))
                    return failure;
            if (frame && m_jpeg)
                if (std::optional<Failure> failure = checkJpegMarkers(length, pos, consumed))
                    return failure;
            length -= std::uint32_t(consumed);
            if (!m_source.skip(length))
                return endsEarly("a pixel data fragment begun " + at(pos));
            return std::nullopt;
        }
        return damaged("an item " + at(pos) + " stands outside any sequence");
    }
    if (tag == kItemEndTag) {
        if (top.kind == FrameKind::Item) {
            m_stack.pop_back();
            return std::nullopt;
        }
        if (top.kind == FrameKind::Root) {
            // DCMTK ends the data set (or the meta header) here and reads nothing further.
            m_stopped = true;
            return std::nullopt;
        }
        return damaged("an item delimiter " + at(pos) + " stands outside any item");
    }
    if (top.kind == FrameKind::Sequence || top.kind == FrameKind::Fragments) {
        --m_depth;
        m_stack.pop_back();
        return std::nullopt;
    }
    return damaged("a sequence delimiter " + at(pos) + " stands outside any sequence");
}

// DCMTK 3.6.7's RLE decoder copies a 64-byte header from each frame's first fragment and then
// trusts its segment offsets: an offset past the fragment reads far outside the buffer. A
// fragment that could start a frame must hold the header, and a header DCMTK would use
// (1 to 15 segments) must point inside its fragment, in order.
std::optional<Failure> Walker::checkRleHeader(std::uint32_t length, std::uint64_t pos) {
    if (length < 64)
        return damaged("an RLE fragment " + at(pos) + " is shorter than its 64-byte header");
    const std::uint8_t *header = m_source.peek(64);
    if (!header)
        return endsEarly("an RLE fragment begun " + at(pos));
    const std::uint32_t segments = get32(header, false);
    if (segments < 1 || segments > 15)
        return std::nullopt; // DCMTK refuses the frame itself
    std::uint32_t previous = 0;
    for (std::uint32_t i = 1; i <= segments; ++i) {
        const std::uint32_t offset = get32(header + 4 * i, false);
        if (offset > length || offset < previous)
            return damaged("the RLE header " + at(pos) + " puts segment " + number(i) +
                           " at byte " + number(offset) + " of a " + number(length) +
                           "-byte fragment");
        previous = offset;
    }
    return std::nullopt;
}

// Before decoding, DCMTK 3.6.7's JPEG decoder walks the markers of each frame's first fragment
// to find the frame header (DJCodecDecoder::scanJpegDataForBitDepth), and a TEM marker
// (FF01) stops that walk from ever moving on. The same walk here refuses such a stream; it
// also gives up on a stream whose frame header hides behind more markers than any encoder
// writes, since DCMTK would take as long again.
std::optional<Failure> Walker::checkJpegMarkers(std::uint32_t length, std::uint64_t pos,
                                                std::uint64_t &consumed) {
    constexpr int kMaxMarkers = 65536;
    std::uint64_t offset = 0;
    for (int step = 0; offset + 4 < length; ++step) {
        if (step == kMaxMarkers)
            return damaged("the JPEG stream " + at(pos) + " has no frame header within its first " +
                           number(kMaxMarkers) + " markers");
        if (!m_source.skip(offset - consumed))
            return endsEarly("a JPEG fragment begun " + at(pos));
        consumed = offset;
        const std::uint8_t *p = m_source.peek(5);
        if (!p)
            return endsEarly("a JPEG fragment begun " + at(pos));
        const unsigned marker = (unsigned(p[0]) << 8) | p[1];
        const unsigned segment = (unsigned(p[2]) << 8) | p[3];
        switch (marker) {
        case 0xFFC0:
        case 0xFFC1:
        case 0xFFC2:
        case 0xFFC3:
        case 0xFFC5:
        case 0xFFC6:
        case 0xFFC7:
        case 0xFFC9:
        case 0xFFCA:
        case 0xFFCB:
        case 0xFFCD:
        case 0xFFCE:
        case 0xFFCF:
            return std::nullopt; // the frame header: DCMTK stops here
        case 0xFFD0:
        case 0xFFD1:
        case 0xFFD2:
        case 0xFFD3:
        case 0xFFD4:
        case 0xFFD5:
        case 0xFFD6:
        case 0xFFD7:
        case 0xFFD8:
        case 0xFFD9:
            offset += 2;
            break;
        case 0xFFFF:
            offset += 1;
            break;
        case 0xFF01:
            return damaged("the JPEG stream " + at(pos) +
                           " has a TEM marker where the decoder looks for its frame header");
        default:
            if (marker == 0xFFC4 || marker == 0xFFC8 || marker == 0xFFCC ||
                (marker >= 0xFFDA && marker <= 0xFFFE))
                offset += segment + 2;
            else if (p[0] == 0xFF && p[1] > 2 && p[1] <= 0xBF)
                offset += 2;
            else
                return std::nullopt; // DCMTK gives up on an invalid marker
            break;
        }
    }
    return std::nullopt;
}

bool Walker::startsWithItem(Syntax syntax) {
    const std::uint8_t *p = m_source.peek(8);
    if (!p)
        return false;
    const std::uint32_t tag =
        (std::uint32_t(get16(p, syntax.bigEndian)) << 16) | get16(p + 2, syntax.bigEndian);
    return tag == kItemTag || tag == kSequenceEndTag;
}

std::optional<Failure> Walker::element(const std::uint8_t *header, std::uint32_t tag,
                                       std::uint64_t pos) {
    const Frame top = m_stack.back();
    const Syntax syntax = top.syntax;
    std::uint8_t flags = 0;
    std::uint32_t length = 0;
    std::uint64_t headerLength = 8;
    if (syntax.explicitVr) {
        flags = vrFlags(header + 4);
        if (flags & LongLength) {
            header = m_source.peek(12);
            if (!header)
                return endsEarly("the element header " + at(pos));
            length = get32(header + 8, syntax.bigEndian);
            headerLength = 12;
        } else {
            length = get16(header + 6, syntax.bigEndian);
        }
    } else {
        flags = m_dictionary.flags(tag);
        length = get32(header + 4, syntax.bigEndian);
    }
    if (pos + headerLength > top.limit)
        return damaged("the header of element " + tagText(tag) + " " + at(pos) +
                       " runs past the end of " + describe(top));
    m_source.skip(headerLength);
    const std::uint64_t valueStart = pos + headerLength;

    if (length == kUndefinedLength) {
        if (tag == kPixelDataTag && (flags & Fragments)) {
            if (top.kind == FrameKind::Root && m_region == Region::DataSet && !m_image.pixelData) {
                m_image.pixelData = true;
                m_image.encapsulated = true;
            }
            return push(FrameKind::Fragments, syntax, tag, pos, kNoEnd);
        }
        if (flags & AnyFragments)
            return push(FrameKind::Fragments, syntax, tag, pos, kNoEnd);
        if (flags & Sequence)
            return push(FrameKind::Sequence, syntax, tag, pos, kNoEnd);
        if (flags & UnknownVr) // DCMTK reads these as a sequence in implicit VR little endian
            return push(FrameKind::Sequence, kImplicitLittle, tag, pos, kNoEnd);
        return damaged("element " + tagText(tag) + " " + at(pos) +
                       " has an undefined length, which only sequences and pixel data may have");
    }

    if (valueStart + length > top.limit) {
        const bool dataEnd = top.limit == m_source.end();
        return damaged(
            "element " + tagText(tag) + " " + at(pos) + " has length " + number(length) +
            ", beyond " +
            (dataEnd
                 ? "the end of the data (" + number(top.limit - valueStart) + " bytes remain)"
                 : describe(top) + " (" + number(top.limit - valueStart) + " bytes remain in it)"));
    }
    if (flags & Sequence)
        return push(FrameKind::Sequence, syntax, tag, pos, valueStart + length);
    if (flags & UnknownVr) {
        // An SQ whose VR was lost (UN, or an implicit tag the dictionary does not know):
        // walk it when it looks like one, since DCMTK may read it as one.
        const Syntax inner = syntax.explicitVr ? kImplicitLittle : syntax;
        if (length >= 8 && startsWithItem(inner))
            return push(FrameKind::Sequence, inner, tag, pos, valueStart + length);
    }
    if (top.kind == FrameKind::Root) {
        const bool ui = !syntax.explicitVr || (header[4] == 'U' && header[5] == 'I');
        noteValue(tag, flags, ui, length);
    }
    if (!m_source.skip(length))
        return endsEarly("element " + tagText(tag) + " begun " + at(pos));
    return std::nullopt;
}

void Walker::noteValue(std::uint32_t tag, std::uint8_t flags, bool ui, std::uint32_t length) {
    if (m_region == Region::Meta) {
        if (tag == 0x00020010u && !m_meta.transferSyntaxSeen) {
            m_meta.transferSyntaxSeen = true;
            // DCMTK drops every white-space byte of a UI value, then reads it as a C string,
            // and DcmXfer matches that against UIDs and names alike ("" is its implicit big
            // endian). Under any other VR it reads the text differently: such a header is
            // refused.
            const std::uint8_t *p = length <= kMaxPeek ? m_source.peek(length) : nullptr;
            m_meta.transferSyntaxReadable = ui && p;
            if (p) {
                for (std::uint32_t i = 0; i < length; ++i)
                    if (!std::isspace(p[i]))
                        m_meta.transferSyntax.push_back(char(p[i]));
                m_meta.transferSyntax.resize(std::strlen(m_meta.transferSyntax.c_str()));
            }
        }
        return;
    }
    // Numbers count when DCMTK could read them as US: any binary VR (strings it refuses).
    const bool binary = !(flags & Text) || !m_stack.back().syntax.explicitVr;
    auto noteUs = [&](bool &seen, std::optional<std::uint16_t> &value) {
        if (seen)
            return;
        seen = true;
        if (binary && length >= 2)
            if (const std::uint8_t *p = m_source.peek(2))
                value = get16(p, m_stack.back().syntax.bigEndian);
    };
    switch (tag) {
    case 0x00280002u:
        noteUs(m_image.samplesSeen, m_image.samples);
        break;
    case 0x00280010u:
        noteUs(m_image.rowsSeen, m_image.rows);
        break;
    case 0x00280011u:
        noteUs(m_image.columnsSeen, m_image.columns);
        break;
    case 0x00280100u:
        noteUs(m_image.bitsSeen, m_image.bitsAllocated);
        break;
    case 0x00280004u:
        if (!m_image.photometricSeen) {
            m_image.photometricSeen = true;
            const std::size_t n = std::min<std::size_t>(length, 16);
            if (const std::uint8_t *p = m_source.peek(n)) {
                const std::string text(reinterpret_cast<const char *>(p), n);
                m_image.chromaHalved = text.rfind("_422") != std::string::npos   ? 1
                                       : text.rfind("_420") != std::string::npos ? 2
                                                                                 : 0;
            }
        }
        break;
    case 0x00280008u:
        if (!m_image.framesSeen) {
            m_image.framesSeen = true;
            const std::size_t n = std::min<std::size_t>(length, 64);
            if (const std::uint8_t *p = m_source.peek(n))
                m_image.frames = leadingInteger(p, n);
        }
        break;
    case kPixelDataTag:
        if (!m_image.pixelData) {
            m_image.pixelData = true;
            m_image.encapsulated = false;
            m_image.pixelBytes = length;
        }
        break;
    default:
        break;
    }
}

// --- what comes before the walk

// DCMTK's own guess of the transfer syntax from the first tag and VR (DcmItem keeps it
// protected).
class SyntaxProbe : public DcmItem {
public:
    using DcmItem::checkTransferSyntax;
};

E_TransferSyntax guessSyntax(const std::uint8_t *data, std::size_t size) {
    DcmInputBufferStream stream;
    stream.setBuffer(data, offile_off_t(std::min<std::size_t>(size, 6)));
    stream.setEos();
    SyntaxProbe probe;
    return probe.checkTransferSyntax(stream);
}

std::optional<Syntax> syntaxOf(E_TransferSyntax xfer) {
    const DcmXfer info(xfer);
    if (xfer == EXS_Unknown || xfer == EXS_BigEndianImplicit)
        return std::nullopt; // nobody writes implicit big endian; DCMTK only guesses it
    return Syntax{info.isExplicitVR() == OFTrue, info.getByteOrder() == EBO_BigEndian};
}

// Whether a data set without meta header starts like one: an even group among the first
// ones a data set holds, and a real VR (explicit) or a tag the dictionary knows (implicit).
bool looksLikeDataSet(const std::uint8_t *data, std::size_t size, Syntax syntax) {
    if (size < 8)
        return false;
    const std::uint16_t group = get16(data, syntax.bigEndian);
    const std::uint16_t element = get16(data + 2, syntax.bigEndian);
    if (group < 0x0004 || group > 0x0020 || (group & 1))
        return false;
    if (syntax.explicitVr)
        return (vrFlags(data + 4) & Standard) != 0;
    return element == 0 || DcmTag(group, element).error().good();
}

std::uint64_t multiplySaturated(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? kNoEnd : product;
}

std::optional<Failure> checkImage(const ImageFacts &image, const PrescanLimits &limits) {
    if (!image.pixelData || !image.rows || !image.columns || !image.bitsAllocated)
        return std::nullopt; // DCMTK refuses such an image clearly on its own
    const std::uint64_t frames = std::uint64_t(std::max<std::int64_t>(image.frames.value_or(1), 1));
    std::uint64_t samples = multiplySaturated(*image.rows, *image.columns);
    samples = multiplySaturated(samples, image.samples.value_or(1));
    if (image.chromaHalved != 0 && image.samples.value_or(1) == 3) {
        const std::uint64_t pixels = samples / 3;
        samples = image.chromaHalved == 1 ? pixels * 2 : pixels + pixels / 2;
    }
    samples = multiplySaturated(samples, frames);
    const unsigned bits = *image.bitsAllocated;
    const std::uint64_t declared =
        bits == 1 ? samples / 8 + (samples % 8 != 0) : multiplySaturated(samples, (bits + 7) / 8);
    if (!image.encapsulated && declared > image.pixelBytes)
        return Failure{errc::TooLarge, "pixel data shorter than declared: " + number(declared) +
                                           " bytes declared, " + number(image.pixelBytes) +
                                           " present"};
    if (declared > limits.maxPixelBytes)
        return Failure{errc::TooLarge, "the image declares " + number(declared) +
                                           " bytes of pixels, more than the limit of " +
                                           number(limits.maxPixelBytes)};
    return std::nullopt;
}

PrescanResult failed(const Failure &failure) {
    return {false, failure.number, failure.text};
}

PrescanResult notDicom() {
    return {false, errc::NotDicom, "not a DICOM file"};
}

PrescanResult prescan(const std::uint8_t *data, std::size_t size, const PrescanLimits &limits) {
    if (!data)
        size = 0;
    const bool prefixed = size >= 132 && std::memcmp(data + 128, "DICM", 4) == 0;
    const std::size_t metaStart = prefixed ? 132 : 0;
    const std::size_t rest = size - metaStart;
    // DCMTK needs a group length's worth of bytes before it looks any further.
    if (rest < 12)
        return prefixed ? failed({errc::Damaged, "nothing follows the DICM prefix"}) : notDicom();

    const std::uint8_t *start = data + metaStart;
    const E_TransferSyntax metaXfer = guessSyntax(start, rest);
    std::size_t dataSetStart = metaStart;
    E_TransferSyntax xfer = EXS_Unknown;
    const bool hasMeta =
        (start[0] == 0x02 && start[1] == 0x00) || (start[0] == 0x00 && start[1] == 0x02);
    if (hasMeta) {
        const std::optional<Syntax> metaSyntax = syntaxOf(metaXfer);
        if (!metaSyntax)
            return failed({errc::Damaged, "the meta header is in an encoding DCMTK cannot read"});
        MemorySource source(data, size, metaStart);
        Walker walker(source, limits, Region::Meta, *metaSyntax);
        // A leading (0002,0000) with a value fixes where DCMTK stops reading the header,
        // right or wrong; without one it reads while the tags are of group 0002.
        const bool big = metaSyntax->bigEndian;
        const std::uint32_t firstTag =
            (std::uint32_t(get16(start, big)) << 16) | get16(start + 2, big);
        if (firstTag == 0x00020000u) {
            std::uint32_t length = 0;
            std::size_t header = 8;
            bool ul = true;
            if (metaSyntax->explicitVr) {
                ul = start[4] == 'U' && start[5] == 'L';
                if (vrFlags(start + 4) & LongLength) {
                    length = get32(start + 8, big);
                    header = 12;
                } else {
                    length = get16(start + 6, big);
                }
            } else {
                length = get32(start + 4, big);
            }
            if (length != 0) {
                if (!ul || length < 4 || length == kUndefinedLength || header + length > rest)
                    return failed({errc::Damaged, "the meta header's group length is damaged"});
                walker.setMetaEnd(metaStart + header + length + get32(start + header, big));
            }
        }
        if (const std::optional<Failure> failure = walker.run())
            return failed(*failure);
        const MetaFacts &meta = walker.meta();
        if (meta.transferSyntaxSeen) {
            if (!meta.transferSyntaxReadable)
                return failed({errc::Damaged, "the meta header's transfer syntax is damaged"});
            xfer = DcmXfer(meta.transferSyntax.c_str()).getXfer();
        }
        dataSetStart = std::size_t(source.offset());
    }

    const bool guessed = xfer == EXS_Unknown;
    if (guessed)
        xfer = guessSyntax(data + dataSetStart, size - dataSetStart);
    const std::optional<Syntax> syntax = syntaxOf(xfer);
    if (!hasMeta && (!syntax || !looksLikeDataSet(start, rest, *syntax)))
        return prefixed ? failed({errc::Damaged, "neither a meta header nor a data set follows "
                                                 "the DICM prefix"})
                        : notDicom();
    if (!syntax)
        return failed({errc::Damaged, "the data set is in an encoding DCMTK cannot read"});

    const DcmXfer info(xfer);
    std::optional<MemorySource> memory;
    std::optional<InflateSource> inflated;
    Source *source = nullptr;
    switch (info.getStreamCompression()) {
    case ESC_none:
        source = &memory.emplace(data, size, dataSetStart);
        break;
    case ESC_zlib:
        source =
            &inflated.emplace(data + dataSetStart, size - dataSetStart, limits.maxInflatedBytes);
        break;
    default:
        return failed({errc::Unsupported,
                       std::string("the transfer syntax ") + info.getXferID() + " cannot be read"});
    }
    Walker walker(*source, limits, Region::DataSet, *syntax);
    walker.setRle(xfer == EXS_RLELossless);
    walker.setJpeg(info.getJPEGProcess8Bit() != 0);
    if (const std::optional<Failure> failure = walker.run())
        return failed(*failure);
    if (const std::optional<Failure> failure = checkImage(walker.image(), limits))
        return failed(*failure);
    return {};
}

} // namespace

PrescanResult prescanDataSet(const std::uint8_t *data, std::size_t size,
                             const PrescanLimits &limits) {
    try {
        return prescan(data, size, limits);
    } catch (const std::bad_alloc &) {
        return failed({errc::TooLarge, "not enough memory to check the data set"});
    }
}

} // namespace ravlen::toolkit
