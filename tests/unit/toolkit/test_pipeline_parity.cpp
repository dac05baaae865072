// Grey levels of the display pipeline against DCMTK's dcmj2pnm, image by image: each file is
// read through Image, frame 1 is rendered at its own size and compared with the PGM/PPM that
// dcmj2pnm writes for the same window. Every value must be within 1; the largest difference of
// each case is printed.

#include "toolkit/datasetbuilder.h"
#include "toolkit/image.h"
#include "toolkit/pipeline.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace ravlen::toolkit;

namespace {

enum class Window { Stored, Default, Explicit, VoiLut, Colour };

struct ParityCase {
    const char *name;
    PixelSpec pixels;
    std::function<void(DataSetBuilder &)> elements; // window, rescale, LUTs
    Window window;
    double center = 0.0, width = 0.0; // for Window::Explicit
};

// Every stored value from lo to hi once, then pseudo-random ones, so each grey step is met;
// later frames are shifted, so showing the wrong frame shows.
PixelSpec pixels(int columns, int rows, int bits, int bitsStored, int lo, int hi,
                 const char *photometric = "MONOCHROME2", int frames = 1) {
    PixelSpec p;
    p.columns = columns;
    p.rows = rows;
    p.frames = frames;
    p.bitsAllocated = bits;
    p.bitsStored = bitsStored;
    p.pixelRepresentation = lo < 0 ? 1 : 0;
    p.photometric = QString::fromLatin1(photometric);
    p.samplesPerPixel = p.photometric == "RGB" ? 3 : 1;
    const int count = columns * rows * frames * p.samplesPerPixel;
    for (int i = 0; i < count; ++i) {
        const int n =
            i < hi - lo + 1 ? i : int(((std::uint32_t(i) * 2654435761u) >> 7) % (hi - lo + 1));
        const int v = lo + (n + i / (columns * rows * p.samplesPerPixel) * 977) % (hi - lo + 1);
        p.data.append(char(v & 0xFF));
        if (bits == 16) {
            p.data.append(char((v >> 8) & 0xFF));
        }
    }
    return p;
}

QByteArray lut(int count, const std::function<int(int)> &entry) {
    QByteArray b;
    for (int i = 0; i < count; ++i) {
        const int v = entry(i);
        b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    }
    return b;
}

auto set(std::vector<std::pair<quint16, const char *>> values) {
    return [values](DataSetBuilder &b) {
        for (const auto &[element, value] : values) {
            b.set(0x0028, element, QString::fromLatin1(value));
        }
    };
}

// A LUT sequence item: descriptor "count\first\bits" and the entries.
auto lutSequence(quint16 sequence, const char *descriptor, const QByteArray &entries) {
    return [=](DataSetBuilder &b) {
        DataSetBuilder item;
        item.set(0x0028, 0x3002, "US", QString::fromLatin1(descriptor))
            .set(0x0028, 0x3004, "HU")
            .setBytes(0x0028, 0x3006, "OW", entries);
        b.addItem(0x0028, sequence, item);
    };
}

int largestDifference(const QImage &a, const QImage &b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width() * (a.depth() / 8); ++x) {
            worst = std::max(worst, std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]));
        }
    }
    return worst;
}

} // namespace

