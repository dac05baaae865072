// Writing images as DICOM files, read back by the toolkit and by DCMTK's own tools, and the
// DICOMDIR of a folder of such files.
#include "core/errors.h"
#include "support/dicomtestdata.h"
#include "support/filesizelimit.h"
#include "toolkit/dicomdir.h"
#include "toolkit/dicomwriter.h"
#include "toolkit/image.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>

// Readable failure messages for texts.
void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

using namespace ravlen;
using namespace ravlen::toolkit;
using namespace ravlen::testdata;

namespace {

const QString kExplicitLittle = QStringLiteral("1.2.840.10008.1.2.1");
const QString kJpegLossless = QStringLiteral("1.2.840.10008.1.2.4.70");

// A smooth CT-like picture in Hounsfield units from `low` to `high`.
std::vector<int> hounsfield(int rows, int columns, int low, int high) {
    std::vector<int> v;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const double t = 0.5 + 0.5 * std::sin(x / 5.0) * std::cos(y / 7.0);
            v.push_back(low + int(std::lround(t * (high - low))));
        }
    }
    v.front() = low;
    v.back() = high;
    return v;
}

// Signed 16-bit CT with intercept -1024, holding `hu` as modality values.
std::shared_ptr<Image> ctImage(const std::vector<int> &hu, int rows, int columns) {
    std::vector<int> stored;
    for (int v : hu) {
        stored.push_back(v + 1024);
    }
    DataSetBuilder b =
        baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.2"), QStringLiteral("1.2.3.4.5.6.99"));
    b.set(0x0008, 0x0060, QStringLiteral("CT"));
    b.set(0x0028, 0x1052, QStringLiteral("-1024"));
    b.set(0x0028, 0x1053, QStringLiteral("1"));
    b.setPixels(monochrome(rows, columns, 1, 16, 16, true, stored));
    return Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), QStringLiteral("ct.dcm"));
}

std::vector<double> modalityValues(const Image &image, int frame = 1) {
    const PixelFrame f = image.frame(frame);
    const ModalityTransform &m = image.modalityTransform();
    std::vector<double> out;
    for (int i = 0; i < f.rows * f.columns; ++i) {
        double stored = 0;
        switch (f.sample) {
        case PixelFrame::Sample::U8:
            stored = f.data->at(std::size_t(i));
            break;
        case PixelFrame::Sample::U16:
            stored = reinterpret_cast<const std::uint16_t *>(f.data->data())[i];
            break;
        case PixelFrame::Sample::S16:
            stored = reinterpret_cast<const std::int16_t *>(f.data->data())[i];
            break;
        default:
            ADD_FAILURE() << "unexpected sample type";
        }
        out.push_back(stored * m.slope + m.intercept);
    }
    return out;
}

double largestError(const std::vector<double> &a, const std::vector<int> &b) {
    double worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        worst = std::max(worst, std::abs(a[i] - b[i]));
    }
    return worst;
}

class DicomWriter : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList folderEntries() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir m_dir;
};

TEST_F(DicomWriter, SixteenBitCtReadsBackInHounsfieldUnitsThroughTheNewRescale) {
    const std::vector<int> hu = hounsfield(48, 64, -1000, 1500);
    const auto source = ctImage(hu, 48, 64);
    const DicomWriteResult r =
        writeDicomFile(*source, path(QStringLiteral("ct")), true, kJpegExtendedUid, 100);
    EXPECT_EQ(r.transferSyntaxUid, kJpegExtendedUid);
    EXPECT_TRUE(r.lossy);
    EXPECT_TRUE(r.newInstance);
    EXPECT_TRUE(r.note.isEmpty()) << r.note.toStdString();

    const auto back = Image::fromFile(path(QStringLiteral("ct")));
    EXPECT_EQ(back->transferSyntaxUid(), kJpegExtendedUid);
    EXPECT_EQ(back->bitsStored(), 12);
    EXPECT_NE(back->instanceUID(), source->instanceUID());
    // 2,500 values fit 12 bits: the scaling keeps a step of one, so quality 100 stays within a
    // few units, and only if the new intercept is applied.
    EXPECT_NE(back->modalityTransform().intercept, -1024.0);
    EXPECT_LE(largestError(modalityValues(*back), hu), 4.0);
    // The stored window is in Hounsfield units and stays valid.
    EXPECT_EQ(back->attribute(0x0028, 0x2110).toString(), QStringLiteral("01"));
}

