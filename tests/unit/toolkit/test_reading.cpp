#include "core/errors.h"
#include "support/dicomtestdata.h"
#include "toolkit/datasetbuilder.h"
#include "toolkit/image.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>

using namespace ravlen;
using namespace ravlen::toolkit;
using namespace ravlen::testdata;

namespace {

struct ImageCase {
    const char *name;
    int rows, columns, frames, bitsAllocated, bitsStored;
    bool isSigned;
    const char *photometric; // monochrome ones; "RGB" for colour
};

const ImageCase imageCases[] = {
    {"u8", 17, 13, 1, 8, 8, false, "MONOCHROME2"},
    {"u8_3frames", 16, 12, 3, 8, 8, false, "MONOCHROME2"},
    {"u12", 16, 20, 1, 16, 12, false, "MONOCHROME2"},
    {"s12", 16, 20, 1, 16, 12, true, "MONOCHROME2"},
    {"s16", 24, 16, 1, 16, 16, true, "MONOCHROME2"},
    {"u16_mono1", 16, 16, 1, 16, 16, false, "MONOCHROME1"},
    {"s16_2frames", 16, 16, 2, 16, 16, true, "MONOCHROME2"},
    {"rgb", 15, 11, 1, 8, 8, false, "RGB"},
    {"rgb_2frames", 12, 10, 2, 8, 8, false, "RGB"},
};

bool isColour(const ImageCase &c) {
    return std::strcmp(c.photometric, "RGB") == 0;
}

std::vector<int> valuesFor(const ImageCase &c) {
    return isColour(c) ? rgbValues(c.rows, c.columns, c.frames)
                       : rampValues(c.rows, c.columns, c.frames, c.bitsStored, c.isSigned);
}

DataSetBuilder builderFor(const ImageCase &c) {
    DataSetBuilder b = baseDataSet();
    if (isColour(c)) {
        PixelSpec p;
        p.rows = c.rows;
        p.columns = c.columns;
        p.frames = c.frames;
        p.samplesPerPixel = 3;
        p.bitsAllocated = p.bitsStored = 8;
        p.photometric = QStringLiteral("RGB");
        p.data = bytes(valuesFor(c));
        b.setPixels(p);
    } else {
        b.setPixels(monochrome(c.rows, c.columns, c.frames, c.bitsAllocated, c.bitsStored,
                               c.isSigned, valuesFor(c), QString::fromLatin1(c.photometric)));
    }
    return b;
}

// Every sample of a decoded frame as an int, whatever its type.
std::vector<int> samplesOf(const PixelFrame &f) {
    std::vector<int> out;
    const std::size_t n =
        std::size_t(f.rows) * f.columns * (f.sample == PixelFrame::Sample::Rgb8 ? 3 : 1);
    const std::uint8_t *d = f.data->data();
    for (std::size_t i = 0; i < n; ++i) {
        switch (f.sample) {
        case PixelFrame::Sample::U8:
        case PixelFrame::Sample::Rgb8:
            out.push_back(d[i]);
            break;
        case PixelFrame::Sample::S8:
            out.push_back(reinterpret_cast<const std::int8_t *>(d)[i]);
            break;
        case PixelFrame::Sample::U16:
            out.push_back(reinterpret_cast<const std::uint16_t *>(d)[i]);
            break;
        case PixelFrame::Sample::S16:
            out.push_back(reinterpret_cast<const std::int16_t *>(d)[i]);
            break;
        case PixelFrame::Sample::U32:
            out.push_back(int(reinterpret_cast<const std::uint32_t *>(d)[i]));
            break;
        case PixelFrame::Sample::S32:
            out.push_back(reinterpret_cast<const std::int32_t *>(d)[i]);
            break;
        }
    }
    return out;
}

std::vector<int> frameSlice(const std::vector<int> &all, const ImageCase &c, int frame) {
    const std::size_t n = std::size_t(c.rows) * c.columns * (isColour(c) ? 3 : 1);
    return std::vector<int>(all.begin() + std::ptrdiff_t(n * frame),
                            all.begin() + std::ptrdiff_t(n * (frame + 1)));
}

PixelFrame::Sample expectedSample(const ImageCase &c) {
    if (isColour(c)) {
        return PixelFrame::Sample::Rgb8;
    }
    if (c.bitsStored <= 8) {
        return c.isSigned ? PixelFrame::Sample::S8 : PixelFrame::Sample::U8;
    }
    return c.isSigned ? PixelFrame::Sample::S16 : PixelFrame::Sample::U16;
}

// Lossless syntaxes the toolkit writes itself, against every image kind.
struct LosslessParam {
    TransferSyntax syntax;
    ImageCase image;
};

class LosslessRoundTrip : public ::testing::TestWithParam<LosslessParam> {};

TEST_P(LosslessRoundTrip, PixelsReadBackAsWritten) {
    const LosslessParam &p = GetParam();
    const ImageCase &c = p.image;
    const QByteArray file = builderFor(c).toBytes(p.syntax);
    const auto image = Image::fromBytes(file, QStringLiteral("roundtrip.dcm"));

    EXPECT_EQ(image->transferSyntaxUid(), transferSyntaxUid(p.syntax));
    ASSERT_EQ(image->frameCount(), c.frames);
    EXPECT_EQ(image->rows(), c.rows);
    EXPECT_EQ(image->columns(), c.columns);
    const std::vector<int> all = valuesFor(c);
    for (int f = 0; f < c.frames; ++f) {
        const PixelFrame frame = image->frame(f + 1);
        EXPECT_EQ(frame.sample, expectedSample(c));
        EXPECT_EQ(frame.columns, c.columns);
        EXPECT_EQ(frame.rows, c.rows);
        if (!isColour(c)) {
            EXPECT_EQ(frame.bitsStored, c.bitsStored);
            EXPECT_EQ(frame.photometric, std::strcmp(c.photometric, "MONOCHROME1") == 0
                                             ? PixelFrame::Photometric::Monochrome1
                                             : PixelFrame::Photometric::Monochrome2);
        }
        EXPECT_EQ(samplesOf(frame), frameSlice(all, c, f)) << "frame " << f + 1;
    }
}

std::vector<LosslessParam> losslessParams() {
    std::vector<LosslessParam> out;
    for (TransferSyntax s :
         {TransferSyntax::ImplicitLittle, TransferSyntax::ExplicitLittle,
          TransferSyntax::ExplicitBig, TransferSyntax::Deflated, TransferSyntax::JpegLossless,
          TransferSyntax::JpegLsLossless, TransferSyntax::Rle, TransferSyntax::Jpeg2000Lossless}) {
        for (const ImageCase &c : imageCases) {
            out.push_back({s, c});
        }
    }
    return out;
}

std::string paramName(const ::testing::TestParamInfo<LosslessParam> &info) {
    std::string name =
        transferSyntaxName(info.param.syntax).toStdString() + "_" + info.param.image.name;
    for (char &ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Syntaxes, LosslessRoundTrip, ::testing::ValuesIn(losslessParams()),
                         paramName);

double meanAbsoluteError(const std::vector<int> &a, const std::vector<int> &b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += std::abs(a[i] - b[i]);
    }
    return sum / double(a.size());
}

// A smooth picture, so lossy JPEG stays close to it.
std::vector<int> smoothValues(int rows, int columns, int maxValue) {
    std::vector<int> v;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            v.push_back(int(maxValue * (0.5 + 0.4 * std::sin(x / 6.0) * std::cos(y / 9.0))));
        }
    }
    return v;
}