TEST(PipelineParity, GreyLevelsMatchDcmj2pnm) {
    const QString dcmj2pnm = QStandardPaths::findExecutable("dcmj2pnm");
    if (dcmj2pnm.isEmpty()) {
        GTEST_SKIP() << "DCMTK's dcmj2pnm is needed";
    }
    QTemporaryDir dir;
    const auto ct = set({{0x1050, "40"}, {0x1051, "400"}, {0x1052, "-1024"}, {0x1053, "1"}});
    const auto palette = [](DataSetBuilder &b) {
        const std::function<int(int)> colours[] = {[](int i) { return i * 257; },
                                                   [](int i) { return (255 - i) * 251 + 17; },
                                                   [](int i) { return (i * 7919) % 65536; }};
        for (quint16 c = 0; c < 3; ++c) {
            b.set(0x0028, 0x1101 + c, "US", "256\\0\\16")
                .setBytes(0x0028, 0x1201 + c, "OW", lut(256, colours[c]));
        }
    };
    const auto sqrtVoi =
        lut(4096, [](int i) { return int(std::lround(std::sqrt(i / 4095.0) * 65535)); });
    const auto tenfold = lut(4096, [](int i) { return std::min(65535, i * 10 + 3); });

    const ParityCase cases[] = {
        {"ct_signed16", pixels(96, 80, 16, 16, -1000, 3000), ct, Window::Stored},
        {"ct_first_of_two", pixels(96, 80, 16, 16, -1000, 3000),
         set({{0x1050, "40\\-600"}, {0x1051, "400\\1500"}, {0x1052, "-1024"}, {0x1053, "1"}}),
         Window::Stored},
        {"unsigned12_default", pixels(67, 45, 16, 12, 0, 4095), set({}), Window::Default},
        {"signed12_default", pixels(64, 70, 16, 12, -2048, 2047), set({}), Window::Default},
        {"eight_bit_default", pixels(66, 45, 8, 8, 20, 230), set({}), Window::Default},
        {"eight_bit_window", pixels(66, 45, 8, 8, 0, 255),
         set({{0x1050, "127.5"}, {0x1051, "100"}}), Window::Stored},
        {"monochrome1", pixels(64, 64, 16, 12, 0, 4095, "MONOCHROME1"),
         set({{0x1050, "2000"}, {0x1051, "1000"}}), Window::Stored},
        {"monochrome1_default", pixels(64, 64, 16, 12, 100, 4000, "MONOCHROME1"), set({}),
         Window::Default},
        // DCMTK cuts rescaled values to whole numbers; these windows are wide enough that a
        // unit is at most one grey level, so the values between integers stay within 1.
        {"slope_2_3", pixels(64, 64, 16, 12, 0, 4095),
         set({{0x1050, "3000"}, {0x1051, "500"}, {0x1052, "7"}, {0x1053, "2.3"}}), Window::Stored},
        {"slope_0_5_default", pixels(64, 64, 16, 12, 0, 4095),
         set({{0x1052, "-100"}, {0x1053, "0.5"}}), Window::Default},
        {"explicit_wide", pixels(96, 80, 16, 16, -1000, 3000), ct, Window::Explicit, -600, 1500},
        {"explicit_narrow", pixels(96, 80, 16, 16, -1000, 3000), ct, Window::Explicit, 35.5, 20},
        {"explicit_threshold", pixels(96, 80, 16, 16, -1000, 3000), ct, Window::Explicit, 40, 1},
        {"voi_lut", pixels(64, 64, 16, 12, 0, 4095), lutSequence(0x3010, "4096\\0\\16", sqrtVoi),
         Window::VoiLut},
        {"modality_lut_default", pixels(64, 64, 16, 12, 1000, 1999),
         lutSequence(0x3000, "4096\\0\\16", tenfold), Window::Default},
        {"multiframe_first", pixels(40, 30, 16, 12, 0, 4095, "MONOCHROME2", 3),
         set({{0x1050, "2048"}, {0x1051, "4096"}}), Window::Stored},
        {"rgb", pixels(50, 40, 8, 8, 0, 255, "RGB"), set({}), Window::Colour},
        {"palette_colour", pixels(50, 40, 8, 8, 0, 255, "PALETTE COLOR"), palette, Window::Colour},
    };

    for (const ParityCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(QString::fromLatin1(c.name) + ".dcm");
        const QString theirs = dir.filePath(QString::fromLatin1(c.name) + ".pnm");
        DataSetBuilder b;
        b.set(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7")
            .set(0x0008, 0x0018,
                 QStringLiteral("1.2.826.0.1.3680043.2.1143.%1").arg(qHash(file) % 99999))
            .setPixels(c.pixels);
        c.elements(b);
        b.save(file, TransferSyntax::ExplicitLittle);
        const auto image = Image::fromFile(file);
        const PixelFrame frame = image->frame(1);

        // The windows we draw with; the default one is checked both as the image gives it and
        // as the pipeline's own min-max window computes it.
        std::vector<WindowSetting> windows;
        QStringList args{"--write-raw-pnm", "+F", "1"};
        std::optional<VoiLut> voi;
        const StoredWindow own = image->defaultWindow();
        switch (c.window) {
        case Window::Stored: // the default window is the first stored one, as +Wi 1 picks it
            args << "+Wi"
                 << "1";
            windows.push_back({own.center, own.width});
            break;
        case Window::Default:
            args << "+Wm";
            windows.push_back({own.center, own.width});
            windows.push_back(minMaxWindow(frame, image->modalityTransform()));
            break;
        case Window::Explicit:
            args << "+Ww" << QString::number(c.center) << QString::number(c.width);
            windows.push_back({c.center, c.width});
            break;
        case Window::VoiLut:
            args << "+Wl"
                 << "1";
            voi = image->voiLut();
            ASSERT_TRUE(voi.has_value());
            windows.push_back({});
            break;
        case Window::Colour:
            windows.push_back({});
            break;
        }
        QProcess p;
        p.start(dcmj2pnm, args << file << theirs);
        ASSERT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0)
            << p.readAllStandardError().toStdString();
        const bool colour = c.window == Window::Colour;
        const QImage expected = QImage(theirs).convertToFormat(colour ? QImage::Format_RGB888
                                                                      : QImage::Format_Grayscale8);
        ASSERT_FALSE(expected.isNull());

        for (std::size_t i = 0; i < windows.size(); ++i) {
            RenderRequest r;
            r.center = windows[i].center;
            r.width = windows[i].width;
            r.voiLut = voi ? &*voi : nullptr;
            const QImage ours = renderFrame(frame, image->modalityTransform(), r);
            ASSERT_EQ(ours.format(), expected.format());
            ASSERT_EQ(ours.size(), expected.size());
            const int worst = largestDifference(ours, expected);
            std::printf("[ parity   ] %-22s %-16s largest difference %d\n", c.name,
                        i == 0 ? "" : "(minMaxWindow)", worst);
            EXPECT_LE(worst, 1) << "window " << r.center << "/" << r.width;
        }
    }
}
