// AVI export and movie import through the ffmpeg and ffprobe programs: frame counts, sizes,
// rates, the limits, cancelling, and damaged files that must leave nothing behind.
#include "core/errors.h"
#include "support/outputtestdata.h"
#include "toolkit/movieio.h"
#include "toolkit/renderedpicture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::toolkit;
using testdata::FramesSpec;
using testdata::greyFrames;
using testdata::probe;

namespace {

int errorNumber(const std::function<void()> &call, QString *text = nullptr) {
    try {
        call();
    } catch (const ToolkitError &e) {
        if (text) {
            *text = QString::fromStdString(e.what());
        }
        return e.number();
    }
    return 0;
}

// A movie made by ffmpeg itself from its test pattern.
QString makeMovie(const QString &path, const QString &codec, int frames, const QString &size) {
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=5",
                       "-frames:v", QString::number(frames), "-c:v", codec, "-y", path});
    p.waitForFinished(60000);
    return path;
}

TEST(MovieFrameRate, TakesTheFirstUsableOfTheThreeElementsElseTen) {
    struct Row {
        QString recommended, cine, frameTime;
        double expected;
    };
    const Row rows[] = {
        {"25", "15", "50", 25.0},  {"", "15", "50", 15.0}, {"", "", "40", 25.0},
        {"", "", "", 10.0},        {"0", "15", "", 15.0},  {"", "", "0", 10.0},
        {"", "", "33.3333", 30.0}, {"5000", "", "", 10.0}, // beyond any display
    };
    for (const Row &r : rows) {
        FramesSpec s = testdata::framesSpec(8, 8, 2);
        s.recommendedRate = r.recommended;
        s.cineRate = r.cine;
        s.frameTime = r.frameTime;
        EXPECT_NEAR(movieFrameRate(*greyFrames(s)), r.expected, 0.01)
            << r.recommended.toStdString() << "/" << r.cine.toStdString() << "/"
            << r.frameTime.toStdString();
    }
}

TEST(AviMovie, RoundTripKeepsFramesOrderSizeAndRate) {
    QTemporaryDir dir;
    FramesSpec frames = testdata::framesSpec(
        65, 47, 12); // an odd width: rows are padded in memory, packed in the pipe
    frames.cineRate = "12";
    auto image = greyFrames(frames);
    const QString avi = dir.filePath("loop.avi");
    int reports = 0;
    WorkProgress progress;
    progress.report = [&](int done, int total) {
        ++reports;
        EXPECT_EQ(total, 12);
        EXPECT_EQ(done, reports);
    };
    exportAvi(*image, avi, 1, 12, MovieSettings{1, QString(), 90, true}, progress);
    EXPECT_EQ(reports, 12);
    const QString probed = probe(avi, "codec_name,width,height,r_frame_rate,nb_read_frames");
    EXPECT_TRUE(probed.contains("codec_name=mjpeg")) << probed.toStdString();
    EXPECT_TRUE(probed.contains("width=65\nheight=47")) << probed.toStdString();
    EXPECT_TRUE(probed.contains("r_frame_rate=12/1")) << probed.toStdString();
    EXPECT_TRUE(probed.contains("nb_read_frames=12")) << probed.toStdString();

    const Imported in = importMovie(avi);
    const Image &back = *in.image;
    EXPECT_TRUE(in.notice.isEmpty());
    EXPECT_EQ(back.frameCount(), 12);
    EXPECT_EQ(back.columns(), 65);
    EXPECT_EQ(back.rows(), 47);
    EXPECT_EQ(back.photometricInterpretation(), "MONOCHROME2");
    EXPECT_EQ(back.attribute(0x0008, 0x0016).toString(), "1.2.840.10008.5.1.4.1.1.7.2");
    EXPECT_NEAR(movieFrameRate(back), 12.0, 0.001);
    for (int f = 1; f <= 12; ++f) {
        EXPECT_NEAR(testdata::meanGrey(renderedFrame(back, f).convertToFormat(QImage::Format_RGB32),
                                       QRect(40, 30, 16, 12)),
                    testdata::frameLevel(f - 1), 3.0)
            << "frame " << f;
    }
}

TEST(AviMovie, TheSettingsChooseFramesLookAndCodec) {
    QTemporaryDir dir;
    auto image = greyFrames(testdata::framesSpec(32, 16, 12));
    image->setRotation(1);
    const QString avi = dir.filePath("every-other.avi");
    exportAvi(*image, avi, 2, 12, MovieSettings{2, "mjpeg", 50, true});
    QString probed = probe(avi, "width,height,nb_read_frames");
    EXPECT_TRUE(probed.contains("width=16\nheight=32")) << probed.toStdString(); // turned
    EXPECT_TRUE(probed.contains("nb_read_frames=6")) << probed.toStdString();    // 2,4,..,12
    exportAvi(*image, avi, 1, 1, MovieSettings{1, QString(), 90, false});
    probed = probe(avi, "width,height,nb_read_frames");
    EXPECT_TRUE(probed.contains("width=32\nheight=16\nnb_read_frames=1")) << probed.toStdString();

    EXPECT_EQ(errorNumber([&] { exportAvi(*image, avi, 1, 13); }), errc::BadArgument);
    EXPECT_EQ(errorNumber([&] {
                  exportAvi(*image, avi, 1, 2, {1, "H264", 90, true});
              }),
              errc::Unsupported);
}

