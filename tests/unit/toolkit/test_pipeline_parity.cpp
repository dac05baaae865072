// Grey levels of the display pipeline against DCMTK's dcmj2pnm, image by image: files are made
// with dump2dcm, read through Image, rendered at their own size (frame 1) and compared with the
// PGM/PPM dcmj2pnm writes for the same window. Every value must be within 1; the largest
// difference of each case is printed.

#include "toolkit/image.h"
#include "toolkit/pipeline.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace ravlen::toolkit;

namespace {

enum class Window { Stored, Default, Explicit, VoiLut, Colour };

struct ParityCase {
    const char *name;
    int columns, rows, frames;
    int bitsAllocated, bitsStored, pixelRepresentation; // 8 with samples 3 for RGB
    QString photometric;
    QString elements;                    // further dump lines (window, rescale, LUTs)
    std::function<int(int)> storedValue; // pixel i of frame 1 (later frames get other values)
    Window window;
    double center = 0.0, width = 0.0; // for Window::Explicit
};

// Fills every stored value a frame's bit depth allows once, then pseudo-random values, so that
// each grey-level step of the window is visited.
std::function<int(int)> sweep(int lo, int hi) {
    return [lo, hi](int i) {
        const int span = hi - lo + 1;
        if (i < span) {
            return lo + i;
        }
        const std::uint32_t h = static_cast<std::uint32_t>(i) * 2654435761u;
        return lo + static_cast<int>((h >> 7) % static_cast<std::uint32_t>(span));
    };
}

QByteArray words(const std::vector<int> &values) {
    QByteArray b(static_cast<qsizetype>(values.size()) * 2, '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        b[qsizetype(2 * i)] = char(values[i] & 0xFF);
        b[qsizetype(2 * i + 1)] = char((values[i] >> 8) & 0xFF);
    }
    return b;
}

class PipelineParity : public ::testing::Test {
protected:
    void SetUp() override {
        m_dump2dcm = QStandardPaths::findExecutable("dump2dcm");
        m_dcmj2pnm = QStandardPaths::findExecutable("dcmj2pnm");
        if (m_dump2dcm.isEmpty() || m_dcmj2pnm.isEmpty()) {
            GTEST_SKIP() << "DCMTK's dump2dcm and dcmj2pnm are needed";
        }
        ASSERT_TRUE(m_dir.isValid());
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static bool run(const QString &program, const QStringList &args, QString *error) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            *error = program + " " + args.join(' ') + ": " + p.readAllStandardError();
            return false;
        }
        return true;
    }

    QString makeDicom(const ParityCase &c) {
        const bool colour = c.photometric == "RGB";
        const int samples = colour ? 3 : 1;
        const int bytes = c.bitsAllocated / 8;
        const int pixels = c.columns * c.rows;
        QByteArray data;
        for (int f = 0; f < c.frames; ++f) {
            std::vector<int> values(static_cast<std::size_t>(pixels) * samples);
            for (std::size_t i = 0; i < values.size(); ++i) {
                // Later frames are shifted, so showing the wrong frame shows.
                const int v = c.storedValue(int(i) + f * 977);
                values[i] = v & ((1 << c.bitsAllocated) - 1);
            }
            if (bytes == 2) {
                data += words(values);
            } else {
                for (int v : values) {
                    data += char(v);
                }
            }
        }
        if (data.size() % 2) {
            data += '\0';
        }
        const QString name = QString::fromLatin1(c.name);
        writeFile(name + ".raw", data);
        const int highBit = c.bitsStored - 1;
        QString dump = QStringLiteral("(0002,0010) UI =LittleEndianExplicit\n"
                                      "(0008,0016) UI [1.2.840.10008.5.1.4.1.1.7]\n"
                                      "(0008,0018) UI [1.2.826.0.1.3680043.2.1143.%1]\n"
                                      "(0008,0060) CS [OT]\n"
                                      "(0010,0010) PN [Parity^%2]\n"
                                      "(0028,0002) US %3\n"
                                      "(0028,0004) CS [%4]\n")
                           .arg(qHash(name) % 100000)
                           .arg(name)
                           .arg(samples)
                           .arg(c.photometric);
        if (colour) {
            dump += "(0028,0006) US 0\n";
        }
        if (c.frames > 1) {
            dump += QStringLiteral("(0028,0008) IS [%1]\n").arg(c.frames);
        }
        dump += QStringLiteral("(0028,0010) US %1\n(0028,0011) US %2\n(0028,0100) US %3\n"
                               "(0028,0101) US %4\n(0028,0102) US %5\n(0028,0103) US %6\n")
                    .arg(c.rows)
                    .arg(c.columns)
                    .arg(c.bitsAllocated)
                    .arg(c.bitsStored)
                    .arg(highBit)
                    .arg(c.pixelRepresentation);
        dump += c.elements;
        dump += QStringLiteral("(7fe0,0010) %1 =%2\n")
                    .arg(bytes == 2 ? "OW" : "OB", path(name + ".raw"));
        writeFile(name + ".dump", dump.toUtf8());
        QString error;
        if (!run(m_dump2dcm, {path(name + ".dump"), path(name + ".dcm")}, &error)) {
            ADD_FAILURE() << error.toStdString();
        }
        return path(name + ".dcm");
    }

