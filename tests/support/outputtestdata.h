#pragma once

// Images for the output tests (print, export, import): 8-bit grey frames whose brightness
// tells the frame apart, with a white block in the top-left corner that shows orientation.

#include "support/dicomtestdata.h"
#include "toolkit/image.h"

#include <QImage>
#include <QProcess>
#include <QString>

#include <memory>

namespace ravlen::testdata {

struct FramesSpec {
    int columns = 64;
    int rows = 48;
    int frames = 1;
    QString instanceNumber = QStringLiteral("1");
    // rate elements as text; empty leaves them out
    QString recommendedRate;
    QString cineRate;
    QString frameTime;
    int background = -1; // grey level of every frame; -1: 40 + 20 per frame
};

inline FramesSpec framesSpec(int columns, int rows, int frames) {
    FramesSpec s;
    s.columns = columns;
    s.rows = rows;
    s.frames = frames;
    return s;
}

// The grey level of frame `index` (0-based) away from the corner block.
inline int frameLevel(int index) {
    return (40 + 20 * index) % 200;
}

inline std::shared_ptr<toolkit::Image> greyFrames(const FramesSpec &s) {
    const int block = std::max(1, std::min(s.columns, s.rows) / 4);
    QByteArray pixels(qsizetype(s.columns) * s.rows * s.frames, '\0');
    for (int f = 0; f < s.frames; ++f) {
        for (int y = 0; y < s.rows; ++y) {
            for (int x = 0; x < s.columns; ++x) {
                const bool corner = x < block && y < block;
                const int level = s.background >= 0 ? s.background : frameLevel(f);
                pixels[(qsizetype(f) * s.rows + y) * s.columns + x] = char(corner ? 255 : level);
            }
        }
    }
    toolkit::DataSetBuilder b = baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7.2"),
                                            QStringLiteral("1.2.3.4.5.6.77.") + s.instanceNumber);
    if (!s.instanceNumber.isEmpty()) {
        b.set(0x0020, 0x0013, s.instanceNumber);
    }
    b.set(0x0028, 0x1050, QStringLiteral("128"));
    b.set(0x0028, 0x1051, QStringLiteral("256"));
    if (!s.recommendedRate.isEmpty()) {
        b.set(0x0008, 0x2144, s.recommendedRate);
    }
    if (!s.cineRate.isEmpty()) {
        b.set(0x0018, 0x0040, s.cineRate);
    }
    if (!s.frameTime.isEmpty()) {
        b.set(0x0018, 0x1063, s.frameTime);
    }
    PixelSpec p;
    p.rows = s.rows;
    p.columns = s.columns;
    p.frames = s.frames;
    p.bitsAllocated = 8;
    p.bitsStored = 8;
    p.data = pixels;
    b.setPixels(p);
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle),
                                     QStringLiteral("frames"));
}

// The mean grey level of a picture's rectangle.
inline double meanGrey(const QImage &picture, const QRect &area) {
    double sum = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            sum += qGray(picture.pixel(x, y));
            ++n;
        }
    }
    return n ? sum / n : 0.0;
}

// What ffprobe says about a movie's first video stream: "key=value" lines.
inline QString probe(const QString &path, const QString &entries) {
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=" + entries, "-of", "default=noprint_wrappers=1", path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace ravlen::testdata