TEST(LossyJpeg, BaselineEightBitStaysClose) {
    const std::vector<int> values = smoothValues(64, 48, 255);
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(64, 48, 1, 8, 8, false, values));
    const auto image =
        Image::fromBytes(b.toBytes(TransferSyntax::JpegBaseline), QStringLiteral("b.dcm"));
    EXPECT_EQ(image->transferSyntaxUid(), QStringLiteral("1.2.840.10008.1.2.4.50"));
    EXPECT_LT(meanAbsoluteError(samplesOf(image->frame(1)), values), 2.0);
}

TEST(LossyJpeg, ExtendedTwelveBitStaysClose) {
    const std::vector<int> values = smoothValues(64, 48, 4095);
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(64, 48, 1, 16, 12, false, values));
    const auto image =
        Image::fromBytes(b.toBytes(TransferSyntax::JpegExtended), QStringLiteral("e.dcm"));
    EXPECT_EQ(image->frame(1).sample, PixelFrame::Sample::U16);
    EXPECT_LT(meanAbsoluteError(samplesOf(image->frame(1)), values), 16.0);
}

TEST(LossyJpeg, SixteenBitCtKeepsHounsfieldValuesThroughTheNewRescale) {
    // DCMTK squeezes 16-bit data into 12 bits and writes a new rescale; reading applies it.
    std::vector<int> values = smoothValues(32, 32, 3000);
    for (int &v : values) {
        v -= 1024;
    }
    DataSetBuilder b = baseDataSet();
    b.set(0x0028, 0x1052, QStringLiteral("0"));
    b.set(0x0028, 0x1053, QStringLiteral("1"));
    b.setPixels(monochrome(32, 32, 1, 16, 16, true, values));
    const auto image =
        Image::fromBytes(b.toBytes(TransferSyntax::JpegExtended), QStringLiteral("ct.dcm"));
    const ModalityTransform m = image->modalityTransform();
    const std::vector<int> stored = samplesOf(image->frame(1));
    double error = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        error += std::abs(stored[i] * m.slope + m.intercept - values[i]);
    }
    EXPECT_LT(error / double(values.size()), 20.0);
}

