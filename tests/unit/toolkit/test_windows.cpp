// Windows, modality transforms and the image's internal data. Links DCMTK to compare the
// default window with DCMTK's own min-max window, which dcmj2pnm +Wm draws with.

#include "support/dicomtestdata.h"
#include "toolkit/image.h"
#include "toolkit/imagedata.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmimgle/dcmimage.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace ravlen;
using namespace ravlen::toolkit;
using namespace ravlen::testdata;

namespace {

std::shared_ptr<Image> load(const DataSetBuilder &b) {
    return Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), QStringLiteral("w.dcm"));
}

// DCMTK's min-max window for frame `index` (0-based) of the image's own data set.
std::pair<double, double> dcmtkMinMax(const Image &image, int index) {
    const std::unique_ptr<DcmFileFormat> file = image.data().copyFile();
    DicomImage di(file->getDataset(), image.data().xfer, CIF_UsePartialAccessToPixelData,
                  static_cast<unsigned long>(index), 1);
    EXPECT_EQ(di.getStatus(), EIS_Normal);
    EXPECT_TRUE(di.setMinMaxWindow(0));
    double center = 0, width = 0;
    di.getWindow(center, width);
    return {center, width};
}

struct MinMaxCase {
    const char *name;
    int bitsAllocated, bitsStored;
    bool isSigned;
    const char *slope; // nullptr: no rescale
    const char *intercept;
    const char *photometric;
};

TEST(Windows, MinMaxWindowMatchesDcmtk) {
    const MinMaxCase cases[] = {
        {"u12", 16, 12, false, nullptr, nullptr, "MONOCHROME2"},
        {"ct", 16, 16, true, "1", "-1024", "MONOCHROME2"},
        {"fractional rescale", 16, 12, false, "0.5", "0.25", "MONOCHROME2"},
        {"negative fractional", 16, 16, true, "0.3", "-7.7", "MONOCHROME2"},
        {"mono1 u8", 8, 8, false, nullptr, nullptr, "MONOCHROME1"},
        {"s8", 8, 8, true, "2", "10", "MONOCHROME2"},
    };
    for (const MinMaxCase &c : cases) {
        // the values of a real picture sit inside the range: leave its ends unused
        std::vector<int> values = rampValues(9, 7, 2, c.bitsStored, c.isSigned);
        for (int &v : values) {
            v = v / 2 + (c.isSigned ? 0 : 3);
        }
        DataSetBuilder b = baseDataSet();
        if (c.slope) {
            b.set(0x0028, 0x1053, QString::fromLatin1(c.slope));
            b.set(0x0028, 0x1052, QString::fromLatin1(c.intercept));
        }
        b.setPixels(monochrome(9, 7, 2, c.bitsAllocated, c.bitsStored, c.isSigned, values,
                               QString::fromLatin1(c.photometric)));
        const auto image = load(b);
        for (int frame : {1, 2}) {
            const StoredWindow ours = image->minMaxWindow(frame);
            const auto [center, width] = dcmtkMinMax(*image, frame - 1);
            EXPECT_DOUBLE_EQ(ours.center, center) << c.name << " frame " << frame;
            EXPECT_DOUBLE_EQ(ours.width, width) << c.name << " frame " << frame;
        }
        EXPECT_DOUBLE_EQ(image->level(), image->minMaxWindow(1).center) << c.name;
        EXPECT_DOUBLE_EQ(image->width(), image->minMaxWindow(1).width) << c.name;
    }
}

TEST(Windows, StoredWindowsComeFirstInOrder) {
    DataSetBuilder b = baseDataSet();
    b.set(0x0028, 0x1050, QStringLiteral("40\\-600"));
    b.set(0x0028, 0x1051, QStringLiteral("400.5\\1500"));
    b.set(0x0028, 0x1055, QStringLiteral("SOFT\\LUNG"));
    b.setPixels(monochrome(2, 2, 1, 16, 16, true, {-1000, 0, 50, 1000}));
    const auto image = load(b);
    const std::vector<StoredWindow> windows = image->storedWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_DOUBLE_EQ(windows[0].width, 400.5);
    EXPECT_DOUBLE_EQ(windows[1].center, -600.0);
    EXPECT_EQ(windows[1].explanation, QStringLiteral("LUNG"));
    EXPECT_DOUBLE_EQ(image->level(), 40.0);
    EXPECT_DOUBLE_EQ(image->width(), 400.5);
    image->setLevel(-600);
    image->setWidth(1500);
    EXPECT_DOUBLE_EQ(image->level(), -600.0);
    image->applyDefaultWindow();
    EXPECT_DOUBLE_EQ(image->level(), 40.0);
    EXPECT_DOUBLE_EQ(image->width(), 400.5);
}

