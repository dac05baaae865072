#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace ravlen::toolkit {

// The transfer syntaxes the toolkit writes.
enum class TransferSyntax {
    ImplicitLittle,   // 1.2.840.10008.1.2
    ExplicitLittle,   // 1.2.840.10008.1.2.1
    ExplicitBig,      // 1.2.840.10008.1.2.2
    Deflated,         // 1.2.840.10008.1.2.1.99
    JpegBaseline,     // 1.2.840.10008.1.2.4.50, 8-bit, lossy
    JpegExtended,     // 1.2.840.10008.1.2.4.51, 12-bit, lossy
    JpegLossless,     // 1.2.840.10008.1.2.4.70, selection value 1
    JpegLsLossless,   // 1.2.840.10008.1.2.4.80
    Rle,              // 1.2.840.10008.1.2.5
    Jpeg2000Lossless, // 1.2.840.10008.1.2.4.90
};

// Short names for command lines: "implicit", "explicit", "big-endian", "deflated",
// "jpeg-baseline", "jpeg-extended", "jpeg-lossless", "jpeg-ls", "rle", "jpeg2000".
QString transferSyntaxName(TransferSyntax syntax);
QString transferSyntaxUid(TransferSyntax syntax);
QStringList transferSyntaxNames();
// A short name or a UID; nothing when it names no syntax the toolkit writes.
std::optional<TransferSyntax> transferSyntaxFromName(const QString &nameOrUid);

// The pixels of an image in their native (uncompressed, little-endian) layout.
struct PixelSpec {
    int rows = 0;
    int columns = 0;
    int frames = 1; // Number of Frames is written when above 1
    int samplesPerPixel = 1;
    int bitsAllocated = 16;
    int bitsStored = 16;
    int highBit = -1; // -1: bitsStored - 1
    int pixelRepresentation = 0;
    QString photometric = QStringLiteral("MONOCHROME2");
    int planarConfiguration = 0;
    QByteArray data; // the frames one after another; its length is written as it is
};

struct WriteOptions {
    bool fileMetaHeader = true; // false: a raw data set without preamble and meta header
    int quality = 90;           // lossy JPEG quality, 1..100
};

// Builds a DICOM data set from values and writes it in a chosen transfer syntax. Texts are
// given in UTF-8 and converted to the declared Specific Character Set; without one, non-ASCII
// text is written in UTF-8 and the data set declares "ISO_IR 192". Items speak their parent's
// character set unless they declare their own. Errors throw ToolkitError.
class DataSetBuilder {
public:
    DataSetBuilder();
    ~DataSetBuilder();
    DataSetBuilder(const DataSetBuilder &other);
    DataSetBuilder &operator=(const DataSetBuilder &other);
    DataSetBuilder(DataSetBuilder &&other) noexcept;
    DataSetBuilder &operator=(DataSetBuilder &&other) noexcept;

    // Declares the Specific Character Set (0008,0005), e.g. "ISO_IR 100"; later texts are
    // converted to it. A set with code extensions is declared but takes texts through
    // setBytes only.
    DataSetBuilder &setCharacterSet(const QString &terms);
    // Sets an element from its text form ("512", "1.5\2.5", "20240131", "Doe^John"); the VR
    // comes from the dictionary unless given.
    DataSetBuilder &set(quint16 group, quint16 element, const QString &value);
    DataSetBuilder &set(quint16 group, quint16 element, const QString &vr, const QString &value);
    // Sets an element's value bytes as they are (texts not converted; binary VRs in little
    // endian). For legacy character sets and odd values in tests.
    DataSetBuilder &setBytes(quint16 group, quint16 element, const QString &vr,
                             const QByteArray &value);
    // Appends an item to the sequence (group, element), creating the sequence if needed.
    DataSetBuilder &addItem(quint16 group, quint16 element, const DataSetBuilder &item);
    // Adds an empty sequence (no items).
    DataSetBuilder &addEmptySequence(quint16 group, quint16 element);
    DataSetBuilder &remove(quint16 group, quint16 element);
    // Writes the image pixel module and the pixel data.
    DataSetBuilder &setPixels(const PixelSpec &pixels);

    QByteArray toBytes(TransferSyntax syntax, const WriteOptions &options = WriteOptions()) const;
    void save(const QString &path, TransferSyntax syntax,
              const WriteOptions &options = WriteOptions()) const;

    struct Private;

private:
    std::unique_ptr<Private> d;
};

} // namespace ravlen::toolkit