class ToolFiles : public ::testing::Test {
protected:
    QString write(const DataSetBuilder &b, const QString &name) {
        const QString path = m_dir.filePath(name);
        b.save(path, TransferSyntax::ExplicitLittle);
        return path;
    }
    // Runs a DCMTK tool from `in` to a new file; skips the test when the tool is missing.
    QString convert(const QString &toolName, const QStringList &options, const QString &in) {
        const QString out = in + QStringLiteral(".") + toolName + QString::number(++m_count);
        QString errors;
        const int rc = runTool(toolName, QStringList(options) << in << out, &errors);
        EXPECT_EQ(rc, 0) << toolName.toStdString() << ": " << errors.toStdString();
        return out;
    }
    QTemporaryDir m_dir;
    int m_count = 0;
};

TEST_F(ToolFiles, DcmconvSyntaxesReadLikeTheOriginal) {
    if (tool(QStringLiteral("dcmconv")).isEmpty()) {
        GTEST_SKIP() << "dcmconv is not installed";
    }
    const ImageCase c = imageCases[3]; // signed 12-bit
    const QString source = write(builderFor(c), QStringLiteral("s12.dcm"));
    struct Case {
        const char *option;
        const char *uid;
    };
    for (const Case &k :
         {Case{"+ti", "1.2.840.10008.1.2"}, Case{"+te", "1.2.840.10008.1.2.1"},
          Case{"+tb", "1.2.840.10008.1.2.2"}, Case{"+td", "1.2.840.10008.1.2.1.99"}}) {
        const QString out =
            convert(QStringLiteral("dcmconv"), {QString::fromLatin1(k.option)}, source);
        const auto image = Image::fromFile(out);
        EXPECT_EQ(image->transferSyntaxUid(), QString::fromLatin1(k.uid));
        EXPECT_EQ(samplesOf(image->frame(1)), valuesFor(c)) << k.option;
    }
}

