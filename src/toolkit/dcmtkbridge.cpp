#include "toolkit/dcmtkbridge.h"

#include "core/errors.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcvrat.h>

#include <QDate>

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace ravlen::toolkit::bridge {

namespace {

[[noreturn]] void fail(int number, const QString &name, const QString &what) {
    throw ToolkitError(number, QStringLiteral("%1: %2").arg(name, what).toStdString());
}

quint16 readU16(const char *p, bool bigEndian) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return bigEndian ? quint16((u[0] << 8) | u[1]) : quint16(u[0] | (u[1] << 8));
}

// A data set without the file header (preamble and meta header) must at least begin like one: an
// even group from the command, identifying or patient groups, in either byte order.
bool looksLikeRawDataSet(const QByteArray &bytes) {
    if (bytes.size() < 8) {
        return false;
    }
    for (bool big : {false, true}) {
        const quint16 group = readU16(bytes.constData(), big);
        if (group % 2 == 0 && group <= 0x0028) {
            return true;
        }
    }
    return false;
}

bool hasPart10Header(const QByteArray &bytes) {
    return bytes.size() >= 132 && std::memcmp(bytes.constData() + 128, "DICM", 4) == 0;
}

} // namespace

std::unique_ptr<DcmFileFormat> parse(const QByteArray &bytes, const QString &name) {
    const bool part10 = hasPart10Header(bytes);
    if (!part10 && !looksLikeRawDataSet(bytes)) {
        fail(errc::NotDicom, name,
             QStringLiteral("not a DICOM file (no DICOM header and no "
                            "DICOM data elements at the start)"));
    }
    DcmInputBufferStream in;
    in.setBuffer(bytes.constData(), offile_off_t(bytes.size()));
    in.setEos();
    auto file = std::make_unique<DcmFileFormat>();
    file->transferInit();
    // Values stay in memory: the source is a buffer, there is no file to load them from later.
    const OFCondition status = file->read(in, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
    file->transferEnd();
    if (status.bad()) {
        const QString reason = status == EC_StreamNotifyClient
                                   ? QStringLiteral("the data ends in the middle of an element")
                                   : QString::fromLatin1(status.text());
        fail(part10 ? errc::Damaged : errc::NotDicom, name,
             (part10 ? QStringLiteral("damaged DICOM file: ")
                     : QStringLiteral("not a readable DICOM data set: ")) +
                 reason);
    }
    if (file->getDataset() == nullptr || file->getDataset()->card() == 0) {
        fail(errc::NotDicom, name, QStringLiteral("the file holds no DICOM data elements"));
    }
    return file;
}

// --- character sets

namespace {

struct IconvName {
    const char *term;
    const char *iconv;
};

// The encoding the fallback uses for a defined term when DCMTK rejects a string.
constexpr IconvName iconvNames[] = {
    {"ISO_IR 6", "ASCII"},         {"ISO 2022 IR 6", "ASCII"},
    {"ISO_IR 100", "ISO-8859-1"},  {"ISO 2022 IR 100", "ISO-8859-1"},
    {"ISO_IR 101", "ISO-8859-2"},  {"ISO 2022 IR 101", "ISO-8859-2"},
    {"ISO_IR 109", "ISO-8859-3"},  {"ISO 2022 IR 109", "ISO-8859-3"},
    {"ISO_IR 110", "ISO-8859-4"},  {"ISO 2022 IR 110", "ISO-8859-4"},
    {"ISO_IR 144", "ISO-8859-5"},  {"ISO 2022 IR 144", "ISO-8859-5"},
    {"ISO_IR 127", "ISO-8859-6"},  {"ISO 2022 IR 127", "ISO-8859-6"},
    {"ISO_IR 126", "ISO-8859-7"},  {"ISO 2022 IR 126", "ISO-8859-7"},
    {"ISO_IR 138", "ISO-8859-8"},  {"ISO 2022 IR 138", "ISO-8859-8"},
    {"ISO_IR 148", "ISO-8859-9"},  {"ISO 2022 IR 148", "ISO-8859-9"},
    {"ISO_IR 203", "ISO-8859-15"}, {"ISO 2022 IR 203", "ISO-8859-15"},
    {"ISO_IR 13", "SHIFT_JIS"},    {"ISO 2022 IR 13", "SHIFT_JIS"},
    {"ISO_IR 166", "TIS-620"},     {"ISO 2022 IR 166", "TIS-620"},
    {"ISO 2022 IR 58", "GB2312"},  {"ISO_IR 192", "UTF-8"},
    {"GB18030", "GB18030"},        {"GBK", "GBK"},
};

std::vector<std::string> splitTerms(const std::string &terms) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = terms.find('\\', start);
        std::string term = terms.substr(start, end == std::string::npos ? end : end - start);
        const auto first = term.find_first_not_of(' ');
        const auto last = term.find_last_not_of(' ');
        out.push_back(first == std::string::npos ? std::string()
                                                 : term.substr(first, last - first + 1));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

std::string iconvNameFor(const std::vector<std::string> &terms) {
    // ISO 2022 Japanese needs the escape-aware decoder; otherwise the first term rules.
    for (const std::string &t : terms) {
        if (t == "ISO 2022 IR 87" || t == "ISO 2022 IR 159") {
            return "ISO-2022-JP-2";
        }
    }
    for (const std::string &t : terms) {
        for (const IconvName &n : iconvNames) {
            if (t == n.term) {
                return n.iconv;
            }
        }
    }
    return std::string();
}

bool plainAscii(const char *bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80 || c == 0x1b) {
            return false;
        }
    }
    return true;
}

} // namespace