TEST_F(DicomWriter, FullSixteenBitRangeIsScaledWithASlope) {
    const std::vector<int> values = hounsfield(32, 32, -30000, 30000);
    const auto source = ctImage(values, 32, 32);
    writeDicomFile(*source, path(QStringLiteral("wide")), true, kJpegExtendedUid, 100);
    const auto back = Image::fromFile(path(QStringLiteral("wide")));
    const double slope = back->modalityTransform().slope;
    EXPECT_GT(slope, 10.0);
    EXPECT_LE(largestError(modalityValues(*back), values), 4.0 * slope);
}

TEST_F(DicomWriter, DcmtkToolsReadTheWrittenFile) {
    if (tool(QStringLiteral("dcmdump")).isEmpty() || tool(QStringLiteral("dcmj2pnm")).isEmpty()) {
        GTEST_SKIP() << "DCMTK's tools are not installed";
    }
    const auto source = ctImage(hounsfield(40, 40, -1000, 400), 40, 40);
    const QString file = path(QStringLiteral("IM000001"));
    writeDicomFile(*source, file, true, kJpegExtendedUid, 100);
    QString errors;
    EXPECT_EQ(runTool(QStringLiteral("dcmdump"), {QStringLiteral("-q"), file}, &errors), 0)
        << errors.toStdString();
    EXPECT_EQ(runTool(QStringLiteral("dcmj2pnm"), {file, path(QStringLiteral("ct.pgm"))}, &errors),
              0)
        << errors.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("ct.pgm"))));
}

TEST_F(DicomWriter, ColourAndMultiFrameImagesAreEncodedLossy) {
    PixelSpec rgb;
    rgb.rows = 24;
    rgb.columns = 32;
    rgb.frames = 2;
    rgb.samplesPerPixel = 3;
    rgb.bitsAllocated = rgb.bitsStored = 8;
    rgb.photometric = QStringLiteral("RGB");
    rgb.data = bytes(rgbValues(24, 32, 2));
    DataSetBuilder colour = baseDataSet();
    colour.setPixels(rgb);
    const auto colourImage =
        Image::fromBytes(colour.toBytes(TransferSyntax::ExplicitLittle), QStringLiteral("rgb"));

    DataSetBuilder loop = baseDataSet();
    loop.setPixels(monochrome(16, 16, 5, 8, 8, false, rampValues(16, 16, 5, 8, false)));
    const auto loopImage =
        Image::fromBytes(loop.toBytes(TransferSyntax::ExplicitLittle), QStringLiteral("loop"));

    for (const auto &[image, name] :
         {std::pair{colourImage, QStringLiteral("rgb")}, {loopImage, QStringLiteral("loop")}}) {
        const DicomWriteResult r = writeDicomFile(*image, path(name), true, kJpegExtendedUid, 100);
        EXPECT_EQ(r.transferSyntaxUid, kJpegExtendedUid) << name.toStdString();
        EXPECT_TRUE(r.note.isEmpty()) << r.note.toStdString();
        const auto back = Image::fromFile(path(name));
        EXPECT_EQ(back->frameCount(), image->frameCount());
        EXPECT_EQ(back->frame(back->frameCount()).sample, image->frame(1).sample);
    }
}

