#include "toolkit/pictureio.h"

#include "core/errors.h"
#include "toolkit/datasetbuilder.h"
#include "toolkit/image.h"
#include "toolkit/movieio.h"
#include "toolkit/renderedpicture.h"
#include "toolkit/startup.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>

#include <cmath>
#include <cstring>

namespace ravlen::toolkit {

namespace {

// DICOM rows and columns are 16-bit.
constexpr int kMaxSide = 65535;

[[noreturn]] void fail(int number, const QString &text) {
    throw ToolkitError(number, text.toStdString());
}

QString newUid(const char *root) {
    char uid[100];
    return QString::fromLatin1(dcmGenerateUniqueIdentifier(uid, root));
}

QString number(double value) {
    return QString::number(value, 'g', 10);
}

// The picture's pixels as captured frames: grey when every pixel is grey, else RGB.
CapturedFrames framesOf(const QImage &picture, const QString &source) {
    CapturedFrames f;
    f.columns = picture.width();
    f.rows = picture.height();
    f.frames = 1;
    f.colour = !picture.isGrayscale();
    f.source = source;
    const QImage pixels =
        picture.convertToFormat(f.colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    if (pixels.isNull()) {
        fail(errc::TooLarge,
             source + QStringLiteral(": there is not enough memory for the picture."));
    }
    const qsizetype rowBytes = qsizetype(f.columns) * (f.colour ? 3 : 1);
    f.pixels.resize(rowBytes * f.rows);
    for (int y = 0; y < f.rows; ++y) {
        std::memcpy(f.pixels.data() + rowBytes * y, pixels.constScanLine(y), size_t(rowBytes));
    }
    return f;
}

// The size a picture of `size` is shrunk to so it fits the limits; `size` itself when it does.
QSize fittedSize(QSize size, const ImportLimits &limits) {
    double scale = 1.0;
    const double pixels = double(size.width()) * size.height();
    if (pixels > double(limits.maxFramePixels)) {
        scale = std::sqrt(double(limits.maxFramePixels) / pixels);
    }
    scale = std::min({scale, double(kMaxSide) / size.width(), double(kMaxSide) / size.height()});
    if (scale >= 1.0) {
        return size;
    }
    return QSize(std::max(1, int(size.width() * scale)), std::max(1, int(size.height() * scale)));
}

QByteArray pictureFormatFor(const QString &path, const QString &format, bool writing) {
    QByteArray wanted = format.trimmed().toLower().toLatin1();
    if (wanted.isEmpty()) {
        wanted = QFileInfo(path).suffix().toLower().toLatin1();
    }
    if (wanted == "dib") {
        wanted = "bmp"; // a device-independent bitmap is a BMP file
    }
    const QList<QByteArray> known =
        writing ? QImageWriter::supportedImageFormats() : QImageReader::supportedImageFormats();
    return known.contains(wanted) ? wanted : QByteArray();
}

void checkReadableFile(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        fail(errc::FileAccess, path + QStringLiteral(": the file does not exist."));
    }
    if (info.size() == 0) {
        fail(errc::NotDicom, path + QStringLiteral(": the file is empty."));
    }
}

} // namespace

std::shared_ptr<Image> capturedImage(CapturedFrames f) {
    ensureToolkit();
    const qint64 frameBytes = qint64(f.columns) * f.rows * (f.colour ? 3 : 1);
    if (f.columns <= 0 || f.rows <= 0 || f.columns > kMaxSide || f.rows > kMaxSide ||
        f.frames <= 0 || f.pixels.size() != frameBytes * f.frames) {
        fail(errc::BadArgument,
             f.source + QStringLiteral(": the frames do not fit their size (%1 x %2, %3 frames).")
                            .arg(f.columns)
                            .arg(f.rows)
                            .arg(f.frames));
    }
    const bool multi = f.frames > 1;
    QString sopClass = QStringLiteral("1.2.840.10008.5.1.4.1.1.7"); // Secondary Capture
    if (multi) {
        sopClass = f.colour ? QStringLiteral("1.2.840.10008.5.1.4.1.1.7.4")  // True Colour
                            : QStringLiteral("1.2.840.10008.5.1.4.1.1.7.2"); // Grayscale Byte
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = now.toString(QStringLiteral("yyyyMMdd"));
    const QString time = now.toString(QStringLiteral("HHmmss"));

    DataSetBuilder b;
    b.set(0x0008, 0x0008, QStringLiteral("DERIVED\\SECONDARY"));
    b.set(0x0008, 0x0016, sopClass);
    b.set(0x0008, 0x0018, newUid(SITE_INSTANCE_UID_ROOT));
    b.set(0x0008, 0x0020, date);
    b.set(0x0008, 0x0023, date);
    b.set(0x0008, 0x0030, time);
    b.set(0x0008, 0x0033, time);
    b.set(0x0008, 0x0050, QString());
    b.set(0x0008, 0x0060, QStringLiteral("OT"));
    b.set(0x0008, 0x0064, QStringLiteral("WSD")); // made on a workstation
    b.set(0x0008, 0x0090, QString());
    b.set(0x0010, 0x0010, QString());
    b.set(0x0010, 0x0020, QString());
    b.set(0x0010, 0x0030, QString());
    b.set(0x0010, 0x0040, QString());
    b.set(0x0020, 0x000D, newUid(SITE_STUDY_UID_ROOT));
    b.set(0x0020, 0x000E, newUid(SITE_SERIES_UID_ROOT));
    b.set(0x0020, 0x0010, QString());
    b.set(0x0020, 0x0011, QStringLiteral("1"));
    b.set(0x0020, 0x0013, QStringLiteral("1"));
    b.set(0x0020, 0x0020, QString());
    if (!f.colour) {
        // Shown as captured: grey level k is drawn as k.
        b.set(0x0028, 0x1050, QStringLiteral("128"));
        b.set(0x0028, 0x1051, QStringLiteral("256"));
    }
    if (multi) {
        const double rate = f.frameRate > 0.0 && std::isfinite(f.frameRate) ? f.frameRate : 0.0;
        b.set(0x0028, 0x0009, QStringLiteral("(0018,1063)"));
        b.set(0x0018, 0x1063, number(rate > 0.0 ? 1000.0 / rate : 100.0));
        // The whole-number rates too, where the movie had one, so players that read them agree.
        if (rate > 0.0 && rate == std::round(rate)) {
            b.set(0x0008, 0x2144, number(rate));
            b.set(0x0018, 0x0040, number(rate));
        }
    }
    PixelSpec p;
    p.rows = f.rows;
    p.columns = f.columns;
    p.frames = f.frames;
    p.samplesPerPixel = f.colour ? 3 : 1;
    p.bitsAllocated = 8;
    p.bitsStored = 8;
    p.photometric = f.colour ? QStringLiteral("RGB") : QStringLiteral("MONOCHROME2");
    p.data = std::move(f.pixels);
    b.setPixels(p);
    p.data.clear(); // the builder holds its own copy; keep one less
    return Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), f.source);
}

