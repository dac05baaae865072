#include "toolkit/datasetbuilder.h"

#include "core/errors.h"
#include "toolkit/imagedata.h"
#include "toolkit/jpeg2000.h"
#include "toolkit/pixeldecoder.h"
#include "toolkit/startup.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrlerp.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcspchrs.h>
#include <dcmtk/dcmjpeg/djrplol.h>
#include <dcmtk/dcmjpeg/djrploss.h>
#include <dcmtk/dcmjpls/djrparam.h>

#include <QFile>

#include <cstring>
#include <vector>

namespace ravlen::toolkit {

namespace {

struct SyntaxInfo {
    TransferSyntax syntax;
    const char *name;
    E_TransferSyntax xfer;
};

constexpr SyntaxInfo syntaxes[] = {
    {TransferSyntax::ImplicitLittle, "implicit", EXS_LittleEndianImplicit},
    {TransferSyntax::ExplicitLittle, "explicit", EXS_LittleEndianExplicit},
    {TransferSyntax::ExplicitBig, "big-endian", EXS_BigEndianExplicit},
    {TransferSyntax::Deflated, "deflated", EXS_DeflatedLittleEndianExplicit},
    {TransferSyntax::JpegBaseline, "jpeg-baseline", EXS_JPEGProcess1},
    {TransferSyntax::JpegExtended, "jpeg-extended", EXS_JPEGProcess2_4},
    {TransferSyntax::JpegLossless, "jpeg-lossless", EXS_JPEGProcess14SV1},
    {TransferSyntax::JpegLsLossless, "jpeg-ls", EXS_JPEGLSLossless},
    {TransferSyntax::Rle, "rle", EXS_RLELossless},
    {TransferSyntax::Jpeg2000Lossless, "jpeg2000", EXS_JPEG2000LosslessOnly},
};

const SyntaxInfo &infoOf(TransferSyntax syntax) {
    for (const SyntaxInfo &s : syntaxes) {
        if (s.syntax == syntax) {
            return s;
        }
    }
    return syntaxes[0];
}

[[noreturn]] void fail(int number, const QString &what) {
    throw ToolkitError(number, what.toStdString());
}

QString tagText(quint16 group, quint16 element) {
    return QStringLiteral("(%1,%2)")
        .arg(group, 4, 16, QLatin1Char('0'))
        .arg(element, 4, 16, QLatin1Char('0'))
        .toUpper();
}

bool isAscii(const QByteArray &bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool followsCharacterSet(DcmEVR vr) {
    switch (vr) {
    case EVR_LO:
    case EVR_LT:
    case EVR_PN:
    case EVR_SH:
    case EVR_ST:
    case EVR_UC:
    case EVR_UT:
        return true;
    default:
        return false;
    }
}

} // namespace

QString transferSyntaxName(TransferSyntax syntax) {
    return QString::fromLatin1(infoOf(syntax).name);
}

QString transferSyntaxUid(TransferSyntax syntax) {
    return QString::fromLatin1(DcmXfer(infoOf(syntax).xfer).getXferID());
}

QStringList transferSyntaxNames() {
    QStringList names;
    for (const SyntaxInfo &s : syntaxes) {
        names.append(QString::fromLatin1(s.name));
    }
    return names;
}

std::optional<TransferSyntax> transferSyntaxFromName(const QString &nameOrUid) {
    const QString key = nameOrUid.trimmed();
    for (const SyntaxInfo &s : syntaxes) {
        if (key.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0 ||
            key == QLatin1String(DcmXfer(s.xfer).getXferID())) {
            return s.syntax;
        }
    }
    return std::nullopt;
}

struct DataSetBuilder::Private {
    DcmFileFormat file;
    QString characterSet;                             // as declared, "" when none
    std::shared_ptr<DcmSpecificCharacterSet> encoder; // UTF-8 to the declared set
    bool codeExtensions = false;
    bool needsUtf8 = false; // non-ASCII text was given without a declared set

