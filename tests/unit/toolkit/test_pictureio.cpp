// The rendered picture, picture export and import, and the clipboard, offscreen.
#include "core/errors.h"
#include "support/outputtestdata.h"
#include "toolkit/pictureio.h"
#include "toolkit/renderedpicture.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ravlen;
using namespace ravlen::toolkit;
using testdata::FramesSpec;
using testdata::greyFrames;
using testdata::meanGrey;

namespace {

// Which corner of the picture holds the white block.
QString whiteCorner(const QImage &p) {
    const int w = p.width() / 8;
    const int h = p.height() / 8;
    const std::pair<QString, QRect> corners[] = {
        {"top-left", QRect(0, 0, w, h)},
        {"top-right", QRect(p.width() - w, 0, w, h)},
        {"bottom-left", QRect(0, p.height() - h, w, h)},
        {"bottom-right", QRect(p.width() - w, p.height() - h, w, h)},
    };
    for (const auto &[name, area] : corners) {
        if (meanGrey(p, area) > 250) {
            return name;
        }
    }
    return "none";
}

int errorNumber(const std::function<void()> &call) {
    try {
        call();
    } catch (const ToolkitError &e) {
        return e.number();
    }
    return 0;
}

TEST(RenderedPicture, ShowsTheCurrentFrameWindowedTurnedAndMirroredAsTheViewerDoes) {
    auto image = greyFrames(testdata::framesSpec(64, 48, 3));
    QImage p = renderedPicture(*image);
    EXPECT_EQ(p.format(), QImage::Format_RGB32);
    EXPECT_EQ(p.size(), QSize(64, 48));
    EXPECT_EQ(whiteCorner(p), "top-left");
    EXPECT_NEAR(meanGrey(p, QRect(32, 24, 8, 8)), testdata::frameLevel(0), 1.0);

    image->setCurrentFrame(3);
    EXPECT_NEAR(meanGrey(renderedPicture(*image), QRect(32, 24, 8, 8)), testdata::frameLevel(2),
                1.0);
    image->setLevel(30); // the background lies above a narrow window: white
    image->setWidth(2);
    EXPECT_GT(meanGrey(renderedPicture(*image), QRect(32, 24, 8, 8)), 250);
    image->applyDefaultWindow();

    struct Row {
        int rotation, flip;
        QSize size;
        const char *corner;
    };
    const Row rows[] = {
        {0, Image::FlipHorizontal, {64, 48}, "top-right"},
        {0, Image::FlipVertical, {64, 48}, "bottom-left"},
        {1, 0, {48, 64}, "bottom-left"}, // a quarter turn anticlockwise
        {3, 0, {48, 64}, "top-right"},
        {2, 0, {64, 48}, "bottom-right"},
        {1, Image::FlipHorizontal, {48, 64}, "bottom-right"}, // mirrored after turning
    };
    for (const Row &r : rows) {
        image->setRotation(r.rotation);
        image->setFlipState(r.flip);
        p = renderedPicture(*image);
        EXPECT_EQ(p.size(), r.size) << r.rotation << "/" << r.flip;
        EXPECT_EQ(whiteCorner(p), r.corner) << r.rotation << "/" << r.flip;
    }

    // The effects are part of it, and the plain look leaves them and the turn out.
    image->setRotation(0);
    image->setFlipState(0);
    const QImage plain = renderedPicture(*image);
    image->setEnhance(true);
    EXPECT_NE(renderedPicture(*image), plain);
    image->setRotation(1);
    EXPECT_EQ(renderedFrame(*image, 3, FrameLook::Plain).size(), QSize(64, 48));

    EXPECT_TRUE(renderedPicture(*Image::placeholder()).isNull());
}

TEST(RenderedPicture, CarriesTheImagesLabelsWhereTheViewerShowsThem) {
    auto image = greyFrames(testdata::framesSpec(64, 48, 1));
    auto line = image->labels().create();
    line->type = Label::Line;
    line->space = Label::Space::Image; // across the image's row 40, from column 8 to 56
    line->left = 8;
    line->top = 40;
    line->width = 48;
    line->lineWidth = 3;
    auto deleted = image->labels().create();
    *deleted = *line;
    deleted->top = 10;
    deleted->state = Label::Deleted;
    const QImage p = renderedPicture(*image);
    const QRgb on = p.pixel(32, 39);
    EXPECT_GT(qRed(on), 200);
    EXPECT_LT(qGreen(on), 80) << "the red line";
    EXPECT_EQ(qRed(p.pixel(32, 9)), qGreen(p.pixel(32, 9))) << "a deleted label is not drawn";
    image->setFlipState(Image::FlipVertical);
    EXPECT_GT(qRed(renderedPicture(*image).pixel(32, 8)), 200) << "mirrored with the image";
}

TEST(PictureFiles, BitmapAndJpegComeBackAsSecondaryCaptureImages) {
    QTemporaryDir dir;
    auto image =
        greyFrames(testdata::framesSpec(65, 47, 2)); // odd sizes: rows are padded in memory
    image->setCurrentFrame(2);
    const QString bmp = dir.filePath("picture.bmp");
    const QString jpg = dir.filePath("picture.JPG");
    exportPicture(*image, bmp, QString());
    exportPicture(*image, jpg, QString());
    EXPECT_EQ(QImageReader(bmp).format(), "bmp");
    EXPECT_EQ(QImageReader(jpg).format(), "jpeg");

    const Imported fromBmp = importFile(bmp, QString());
    const Imported fromJpg = importFile(jpg, QString());
    for (const Imported *in : {&fromBmp, &fromJpg}) {
        const Image &back = *in->image;
        EXPECT_TRUE(in->notice.isEmpty());
        EXPECT_EQ(back.columns(), 65);
        EXPECT_EQ(back.rows(), 47);
        EXPECT_EQ(back.frameCount(), 1);
        EXPECT_EQ(back.photometricInterpretation(), "MONOCHROME2");
        EXPECT_EQ(back.attribute(0x0008, 0x0016).toString(), "1.2.840.10008.5.1.4.1.1.7");
        EXPECT_NEAR(meanGrey(renderedPicture(back), QRect(40, 30, 10, 10)), testdata::frameLevel(1),
                    2.0);
        EXPECT_EQ(whiteCorner(renderedPicture(back)), "top-left");
    }
    // The bitmap keeps every grey level exactly.
    EXPECT_EQ(renderedPicture(*fromBmp.image), renderedPicture(*image));
    // Each import is an image of its own.
    for (auto [g, e] : {std::pair{0x0008, 0x0018}, {0x0020, 0x000D}, {0x0020, 0x000E}}) {
        const QString a = fromBmp.image->attribute(quint16(g), quint16(e)).toString();
        EXPECT_FALSE(a.isEmpty());
        EXPECT_NE(a, fromJpg.image->attribute(quint16(g), quint16(e)).toString());
    }

    // A colour picture stays colour; a .dib is read as the bitmap it is.
    QImage colour(20, 10, QImage::Format_RGB32);
    colour.fill(QColor(200, 30, 10));
    const QString dib = dir.filePath("colour.dib");
    ASSERT_TRUE(colour.save(dib, "BMP"));
    const Imported fromDib = importFile(dib, QString());
    EXPECT_EQ(fromDib.image->photometricInterpretation(), "RGB");
    EXPECT_EQ(fromDib.image->samplesPerPixel(), 3);
    EXPECT_EQ(renderedPicture(*fromDib.image).pixel(5, 5), QColor(200, 30, 10).rgb());

    // A name with no picture extension takes its format from the call.
    exportPicture(*image, dir.filePath("noextension"), QStringLiteral("BMP"));
    EXPECT_EQ(QImageReader(dir.filePath("noextension")).format(), "bmp");
    EXPECT_EQ(errorNumber([&] { exportPicture(*image, dir.filePath("movie.avi.bak"), {}); }),
              errc::BadArgument);
}

TEST(PictureFiles, DamagedEmptyAndHostileFilesAreRefusedWithTheirName) {
    QTemporaryDir dir;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    };
    QByteArray garbage(4000, '\0');
    for (int i = 0; i < garbage.size(); ++i) {
        garbage[i] = char((i * 7919) % 251);
    }
    // A bitmap header declaring 100000 x 100000 pixels of 24 bits over a few bytes.
    QByteArray hostile = QByteArray::fromHex("424d640000000000000036000000280000"
                                             "00a0860100a086010001001800");
    hostile.append(QByteArray(24, '\0')).append(QByteArray(46, '\x7f'));
    const struct {
        QString path;
        int error;
    } cases[] = {
        {write("garbage.jpg", garbage), errc::Damaged},
        {write("garbage.bmp", garbage), errc::Damaged},
        {write("empty.bmp", QByteArray()), errc::NotDicom},
        {write("huge.bmp", hostile), errc::Damaged},
        {dir.filePath("missing.jpg"), errc::FileAccess},
    };
    for (const auto &c : cases) {
        try {
            importFile(c.path, QString());
            ADD_FAILURE() << c.path.toStdString() << " was imported";
        } catch (const ToolkitError &e) {
            EXPECT_EQ(e.number(), c.error) << e.what();
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(c.path)) << e.what();
        }
    }
}