TEST_F(ToolFiles, DcmtkCompressorsReadBackLosslessly) {
    struct Case {
        const char *tool;
        const char *option;
        const char *uid;
    };
    for (const Case &k : {Case{"dcmcjpeg", "+e1", "1.2.840.10008.1.2.4.70"},
                          Case{"dcmcjpeg", "+el", "1.2.840.10008.1.2.4.57"},
                          Case{"dcmcrle", "", "1.2.840.10008.1.2.5"},
                          Case{"dcmcjpls", "+el", "1.2.840.10008.1.2.4.80"}}) {
        if (tool(QString::fromLatin1(k.tool)).isEmpty()) {
            GTEST_SKIP() << k.tool << " is not installed";
        }
        for (const ImageCase &c : {imageCases[1], imageCases[2], imageCases[8]}) {
            const QString source = write(builderFor(c), QString::fromLatin1(c.name) + ".dcm");
            QStringList options;
            if (*k.option) {
                options << QString::fromLatin1(k.option);
            }
            const auto image =
                Image::fromFile(convert(QString::fromLatin1(k.tool), options, source));
            EXPECT_EQ(image->transferSyntaxUid(), QString::fromLatin1(k.uid));
            const std::vector<int> all = valuesFor(c);
            for (int f = 0; f < c.frames; ++f) {
                EXPECT_EQ(samplesOf(image->frame(f + 1)), frameSlice(all, c, f))
                    << k.tool << " " << k.option << " " << c.name << " frame " << f + 1;
            }
        }
    }
}

TEST_F(ToolFiles, BaselineJpegFromDcmcjpegIsYbr422AndShowsTheColours) {
    if (tool(QStringLiteral("dcmcjpeg")).isEmpty()) {
        GTEST_SKIP() << "dcmcjpeg is not installed";
    }
    // flat colour blocks survive chroma subsampling
    const int rows = 32, columns = 32;
    std::vector<int> rgb;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const bool left = x < 16, top = y < 16;
            rgb.push_back(left ? 200 : 20);
            rgb.push_back(top ? 180 : 40);
            rgb.push_back(left == top ? 60 : 220);
        }
    }
    DataSetBuilder b = baseDataSet();
    PixelSpec p;
    p.rows = rows;
    p.columns = columns;
    p.samplesPerPixel = 3;
    p.bitsAllocated = p.bitsStored = 8;
    p.photometric = QStringLiteral("RGB");
    p.data = bytes(rgb);
    b.setPixels(p);
    const auto image = Image::fromFile(
        convert(QStringLiteral("dcmcjpeg"), {QStringLiteral("+eb")}, write(b, "rgb.dcm")));
    EXPECT_EQ(image->photometricInterpretation(), QStringLiteral("YBR_FULL_422"));
    const std::vector<int> got = samplesOf(image->frame(1));
    ASSERT_EQ(got.size(), rgb.size());
    // away from the block edges, where subsampling blurs
    for (int y : {4, 10, 20, 28}) {
        for (int x : {4, 10, 20, 28}) {
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = std::size_t((y * columns + x) * 3 + k);
                EXPECT_NEAR(got[i], rgb[i], 8) << "x " << x << " y " << y << " sample " << k;
            }
        }
    }
}

// --- colour models written natively

int clampByte(double v) {
    return std::clamp(int(std::lround(v)), 0, 255);
}

TEST(ColourModels, YbrFullNativeBecomesRgb) {
    const std::vector<int> rgb = rgbValues(8, 8, 1);
    std::vector<int> ybr;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        const double r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
        ybr.push_back(clampByte(0.299 * r + 0.587 * g + 0.114 * b));
        ybr.push_back(clampByte(-0.168736 * r - 0.331264 * g + 0.5 * b + 128));
        ybr.push_back(clampByte(0.5 * r - 0.418688 * g - 0.081312 * b + 128));
    }
    DataSetBuilder b = baseDataSet();
    PixelSpec p;
    p.rows = p.columns = 8;
    p.samplesPerPixel = 3;
    p.bitsAllocated = p.bitsStored = 8;
    p.photometric = QStringLiteral("YBR_FULL");
    p.data = bytes(ybr);
    b.setPixels(p);
    const auto image = Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), "ybr.dcm");
    const std::vector<int> got = samplesOf(image->frame(1));
    ASSERT_EQ(got.size(), rgb.size());
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        EXPECT_NEAR(got[i], rgb[i], 3) << "sample " << i;
    }
}

