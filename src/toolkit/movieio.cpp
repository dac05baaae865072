#include "toolkit/movieio.h"

#include "core/errors.h"
#include "toolkit/image.h"
#include "toolkit/renderedpicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace ravlen::toolkit {

namespace {

constexpr int kMaxSide = 65535;
// What ffprobe says about one stream is a few hundred bytes; more is not believed.
constexpr qint64 kMaxProbeOutput = 64 * 1024;

[[noreturn]] void fail(int number, const QString &text) {
    throw ToolkitError(number, text.toStdString());
}

// ffmpeg reads a path as a URL unless told it is a file ("concat:", "http:", a leading "-").
QString fileUrl(const QString &path) {
    return QStringLiteral("file:") + QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Motion-JPEG's quantiser scale runs from 2 (best) to 31 (smallest).
int quantiserFor(int quality) {
    const int q = std::clamp(quality, 1, 100);
    return 2 + int(std::lround((100 - q) * 29.0 / 99.0));
}

// "30000/1001" or "25" as a number; nothing for "0/0" or "N/A".
std::optional<double> parseRate(const QString &text) {
    const QStringList parts = text.split(QLatin1Char('/'));
    bool okNum = false;
    bool okDen = true;
    const double num = parts.value(0).toDouble(&okNum);
    const double den = parts.size() > 1 ? parts.at(1).toDouble(&okDen) : 1.0;
    if (!okNum || !okDen || den <= 0.0 || num <= 0.0) {
        return std::nullopt;
    }
    const double rate = num / den;
    return rate > 0.0 && rate <= kMaxCineFps ? std::optional<double>(rate) : std::nullopt;
}

struct Probe {
    int width = 0;
    int height = 0;
    QString pixelFormat;
    int frames = 0; // 0: not known
    double rate = 0.0;
};

Probe probeMovie(const QString &path, const WorkProgress &progress) {
    ProcessRun run(QStringLiteral("Reading the movie"), {10000, 20000, 30000}, progress.cancelled);
    run.start(QStringLiteral("ffprobe"),
              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-protocol_whitelist"),
               QStringLiteral("file"), QStringLiteral("-select_streams"), QStringLiteral("v:0"),
               QStringLiteral("-show_entries"),
               QStringLiteral("stream=width,height,pix_fmt,nb_frames,avg_frame_rate,r_frame_rate"),
               QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), fileUrl(path)});
    QByteArray out(kMaxProbeOutput, '\0');
    out.resize(run.read(out.data(), out.size()));
    run.kill(); // anything past the cap is not wanted
    const int code = run.ended() ? run.finish() : 1;
    std::map<QString, QString> values;
    for (const QByteArray &line : out.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) {
            values.emplace(QString::fromUtf8(line.left(eq)).trimmed(),
                           QString::fromUtf8(line.mid(eq + 1)).trimmed());
        }
    }
    Probe p;
    p.width = values[QStringLiteral("width")].toInt();
    p.height = values[QStringLiteral("height")].toInt();
    if (code != 0 || p.width <= 0 || p.height <= 0) {
        const QString said = run.errors();
        fail(errc::Damaged, path + QStringLiteral(": not a picture or movie that can be read.") +
                                (said.isEmpty() ? QString() : QLatin1Char('\n') + said));
    }
    p.pixelFormat = values[QStringLiteral("pix_fmt")];
    p.frames = std::max(0, values[QStringLiteral("nb_frames")].toInt());
    p.rate = parseRate(values[QStringLiteral("avg_frame_rate")])
                 .value_or(parseRate(values[QStringLiteral("r_frame_rate")]).value_or(0.0));
    return p;
}

// Frames come in as RGB; while every one is grey they are kept as one grey byte a pixel, and
// the first coloured frame turns what was kept so far back into RGB.
class FrameStore {
public:
    FrameStore(qint64 pixelsPerFrame, bool greyInput)
        : m_pixels(pixelsPerFrame), m_greyInput(greyInput), m_grey(true) {}

    void add(const char *frame) {
        if (m_greyInput) {
            m_data.append(frame, m_pixels);
            return;
        }
        const auto *rgb = reinterpret_cast<const unsigned char *>(frame);
        if (m_grey) {
            bool grey = true;
            for (qint64 i = 0; i < m_pixels && grey; ++i) {
                grey = rgb[3 * i] == rgb[3 * i + 1] && rgb[3 * i + 1] == rgb[3 * i + 2];
            }
            if (grey) {
                const qsizetype at = m_data.size();
                m_data.resize(at + m_pixels);
                for (qint64 i = 0; i < m_pixels; ++i) {
                    m_data[at + i] = char(rgb[3 * i]);
                }
                return;
            }
            toColour();
        }
        m_data.append(frame, m_pixels * 3);
    }
    bool colour() const { return !m_greyInput && !m_grey; }
    QByteArray take() { return std::move(m_data); }

private:
    void toColour() {
        QByteArray rgb(m_data.size() * 3, Qt::Uninitialized);
        for (qsizetype i = 0; i < m_data.size(); ++i) {
            rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = m_data[i];
        }
        m_data = std::move(rgb);
        m_grey = false;
    }