TEST(PictureFiles, LargePicturesAreShrunkToTheCapAndSaySo) {
    QTemporaryDir dir;
    QImage big(400, 200, QImage::Format_Grayscale8);
    big.fill(90);
    const QString path = dir.filePath("big.bmp");
    ASSERT_TRUE(big.save(path));
    ImportLimits limits;
    limits.maxFramePixels = 20000;
    const Imported in = importPicture(path, QString(), limits);
    EXPECT_EQ(in.image->columns(), 200);
    EXPECT_EQ(in.image->rows(), 100);
    EXPECT_TRUE(in.notice.contains("400 x 200")) << in.notice.toStdString();
}

TEST(Clipboard, CopyAndPasteTheRenderedPicture) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    auto image = greyFrames(testdata::framesSpec(40, 30, 1));
    image->setFlipState(Image::FlipHorizontal);
    copyToClipboard(*image);
    EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32), renderedPicture(*image));

    auto pasted = pasteFromClipboard();
    EXPECT_EQ(pasted->sourceName(), "Clipboard");
    EXPECT_EQ(pasted->columns(), 40);
    EXPECT_EQ(pasted->photometricInterpretation(), "MONOCHROME2");
    EXPECT_EQ(whiteCorner(renderedPicture(*pasted)), "top-right");

    clipboard->clear();
    EXPECT_EQ(errorNumber([] { pasteFromClipboard(); }), errc::NoPixelData);
    clipboard->setText("text, not a picture");
    EXPECT_EQ(errorNumber([] { pasteFromClipboard(); }), errc::NoPixelData);
    EXPECT_EQ(errorNumber([] { copyToClipboard(*Image::placeholder()); }), errc::NoPixelData);
}

} // namespace
