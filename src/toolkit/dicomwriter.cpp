#include "toolkit/dicomwriter.h"

#include "core/errors.h"
#include "toolkit/dcmtkbridge.h"
#include "toolkit/imagedata.h"
#include "toolkit/startup.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcrlerp.h>
#include <dcmtk/dcmdata/dcstack.h>
#include <dcmtk/dcmjpeg/djcparam.h>
#include <dcmtk/dcmjpeg/djencbas.h>
#include <dcmtk/dcmjpeg/djencext.h>
#include <dcmtk/dcmjpeg/djrplol.h>
#include <dcmtk/dcmjpeg/djrploss.h>
#include <dcmtk/dcmjpls/djrparam.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace ravlen::toolkit {

namespace {

[[noreturn]] void fail(int number, const QString &text) {
    throw ToolkitError(number, text.toStdString());
}

enum class Coding { Native, Lossy, Lossless };

struct Target {
    E_TransferSyntax xfer = EXS_Unknown;
    Coding coding = Coding::Native;
};

std::optional<Target> targetFor(const QString &uid) {
    const DcmXfer xfer(uid.trimmed().toLatin1().constData());
    switch (xfer.getXfer()) {
    case EXS_LittleEndianImplicit:
    case EXS_LittleEndianExplicit:
    case EXS_BigEndianExplicit:
        return Target{xfer.getXfer(), Coding::Native};
    case EXS_JPEGProcess1:
    case EXS_JPEGProcess2_4:
        return Target{xfer.getXfer(), Coding::Lossy};
    case EXS_JPEGProcess14SV1:
    case EXS_JPEGLSLossless:
    case EXS_RLELossless:
        return Target{xfer.getXfer(), Coding::Lossless};
    default:
        return std::nullopt;
    }
}

QString uidOf(E_TransferSyntax xfer) {
    return QString::fromLatin1(DcmXfer(xfer).getXferID());
}

QString nameOf(E_TransferSyntax xfer) {
    return QString::fromLatin1(DcmXfer(xfer).getXferName());
}

DcmPixelData *pixelDataOf(DcmDataset &dataset) {
    DcmElement *element = nullptr;
    if (dataset.findAndGetElement(DCM_PixelData, element, OFFalse).bad() || element == nullptr ||
        element->ident() != EVR_PixelData) {
        return nullptr;
    }
    return static_cast<DcmPixelData *>(element);
}

// Puts the frames the viewer decoded in place of pixel data DCMTK cannot decode itself
// (JPEG 2000): whatever the viewer shows can be written.
void nativeFromFrames(DcmDataset &dataset, DcmPixelData &pixels, const Image &image) {
    std::vector<Uint8> all;
    PixelFrame first;
    for (int f = 1; f <= image.frameCount(); ++f) {
        const PixelFrame frame = image.frame(f);
        if (f == 1) {
            first = frame;
        }
        all.insert(all.end(), frame.data->begin(), frame.data->end());
    }
    const bool colour = first.sample == PixelFrame::Sample::Rgb8;
    const int bits = colour ? 8 : first.bytesPerSample() * 8;
    const bool isSigned = first.sample == PixelFrame::Sample::S8 ||
                          first.sample == PixelFrame::Sample::S16 ||
                          first.sample == PixelFrame::Sample::S32;
    const int stored = colour ? 8 : std::min(first.bitsStored, bits);
    const char *photometric = colour ? "RGB"
                              : first.photometric == PixelFrame::Photometric::Monochrome1
                                  ? "MONOCHROME1"
                                  : "MONOCHROME2";
    dataset.putAndInsertUint16(DCM_SamplesPerPixel, colour ? 3 : 1);
    dataset.putAndInsertString(DCM_PhotometricInterpretation, photometric);
    dataset.putAndInsertUint16(DCM_BitsAllocated, Uint16(bits));
    dataset.putAndInsertUint16(DCM_BitsStored, Uint16(stored));
    dataset.putAndInsertUint16(DCM_HighBit, Uint16(stored - 1));
    dataset.putAndInsertUint16(DCM_PixelRepresentation, isSigned ? 1 : 0);
    if (colour) {
        dataset.putAndInsertUint16(DCM_PlanarConfiguration, 0);
        // the palette, if any, is resolved in the decoded frames
        for (const DcmTagKey &key :
             {DCM_RedPaletteColorLookupTableDescriptor, DCM_GreenPaletteColorLookupTableDescriptor,
              DCM_BluePaletteColorLookupTableDescriptor, DCM_RedPaletteColorLookupTableData,
              DCM_GreenPaletteColorLookupTableData, DCM_BluePaletteColorLookupTableData}) {
            delete dataset.remove(key);
        }
    } else {
        delete dataset.remove(DCM_PlanarConfiguration);
    }
    if (bits > 8) {
        // whole words in the host's order, as DCMTK keeps native OW data
        pixels.putUint16Array(reinterpret_cast<const Uint16 *>(all.data()),
                              static_cast<unsigned long>(all.size() / 2));
    } else {
        pixels.putUint8Array(all.data(), static_cast<unsigned long>(all.size()));
    }
}

// Gives the data set native pixel data; DCMTK's decoders first, the viewer's own frames for
// what they cannot read.
void makeNative(DcmDataset &dataset, const Image &image) {
    DcmPixelData *pixels = pixelDataOf(dataset);
    if (pixels == nullptr || !bridge::isEncapsulated(*pixels)) {
        return;
    }
    if (dataset.chooseRepresentation(EXS_LittleEndianExplicit, nullptr).good() &&
        dataset.canWriteXfer(EXS_LittleEndianExplicit)) {
        pixels->removeAllButCurrentRepresentations();
        return;
    }
    nativeFromFrames(dataset, *pixels, image);
}

// The encoding settings of exports and discs, held here rather than in the process-wide codec
// registration so they serve this purpose alone: the scaling into 8 or 12 bits uses the
// values actually present (a CT's few thousand Hounsfield values then keep a step of 1
// instead of 16) and is written as a new rescale so the values keep their meaning; a lossy
// result is a new instance that names its source.
const DJCodecParameter &lossyParameters() {
    static const DJCodecParameter parameters(
        ECC_lossyYCbCr, EDC_photometricInterpretation, EUC_default, EPC_default,
        OFFalse /* predictor 6 workaround */, OFFalse /* Cornell workaround */,
        OFFalse /* single fragment per frame */, OFTrue /* optimised Huffman tables */,
        0 /* smoothing */, 0 /* bit depth of the process */, 0 /* no fragment limit */,
        OFTrue /* offset table */, ESS_422, OFTrue /* YBR_FULL_422 */,
        OFFalse /* keep the SOP class */, 0, 0, 0.0, 0.0, 0, 0, 0, 0, OFTrue /* pixel values */,
        OFTrue /* modality rescale */);
    return parameters;
}

// Encodes the native pixels of `dataset` lossily; false (with the reason) when the encoder
// refuses them.
bool encodeLossy(DcmDataset &dataset, E_TransferSyntax xfer, int quality, QString &refusal) {
    DcmPixelData *pixels = pixelDataOf(dataset);
    if (pixels == nullptr) {
        return true; // no pixels: the data set is written in the syntax as it is
    }
    // The encoder finds the attributes of the image below the pixel data on the stack.
    DcmStack stack;
    stack.push(&dataset);
    stack.push(pixels);
    Uint16 *words = nullptr;
    if (pixels->getUint16Array(words).bad() || words == nullptr) {
        refusal = QStringLiteral("the pixel data cannot be read");
        return false;
    }
    const DJEncoderBaseline baseline;
    const DJEncoderExtended extended;
    const DJCodecEncoder &encoder = xfer == EXS_JPEGProcess1
                                        ? static_cast<const DJCodecEncoder &>(baseline)
                                        : static_cast<const DJCodecEncoder &>(extended);
    const DJ_RPLossy representation(std::clamp(quality, 1, 100));
    DcmPixelSequence *sequence = nullptr;
    OFBool removeOld = OFFalse;
    const OFCondition status = encoder.encode(words, pixels->getLength(), &representation, sequence,
                                              &lossyParameters(), stack, removeOld);
    if (status.bad() || sequence == nullptr) {
        delete sequence;
        refusal = QString::fromLatin1(status.text());
        return false;
    }
    pixels->putOriginalRepresentation(xfer, &representation, sequence);
    return true;
}

// Encodes losslessly through the codecs registered at start-up.
bool encodeLossless(DcmDataset &dataset, E_TransferSyntax xfer, QString &refusal) {
    if (pixelDataOf(dataset) == nullptr) {
        return true;
    }
    DJ_RPLossless jpeg(1, 0);
    DJLSRepresentationParameter jpegLs(0, OFTrue);
    DcmRLERepresentationParameter rle;
    const DcmRepresentationParameter *parameter =
        xfer == EXS_JPEGProcess14SV1 ? &jpeg
        : xfer == EXS_JPEGLSLossless ? static_cast<DcmRepresentationParameter *>(&jpegLs)
                                     : &rle;
    const OFCondition status = dataset.chooseRepresentation(xfer, parameter);
    if (status.bad() || !dataset.canWriteXfer(xfer)) {
        refusal = QString::fromLatin1(status.bad() ? status.text() : "no encoder");
        return false;
    }
    return true;
}

// Removes a file when it goes out of scope unless released; keeps partial files from lying
// around after a failure.
class TemporaryFile {
public:
    explicit TemporaryFile(QString path) : m_path(std::move(path)) {}
    ~TemporaryFile() {
        if (!m_path.isEmpty()) {
            QFile::remove(m_path);
        }
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    const QString &path() const { return m_path; }
    void release() { m_path.clear(); }

private:
    QString m_path;
};

// The system's word for the last failure of `file` ("No space left on device"); Qt's own text
// for a failed write is only "Unknown error".
QString systemReason(const QFile &file) {
    return errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
}

// Streams the file (or its data set) into `out` in chunks, so a large multi-frame image is
// never held twice.
void streamTo(QFile &out, DcmFileFormat &file, E_TransferSyntax xfer, bool fileFormat,
              const QString &path) {
    DcmObject &object =
        fileFormat ? static_cast<DcmObject &>(file) : static_cast<DcmObject &>(*file.getDataset());
    if (fileFormat) {
        file.validateMetaInfo(xfer, EWM_createNewMeta);
    }
    std::vector<char> buffer(1 << 20);
    DcmOutputBufferStream stream(buffer.data(), offile_off_t(buffer.size()));
    object.transferInit();
    OFCondition status = EC_StreamNotifyClient;
    while (status == EC_StreamNotifyClient) {
        if (fileFormat) {
            status = file.write(stream, xfer, EET_ExplicitLength, nullptr, EGL_recalcGL,
                                EPD_noChange, 0, 0, 0, EWM_dontUpdateMeta);
        } else {
            status = object.write(stream, xfer, EET_ExplicitLength, nullptr);
        }
        if (status.good()) {
            stream.flush();
        }
        void *chunk = nullptr;
        offile_off_t length = 0;
        stream.flushBuffer(chunk, length);
        errno = 0;
        if (length > 0 && out.write(static_cast<const char *>(chunk), qint64(length)) != length) {
            const QString reason = systemReason(out);
            object.transferEnd();
            fail(errc::FileAccess, QStringLiteral("%1: cannot be written: %2").arg(path, reason));
        }
    }
    object.transferEnd();
    if (status.bad()) {
        fail(errc::Damaged, QStringLiteral("%1: the data set cannot be encoded as %2: %3")
                                .arg(path, nameOf(xfer), QString::fromLatin1(status.text())));
    }
}

// Writes beside `path` under a name no other writer uses, then renames it into place; the
// rename replaces an existing file in one step.
void writeAtomically(DcmFileFormat &file, E_TransferSyntax xfer, bool fileFormat,
                     const QString &path) {
    const QFileInfo target(path);
    const QDir folder = target.absoluteDir();
    if (target.isDir()) {
        fail(errc::FileAccess, QStringLiteral("%1: cannot be written: it is a folder").arg(path));
    }
    QFile out;
    std::optional<TemporaryFile> temporary;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            QStringLiteral(".ravlen-%1.part")
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        out.setFileName(folder.filePath(name));
        // NewOnly: never opens (or follows) something that is already there
        if (out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            temporary.emplace(out.fileName());
            break;
        }
        if (!QFileInfo::exists(out.fileName())) {
            break; // not a clash of names: the folder itself refuses
        }
    }
    if (!temporary) {
        fail(errc::FileAccess, QStringLiteral("%1: cannot be written: %2")
                                   .arg(path, folder.exists() ? out.errorString()
                                                              : QStringLiteral("no such folder")));
    }
    streamTo(out, file, xfer, fileFormat, path);
    errno = 0;
    out.close();
    if (out.error() != QFileDevice::NoError) {
        fail(errc::FileAccess,
             QStringLiteral("%1: cannot be written: %2").arg(path, systemReason(out)));
    }
    if (std::rename(QFile::encodeName(temporary->path()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        fail(errc::FileAccess, QStringLiteral("%1: cannot be written: %2")
                                   .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    temporary->release();
}

} // namespace

DicomWriteResult writeDicomFile(const Image &image, const QString &path, bool fileFormat,
                                const QString &transferSyntaxUid, int quality) {
    ensureToolkit();
    const std::optional<Target> target = targetFor(transferSyntaxUid);
    if (!target) {
        fail(errc::Unsupported, QStringLiteral("%1: the transfer syntax %2 cannot be written")
                                    .arg(path, transferSyntaxUid));
    }
    if (image.data().file == nullptr || image.data().dataset().card() == 0) {
        fail(errc::NoPixelData,
             QStringLiteral("%1: the image holds no data set to write").arg(path));
    }
    DicomWriteResult result;
    std::unique_ptr<DcmFileFormat> file = image.data().copyFile();
    E_TransferSyntax xfer = target->xfer;
    const bool alreadyThere = image.data().xfer == xfer && target->coding == Coding::Lossy;
    if (alreadyThere) {
        // Already lossy in this very syntax: written as it is, without a second generation
        // of losses.
        result.lossy = true;
    } else {
        makeNative(*file->getDataset(), image);
        QString refusal;
        if (target->coding == Coding::Lossy) {
            if (encodeLossy(*file->getDataset(), xfer, quality, refusal)) {
                result.lossy = pixelDataOf(*file->getDataset()) != nullptr;
                result.newInstance = result.lossy;
            } else {
                // The lossy encoder draws through DCMTK's DicomImage, which takes 8 to 32-bit
                // monochrome, signed or not, RGB of 8 and 16 bits, YBR, palettes and many
                // frames; what it refuses is what DicomImage cannot draw. Pixels the viewer
                // cannot decode either are damaged, and no other syntax would make them
                // whole: that is the error to report. The rest falls back to JPEG Lossless.
                for (int f = 1; f <= image.frameCount(); ++f) {
                    (void)image.frame(f);
                }
                // The lossy encoder's refusal may have left the copy half changed: start
                // again from the image, losslessly.
                result.note = QStringLiteral("%1 refused the pixels (%2); written as %3")
                                  .arg(nameOf(xfer), refusal, nameOf(EXS_JPEGProcess14SV1));
                file = image.data().copyFile();
                makeNative(*file->getDataset(), image);
                xfer = EXS_JPEGProcess14SV1;
                if (!encodeLossless(*file->getDataset(), xfer, refusal)) {
                    result.note = QStringLiteral("%1 refused the pixels (%2); written uncompressed")
                                      .arg(nameOf(target->xfer), refusal);
                    xfer = EXS_LittleEndianExplicit;
                }
            }
        } else if (target->coding == Coding::Lossless &&
                   !encodeLossless(*file->getDataset(), xfer, refusal)) {
            result.note = QStringLiteral("%1 refused the pixels (%2); written uncompressed")
                              .arg(nameOf(xfer), refusal);
            xfer = EXS_LittleEndianExplicit;
        }
    }
    writeAtomically(*file, xfer, fileFormat, path);
    result.transferSyntaxUid = uidOf(xfer);
    return result;
}

} // namespace ravlen::toolkit