TEST_F(DicomWriter, CompressedSourcesAreDecodedFirstAndLossyOnesKeptAsTheyAre) {
    const std::vector<int> hu = hounsfield(32, 32, -1000, 1000);
    const auto native = ctImage(hu, 32, 32);
    writeDicomFile(*native, path(QStringLiteral("lossless")), true, kJpegLossless, 100);
    const auto lossless = Image::fromFile(path(QStringLiteral("lossless")));
    EXPECT_EQ(lossless->transferSyntaxUid(), kJpegLossless);
    EXPECT_EQ(lossless->instanceUID(), native->instanceUID()); // lossless: same instance
    EXPECT_EQ(largestError(modalityValues(*lossless), hu), 0.0);

    writeDicomFile(*lossless, path(QStringLiteral("lossy")), true, kJpegExtendedUid, 100);
    const auto lossy = Image::fromFile(path(QStringLiteral("lossy")));
    EXPECT_LE(largestError(modalityValues(*lossy), hu), 4.0);

    // Exporting a lossy file again adds no second loss and keeps its identity.
    const DicomWriteResult again =
        writeDicomFile(*lossy, path(QStringLiteral("again")), true, kJpegExtendedUid, 100);
    EXPECT_FALSE(again.newInstance);
    EXPECT_EQ(Image::fromFile(path(QStringLiteral("again")))->instanceUID(), lossy->instanceUID());

    // JPEG 2000, which DCMTK cannot decode, is written from the frames the viewer decodes.
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(16, 16, 1, 16, 12, false, rampValues(16, 16, 1, 12, false)));
    const auto j2k =
        Image::fromBytes(b.toBytes(TransferSyntax::Jpeg2000Lossless), QStringLiteral("j2k"));
    writeDicomFile(*j2k, path(QStringLiteral("from-j2k")), true, kExplicitLittle, 100);
    const auto fromJ2k = Image::fromFile(path(QStringLiteral("from-j2k")));
    EXPECT_EQ(fromJ2k->transferSyntaxUid(), kExplicitLittle);
    const PixelFrame a = j2k->frame(1);
    const PixelFrame c = fromJ2k->frame(1);
    EXPECT_EQ(*a.data, *c.data);
}

TEST_F(DicomWriter, BareDataSetHasNoPreamble) {
    const auto source = ctImage(hounsfield(8, 8, 0, 100), 8, 8);
    writeDicomFile(*source, path(QStringLiteral("bare")), false, kExplicitLittle, 100);
    QFile f(path(QStringLiteral("bare")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_NE(f.read(132).mid(128), QByteArray("DICM"));
    EXPECT_EQ(Image::fromFile(f.fileName())->rows(), 8);
}

TEST_F(DicomWriter, RefusesWhatItCannotWrite) {
    const auto source = ctImage(hounsfield(8, 8, 0, 100), 8, 8);
    const auto expectError = [&](const std::function<void()> &call, int number) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const ToolkitError &e) {
            EXPECT_EQ(e.number(), number) << e.what();
        }
    };
    expectError(
        [&] { writeDicomFile(*Image::placeholder(), path("p"), true, kJpegExtendedUid, 100); },
        errc::NoPixelData);
    expectError([&] { writeDicomFile(*source, path("x"), true, QStringLiteral("1.2.3"), 100); },
                errc::Unsupported);
    expectError(
        [&] { writeDicomFile(*source, path("no/such/folder/x"), true, kJpegExtendedUid, 100); },
        errc::FileAccess);
    expectError([&] { writeDicomFile(*source, m_dir.path(), true, kJpegExtendedUid, 100); },
                errc::FileAccess);
    // A palette image without its palette loads, but neither DCMTK nor the viewer can draw
    // it: an error, not a quiet fallback to another syntax.
    PixelSpec palette;
    palette.rows = palette.columns = 8;
    palette.bitsAllocated = palette.bitsStored = 8;
    palette.photometric = QStringLiteral("PALETTE COLOR");
    palette.data = QByteArray(64, 7);
    DataSetBuilder b = baseDataSet();
    b.setPixels(palette);
    const auto noPalette =
        Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), QStringLiteral("palette"));
    try {
        writeDicomFile(*noPalette, path("palette"), true, kJpegExtendedUid, 100);
        ADD_FAILURE() << "no error";
    } catch (const ToolkitError &e) {
        EXPECT_NE(std::string(e.what()).find("palette"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(' ').toStdString();
}

// A folder nobody may write into: a read-only one, or where permissions do not bind (root),
// one of the kernel's.
QString unwritableFolder(const QTemporaryDir &dir) {
    const QString folder = dir.filePath(QStringLiteral("readonly"));
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(folder + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly)) {
        return folder;
    }
    probe.remove();
    QFile sys(QStringLiteral("/sys/ravlen-probe"));
    return sys.open(QIODevice::WriteOnly) ? QString() : QStringLiteral("/sys");
}

TEST_F(DicomWriter, ReadOnlyFolderGivesAClearError) {
    const QString folder = unwritableFolder(m_dir);
    if (folder.isEmpty()) {
        GTEST_SKIP() << "no folder here refuses writing";
    }
    const auto source = ctImage(hounsfield(8, 8, 0, 100), 8, 8);
    try {
        writeDicomFile(*source, folder + QStringLiteral("/x.dcm"), true, kJpegExtendedUid, 100);
        ADD_FAILURE() << "no error";
    } catch (const ToolkitError &e) {
        EXPECT_EQ(e.number(), errc::FileAccess);
        EXPECT_NE(std::string(e.what()).find("cannot be written"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/x.dcm")));
}

TEST_F(DicomWriter, FullDiskLeavesTheEarlierFileAndNoPartialOne) {
    const auto small = ctImage(hounsfield(8, 8, 0, 100), 8, 8);
    const QString target = path(QStringLiteral("IM000001"));
    writeDicomFile(*small, target, true, kExplicitLittle, 100);
    QFile before(target);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray earlier = before.readAll();
    before.close();

    const auto big = ctImage(hounsfield(256, 256, -1000, 1000), 256, 256);
    {
        const test::FileSizeLimit limit(64 * 1024);
        try {
            writeDicomFile(*big, target, true, kExplicitLittle, 100);
            ADD_FAILURE() << "no error";
        } catch (const ToolkitError &e) {
            EXPECT_EQ(e.number(), errc::FileAccess);
            EXPECT_NE(std::string(e.what()).find("IM000001: cannot be written"), std::string::npos)
                << e.what();
        }
    }
    QFile after(target);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), earlier);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("IM000001")});
}