TEST(ColourModels, YbrFull422NativeSharesChromaBetweenPixelPairs) {
    // two pixels a pair: Y1 Y2 Cb Cr; grey chroma keeps the picture grey
    const std::vector<int> packed = {10, 20,  128, 128, 200, 250, 128, 128,
                                     0,  255, 128, 128, 90,  91,  128, 128};
    DataSetBuilder b = baseDataSet();
    PixelSpec p;
    p.rows = 2;
    p.columns = 4;
    p.samplesPerPixel = 3;
    p.bitsAllocated = p.bitsStored = 8;
    p.photometric = QStringLiteral("YBR_FULL_422");
    p.data = bytes(packed);
    b.setPixels(p);
    const auto image = Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), "422.dcm");
    const std::vector<int> got = samplesOf(image->frame(1));
    const std::vector<int> luma = {10, 20, 200, 250, 0, 255, 90, 91};
    ASSERT_EQ(got.size(), luma.size() * 3);
    for (std::size_t i = 0; i < luma.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(got[i * 3 + std::size_t(k)], luma[i], 1) << "pixel " << i;
        }
    }
}

TEST(ColourModels, PlanarRgbIsInterleavedOnDecode) {
    const std::vector<int> rgb = rgbValues(6, 5, 1);
    std::vector<int> planar(rgb.size());
    const std::size_t n = rgb.size() / 3;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            planar[k * n + i] = rgb[i * 3 + k];
        }
    }
    DataSetBuilder b = baseDataSet();
    PixelSpec p;
    p.rows = 6;
    p.columns = 5;
    p.samplesPerPixel = 3;
    p.bitsAllocated = p.bitsStored = 8;
    p.photometric = QStringLiteral("RGB");
    p.planarConfiguration = 1;
    p.data = bytes(planar);
    b.setPixels(p);
    for (TransferSyntax s :
         {TransferSyntax::ExplicitLittle, TransferSyntax::Rle, TransferSyntax::Jpeg2000Lossless}) {
        const auto image = Image::fromBytes(b.toBytes(s), "planar.dcm");
        EXPECT_EQ(samplesOf(image->frame(1)), rgb) << transferSyntaxName(s).toStdString();
    }
}

TEST(ColourModels, PaletteColourLooksUpEveryIndex) {
    // 4 entries of 16 bits; the picture shows the top eight bits
    DataSetBuilder b = baseDataSet();
    for (quint16 e : {0x1101, 0x1102, 0x1103}) {
        b.set(0x0028, e, QStringLiteral("US"), QStringLiteral("4\\0\\16"));
    }
    b.setBytes(0x0028, 0x1201, "OW", words({0x0000, 0xFF00, 0x1200, 0x8000}));
    b.setBytes(0x0028, 0x1202, "OW", words({0x0000, 0x0000, 0x3400, 0x8000}));
    b.setBytes(0x0028, 0x1203, "OW", words({0x0000, 0x0000, 0x5600, 0xFFFF}));
    b.setPixels(monochrome(2, 2, 1, 8, 8, false, {0, 1, 2, 3}, QStringLiteral("PALETTE COLOR")));
    const auto image = Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), "pal.dcm");
    EXPECT_EQ(samplesOf(image->frame(1)),
              (std::vector<int>{0, 0, 0, 255, 0, 0, 0x12, 0x34, 0x56, 0x80, 0x80, 0xFF}));
}

// --- data sets without preamble and meta header, and broken files