void exportPicture(const Image &image, const QString &path, const QString &format) {
    if (!image.hasPixelData()) {
        fail(errc::NoPixelData, QStringLiteral("The image has no pixels to export."));
    }
    const QByteArray kind = pictureFormatFor(path, format, true);
    if (kind.isEmpty()) {
        fail(errc::BadArgument,
             path + QStringLiteral(": pictures are written as .bmp or .jpg files, and this name "
                                   "says neither."));
    }
    const int current = std::clamp(image.currentFrame(), 1, image.frameCount());
    QImage picture = renderedFrame(image, current);
    if (picture.format() == QImage::Format_Grayscale8 && kind == "bmp") {
        // An 8-bit BMP needs its grey palette spelled out.
        picture = picture.convertToFormat(QImage::Format_Indexed8);
    }
    QImageWriter writer(path, kind);
    if (kind == "jpg" || kind == "jpeg") {
        writer.setQuality(90);
    }
    if (!writer.write(picture)) {
        fail(errc::FileAccess,
             path + QStringLiteral(": cannot be written: ") + writer.errorString());
    }
}

Imported importPicture(const QString &path, const QString &format, const ImportLimits &limits) {
    checkReadableFile(path);
    QImageReader reader(path, pictureFormatFor(path, format, false));
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.isEmpty()) {
        fail(
            errc::Damaged,
            path +
                QStringLiteral(": not a picture that can be read (%1).").arg(reader.errorString()));
    }
    Imported result;
    const QSize fitted = fittedSize(size, limits);
    if (fitted != size) {
        reader.setScaledSize(fitted);
        result.notice = QStringLiteral("The picture was reduced from %1 x %2 to %3 x %4 pixels.")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(fitted.width())
                            .arg(fitted.height());
    }
    const QImage picture = reader.read();
    if (picture.isNull()) {
        fail(errc::Damaged,
             path + QStringLiteral(": the picture cannot be read (%1).").arg(reader.errorString()));
    }
    result.image = capturedImage(framesOf(picture, path));
    return result;
}

Imported importFile(const QString &path, const QString &format, const ImportLimits &limits,
                    const WorkProgress &progress) {
    const QString kind = format.trimmed().toUpper();
    const bool movie = kind == QLatin1String("AVI") || kind == QLatin1String("MOVIE");
    if (!movie) {
        checkReadableFile(path);
        // By the name first, so a damaged .jpg is reported as a picture; then by the content.
        if (!pictureFormatFor(path, format, false).isEmpty() ||
            !QImageReader::imageFormat(path).isEmpty()) {
            return importPicture(path, format, limits);
        }
    }
    return importMovie(path, limits, progress);
}

void copyToClipboard(const Image &image) {
    const QImage picture = renderedPicture(image);
    if (picture.isNull()) {
        fail(errc::NoPixelData, QStringLiteral("The image has no pixels to copy."));
    }
    if (!qGuiApp) {
        fail(errc::BadArgument, QStringLiteral("There is no clipboard without a window system."));
    }
    QGuiApplication::clipboard()->setImage(picture);
}

std::shared_ptr<Image> pasteFromClipboard() {
    const QImage picture = qGuiApp ? QGuiApplication::clipboard()->image() : QImage();
    if (picture.isNull()) {
        fail(errc::NoPixelData, QStringLiteral("The clipboard holds no picture to paste."));
    }
    const QSize fitted = fittedSize(picture.size(), ImportLimits());
    return capturedImage(
        framesOf(fitted == picture.size()
                     ? picture
                     : picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                 QStringLiteral("Clipboard")));
}

} // namespace ravlen::toolkit