TEST(DicomFileIds, FollowTheMediaRules) {
    for (const char *good : {"IM000001", "A", "DICOMDIR", "X_1"}) {
        EXPECT_TRUE(isDicomFileId(QString::fromLatin1(good))) << good;
    }
    for (const char *bad : {"", "IM0000001", "im000001", "SERIES02-01", "A.DCM", "A B"}) {
        EXPECT_FALSE(isDicomFileId(QString::fromLatin1(bad))) << bad;
    }
}

TEST_F(DicomWriter, DicomDirListsTheImagesOfTheFolder) {
    const auto ct = ctImage(hounsfield(16, 16, -1000, 400), 16, 16);
    for (const char *id : {"IM000001", "IM000002"}) {
        writeDicomFile(*ct, path(QString::fromLatin1(id)), true, kJpegExtendedUid, 100);
    }
    QFile text(path(QStringLiteral("README.TXT")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not an image\r\n");
    text.close();

    const DicomDirResult r =
        writeDicomDir(m_dir.path(),
                      {QStringLiteral("IM000001"), QStringLiteral("IM000002"),
                       QStringLiteral("README.TXT"), QStringLiteral("NOTHERE")},
                      QStringLiteral("RAVLEN_PACS"));
    EXPECT_EQ(r.listed, (QStringList{QStringLiteral("IM000001"), QStringLiteral("IM000002")}));
    ASSERT_EQ(r.refused.size(), 2);
    EXPECT_TRUE(r.refused[0].startsWith(QStringLiteral("README.TXT: ")));
    EXPECT_TRUE(r.refused[1].startsWith(QStringLiteral("NOTHERE: ")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral(".DICOMDIR.part"))));

    if (!tool(QStringLiteral("dcmdump")).isEmpty()) {
        QProcess dump;
        dump.start(tool(QStringLiteral("dcmdump")), {path(QStringLiteral("DICOMDIR"))});
        ASSERT_TRUE(dump.waitForFinished(30000));
        const QString out = QString::fromLatin1(dump.readAllStandardOutput());
        EXPECT_EQ(out.count(QStringLiteral("ReferencedFileID")), 2) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("[RAVLEN_PACS]")));
    }
}

} // namespace