TEST(AviMovie, AFailedOrCancelledExportLeavesTheOldFileAndNoPartOfTheNewOne) {
    QTemporaryDir dir;
    auto image = greyFrames(testdata::framesSpec(64, 64, 40));
    const QString avi = dir.filePath("kept.avi");
    {
        QFile old(avi);
        old.open(QIODevice::WriteOnly);
        old.write("an older file");
    }
    WorkProgress progress;
    progress.cancelled = [] { return true; };
    EXPECT_EQ(errorNumber([&] { exportAvi(*image, avi, 1, 40, {}, progress); }), errc::Cancelled);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.avi"});
    QFile old(avi);
    old.open(QIODevice::ReadOnly);
    EXPECT_EQ(old.readAll(), "an older file");

    EXPECT_EQ(errorNumber([&] { exportAvi(*image, dir.filePath("no/such/folder/x.avi"), 1, 2); }),
              errc::FileAccess);

    // Without the program the export says what it needs.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8());
    QString text;
    EXPECT_EQ(errorNumber([&] { exportAvi(*image, avi, 1, 2); }, &text), errc::HelperProgram);
    EXPECT_TRUE(text.contains("ffmpeg")) << text.toStdString();
    qputenv("PATH", path);
}

TEST(MovieImport, ReadsAnyMovieFfmpegReadsColourOrGrey) {
    QTemporaryDir dir;
    const Imported mp4 = importFile(makeMovie(dir.filePath("clip.mp4"), "mpeg4", 6, "48x32"), {});
    EXPECT_EQ(mp4.image->frameCount(), 6);
    EXPECT_EQ(mp4.image->photometricInterpretation(), "RGB");
    EXPECT_EQ(mp4.image->attribute(0x0008, 0x0016).toString(), "1.2.840.10008.5.1.4.1.1.7.4");
    EXPECT_NEAR(movieFrameRate(*mp4.image), 5.0, 0.001);
    EXPECT_EQ(renderedPicture(*mp4.image).size(), QSize(48, 32));

    // One frame is a plain Secondary Capture.
    const Imported one = importFile(makeMovie(dir.filePath("one.avi"), "mjpeg", 1, "16x16"), {});
    EXPECT_EQ(one.image->frameCount(), 1);
    EXPECT_EQ(one.image->attribute(0x0008, 0x0016).toString(), "1.2.840.10008.5.1.4.1.1.7");
}

TEST(MovieImport, LimitsCutFramesAndShrinkPixelsAndSaySo) {
    QTemporaryDir dir;
    const QString avi = makeMovie(dir.filePath("long.avi"), "mjpeg", 12, "64x48");
    ImportLimits limits;
    limits.maxFrames = 5;
    Imported in = importMovie(avi, limits);
    EXPECT_EQ(in.image->frameCount(), 5);
    EXPECT_TRUE(in.notice.contains("first 5 frames")) << in.notice.toStdString();

    limits = ImportLimits();
    limits.maxFramePixels = 768; // a quarter of the pixels: half each way
    in = importMovie(avi, limits);
    EXPECT_EQ(in.image->frameCount(), 12);
    EXPECT_EQ(in.image->columns(), 32);
    EXPECT_EQ(in.image->rows(), 24);
    EXPECT_TRUE(in.notice.contains("64 x 48")) << in.notice.toStdString();

    limits = ImportLimits();
    limits.maxTotalBytes = 64 * 48 * 3 * 4; // four colour frames
    in = importMovie(avi, limits);
    EXPECT_EQ(in.image->frameCount(), 4);
    EXPECT_FALSE(in.notice.isEmpty());
}

TEST(MovieImport, DamagedFilesGiveAClearMessageAndNoImage) {
    QTemporaryDir dir;
    const QString good = makeMovie(dir.filePath("good.avi"), "mjpeg", 20, "64x48");
    QFile source(good);
    source.open(QIODevice::ReadOnly);
    const QByteArray bytes = source.readAll();
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return f.fileName();
    };
    QByteArray noise(5000, '\0');
    for (int i = 0; i < noise.size(); ++i) {
        noise[i] = char((i * 131 + 7) % 256);
    }
    const struct {
        QString path;
        int error;
        const char *says;
    } cases[] = {
        {write("truncated.avi", bytes.left(bytes.size() * 2 / 5)), errc::Damaged, "incomplete"},
        {write("noise.avi", noise), errc::Damaged, "not a picture or movie"},
        {write("text.avi", "just some words\n"), errc::Damaged, "not a picture or movie"},
        {write("empty.avi", QByteArray()), errc::NotDicom, "empty"},
        // A header with most of the frames gone: the header still promises them.
        {write("headless.avi", bytes.left(12) + noise), errc::Damaged, ""},
    };
    for (const auto &c : cases) {
        QString text;
        EXPECT_EQ(errorNumber([&] { importFile(c.path, QString()); }, &text), c.error)
            << c.path.toStdString() << ": " << text.toStdString();
        EXPECT_TRUE(text.contains(c.path)) << text.toStdString();
        EXPECT_TRUE(text.contains(c.says)) << text.toStdString();
    }
}

} // namespace
