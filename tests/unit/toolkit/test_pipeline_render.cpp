// The `ravlenpacs render` command, run as a program: its picture is the pipeline's picture of
// the same frame and window, and each wrong use gets its exit code and one line on stderr.

#include "toolkit/datasetbuilder.h"
#include "toolkit/image.h"
#include "toolkit/pipeline.h"
#include "toolkit/resample.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ravlen::toolkit;

namespace {

struct CommandRun {
    int exitCode = -1;
    QString stderrText;
};

CommandRun runRender(const QStringList &arguments) {
    QProcess p;
    p.start(QStringLiteral(RAVLENPACS_PATH), QStringList{"render"} + arguments);
    CommandRun r;
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit) {
        r.exitCode = p.exitCode();
    }
    r.stderrText = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// A two-frame signed CT-like image with a stored window, 64 x 48.
void writeCt(const QString &path) {
    PixelSpec px;
    px.rows = 48;
    px.columns = 64;
    px.frames = 2;
    px.bitsAllocated = 16;
    px.bitsStored = 16;
    px.pixelRepresentation = 1;
    px.data.resize(2 * 48 * 64 * 2);
    for (int i = 0; i < 2 * 48 * 64; ++i) {
        const int v = (i * 37) % 3000 - 500 + (i >= 48 * 64 ? 700 : 0);
        px.data[2 * i] = char(v & 0xFF);
        px.data[2 * i + 1] = char((v >> 8) & 0xFF);
    }
    DataSetBuilder()
        .set(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.2")
        .set(0x0008, 0x0018, "1.2.826.0.1.3680043.2.1143.77")
        .set(0x0028, 0x1050, "40")
        .set(0x0028, 0x1051, "400")
        .set(0x0028, 0x1052, "-1024")
        .set(0x0028, 0x1053, "1")
        .setPixels(px)
        .save(path, TransferSyntax::ExplicitLittle);
}

QImage expected(const QString &file, int frame, double center, double width, QSize cell) {
    const auto image = Image::fromFile(file);
    const PixelFrame f = image->frame(frame);
    RenderRequest r;
    r.center = center;
    r.width = width;
    r.target = cell;
    const QRect fitted = fitIntoCell(QSizeF(f.columns, f.rows), cell);
    r.filter = chooseFilter(double(fitted.width()) / f.columns, 0, 0);
    DisplayLut lut;
    return renderIntoCell(f, image->modalityTransform(), r, lut);
}

} // namespace

TEST(RenderCommand, DrawsWhatTheTileDraws) {
    QTemporaryDir dir;
    const QString ct = dir.filePath("ct.dcm");
    writeCt(ct);
    const QString out = dir.filePath("out.png");

    struct Case {
        const char *name;
        QStringList options;
        int frame;
        double center, width;
        QSize cell;
    };
    const std::vector<Case> cases = {
        {"stored window", {}, 1, 40, 400, QSize(64, 48)},
        {"given window", {"--level", "-600", "--width", "1500"}, 1, -600, 1500, QSize(64, 48)},
        {"second frame", {"--frame", "2"}, 2, 40, 400, QSize(64, 48)},
        {"fitted into a wide cell", {"--size", "100x40"}, 1, 40, 400, QSize(100, 40)},
        {"magnified into a tall cell", {"--size", "130x300"}, 1, 40, 400, QSize(130, 300)},
    };
    for (const Case &c : cases) {
        QFile::remove(out);
        const CommandRun r = runRender(QStringList{ct, "-o", out} + c.options);
        ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.stderrText.toStdString();
        const QImage written(out, "PNG");
        ASSERT_FALSE(written.isNull()) << c.name;
        const QImage want = expected(ct, c.frame, c.center, c.width, c.cell);
        EXPECT_EQ(written.convertToFormat(QImage::Format_Grayscale8), want) << c.name;
    }
    // The fitted picture sits centred on black: 53 x 40 in the middle of 100 x 40.
    runRender({ct, "-o", out, "--size", "100x40"});
    const QImage cell = QImage(out).convertToFormat(QImage::Format_Grayscale8);
    EXPECT_EQ(cell.pixelColor(22, 20).value(), 0);
    EXPECT_EQ(cell.pixelColor(76, 20).value(), 0);
}

TEST(RenderCommand, WrongUseAndBadInput) {
    QTemporaryDir dir;
    const QString ct = dir.filePath("ct.dcm");
    writeCt(ct);
    const QString text = dir.filePath("notes.dcm");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("these are not DICOM bytes, only words in a file called .dcm\n");
    f.close();
    const QString out = dir.filePath("x.png");

    struct Case {
        const char *name;
        QStringList arguments;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {"nothing", {}, 1},
        {"no output", {ct}, 1},
        {"level alone", {ct, "-o", out, "--level", "40"}, 1},
        {"width alone", {ct, "-o", out, "--width", "400"}, 1},
        {"width below 1", {ct, "-o", out, "--level", "40", "--width", "0.5"}, 1},
        {"level not a number", {ct, "-o", out, "--level", "high", "--width", "4"}, 1},
        {"frame 0", {ct, "-o", out, "--frame", "0"}, 1},
        {"frame beyond the last", {ct, "-o", out, "--frame", "3"}, 1},
        {"size without height", {ct, "-o", out, "--size", "100"}, 1},
        {"size of zero", {ct, "-o", out, "--size", "0x10"}, 1},
        {"unknown option", {ct, "-o", out, "--zoom", "2"}, 1},
        {"option without value", {ct, "-o"}, 1},
        {"two inputs", {ct, ct, "-o", out}, 1},
        {"missing file", {dir.filePath("absent.dcm"), "-o", out}, 2},
        {"not DICOM", {text, "-o", out}, 2},
        {"output folder missing", {ct, "-o", dir.filePath("no/such/x.png")}, 2},
    };
    for (const Case &c : cases) {
        const CommandRun r = runRender(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << ": " << r.stderrText.toStdString();
        EXPECT_TRUE(r.stderrText.startsWith("ravlenpacs render: ")) << c.name;
        EXPECT_EQ(r.stderrText.count('\n'), 1) << c.name << ": " << r.stderrText.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