    // Writes a LUT's 16-bit entries to a file a dump can name.
    QString lutFile(const QString &name, const std::vector<int> &entries) {
        writeFile(name, words(entries));
        return path(name);
    }

    // Renders one case both ways and compares.
    void check(const ParityCase &c) {
        const QString file = makeDicom(c);
        const QString expectedPath = path(QString::fromLatin1(c.name) + ".pnm");
        QStringList args{"--write-raw-pnm", "+F", "1"};
        RenderRequest request;
        std::shared_ptr<Image> image;
        try {
            image = Image::fromFile(file);
        } catch (const std::exception &e) {
            FAIL() << "cannot read: " << e.what();
        }
        std::optional<VoiLut> voi;
        switch (c.window) {
        case Window::Stored: {
            // The image's default window is its first stored one, as +Wi 1 picks it.
            args << "+Wi"
                 << "1";
            const StoredWindow w = image->defaultWindow();
            request.center = w.center;
            request.width = w.width;
            break;
        }
        case Window::Default: {
            args << "+Wm";
            const StoredWindow w = image->defaultWindow();
            request.center = w.center;
            request.width = w.width;
            break;
        }
        case Window::Explicit:
            args << "+Ww" << QString::number(c.center) << QString::number(c.width);
            request.center = c.center;
            request.width = c.width;
            break;
        case Window::VoiLut:
            args << "+Wl"
                 << "1";
            voi = image->voiLut();
            ASSERT_TRUE(voi.has_value());
            request.voiLut = &*voi;
            break;
        case Window::Colour:
            break;
        }
        QString error;
        ASSERT_TRUE(run(m_dcmj2pnm, args << file << expectedPath, &error)) << error.toStdString();
        QImage expected(expectedPath);
        ASSERT_FALSE(expected.isNull());

        const PixelFrame frame = image->frame(1);
        QImage ours = renderFrame(frame, image->modalityTransform(), request);
        const bool colour = c.window == Window::Colour;
        const auto format = colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8;
        expected = expected.convertToFormat(format);
        ASSERT_EQ(ours.format(), format);
        ASSERT_EQ(ours.size(), expected.size());

        int worst = 0;
        int worstX = 0;
        int worstY = 0;
        const int rowBytes = ours.width() * (colour ? 3 : 1);
        for (int y = 0; y < ours.height(); ++y) {
            const std::uint8_t *a = ours.constScanLine(y);
            const std::uint8_t *b = expected.constScanLine(y);
            for (int x = 0; x < rowBytes; ++x) {
                const int d = std::abs(int(a[x]) - int(b[x]));
                if (d > worst) {
                    worst = d;
                    worstX = x / (colour ? 3 : 1);
                    worstY = y;
                }
            }
        }
        std::printf("[ parity   ] %-20s largest difference %d\n", c.name, worst);
        RecordProperty(std::string(c.name) + "_max_difference", worst);
        EXPECT_LE(worst, 1) << "at " << worstX << "," << worstY;

        if (c.window == Window::Default) {
            // The pipeline's own min-max window agrees with the image's default window.
            const WindowSetting own = minMaxWindow(frame, image->modalityTransform());
            RenderRequest r2 = request;
            r2.center = own.center;
            r2.width = own.width;
            const QImage viaHelper = renderFrame(frame, image->modalityTransform(), r2);
            int helperWorst = 0;
            for (int y = 0; y < ours.height(); ++y) {
                for (int x = 0; x < ours.width(); ++x) {
                    helperWorst =
                        std::max(helperWorst, std::abs(int(viaHelper.constScanLine(y)[x]) -
                                                       int(expected.constScanLine(y)[x])));
                }
            }
            std::printf("[ parity   ] %-20s via minMaxWindow     %d\n", c.name, helperWorst);
            EXPECT_LE(helperWorst, 1);
        }
    }

    QString m_dump2dcm, m_dcmj2pnm;
    QTemporaryDir m_dir;
};

std::vector<int> curve(int count, const std::function<int(int)> &f) {
    std::vector<int> v(count);
    for (int i = 0; i < count; ++i) {
        v[i] = f(i);
    }
    return v;
}

} // namespace