TextDecoder::TextDecoder(const std::string &terms) : m_terms(terms) {
    std::vector<std::string> list = splitTerms(terms);
    while (!list.empty() && list.back().empty()) {
        list.pop_back();
    }
    if (list.empty() || (list.size() == 1 && list[0] == "ISO_IR 6")) {
        m_mode = Mode::Ascii;
        return;
    }
    if (list.size() == 1 && list[0] == "ISO_IR 100") {
        m_mode = Mode::Latin1;
        return;
    }
    if (list.size() == 1 && list[0] == "ISO_IR 192") {
        m_mode = Mode::Utf8;
        return;
    }
    m_iconvName = iconvNameFor(list);
    auto converter = std::make_shared<DcmSpecificCharacterSet>();
    if (converter->selectCharacterSet(OFString(terms.c_str()), "ISO_IR 192").good()) {
        m_converter = std::move(converter);
    }
    m_mode = Mode::Converter;
}

QString TextDecoder::decode(const char *bytes, std::size_t length, const char *delimiters) const {
    if (length == 0) {
        return QString();
    }
    if (plainAscii(bytes, length)) {
        return QString::fromLatin1(bytes, qsizetype(length));
    }
    switch (m_mode) {
    case Mode::Ascii:
        // Undeclared 8-bit text is Latin-1 in practice far more often than anything else;
        // reading it so keeps every byte visible.
    case Mode::Latin1:
        return QString::fromLatin1(bytes, qsizetype(length));
    case Mode::Utf8:
        return QString::fromUtf8(bytes, qsizetype(length));
    case Mode::Converter:
        break;
    }
    if (m_converter) {
        OFString out;
        if (m_converter->convertString(bytes, length, out, OFString(delimiters)).good()) {
            return QString::fromUtf8(out.c_str(), qsizetype(out.length()));
        }
    }
    return fallback(bytes, length);
}