    qint64 m_pixels;
    bool m_greyInput;
    bool m_grey;
    QByteArray m_data;
};

} // namespace

double movieFrameRate(const Image &image) {
    return image.cineRate().fps; // a movie plays as the viewer plays the image
}

void exportAvi(const Image &image, const QString &path, int firstFrame, int lastFrame,
               const MovieSettings &settings, const WorkProgress &progress) {
    if (!image.hasPixelData()) {
        fail(errc::NoPixelData, QStringLiteral("The image has no pixels to export."));
    }
    if (firstFrame < 1 || lastFrame > image.frameCount() || firstFrame > lastFrame) {
        fail(errc::BadArgument, QStringLiteral("Frames %1 to %2 are not frames of the image "
                                               "(it has %3).")
                                    .arg(firstFrame)
                                    .arg(lastFrame)
                                    .arg(image.frameCount()));
    }
    const QString codec = settings.codec.trimmed().toUpper();
    if (!codec.isEmpty() && codec != QLatin1String("MJPEG") && codec != QLatin1String("MJPG")) {
        fail(errc::Unsupported,
             QStringLiteral("Movies are written as Motion-JPEG, not as \"%1\".").arg(codec));
    }
    const int step = std::max(1, settings.frameStep);
    const FrameLook look = settings.asShown ? FrameLook::AsShown : FrameLook::Plain;
    const int total = (lastFrame - firstFrame) / step + 1;

    QImage picture = renderedFrame(image, firstFrame, look);
    const QSize size = picture.size();
    const bool grey = picture.format() == QImage::Format_Grayscale8;
    const qsizetype rowBytes = qsizetype(size.width()) * (grey ? 1 : 3);

    // The movie is written beside its final name and moved there once complete, so a failed
    // or cancelled export leaves no half-written file and keeps an older one.
    const QFileInfo target(path);
    QTemporaryFile partial(target.absoluteDir().filePath(QStringLiteral(".") + target.fileName() +
                                                         QStringLiteral(".XXXXXX.avi")));
    if (!partial.open()) {
        fail(errc::FileAccess,
             path + QStringLiteral(": cannot be written: ") + partial.errorString());
    }
    partial.close();

    ProcessRun run(QStringLiteral("The AVI export"), {}, progress.cancelled);
    run.start(QStringLiteral("ffmpeg"),
              {QStringLiteral("-hide_banner"),
               QStringLiteral("-nostats"),
               QStringLiteral("-loglevel"),
               QStringLiteral("error"),
               QStringLiteral("-f"),
               QStringLiteral("rawvideo"),
               QStringLiteral("-pix_fmt"),
               grey ? QStringLiteral("gray") : QStringLiteral("rgb24"),
               QStringLiteral("-video_size"),
               QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
               QStringLiteral("-framerate"),
               QString::number(movieFrameRate(image), 'g', 12),
               QStringLiteral("-i"),
               QStringLiteral("pipe:0"),
               QStringLiteral("-an"),
               QStringLiteral("-c:v"),
               QStringLiteral("mjpeg"),
               QStringLiteral("-q:v"),
               QString::number(quantiserFor(settings.quality)),
               QStringLiteral("-pix_fmt"),
               QStringLiteral("yuvj420p"),
               QStringLiteral("-f"),
               QStringLiteral("avi"),
               QStringLiteral("-y"),
               fileUrl(partial.fileName())});

    QByteArray packed;
    int done = 0;
    for (int number = firstFrame; number <= lastFrame; number += step) {
        if (number != firstFrame) {
            picture = renderedFrame(image, number, look);
        }
        if (picture.size() != size) {
            fail(errc::Damaged,
                 QStringLiteral("Frame %1 differs in size from the first.").arg(number));
        }
        if (picture.bytesPerLine() == rowBytes) {
            run.write(reinterpret_cast<const char *>(picture.constBits()),
                      rowBytes * size.height());
        } else {
            // QImage pads rows to four bytes; ffmpeg reads them packed.
            packed.resize(rowBytes * size.height());
            for (int y = 0; y < size.height(); ++y) {
                std::memcpy(packed.data() + rowBytes * y, picture.constScanLine(y),
                            std::size_t(rowBytes));
            }
            run.write(packed.constData(), packed.size());
        }
        ++done;
        if (progress.report) {
            progress.report(done, total);
        }
    }
    run.closeInput();
    if (run.finish() != 0) {
        const QString said = run.errors();
        fail(errc::FileAccess, path + QStringLiteral(": the movie cannot be written.") +
                                   (said.isEmpty() ? QString() : QLatin1Char('\n') + said));
    }
    if (QFile::exists(path) && !QFile::remove(path)) {
        fail(errc::FileAccess, path + QStringLiteral(": cannot be replaced."));
    }
    if (!partial.rename(path)) {
        fail(errc::FileAccess,
             path + QStringLiteral(": cannot be written: ") + partial.errorString());
    }
    partial.setAutoRemove(false); // it goes by the final name now
}