TEST_F(PipelineParity, GreyLevelsMatchDcmj2pnm) {
    const QString sqrtLut =
        lutFile("voi.raw",
                curve(4096, [](int i) { return int(std::lround(std::sqrt(i / 4095.0) * 65535)); }));
    const QString paletteRed = lutFile("red.raw", curve(256, [](int i) { return i * 257; }));
    const QString paletteGreen =
        lutFile("green.raw", curve(256, [](int i) { return (255 - i) * 251 + 17; }));
    const QString paletteBlue =
        lutFile("blue.raw", curve(256, [](int i) { return (i * 7919) % 65536; }));
    const QString modalityLut =
        lutFile("modality.raw", curve(4096, [](int i) { return std::min(65535, i * 10 + 3); }));
    const QString ctWindow = "(0028,1050) DS [40]\n(0028,1051) DS [400]\n"
                             "(0028,1052) DS [-1024]\n(0028,1053) DS [1]\n";

    const std::vector<ParityCase> cases = {
        {"ct_signed16", 96, 80, 1, 16, 16, 1, "MONOCHROME2", ctWindow, sweep(-1000, 3000),
         Window::Stored},
        {"ct_second_window", 96, 80, 1, 16, 16, 1, "MONOCHROME2",
         "(0028,1050) DS [40\\-600]\n(0028,1051) DS [400\\1500]\n(0028,1052) DS [-1024]\n"
         "(0028,1053) DS [1]\n",
         sweep(-1000, 3000), Window::Stored},
        {"unsigned12_default", 67, 45, 1, 16, 12, 0, "MONOCHROME2", "", sweep(0, 4095),
         Window::Default},
        {"signed12_default", 64, 70, 1, 16, 12, 1, "MONOCHROME2", "", sweep(-2048, 2047),
         Window::Default},
        {"eight_bit_default", 66, 45, 1, 8, 8, 0, "MONOCHROME2", "", sweep(20, 230),
         Window::Default},
        {"eight_bit_window", 66, 45, 1, 8, 8, 0, "MONOCHROME2",
         "(0028,1050) DS [127.5]\n(0028,1051) DS [100]\n", sweep(0, 255), Window::Stored},
        {"monochrome1", 64, 64, 1, 16, 12, 0, "MONOCHROME1",
         "(0028,1050) DS [2000]\n(0028,1051) DS [1000]\n", sweep(0, 4095), Window::Stored},
        {"monochrome1_default", 64, 64, 1, 16, 12, 0, "MONOCHROME1", "", sweep(100, 4000),
         Window::Default},
        // A slope that is not whole gives values between integers; DCMTK truncates them, so
        // the windows here are wide enough that a unit is at most one grey level.
        {"slope_2_3", 64, 64, 1, 16, 12, 0, "MONOCHROME2",
         "(0028,1050) DS [3000]\n(0028,1051) DS [500]\n(0028,1052) DS [7]\n"
         "(0028,1053) DS [2.3]\n",
         sweep(0, 4095), Window::Stored},
        {"slope_0_5_default", 64, 64, 1, 16, 12, 0, "MONOCHROME2",
         "(0028,1052) DS [-100]\n(0028,1053) DS [0.5]\n", sweep(0, 4095), Window::Default},
        {"explicit_wide", 96, 80, 1, 16, 16, 1, "MONOCHROME2", ctWindow, sweep(-1000, 3000),
         Window::Explicit, -600, 1500},
        {"explicit_narrow", 96, 80, 1, 16, 16, 1, "MONOCHROME2", ctWindow, sweep(-1000, 3000),
         Window::Explicit, 35.5, 20},
        {"explicit_threshold", 96, 80, 1, 16, 16, 1, "MONOCHROME2", ctWindow, sweep(-1000, 3000),
         Window::Explicit, 40, 1},
        {"voi_lut", 64, 64, 1, 16, 12, 0, "MONOCHROME2",
         "(0028,3010) SQ (Sequence with undefined length)\n"
         "(fffe,e000) na (Item with undefined length)\n"
         "(0028,3002) US 4096\\0\\16\n(0028,3006) OW =" +
             sqrtLut +
             "\n"
             "(fffe,e00d) na (ItemDelimitationItem)\n(fffe,e0dd) na (SequenceDelimitationItem)\n",
         sweep(0, 4095), Window::VoiLut},
        {"modality_lut_default", 64, 64, 1, 16, 12, 0, "MONOCHROME2",
         "(0028,3000) SQ (Sequence with undefined length)\n"
         "(fffe,e000) na (Item with undefined length)\n"
         "(0028,3002) US 4096\\0\\16\n(0028,3004) LO [HU]\n(0028,3006) OW =" +
             modalityLut +
             "\n"
             "(fffe,e00d) na (ItemDelimitationItem)\n(fffe,e0dd) na "
             "(SequenceDelimitationItem)\n",
         sweep(1000, 1999), Window::Default},
        {"multiframe_first", 40, 30, 3, 16, 12, 0, "MONOCHROME2",
         "(0028,1050) DS [2048]\n(0028,1051) DS [4096]\n", sweep(0, 4095), Window::Stored},
        {"rgb", 50, 40, 1, 8, 8, 0, "RGB", "", sweep(0, 255), Window::Colour},
        {"palette_colour", 50, 40, 1, 8, 8, 0, "PALETTE COLOR",
         "(0028,1101) US 256\\0\\16\n(0028,1102) US 256\\0\\16\n(0028,1103) US 256\\0\\16\n"
         "(0028,1201) OW =" +
             paletteRed + "\n(0028,1202) OW =" + paletteGreen +
             "\n"
             "(0028,1203) OW =" +
             paletteBlue + "\n",
         sweep(0, 255), Window::Colour},
    };

    for (const ParityCase &c : cases) {
        SCOPED_TRACE(c.name);
        check(c);
    }
}