    DcmDataset &dataset() { return *file.getDataset(); }
};

DataSetBuilder::DataSetBuilder() : d(std::make_unique<Private>()) {
    ensureToolkit();
}

DataSetBuilder::~DataSetBuilder() = default;

DataSetBuilder::DataSetBuilder(const DataSetBuilder &other)
    : d(std::make_unique<Private>(*other.d)) {}

DataSetBuilder &DataSetBuilder::operator=(const DataSetBuilder &other) {
    if (this != &other) {
        d = std::make_unique<Private>(*other.d);
    }
    return *this;
}

DataSetBuilder::DataSetBuilder(DataSetBuilder &&other) noexcept = default;
DataSetBuilder &DataSetBuilder::operator=(DataSetBuilder &&other) noexcept = default;

DataSetBuilder &DataSetBuilder::setCharacterSet(const QString &terms) {
    const QString trimmed = terms.trimmed();
    d->characterSet = trimmed;
    d->encoder.reset();
    d->codeExtensions = trimmed.contains(QLatin1Char('\\'));
    if (trimmed.isEmpty()) {
        d->dataset().findAndDeleteElement(DCM_SpecificCharacterSet);
        return *this;
    }
    d->dataset().putAndInsertString(DCM_SpecificCharacterSet, trimmed.toLatin1().constData());
    if (!d->codeExtensions && trimmed != QLatin1String("ISO_IR 192")) {
        auto encoder = std::make_shared<DcmSpecificCharacterSet>();
        if (encoder->selectCharacterSet("ISO_IR 192", trimmed.toLatin1().constData()).bad()) {
            fail(errc::BadArgument,
                 QStringLiteral("character set \"%1\" cannot be written").arg(trimmed));
        }
        d->encoder = std::move(encoder);
    }
    return *this;
}

DataSetBuilder &DataSetBuilder::set(quint16 group, quint16 element, const QString &value) {
    return set(group, element, QString(), value);
}

DataSetBuilder &DataSetBuilder::set(quint16 group, quint16 element, const QString &vr,
                                    const QString &value) {
    DcmTag tag(group, element);
    if (!vr.isEmpty()) {
        tag.setVR(DcmVR(vr.toLatin1().constData()));
    }
    QByteArray bytes = value.toUtf8();
    if (followsCharacterSet(tag.getEVR()) && !isAscii(bytes)) {
        if (d->codeExtensions) {
            fail(errc::BadArgument, QStringLiteral("%1: text for \"%2\" must be given as bytes")
                                        .arg(tagText(group, element), d->characterSet));
        }
        if (d->encoder) {
            OFString converted;
            if (d->encoder->convertString(bytes.constData(), std::size_t(bytes.size()), converted)
                    .bad()) {
                fail(errc::BadArgument, QStringLiteral("%1: \"%2\" cannot be written in %3")
                                            .arg(tagText(group, element), value, d->characterSet));
            }
            bytes = QByteArray(converted.c_str(), qsizetype(converted.length()));
        } else if (d->characterSet.isEmpty()) {
            d->needsUtf8 = true;
        }
    }
    const OFCondition status =
        d->dataset().putAndInsertString(tag, bytes.constData(), Uint32(bytes.size()));
    if (status.bad()) {
        fail(errc::BadArgument,
             QStringLiteral("%1: cannot set \"%2\": %3")
                 .arg(tagText(group, element), value, QString::fromLatin1(status.text())));
    }
    return *this;
}

DataSetBuilder &DataSetBuilder::setBytes(quint16 group, quint16 element, const QString &vr,
                                         const QByteArray &value) {
    DcmTag tag(group, element);
    if (!vr.isEmpty()) {
        tag.setVR(DcmVR(vr.toLatin1().constData()));
    }
    OFCondition status = EC_Normal;
    const auto *raw = reinterpret_cast<const Uint8 *>(value.constData());
    switch (tag.getEVR()) {
    case EVR_OB:
    case EVR_UN:
        status =
            d->dataset().putAndInsertUint8Array(tag, raw, static_cast<unsigned long>(value.size()));
        break;
    case EVR_OW:
    case EVR_US:
    case EVR_xs:
    case EVR_lt: {
        std::vector<Uint16> words(std::size_t(value.size() / 2));
        for (std::size_t i = 0; i < words.size(); ++i) {
            words[i] = Uint16(raw[2 * i] | (raw[2 * i + 1] << 8));
        }
        status = d->dataset().putAndInsertUint16Array(tag, words.data(),
                                                      static_cast<unsigned long>(words.size()));
        break;
    }
    case EVR_SS: {
        std::vector<Sint16> words(std::size_t(value.size() / 2));
        for (std::size_t i = 0; i < words.size(); ++i) {
            words[i] = Sint16(Uint16(raw[2 * i] | (raw[2 * i + 1] << 8)));
        }
        status = d->dataset().putAndInsertSint16Array(tag, words.data(),
                                                      static_cast<unsigned long>(words.size()));
        break;
    }
    default:
        status = d->dataset().putAndInsertString(tag, value.constData(), Uint32(value.size()));
        break;
    }
    if (status.bad()) {
        fail(errc::BadArgument,
             QStringLiteral("%1: cannot set the value bytes: %2")
                 .arg(tagText(group, element), QString::fromLatin1(status.text())));
    }
    return *this;
}

DataSetBuilder &DataSetBuilder::addItem(quint16 group, quint16 element,
                                        const DataSetBuilder &item) {
    auto *copy = new DcmItem(static_cast<const DcmItem &>(*item.d->file.getDataset()));
    const OFCondition status = d->dataset().insertSequenceItem(DcmTag(group, element), copy);
    if (status.bad()) {
        delete copy;
        fail(errc::BadArgument,
             QStringLiteral("%1: cannot add a sequence item: %2")
                 .arg(tagText(group, element), QString::fromLatin1(status.text())));
    }
    d->needsUtf8 = d->needsUtf8 || item.d->needsUtf8;
    return *this;
}

DataSetBuilder &DataSetBuilder::addEmptySequence(quint16 group, quint16 element) {
    auto *sequence = new DcmSequenceOfItems(DcmTag(group, element));
    if (d->dataset().insert(sequence, OFTrue).bad()) {
        delete sequence;
        fail(errc::BadArgument,
             QStringLiteral("%1: cannot add a sequence").arg(tagText(group, element)));
    }
    return *this;
}

DataSetBuilder &DataSetBuilder::remove(quint16 group, quint16 element) {
    d->dataset().findAndDeleteElement(DcmTagKey(group, element));
    return *this;
}

DataSetBuilder &DataSetBuilder::setPixels(const PixelSpec &p) {
    DcmDataset &ds = d->dataset();
    const int highBit = p.highBit >= 0 ? p.highBit : p.bitsStored - 1;
    ds.putAndInsertUint16(DCM_Rows, Uint16(p.rows));
    ds.putAndInsertUint16(DCM_Columns, Uint16(p.columns));
    ds.putAndInsertUint16(DCM_SamplesPerPixel, Uint16(p.samplesPerPixel));
    ds.putAndInsertString(DCM_PhotometricInterpretation, p.photometric.toLatin1().constData());
    ds.putAndInsertUint16(DCM_BitsAllocated, Uint16(p.bitsAllocated));
    ds.putAndInsertUint16(DCM_BitsStored, Uint16(p.bitsStored));
    ds.putAndInsertUint16(DCM_HighBit, Uint16(highBit));
    ds.putAndInsertUint16(DCM_PixelRepresentation, Uint16(p.pixelRepresentation));
    if (p.samplesPerPixel > 1) {
        ds.putAndInsertUint16(DCM_PlanarConfiguration, Uint16(p.planarConfiguration));
    } else {
        ds.findAndDeleteElement(DCM_PlanarConfiguration);
    }
    if (p.frames > 1) {
        ds.putAndInsertString(DCM_NumberOfFrames, QByteArray::number(p.frames).constData());
    } else {
        ds.findAndDeleteElement(DCM_NumberOfFrames);
    }
    auto *pixelData = new DcmPixelData(DCM_PixelData);
    const auto *raw = reinterpret_cast<const Uint8 *>(p.data.constData());
    OFCondition status = EC_Normal;
    if (p.bitsAllocated > 8) {
        std::vector<Uint16> words(std::size_t(p.data.size() / 2));
        for (std::size_t i = 0; i < words.size(); ++i) {
            words[i] = Uint16(raw[2 * i] | (raw[2 * i + 1] << 8));
        }
        status = pixelData->putUint16Array(words.data(), static_cast<unsigned long>(words.size()));
    } else {
        pixelData->setVR(EVR_OB);
        status = pixelData->putUint8Array(raw, static_cast<unsigned long>(p.data.size()));
    }
    if (status.bad() || ds.insert(pixelData, OFTrue).bad()) {
        delete pixelData;
        fail(
            errc::BadArgument,
            QStringLiteral("pixel data cannot be set: %1").arg(QString::fromLatin1(status.text())));
    }
    return *this;
}

// --- writing

namespace {

// Stored values of every sample of one native frame, interleaved, sign extended.
std::vector<std::int32_t> storedSamples(const PixelLayout &l, const std::uint8_t *frame) {
    const std::size_t pixels = std::size_t(l.rows) * std::size_t(l.columns);
    const int spp = l.samplesPerPixel;
    const int shift = l.highBit + 1 - l.bitsStored;
    const std::uint32_t mask =
        l.bitsStored >= 32 ? 0xFFFFFFFFu : (std::uint32_t(1) << l.bitsStored) - 1;
    const std::uint32_t signBit = std::uint32_t(1) << (l.bitsStored - 1);
    std::vector<std::int32_t> out(pixels * std::size_t(spp));
    for (std::size_t i = 0; i < pixels; ++i) {
        for (int s = 0; s < spp; ++s) {
            const std::size_t index =
                l.planarConfiguration == 1 ? std::size_t(s) * pixels + i : i * spp + s;
            std::uint32_t raw = 0;
            switch (l.bitsAllocated) {
            case 8:
                raw = frame[index];
                break;
            case 16: {
                std::uint16_t v;
                std::memcpy(&v, frame + 2 * index, 2);
                raw = v;
                break;
            }
            default:
                std::memcpy(&raw, frame + 4 * index, 4);
                break;
            }
            std::uint32_t v = (raw >> shift) & mask;
            if (l.pixelRepresentation == 1 && (v & signBit)) {
                v |= ~mask;
            }
            out[i * spp + s] = std::int32_t(v);
        }
    }
    return out;
}

void encodeJpeg2000(DcmDataset &ds) {
    const PixelLayout l = pixels::readLayout(ds);
    DcmElement *element = nullptr;
    if (ds.findAndGetElement(DCM_PixelData, element, OFFalse).bad() || element == nullptr ||
        element->ident() != EVR_PixelData) {
        fail(errc::NoPixelData, QStringLiteral("JPEG 2000: the data set holds no pixel data"));
    }
    const bool supported = (l.monochrome() && l.samplesPerPixel == 1) ||
                           (l.photometric == QLatin1String("RGB") && l.samplesPerPixel == 3);
    const std::uint64_t frameBytes = l.frameBytes();
    if (!supported || frameBytes == 0 || l.bitsStored < 1 || l.bitsStored > l.bitsAllocated ||
        l.bitsAllocated > 16) {
        fail(errc::Unsupported, QStringLiteral("JPEG 2000: %1 with %2 bits allocated cannot be "
                                               "written")
                                    .arg(l.photometric)
                                    .arg(l.bitsAllocated));
    }
    const std::uint8_t *bytes = nullptr;
    if (l.bitsAllocated == 8) {
        Uint8 *p = nullptr;
        element->getUint8Array(p);
        bytes = p;
    } else {
        Uint16 *p = nullptr;
        element->getUint16Array(p);
        bytes = reinterpret_cast<const std::uint8_t *>(p);
    }
    if (bytes == nullptr || element->getLength() < frameBytes * std::uint64_t(l.frames)) {
        fail(errc::Damaged, QStringLiteral("JPEG 2000: pixel data shorter than declared"));
    }
    auto *sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
    auto *offsetTable = new DcmPixelItem(DCM_PixelItemTag);
    sequence->insert(offsetTable);
    DcmOffsetList offsets;
    for (int f = 0; f < l.frames; ++f) {
        const std::vector<std::int32_t> samples =
            storedSamples(l, bytes + frameBytes * std::uint64_t(f));
        std::vector<std::uint8_t> code;
        try {
            code = j2k::encodeLossless(samples, l.columns, l.rows, l.samplesPerPixel, l.bitsStored,
                                       l.pixelRepresentation == 1);
        } catch (const std::exception &e) {
            delete sequence;
            fail(errc::Unsupported, QString::fromUtf8(e.what()));
        }
        if (sequence->storeCompressedFrame(offsets, code.data(), Uint32(code.size()), 0).bad()) {
            delete sequence;
            fail(errc::Damaged, QStringLiteral("JPEG 2000: a frame cannot be stored"));
        }
    }
    offsetTable->createOffsetTable(offsets);
    static_cast<DcmPixelData *>(element)->putOriginalRepresentation(EXS_JPEG2000LosslessOnly,
                                                                    nullptr, sequence);
    if (l.samplesPerPixel > 1) {
        ds.putAndInsertUint16(DCM_PlanarConfiguration, 0);
    }
}

// Clears the bits of each sample outside bitsStored (the sign extension of signed data). The
// JPEG-LS coder takes them for sample bits and aborts on values beyond its precision.
void clearUnusedBits(DcmDataset &ds) {
    const PixelLayout l = pixels::readLayout(ds);
    if (l.bitsStored <= 0 || l.bitsStored >= l.bitsAllocated || l.highBit >= l.bitsAllocated ||
        l.highBit < l.bitsStored - 1) {
        return;
    }
    const unsigned mask = ((1u << l.bitsStored) - 1) << (l.highBit + 1 - l.bitsStored);
    DcmElement *element = nullptr;
    if (ds.findAndGetElement(DCM_PixelData, element, OFFalse).bad() || element == nullptr) {
        return;
    }
    if (l.bitsAllocated == 16) {
        Uint16 *words = nullptr;
        if (element->getUint16Array(words).good() && words != nullptr) {
            for (Uint32 i = 0; i < element->getLength() / 2; ++i) {
                words[i] = Uint16(words[i] & mask);
            }
        }
    } else if (l.bitsAllocated == 8) {
        Uint8 *bytes = nullptr;
        if (element->getUint8Array(bytes).good() && bytes != nullptr) {
            for (Uint32 i = 0; i < element->getLength(); ++i) {
                bytes[i] = Uint8(bytes[i] & mask);
            }
        }
    }
}

void encodePixels(DcmDataset &ds, TransferSyntax syntax, const WriteOptions &options) {
    const E_TransferSyntax xfer = infoOf(syntax).xfer;
    if (!ds.tagExists(DCM_PixelData)) {
        return; // nothing to compress; the data set is written in the syntax as it is
    }
    if (syntax == TransferSyntax::Jpeg2000Lossless) {
        encodeJpeg2000(ds);
        return;
    }
    if (syntax == TransferSyntax::JpegLsLossless) {
        clearUnusedBits(ds);
    }
    const int quality = std::clamp(options.quality, 1, 100);
    DJ_RPLossy lossy(quality);
    DJ_RPLossless lossless(1, 0);
    DJLSRepresentationParameter jpegLs(0, OFTrue);
    DcmRLERepresentationParameter rle;
    const DcmRepresentationParameter *parameter = nullptr;
    switch (syntax) {
    case TransferSyntax::JpegBaseline:
    case TransferSyntax::JpegExtended:
        parameter = &lossy;
        break;
    case TransferSyntax::JpegLossless:
        parameter = &lossless;
        break;
    case TransferSyntax::JpegLsLossless:
        parameter = &jpegLs;
        break;
    case TransferSyntax::Rle:
        parameter = &rle;
        break;
    default:
        break;
    }
    const OFCondition status = ds.chooseRepresentation(xfer, parameter);
    if (status.bad() || !ds.canWriteXfer(xfer)) {
        fail(errc::Unsupported,
             QStringLiteral("the pixels cannot be written as %1: %2")
                 .arg(transferSyntaxName(syntax),
                      QString::fromLatin1(status.bad() ? status.text() : "no encoder")));
    }
}

std::unique_ptr<DcmFileFormat> prepare(const DataSetBuilder::Private &d, TransferSyntax syntax,
                                       const WriteOptions &options) {
    auto file = std::make_unique<DcmFileFormat>(d.file);
    DcmDataset &ds = *file->getDataset();
    if (d.needsUtf8 && !ds.tagExists(DCM_SpecificCharacterSet)) {
        ds.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");
    }
    encodePixels(ds, syntax, options);
    return file;
}

} // namespace

QByteArray DataSetBuilder::toBytes(TransferSyntax syntax, const WriteOptions &options) const {
    std::unique_ptr<DcmFileFormat> file = prepare(*d, syntax, options);
    const E_TransferSyntax xfer = infoOf(syntax).xfer;
    DcmObject &object = options.fileMetaHeader ? static_cast<DcmObject &>(*file)
                                               : static_cast<DcmObject &>(*file->getDataset());
    if (options.fileMetaHeader) {
        // The meta header names the syntax; fill it in before the streaming write.
        file->validateMetaInfo(xfer);
    }
    std::vector<char> buffer(1 << 20);
    DcmOutputBufferStream stream(buffer.data(), offile_off_t(buffer.size()));
    QByteArray out;
    object.transferInit();
    OFCondition status = EC_StreamNotifyClient;
    while (status == EC_StreamNotifyClient) {
        status = object.write(stream, xfer, EET_ExplicitLength, nullptr);
        if (status.good()) {
            stream.flush();
        }
        void *chunk = nullptr;
        offile_off_t length = 0;
        stream.flushBuffer(chunk, length);
        out.append(static_cast<const char *>(chunk), qsizetype(length));
    }
    object.transferEnd();
    if (status.bad()) {
        fail(errc::Damaged,
             QStringLiteral("the data set cannot be written as %1: %2")
                 .arg(transferSyntaxName(syntax), QString::fromLatin1(status.text())));
    }
    return out;
}

void DataSetBuilder::save(const QString &path, TransferSyntax syntax,
                          const WriteOptions &options) const {
    std::unique_ptr<DcmFileFormat> file = prepare(*d, syntax, options);
    const OFCondition status = file->saveFile(
        OFFilename(QFile::encodeName(path).constData()), infoOf(syntax).xfer, EET_ExplicitLength,
        EGL_recalcGL, EPD_noChange, 0, 0, options.fileMetaHeader ? EWM_fileformat : EWM_dataset);
    if (status.bad()) {
        fail(errc::FileAccess, QStringLiteral("%1: cannot be written: %2")
                                   .arg(path, QString::fromLatin1(status.text())));
    }
}

} // namespace ravlen::toolkit