Imported importMovie(const QString &path, const ImportLimits &limits,
                     const WorkProgress &progress) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        fail(errc::FileAccess, path + QStringLiteral(": the file does not exist."));
    }
    if (info.size() == 0) {
        fail(errc::NotDicom, path + QStringLiteral(": the file is empty."));
    }
    const Probe probe = probeMovie(path, progress);

    // Frames too large are shrunk to the cap, proportions kept.
    QSize size(probe.width, probe.height);
    double scale = 1.0;
    const double pixels = double(size.width()) * size.height();
    if (pixels > double(limits.maxFramePixels)) {
        scale = std::sqrt(double(limits.maxFramePixels) / pixels);
    }
    scale = std::min({scale, double(kMaxSide) / size.width(), double(kMaxSide) / size.height()});
    QStringList notices;
    if (scale < 1.0) {
        size =
            QSize(std::max(1, int(size.width() * scale)), std::max(1, int(size.height() * scale)));
        notices << QStringLiteral("The frames were reduced from %1 x %2 to %3 x %4 pixels.")
                       .arg(probe.width)
                       .arg(probe.height)
                       .arg(size.width())
                       .arg(size.height());
    }
    const bool greyInput = probe.pixelFormat.startsWith(QLatin1String("gray"));
    const qint64 framePixels = qint64(size.width()) * size.height();
    const qint64 frameBytes = framePixels * (greyInput ? 1 : 3);
    // Grey frames are kept at a byte a pixel, so a grey movie fits three times as many frames;
    // a colour one is known only once its frames are read, and is cut at its bytes then.
    const int maxFrames = int(std::min<qint64>(
        limits.maxFrames, limits.maxTotalBytes / std::max<qint64>(1, framePixels)));
    if (maxFrames < 1) {
        fail(errc::TooLarge, path + QStringLiteral(": one frame of the movie is larger than "
                                                   "the import takes."));
    }

    ProcessRun run(QStringLiteral("Reading the movie"), {}, progress.cancelled);
    run.start(QStringLiteral("ffmpeg"),
              {QStringLiteral("-hide_banner"),
               QStringLiteral("-nostats"),
               QStringLiteral("-nostdin"),
               QStringLiteral("-loglevel"),
               QStringLiteral("error"),
               QStringLiteral("-protocol_whitelist"),
               QStringLiteral("file"),
               QStringLiteral("-i"),
               fileUrl(path),
               QStringLiteral("-map"),
               QStringLiteral("0:v:0"),
               QStringLiteral("-frames:v"),
               QString::number(maxFrames + 1),
               QStringLiteral("-an"),
               QStringLiteral("-sn"),
               QStringLiteral("-s"),
               QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
               QStringLiteral("-f"),
               QStringLiteral("rawvideo"),
               QStringLiteral("-pix_fmt"),
               greyInput ? QStringLiteral("gray") : QStringLiteral("rgb24"),
               QStringLiteral("pipe:1")});

    FrameStore store(framePixels, greyInput);
    QByteArray frame(frameBytes, Qt::Uninitialized);
    const int expected = probe.frames > 0 ? std::min(probe.frames, maxFrames) : 0;
    int frames = 0;
    bool cut = false;
    while (true) {
        const qint64 got = run.read(frame.data(), frameBytes);
        if (got < frameBytes) {
            break; // the end (a partial last frame is no frame)
        }
        const qint64 keptBytes = qint64(frames + 1) * framePixels * (store.colour() ? 3 : 1);
        if (frames == maxFrames || keptBytes > limits.maxTotalBytes) {
            cut = true;
            run.kill();
            break;
        }
        store.add(frame.constData());
        ++frames;
        if (progress.report) {
            progress.report(frames, expected);
        }
    }
    if (!cut) {
        const int code = run.finish();
        const QString said = run.errors();
        const QString detail = said.isEmpty() ? QString() : QLatin1Char('\n') + said;
        if (code != 0 || frames == 0) {
            fail(errc::Damaged,
                 path +
                     (frames == 0 ? QStringLiteral(": no frame of the movie can be read.")
                                  : QStringLiteral(": the movie is damaged.")) +
                     detail);
        }
        // A cut-off file still decodes up to the cut; its header knows how many frames it had.
        if (expected > 0 && frames < expected) {
            fail(errc::Damaged, path +
                                    QStringLiteral(": the movie is incomplete; only %1 of its "
                                                   "%2 frames can be read.")
                                        .arg(frames)
                                        .arg(probe.frames) +
                                    detail);
        }
    } else {
        notices << QStringLiteral("Only the first %1 frames of the movie were imported (at most "
                                  "%2 frames and %3 MB of pixels are taken).")
                       .arg(frames)
                       .arg(limits.maxFrames)
                       .arg(limits.maxTotalBytes / (1024 * 1024));
    }
    CapturedFrames captured;
    captured.columns = size.width();
    captured.rows = size.height();
    captured.frames = frames;
    captured.colour = store.colour();
    captured.pixels = store.take();
    captured.frameRate = probe.rate;
    captured.source = path;
    Imported result;
    result.image = capturedImage(std::move(captured));
    result.notice = notices.join(QLatin1Char(' '));
    return result;
}

} // namespace ravlen::toolkit