// Converts what converts and puts U+FFFD for every byte that does not.
QString TextDecoder::fallback(const char *bytes, std::size_t length) const {
    QString result;
    iconv_t cd = m_iconvName.empty() ? iconv_t(-1) : iconv_open("UTF-8", m_iconvName.c_str());
    if (cd == iconv_t(-1)) {
        for (std::size_t i = 0; i < length; ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            result.append(c < 0x80 ? QChar(c) : QChar(0xFFFD));
        }
        return result;
    }
    std::string out;
    char buffer[1024];
    char *in = const_cast<char *>(bytes);
    std::size_t inLeft = length;
    while (inLeft > 0) {
        char *o = buffer;
        std::size_t oLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, std::size_t(o - buffer));
        if (rc == std::size_t(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            out.append("\xEF\xBF\xBD"); // U+FFFD for the byte that failed
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

std::string characterSetOf(DcmItem &item) {
    OFString value;
    if (item.findAndGetOFStringArray(DCM_SpecificCharacterSet, value, OFFalse).good()) {
        return std::string(value.c_str());
    }
    return std::string();
}

// --- elements

QString describeTag(const DcmTag &tag) {
    DcmTag copy(tag);
    const QString keyword = QString::fromLatin1(copy.getTagName());
    if (keyword.contains(QLatin1Char(' '))) {
        return keyword; // already words, as for unknown tags
    }
    // Split CamelCase keywords into words, keeping acronyms whole: "SOPInstanceUID" gives
    // "SOP Instance UID", "XRayTubeCurrent" gives "X Ray Tube Current".
    QString words;
    for (qsizetype i = 0; i < keyword.size(); ++i) {
        const QChar c = keyword.at(i);
        if (i > 0 && c.isUpper()) {
            const QChar prev = keyword.at(i - 1);
            const bool nextLower = i + 1 < keyword.size() && keyword.at(i + 1).isLower();
            if (prev.isLower() || prev.isDigit() || (prev.isUpper() && nextLower)) {
                words.append(QLatin1Char(' '));
            }
        }
        words.append(c);
    }
    return words;
}

bool isTextVr(DcmEVR vr) {
    switch (vr) {
    case EVR_AE:
    case EVR_AS:
    case EVR_CS:
    case EVR_DA:
    case EVR_DS:
    case EVR_DT:
    case EVR_IS:
    case EVR_LO:
    case EVR_LT:
    case EVR_PN:
    case EVR_SH:
    case EVR_ST:
    case EVR_TM:
    case EVR_UC:
    case EVR_UI:
    case EVR_UR:
    case EVR_UT:
        return true;
    default:
        return false;
    }
}

namespace {

// VRs whose text follows the Specific Character Set; the rest is plain ASCII by definition.
const char *charsetDelimiters(DcmEVR vr) {
    switch (vr) {
    case EVR_PN:
        return "\\^=";
    case EVR_LO:
    case EVR_SH:
    case EVR_UC:
        return "\\";
    case EVR_LT:
    case EVR_ST:
    case EVR_UT:
        return "";
    default:
        return nullptr;
    }
}

bool singleValuedText(DcmEVR vr) {
    return vr == EVR_LT || vr == EVR_ST || vr == EVR_UT || vr == EVR_UR;
}

QString trimValue(const QString &text, DcmEVR vr) {
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == QLatin1Char(' ') || text.at(end - 1).isNull())) {
        --end;
    }
    qsizetype start = 0;
    if (!singleValuedText(vr)) {
        while (start < end && text.at(start) == QLatin1Char(' ')) {
            ++start;
        }
    }
    return text.mid(start, end - start);
}

QVariant typedText(const QString &text, DcmEVR vr) {
    if (text.isEmpty()) {
        return text;
    }
    bool ok = false;
    switch (vr) {
    case EVR_DS: {
        const double d = text.toDouble(&ok);
        return ok ? QVariant(d) : QVariant(text);
    }
    case EVR_IS: {
        const int i = text.toInt(&ok);
        if (ok) {
            return i;
        }
        const qlonglong l = text.toLongLong(&ok);
        return ok ? QVariant(l) : QVariant(text);
    }
    case EVR_DA: {
        QDate date = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
        if (!date.isValid()) {
            date = QDate::fromString(text, QStringLiteral("yyyy.MM.dd")); // ACR-NEMA form
        }
        return date.isValid() ? QVariant(date) : QVariant(text);
    }
    default:
        return text;
    }
}

// The values of a text element, decoded, split and trimmed; empty when the value is empty.
QStringList textParts(DcmElement &element, DcmEVR vr, const TextDecoder &decoder) {
    char *raw = nullptr;
    Uint32 length = 0;
    QStringList values;
    if (element.getString(raw, length).bad() || raw == nullptr || length == 0) {
        return values;
    }
    const char *delimiters = charsetDelimiters(vr);
    const QString text = delimiters ? decoder.decode(raw, length, delimiters)
                                    : QString::fromLatin1(raw, qsizetype(length));
    const QStringList parts =
        singleValuedText(vr) ? QStringList{text} : text.split(QLatin1Char('\\'));
    if (parts.size() == 1 && trimValue(parts.front(), vr).isEmpty()) {
        return values; // an empty (or all-padding) value
    }
    for (const QString &part : parts) {
        values.append(trimValue(part, vr));
    }
    return values;
}

QVariantList textValues(DcmElement &element, DcmEVR vr, const TextDecoder &decoder) {
    QVariantList values;
    for (const QString &part : textParts(element, vr, decoder)) {
        values.append(typedText(part, vr));
    }
    return values;
}

QString hex4(unsigned v) {
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
}

QVariantList binaryNumbers(DcmElement &element, DcmEVR vr) {
    QVariantList values;
    const unsigned long count = element.getVM();
    for (unsigned long i = 0; i < count; ++i) {
        bool ok = false;
        QVariant v;
        switch (vr) {
        case EVR_US: {
            Uint16 x = 0;
            ok = element.getUint16(x, i).good();
            v = int(x);
            break;
        }
        case EVR_SS: {
            Sint16 x = 0;
            ok = element.getSint16(x, i).good();
            v = int(x);
            break;
        }
        case EVR_UL: {
            Uint32 x = 0;
            ok = element.getUint32(x, i).good();
            v = uint(x);
            break;
        }
        case EVR_SL: {
            Sint32 x = 0;
            ok = element.getSint32(x, i).good();
            v = int(x);
            break;
        }
        case EVR_FL: {
            Float32 x = 0;
            ok = element.getFloat32(x, i).good();
            v = double(x);
            break;
        }
        case EVR_FD: {
            Float64 x = 0;
            ok = element.getFloat64(x, i).good();
            v = double(x);
            break;
        }
        case EVR_SV: {
            Sint64 x = 0;
            ok = element.getSint64(x, i).good();
            v = qlonglong(x);
            break;
        }
        case EVR_UV: {
            Uint64 x = 0;
            ok = element.getUint64(x, i).good();
            v = qulonglong(x);
            break;
        }
        case EVR_AT: {
            DcmTagKey key;
            ok = static_cast<DcmAttributeTag &>(element).getTagVal(key, i).good();
            v = QStringLiteral("(%1,%2)").arg(hex4(key.getGroup()), hex4(key.getElement()));
            break;
        }
        default:
            break;
        }
        if (!ok) {
            break;
        }
        values.append(v);
    }
    return values;
}

bool isBinaryNumberVr(DcmEVR vr) {
    switch (vr) {
    case EVR_US:
    case EVR_SS:
    case EVR_UL:
    case EVR_SL:
    case EVR_FL:
    case EVR_FD:
    case EVR_SV:
    case EVR_UV:
    case EVR_AT:
        return true;
    default:
        return false;
    }
}

} // namespace

bool isEncapsulated(DcmPixelData &pixelData) {
    E_TransferSyntax repType = EXS_Unknown;
    const DcmRepresentationParameter *repParam = nullptr;
    pixelData.getOriginalRepresentationKey(repType, repParam);
    return DcmXfer(repType).isEncapsulated();
}

DataElement toDataElement(DcmElement &element, const TextDecoder &decoder) {
    DataElement out;
    const DcmTag &tag = element.getTag();
    out.group = tag.getGTag();
    out.element = tag.getETag();
    out.description = describeTag(tag);
    out.vr = QString::fromLatin1(DcmVR(element.getVR()).getValidVRName());
    const DcmEVR vr = element.ident();

    if (vr == EVR_SQ) {
        out.kind = DataElement::Kind::Sequence;
        auto &sequence = static_cast<DcmSequenceOfItems &>(element);
        const unsigned long count = sequence.card();
        out.items.reserve(count);
        for (unsigned long i = 0; i < count; ++i) {
            DcmItem *item = sequence.getItem(i);
            out.items.push_back(item ? toDataItem(*item, decoder) : DataItem());
        }
        return out;
    }
    QVariantList values;
    if (vr == EVR_PixelData && isEncapsulated(static_cast<DcmPixelData &>(element))) {
        values.append(QStringLiteral("(encapsulated pixel data)"));
    } else if (out.group == 0x7FE0) {
        values.append(QStringLiteral("(binary, %1 bytes)").arg(element.getLength()));
    } else if (isTextVr(vr)) {
        values = textValues(element, vr, decoder);
    } else if (isBinaryNumberVr(vr)) {
        values = binaryNumbers(element, vr);
    } else if (element.getLength() > 0) {
        values.append(QStringLiteral("(binary, %1 bytes)").arg(element.getLength()));
    }
    out.kind = values.size() > 1 ? DataElement::Kind::Array : DataElement::Kind::Single;
    out.values = std::move(values);
    return out;
}

DataItem toDataItem(DcmItem &item, const TextDecoder &inherited) {
    // An item may declare its own character set; otherwise it speaks its parent's.
    const std::string own = characterSetOf(item);
    std::unique_ptr<TextDecoder> local;
    if (item.tagExists(DCM_SpecificCharacterSet, OFFalse) && own != inherited.terms()) {
        local = std::make_unique<TextDecoder>(own);
    }
    const TextDecoder &decoder = local ? *local : inherited;
    DataItem out;
    const unsigned long count = item.card();
    out.reserve(count);
    for (unsigned long i = 0; i < count; ++i) {
        if (DcmElement *element = item.getElement(i)) {
            out.push_back(toDataElement(*element, decoder));
        }
    }
    return out;
}

QVariant toAttribute(const DataElement &element) {
    switch (element.kind) {
    case DataElement::Kind::Single:
        return element.value();
    case DataElement::Kind::Array:
        return element.values;
    case DataElement::Kind::Sequence: {
        QVariantList items;
        for (const DataItem &item : element.items) {
            items.append(QVariant::fromValue(item));
        }
        return items;
    }
    }
    return QVariant();
}

QString textOf(DcmItem &item, const DcmTagKey &key, const TextDecoder &decoder) {
    DcmElement *element = nullptr;
    if (item.findAndGetElement(key, element, OFFalse).bad() || element == nullptr) {
        return QString();
    }
    const DcmEVR vr = element->ident();
    if (isTextVr(vr)) {
        return textParts(*element, vr, decoder).join(QLatin1Char('\\'));
    }
    return valueText(toAttribute(toDataElement(*element, decoder)));
}

} // namespace ravlen::toolkit::bridge