TEST(Windows, ModalityAndVoiLutsAreRead) {
    DataSetBuilder lutItem;
    lutItem.set(0x0028, 0x3002, QStringLiteral("US"), QStringLiteral("4\\2\\12"));
    lutItem.setBytes(0x0028, 0x3006, QStringLiteral("US"), words({10, 20, 30, 4000}));
    DataSetBuilder b = baseDataSet();
    b.addItem(0x0028, 0x3000, lutItem);
    b.addItem(0x0028, 0x3010, lutItem);
    b.setPixels(monochrome(2, 2, 1, 16, 12, false, {2, 3, 4, 5}));
    const auto image = load(b);
    const ModalityTransform m = image->modalityTransform();
    ASSERT_TRUE(m.lut.has_value());
    EXPECT_EQ(m.lut->firstMapped, 2);
    EXPECT_EQ(m.lut->bits, 12);
    EXPECT_EQ(m.lut->data, (std::vector<std::uint16_t>{10, 20, 30, 4000}));
    ASSERT_TRUE(image->voiLut().has_value());
    EXPECT_EQ(image->voiLut()->data.size(), 4u);
    // min-max over the LUT entries the pixels reach
    const StoredWindow w = image->minMaxWindow(1);
    EXPECT_DOUBLE_EQ(w.width, 4000 - 10 + 1);

    DataSetBuilder plain = baseDataSet();
    plain.setPixels(monochrome(1, 1, 1, 8, 8, false, {1}));
    const ModalityTransform identity = load(plain)->modalityTransform();
    EXPECT_FALSE(identity.lut.has_value());
    EXPECT_DOUBLE_EQ(identity.slope, 1.0);
    EXPECT_DOUBLE_EQ(identity.intercept, 0.0);
}

TEST(ImageData, NativeSixteenBitFrameSharesItsBufferAndCopiesKeepThePixels) {
    const std::vector<int> values = rampValues(8, 8, 1, 16, true);
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(8, 8, 1, 16, 16, true, values));
    const auto image = load(b);
    ASSERT_TRUE(image->data().pixelsTakenOut);
    const PixelFrame frame = image->frame(1);
    EXPECT_EQ(frame.data.get(), image->data().nativeFrames[0].get()); // no second copy

    // a copy of the file for writing carries the pixel data again
    std::unique_ptr<DcmFileFormat> copy = image->data().copyFile();
    const QString path = QDir::temp().filePath(QStringLiteral("ravlen_copy_test.dcm"));
    ASSERT_TRUE(copy->saveFile(path.toLocal8Bit().constData(), EXS_LittleEndianExplicit).good());
    const auto again = Image::fromFile(path);
    QFile::remove(path);
    const PixelFrame back = again->frame(1);
    ASSERT_EQ(back.data->size(), frame.data->size());
    EXPECT_EQ(*back.data, *frame.data);
}

} // namespace

namespace {

TEST(Render, DrawsTheCurrentFrameWithTheImagesWindow) {
    // frame 1 dark, frame 2 bright; a window from 0 to 100
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(2, 2, 2, 16, 12, false, {0, 0, 0, 0, 100, 100, 100, 100}));
    const auto image = load(b);
    image->setLevel(50);
    image->setWidth(100);
    EXPECT_EQ(image->render().pixelColor(0, 0), QColor(0, 0, 0));
    image->setCurrentFrame(2);
    const QImage bright = image->render(QSize(4, 4), Filter::Nearest);
    EXPECT_EQ(bright.size(), QSize(4, 4));
    EXPECT_EQ(bright.pixelColor(3, 3), QColor(255, 255, 255));
}

} // namespace