TEST(Reading, RawDataSetsWithoutMetaHeaderRead) {
    const ImageCase c = imageCases[2];
    for (TransferSyntax s : {TransferSyntax::ImplicitLittle, TransferSyntax::ExplicitLittle}) {
        WriteOptions o;
        o.fileMetaHeader = false;
        const QByteArray raw = builderFor(c).toBytes(s, o);
        ASSERT_NE(raw.mid(128, 4), QByteArray("DICM"));
        const auto image = Image::fromBytes(raw, "raw.dcm");
        EXPECT_EQ(samplesOf(image->frame(1)), valuesFor(c));
        EXPECT_EQ(image->patientName(), QStringLiteral("Test, Patient"));
    }
}

void expectError(const std::function<void()> &f, const QString &name, int number = 0) {
    try {
        f();
        ADD_FAILURE() << "no error for " << name.toStdString();
    } catch (const ToolkitError &e) {
        EXPECT_TRUE(QString::fromStdString(e.what()).contains(name)) << e.what();
        if (number != 0) {
            EXPECT_EQ(e.number(), number) << e.what();
        }
    }
}

TEST(Reading, BrokenInputGivesErrorsNamingTheFile) {
    QTemporaryDir dir;
    const QString text = dir.filePath("notes.txt");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("This is a plain text file, certainly not an image.\n");
    f.close();
    expectError([&] { Image::fromFile(text); }, text);

    const QString missing = dir.filePath("missing.dcm");
    expectError([&] { Image::fromFile(missing); }, missing, errc::FileAccess);

    expectError([&] { Image::fromBytes(QByteArray(), "empty.dcm"); }, "empty.dcm");

    // cut inside the pixel data, and inside the elements before it
    const QByteArray whole = builderFor(imageCases[4]).toBytes(TransferSyntax::ExplicitLittle);
    for (qsizetype keep : {whole.size() - 100, qsizetype(200)}) {
        const QString name = QStringLiteral("cut%1.dcm").arg(keep);
        expectError(
            [&] {
                const auto image = Image::fromBytes(whole.left(keep), name);
                image->frame(1);
            },
            name);
    }
}

TEST(Reading, OddBitDepthLoadsButRefusesToDecode) {
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(4, 4, 1, 16, 12, false, std::vector<int>(16, 7)));
    b.set(0x0028, 0x0100, QStringLiteral("13"));
    const auto image = Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), "odd.dcm");
    EXPECT_FALSE(image->elements().empty());
    EXPECT_EQ(image->bitsAllocated(), 13);
    expectError([&] { image->frame(1); }, "odd.dcm", errc::Unsupported);
    EXPECT_GT(image->width(), 0.0); // a window all the same
    expectError([&] { image->frame(2); }, "odd.dcm", errc::BadArgument);
}

TEST(Reading, WrongVrForRowsIsReadAsANumber) {
    DataSetBuilder b = baseDataSet();
    b.setPixels(monochrome(4, 3, 1, 8, 8, false, std::vector<int>(12, 9)));
    b.set(0x0028, 0x0010, QStringLiteral("IS"), QStringLiteral("4"));
    const auto image = Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), "vr.dcm");
    EXPECT_EQ(image->rows(), 4);
    EXPECT_EQ(samplesOf(image->frame(1)), std::vector<int>(12, 9));
}

TEST(Reading, FramesAreDecodedOnceAndShared) {
    const auto image = Image::fromBytes(
        builderFor(imageCases[6]).toBytes(TransferSyntax::ExplicitLittle), "shared.dcm");
    const PixelFrame a = image->frame(2);
    const PixelFrame b = image->frame(2);
    EXPECT_EQ(a.data.get(), b.data.get());
    EXPECT_NE(image->frame(1).data.get(), a.data.get());
}

TEST(Reading, PixelDataElementReportsItsLength) {
    const ImageCase c = imageCases[4];
    const auto image =
        Image::fromBytes(builderFor(c).toBytes(TransferSyntax::ImplicitLittle), "again.dcm");
    image->frame(1);
    EXPECT_EQ(image->attribute(0x7FE0, 0x0010).toString(),
              QStringLiteral("(binary, %1 bytes)").arg(c.rows * c.columns * 2));
}

} // namespace