namespace {

// Rewrites a JPEG 2000 file so every frame spans two fragments, with or without the Basic
// Offset Table, as other writers do.
QString splitEveryFrame(const QString &in, bool withOffsets) {
    DcmFileFormat file;
    EXPECT_TRUE(file.loadFile(in.toLocal8Bit().constData()).good());
    DcmElement *element = nullptr;
    file.getDataset()->findAndGetElement(DCM_PixelData, element);
    auto *pixelData = static_cast<DcmPixelData *>(element);
    E_TransferSyntax repType = EXS_Unknown;
    const DcmRepresentationParameter *repParam = nullptr;
    pixelData->getOriginalRepresentationKey(repType, repParam);
    DcmPixelSequence *old = nullptr;
    EXPECT_TRUE(pixelData->getEncapsulatedRepresentation(repType, repParam, old).good());

    auto *sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
    auto *table = new DcmPixelItem(DCM_PixelItemTag);
    sequence->insert(table);
    DcmOffsetList offsets;
    for (unsigned long i = 1; i < old->card(); ++i) {
        DcmPixelItem *item = nullptr;
        Uint8 *bytes = nullptr;
        old->getItem(item, i);
        item->getUint8Array(bytes);
        const Uint32 length = item->getLength();
        const Uint32 half = (length / 4) * 2;
        for (auto [from, size] : {std::pair<Uint32, Uint32>{0, half}, {half, length - half}}) {
            auto *part = new DcmPixelItem(DCM_PixelItemTag);
            part->putUint8Array(bytes + from, size);
            sequence->insert(part);
        }
        offsets.push_back(length + 16);
    }
    if (withOffsets) {
        table->createOffsetTable(offsets);
    }
    pixelData->putOriginalRepresentation(repType, nullptr, sequence);
    const QString out = in + (withOffsets ? QStringLiteral(".table") : QStringLiteral(".plain"));
    EXPECT_TRUE(file.saveFile(out.toLocal8Bit().constData(), repType).good());
    return out;
}

TEST(Jpeg2000, FramesSpreadOverSeveralFragmentsAreFound) {
    QTemporaryDir dir;
    const std::vector<int> values = rampValues(6, 5, 3, 16, true);
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(6, 5, 3, 16, 16, true, values));
    const QString path = dir.filePath(QStringLiteral("j2k.dcm"));
    b.save(path, TransferSyntax::Jpeg2000Lossless);
    const auto reference = Image::fromFile(path);
    for (bool withOffsets : {true, false}) {
        const auto image = Image::fromFile(splitEveryFrame(path, withOffsets));
        for (int f : {3, 1, 2}) { // out of order on purpose
            EXPECT_EQ(*image->frame(f).data, *reference->frame(f).data)
                << (withOffsets ? "offset table" : "no table") << ", frame " << f;
        }
    }
}

} // namespace

namespace {

// Replaces the pixel data of `in` by one encapsulated fragment holding `code`.
QString withFragment(const QString &in, const QByteArray &code) {
    DcmFileFormat file;
    EXPECT_TRUE(file.loadFile(in.toLocal8Bit().constData()).good());
    DcmElement *element = nullptr;
    file.getDataset()->findAndGetElement(DCM_PixelData, element);
    auto *sequence = new DcmPixelSequence(DCM_PixelSequenceTag);
    sequence->insert(new DcmPixelItem(DCM_PixelItemTag));
    QByteArray even = code;
    if (even.size() % 2) {
        even.append('\0');
    }
    auto *fragment = new DcmPixelItem(DCM_PixelItemTag);
    fragment->putUint8Array(reinterpret_cast<const Uint8 *>(even.constData()),
                            static_cast<unsigned long>(even.size()));
    sequence->insert(fragment);
    static_cast<DcmPixelData *>(element)->putOriginalRepresentation(EXS_JPEG2000LosslessOnly,
                                                                    nullptr, sequence);
    const QString out = in + QStringLiteral(".j2k.dcm");
    EXPECT_TRUE(file.saveFile(out.toLocal8Bit().constData(), EXS_JPEG2000LosslessOnly).good());
    return out;
}

TEST(Jpeg2000, Jp2WrappedStreamFromOpjCompressTakesItsSignFromTheDataSet) {
    if (tool(QStringLiteral("opj_compress")).isEmpty()) {
        GTEST_SKIP() << "opj_compress is not installed";
    }
    QTemporaryDir dir;
    // signed 12-bit values, written to a 12-bit unsigned PGM as their two's complement bits
    const int rows = 6, columns = 8;
    std::vector<int> values;
    QByteArray pgm = QByteArray("P5\n8 6\n4095\n");
    for (int i = 0; i < rows * columns; ++i) {
        const int v = (i * 97) % 4096 - 2048;
        values.push_back(v);
        const int bits = v & 0xFFF;
        pgm.append(char(bits >> 8)).append(char(bits & 0xFF));
    }
    const QString pgmPath = dir.filePath(QStringLiteral("in.pgm"));
    QFile f(pgmPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(pgm);
    f.close();
    const QString jp2Path = dir.filePath(QStringLiteral("out.jp2"));
    QString errors;
    ASSERT_EQ(
        runTool(QStringLiteral("opj_compress"), {"-n", "2", "-i", pgmPath, "-o", jp2Path}, &errors),
        0)
        << errors.toStdString();
    QFile jp2(jp2Path);
    ASSERT_TRUE(jp2.open(QIODevice::ReadOnly));

    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(rows, columns, 1, 16, 12, true, values));
    const QString native = dir.filePath(QStringLiteral("native.dcm"));
    b.save(native, TransferSyntax::ExplicitLittle);
    const auto image = Image::fromFile(withFragment(native, jp2.readAll()));
    EXPECT_EQ(image->transferSyntaxUid(), QStringLiteral("1.2.840.10008.1.2.4.90"));
    const PixelFrame frame = image->frame(1);
    ASSERT_EQ(frame.sample, PixelFrame::Sample::S16);
    const auto *p = reinterpret_cast<const std::int16_t *>(frame.data->data());
    EXPECT_EQ(std::vector<int>(p, p + rows * columns), values);
}

} // namespace
