#include "samplestudy.h"

#include "core/errors.h"

#include <QCryptographicHash>
#include <QDir>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ravlen::tools {

using toolkit::DataSetBuilder;
using toolkit::PixelSpec;

namespace {

constexpr double pi = 3.14159265358979323846;

// --- reproducible randomness

// splitmix64: fast, and every slice gets its own stream from (seed, slice).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Roughly normal with unit variance: the sum of four uniforms, centred and scaled.
    double normal() {
        const std::uint64_t r = next();
        double sum = 0;
        for (int i = 0; i < 4; ++i) {
            sum += double((r >> (16 * i)) & 0xFFFF) / 65536.0;
        }
        return (sum - 2.0) * 1.7320508075688772;
    }
    double uniform() { return double(next() >> 11) / 9007199254740992.0; }

private:
    std::uint64_t m_state;
};

std::uint64_t streamSeed(std::uint32_t seed, std::uint32_t stream) {
    return (std::uint64_t(seed) << 32) ^ (std::uint64_t(stream) * 0x2545F4914F6CDD1Dull);
}

// --- the torso phantom, in Hounsfield units, patient coordinates in mm (x to the patient's
// left, y to the back, z to the head)

double sq(double v) {
    return v * v;
}

bool inEllipse(double x, double y, double cx, double cy, double a, double b) {
    return sq((x - cx) / a) + sq((y - cy) / b) <= 1.0;
}

struct Phantom {
    // z-dependent parts, worked out once per slice
    double lungScale = 0; // 0 where there is no lung
    double heartScale = 0;
    bool disc = false;
    bool ribs = false;

    explicit Phantom(double z) {
        const double t = (z - 20.0) / 120.0;
        lungScale = t * t < 1.0 ? std::sqrt(1.0 - t * t) : 0.0;
        const double h = (z + 20.0) / 60.0;
        heartScale = h * h < 1.0 ? std::sqrt(1.0 - h * h) : 0.0;
        disc = std::fmod(std::fabs(z) + 100.0, 28.0) < 5.0;
        ribs = std::fmod(std::fabs(z) + 100.0, 24.0) < 9.0;
    }

    double hu(double x, double y) const {
        if (!inEllipse(x, y, 0, 10, 160, 112)) {
            return -1000.0;
        }
        double value = inEllipse(x, y, 0, 10, 148, 100) ? 40.0 : -100.0; // fat under the skin
        if (ribs) {
            const double angle = std::atan2((y - 10) / 100.0, x / 148.0);
            const double nearest = std::round(angle / (pi / 7.0)) * (pi / 7.0);
            const double rx = 140.0 * std::cos(nearest), ry = 10.0 + 94.0 * std::sin(nearest);
            if (std::fabs(std::sin(nearest)) < 0.97 && sq(x - rx) + sq(y - ry) < 36.0) {
                return 650.0;
            }
        }
        if (lungScale > 0.05) {
            const double a = 58.0 * lungScale, b = 78.0 * lungScale;
            if (inEllipse(x, y, 68, 5, a, b) || inEllipse(x, y, -68, 5, a, b)) {
                // small vessels, cut across, scattered through the lung
                const double texture = std::sin(x * 0.23 + 0.7 * std::sin(y * 0.05)) *
                                       std::sin(y * 0.19 + 0.5 * std::sin(x * 0.07));
                value = texture > 0.93 ? -150.0 : -820.0;
            }
        }
        if (heartScale > 0.05 && inEllipse(x, y, 22, -22, 52 * heartScale, 42 * heartScale)) {
            value = 45.0;
        }
        if (sq(x - 18) + sq(y - 38) < 13.0 * 13.0) {
            value = 260.0; // aorta with contrast
        } else if (sq(x + 26) + sq(y - 22) < 10.0 * 10.0) {
            value = 170.0; // vena cava, less contrast
        }
        // the spine: vertebral body (or disc), canal, spinous process
        const double body = sq(x) + sq(y - 66);
        if (body < 18.0 * 18.0) {
            value = disc ? 80.0 : (body > 15.0 * 15.0 ? 700.0 : 280.0);
        } else if (sq(x) + sq(y - 92) < 8.0 * 8.0) {
            value = 15.0;
        } else if (inEllipse(x, y, 0, 108, 6, 12) ||
                   (inEllipse(x, y, 0, 92, 16, 12) && !(sq(x) + sq(y - 92) < 8.0 * 8.0))) {
            value = 700.0;
        }
        return value;
    }
};

// --- helpers

QString number(double v) {
    QString text = QString::number(v, 'f', 6);
    while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QByteArray littleEndian16(const std::vector<int> &values) {
    QByteArray out(qsizetype(values.size() * 2), Qt::Uninitialized);
    char *p = out.data();
    for (int v : values) {
        const auto u = std::uint16_t(v);
        *p++ = char(u & 0xFF);
        *p++ = char(u >> 8);
    }
    return out;
}

// Pixels held in 16-bit words, as the grey samples here are.
PixelSpec wordPixels(int rows, int columns, int bitsStored, const std::vector<int> &values) {
    PixelSpec p;
    p.rows = rows;
    p.columns = columns;
    p.bitsAllocated = 16;
    p.bitsStored = bitsStored;
    p.data = littleEndian16(values);
    return p;
}

struct Study {
    std::uint32_t seed;
    QString studyUid;
    QString frameOfReference;
    QString accession;
    QString studyId;
};

DataSetBuilder commonAttributes(const Study &s, const QString &sopClass, const QString &role,
                                const QString &modality, int seriesNumber,
                                const QString &seriesDescription) {
    DataSetBuilder b;
    b.setCharacterSet(QStringLiteral("ISO_IR 100"));
    b.set(0x0008, 0x0016, sopClass);
    b.set(0x0008, 0x0018, sampleUid(s.seed, role));
    b.set(0x0008, 0x0020, QStringLiteral("20240115"));
    b.set(0x0008, 0x0021, QStringLiteral("20240115"));
    b.set(0x0008, 0x0023, QStringLiteral("20240115"));
    b.set(0x0008, 0x0030, QStringLiteral("101500"));
    b.set(0x0008, 0x0031, QStringLiteral("101500"));
    b.set(0x0008, 0x0050, s.accession);
    b.set(0x0008, 0x0060, modality);
    b.set(0x0008, 0x0070, QStringLiteral("Synthetic"));
    b.set(0x0008, 0x0080, QStringLiteral("Sample General Hospital"));
    b.set(0x0008, 0x0090, QStringLiteral("Referrer^Rita"));
    b.set(0x0008, 0x1030, QStringLiteral("CT THORAX WITH CONTRAST"));
    b.set(0x0008, 0x103E, seriesDescription);
    b.set(0x0010, 0x0010, QStringLiteral("Sample^Thomas"));
    b.set(0x0010, 0x0020, QStringLiteral("SAMPLE%1").arg(s.seed, 4, 10, QLatin1Char('0')));
    b.set(0x0010, 0x0030, QStringLiteral("19700315"));
    b.set(0x0010, 0x0040, QStringLiteral("M"));
    b.set(0x0010, 0x1010, QStringLiteral("053Y"));
    b.set(0x0020, 0x000D, s.studyUid);
    b.set(0x0020, 0x000E, sampleUid(s.seed, QStringLiteral("series/%1").arg(seriesNumber)));
    b.set(0x0020, 0x0010, s.studyId);
    b.set(0x0020, 0x0011, QString::number(seriesNumber));
    return b;
}

void save(const DataSetBuilder &b, const QString &path, const SampleStudyOptions &o,
          QStringList &written) {
    b.save(path, o.syntax);
    written.append(path);
}

// Line integral of attenuation through the phantom along y, for a projection picture.
double projection(double x, double z, double step) {
    const Phantom phantom(z);
    double sum = 0;
    for (double y = -110; y <= 130; y += step) {
        sum += std::max(0.0, phantom.hu(x, y) + 1000.0) / 1000.0 * step;
    }
    return sum; // mm of water equivalent
}

// --- the series

void writeCtSeries(const Study &s, const SampleStudyOptions &o, QStringList &written) {
    const int n = o.size;
    const double fov = 360.0;
    const double spacing = fov / n;
    const double thickness = std::clamp(200.0 / o.slices, 0.5, 10.0);
    const double x0 = -fov / 2 + spacing / 2;
    const double y0 = -fov / 2 + spacing / 2 + 10.0;
    DataSetBuilder base = commonAttributes(s, QStringLiteral("1.2.840.10008.5.1.4.1.1.2"),
                                           QString(), QStringLiteral("CT"), 2,
                                           QStringLiteral("AXIAL %1 mm").arg(number(thickness)));
    base.set(0x0008, 0x0008, QStringLiteral("ORIGINAL\\PRIMARY\\AXIAL"));
    base.set(0x0018, 0x0015, QStringLiteral("CHEST"));
    base.set(0x0018, 0x0050, number(thickness));
    base.set(0x0018, 0x0060, QStringLiteral("120"));
    base.set(0x0018, 0x1120, QStringLiteral("0"));
    base.set(0x0018, 0x1151, QStringLiteral("250"));
    base.set(0x0018, 0x1210, QStringLiteral("STANDARD"));
    base.set(0x0018, 0x5100, QStringLiteral("HFS"));
    base.set(0x0020, 0x0037, QStringLiteral("1\\0\\0\\0\\1\\0"));
    base.set(0x0020, 0x0052, s.frameOfReference);
    base.set(0x0020, 0x1040, QString());
    base.set(0x0028, 0x0030, number(spacing) + QLatin1Char('\\') + number(spacing));
    base.set(0x0028, 0x1050, QStringLiteral("40"));
    base.set(0x0028, 0x1051, QStringLiteral("400"));
    base.set(0x0028, 0x1055, QStringLiteral("SOFT TISSUE"));
    base.set(0x0028, 0x1052, QStringLiteral("-1024"));
    base.set(0x0028, 0x1053, QStringLiteral("1"));
    base.set(0x0028, 0x1054, QStringLiteral("HU"));

    std::vector<int> stored(std::size_t(n) * n);
    std::vector<double> xs(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        xs[std::size_t(i)] = x0 + i * spacing;
    }
    for (int k = 0; k < o.slices; ++k) {
        const double z = 100.0 - (k + 0.5) * thickness;
        const Phantom phantom(z);
        Random random(streamSeed(o.seed, std::uint32_t(k) + 1));
        for (int j = 0; j < n; ++j) {
            const double y = y0 + j * spacing;
            int *row = stored.data() + std::size_t(j) * n;
            for (int i = 0; i < n; ++i) {
                const double hu = phantom.hu(xs[std::size_t(i)], y) + 12.0 * random.normal();
                row[i] = std::clamp(int(std::lround(hu)) + 1024, -32768, 32767);
            }
        }
        DataSetBuilder b = base;
        b.set(0x0008, 0x0018, sampleUid(o.seed, QStringLiteral("ct/%1").arg(k + 1)));
        b.set(0x0008, 0x0032, QStringLiteral("1015%1").arg(10 + k % 50));
        b.set(0x0020, 0x0013, QString::number(k + 1));
        b.set(0x0020, 0x0032,
              number(x0) + QLatin1Char('\\') + number(y0) + QLatin1Char('\\') + number(z));
        b.set(0x0020, 0x1041, number(z));
        PixelSpec p = wordPixels(n, n, 16, stored);
        p.pixelRepresentation = 1;
        b.setPixels(p);
        save(
            b,
            QDir(o.outDir).filePath(QStringLiteral("CT%1.dcm").arg(k + 1, 4, 10, QLatin1Char('0'))),
            o, written);
    }
}

void writeScout(const Study &s, const SampleStudyOptions &o, QStringList &written) {
    const int columns = o.size;
    const int rows = std::max(8, o.size * 5 / 6);
    const double colSpacing = 360.0 / columns;
    const double rowSpacing = 300.0 / rows;
    const double x0 = -180.0 + colSpacing / 2;
    const double zTop = 150.0 - rowSpacing / 2;
    std::vector<int> stored(std::size_t(rows) * columns);
    const double step = std::max(2.0, colSpacing * 3);
    for (int r = 0; r < rows; ++r) {
        const double z = zTop - r * rowSpacing;
        for (int c = 0; c < columns; ++c) {
            const double water = projection(x0 + c * colSpacing, z, step);
            stored[std::size_t(r) * columns + c] = std::clamp(int(water * 12.0), 0, 4095);
        }
    }
    DataSetBuilder b =
        commonAttributes(s, QStringLiteral("1.2.840.10008.5.1.4.1.1.2"), QStringLiteral("scout"),
                         QStringLiteral("CT"), 1, QStringLiteral("SCOUT"));
    b.set(0x0008, 0x0008, QStringLiteral("ORIGINAL\\PRIMARY\\LOCALIZER"));
    b.set(0x0018, 0x0060, QStringLiteral("120"));
    b.set(0x0018, 0x1151, QStringLiteral("30"));
    b.set(0x0018, 0x5100, QStringLiteral("HFS"));
    b.set(0x0020, 0x0013, QStringLiteral("1"));
    b.set(0x0020, 0x0032, number(x0) + QStringLiteral("\\0\\") + number(zTop));
    b.set(0x0020, 0x0037, QStringLiteral("1\\0\\0\\0\\0\\-1"));
    b.set(0x0020, 0x0052, s.frameOfReference);
    b.set(0x0028, 0x0030, number(rowSpacing) + QLatin1Char('\\') + number(colSpacing));
    b.set(0x0028, 0x1050, QStringLiteral("2048"));
    b.set(0x0028, 0x1051, QStringLiteral("4096"));
    b.set(0x0028, 0x1052, QStringLiteral("0"));
    b.set(0x0028, 0x1053, QStringLiteral("1"));
    b.setPixels(wordPixels(rows, columns, 12, stored));
    save(b, QDir(o.outDir).filePath(QStringLiteral("SCOUT.dcm")), o, written);
}

void writeUltrasound(const Study &s, const SampleStudyOptions &o, QStringList &written) {
    const int rows = 256, columns = 320, frames = 10;
    const double apexX = columns / 2.0, apexY = 8.0, depth = 240.0, halfAngle = 35.0 * pi / 180;
    QByteArray pixels(qsizetype(rows) * columns * frames, '\0');
    Random random(streamSeed(o.seed, 0x5553));
    for (int f = 0; f < frames; ++f) {
        const double phase = std::sin(2 * pi * f / frames);
        const double cystX = apexX + 25.0 * phase, cystY = 140.0, cystR = 28.0 + 4.0 * phase;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) {
                const double dx = x - apexX, dy = y - apexY;
                const double r = std::sqrt(dx * dx + dy * dy);
                const double angle = std::atan2(dx, dy);
                double v = 0;
                if (dy > 0 && r < depth && std::fabs(angle) < halfAngle) {
                    const double layer = r < 20 ? 170 : (std::fmod(r, 60.0) < 6 ? 150 : 90);
                    v = layer * (0.55 + 0.45 * random.uniform()) * (1.0 - r / (depth * 1.6));
                    const double d = std::hypot(x - cystX, y - cystY);
                    if (d < cystR) {
                        v *= 0.12;
                    } else if (d < cystR + 4) {
                        v = std::min(255.0, v * 2.2); // the cyst's bright wall
                    }
                }
                pixels[qsizetype(f) * rows * columns + qsizetype(y) * columns + x] =
                    char(std::clamp(int(v), 0, 255));
            }
        }
    }
    DataSetBuilder b =
        commonAttributes(s, QStringLiteral("1.2.840.10008.5.1.4.1.1.3.1"), QStringLiteral("us"),
                         QStringLiteral("US"), 3, QStringLiteral("CARDIAC LOOP"));
    b.set(0x0008, 0x0008, QStringLiteral("ORIGINAL\\PRIMARY"));
    b.set(0x0018, 0x1063, QStringLiteral("100"));
    b.set(0x0018, 0x0040, QStringLiteral("10"));
    b.set(0x0020, 0x0013, QStringLiteral("1"));
    PixelSpec p;
    p.rows = rows;
    p.columns = columns;
    p.frames = frames;
    p.bitsAllocated = p.bitsStored = 8;
    p.data = pixels;
    b.setPixels(p);
    b.set(0x0028, 0x0009, QStringLiteral("(0018,1063)"));
    save(b, QDir(o.outDir).filePath(QStringLiteral("US.dcm")), o, written);
}

void writeNuclear(const Study &s, const SampleStudyOptions &o, QStringList &written) {
    const int n = 128;
    std::vector<int> counts(std::size_t(n) * n);
    Random random(streamSeed(o.seed, 0x4E4D));
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            double mean = 3.0;
            if (inEllipse(x, y, 44, 56, 11, 20) || inEllipse(x, y, 84, 56, 11, 20)) {
                mean = inEllipse(x, y, 44, 56, 6, 12) || inEllipse(x, y, 84, 56, 6, 12) ? 260 : 160;
            } else if (inEllipse(x, y, 64, 108, 14, 10)) {
                mean = 420; // bladder
            }
            const double c = mean + std::sqrt(mean) * random.normal();
            counts[std::size_t(y) * n + x] = std::clamp(int(std::lround(c)), 0, 65535);
        }
    }
    DataSetBuilder b =
        commonAttributes(s, QStringLiteral("1.2.840.10008.5.1.4.1.1.20"), QStringLiteral("nm"),
                         QStringLiteral("NM"), 4, QStringLiteral("RENAL STATIC"));
    b.set(0x0008, 0x0008, QStringLiteral("ORIGINAL\\PRIMARY\\STATIC\\EMISSION"));
    b.set(0x0020, 0x0013, QStringLiteral("1"));
    b.set(0x0028, 0x0030, QStringLiteral("3.2\\3.2"));
    b.set(0x0054, 0x0011, QStringLiteral("1"));
    b.set(0x0054, 0x0021, QStringLiteral("1"));
    b.setPixels(wordPixels(n, n, 16, counts));
    b.set(0x0028, 0x0008, QStringLiteral("1"));
    b.set(0x0028, 0x0009, QStringLiteral("(0054,0010)"));
    b.set(0x0054, 0x0010, QStringLiteral("1"));
    b.set(0x0054, 0x0020, QStringLiteral("1"));
    save(b, QDir(o.outDir).filePath(QStringLiteral("NM.dcm")), o, written);
}

void writeRadiograph(const Study &s, const SampleStudyOptions &o, QStringList &written) {
    // 480 x 400 at the default CT matrix; smaller with it, so small test studies stay quick
    const int rows = std::max(16, o.size * 15 / 16), columns = std::max(16, o.size * 25 / 32);
    const double spacing = 432.0 / rows;
    std::vector<int> stored(std::size_t(rows) * columns);
    Random random(streamSeed(o.seed, 0x4352));
    for (int r = 0; r < rows; ++r) {
        const double z = 190.0 - r * spacing;
        for (int c = 0; c < columns; ++c) {
            const double water = projection((c - columns / 2.0) * spacing, z, 3.0);
            // MONOCHROME1: much attenuation (bone) is a low value and shows white
            const double v = 3900.0 - water * 11.0 + 6.0 * random.normal();
            stored[std::size_t(r) * columns + c] = std::clamp(int(v), 0, 4095);
        }
    }
    DataSetBuilder b =
        commonAttributes(s, QStringLiteral("1.2.840.10008.5.1.4.1.1.1"), QStringLiteral("cr"),
                         QStringLiteral("CR"), 5, QStringLiteral("CHEST PA"));
    b.set(0x0008, 0x0008, QStringLiteral("ORIGINAL\\PRIMARY"));
    b.set(0x0018, 0x0015, QStringLiteral("CHEST"));
    b.set(0x0018, 0x5101, QStringLiteral("PA"));
    b.set(0x0018, 0x1164, number(spacing) + QLatin1Char('\\') + number(spacing));
    b.set(0x0020, 0x0013, QStringLiteral("1"));
    b.set(0x0020, 0x0020, QStringLiteral("L\\F"));
    b.set(0x0028, 0x1050, QStringLiteral("2048"));
    b.set(0x0028, 0x1051, QStringLiteral("4096"));
    PixelSpec p = wordPixels(rows, columns, 12, stored);
    p.photometric = QStringLiteral("MONOCHROME1");
    b.setPixels(p);
    save(b, QDir(o.outDir).filePath(QStringLiteral("CR.dcm")), o, written);
}

void writeColour(const Study &s, const SampleStudyOptions &o, QStringList &written) {
    const int n = 256;
    QByteArray rgb(qsizetype(n) * n * 3, '\0');
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            char *p = rgb.data() + (qsizetype(y) * n + x) * 3;
            if (y >= 200) {
                // colour bars
                static const int bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255},
                                               {0, 255, 0},     {255, 0, 255}, {255, 0, 0},
                                               {0, 0, 255},     {0, 0, 0}};
                const int *c = bars[x * 8 / n];
                p[0] = char(c[0]);
                p[1] = char(c[1]);
                p[2] = char(c[2]);
                continue;
            }
            // a hue wheel fading to white at its centre
            const double dx = x - 128.0, dy = y - 100.0;
            const double r = std::hypot(dx, dy) / 96.0;
            const double hue = (std::atan2(dy, dx) + pi) / (2 * pi) * 6.0;
            double c[3];
            for (int k = 0; k < 3; ++k) {
                const double h = std::fmod(hue + 4.0 - 2.0 * k, 6.0);
                c[k] = std::clamp(std::fabs(h - 3.0) - 1.0, 0.0, 1.0);
            }
            for (int k = 0; k < 3; ++k) {
                const double v = r > 1.0 ? 0.15 : (c[k] * r + (1.0 - r));
                p[k] = char(std::clamp(int(v * 255.0), 0, 255));
            }
        }
    }
    DataSetBuilder b =
        commonAttributes(s, QStringLiteral("1.2.840.10008.5.1.4.1.1.7"), QStringLiteral("rgb"),
                         QStringLiteral("OT"), 6, QStringLiteral("KEY IMAGE"));
    b.set(0x0008, 0x0008, QStringLiteral("DERIVED\\SECONDARY"));
    b.set(0x0008, 0x0064, QStringLiteral("WSD"));
    b.set(0x0020, 0x0013, QStringLiteral("1"));
    PixelSpec p;
    p.rows = p.columns = n;
    p.samplesPerPixel = 3;
    p.bitsAllocated = p.bitsStored = 8;
    p.photometric = QStringLiteral("RGB");
    p.data = rgb;
    b.setPixels(p);
    save(b, QDir(o.outDir).filePath(QStringLiteral("RGB.dcm")), o, written);
}

} // namespace

QString sampleUid(std::uint32_t seed, const QString &name) {
    const QByteArray digest = QCryptographicHash::hash(
        QStringLiteral("ravlen sample study %1 %2").arg(seed).arg(name).toUtf8(),
        QCryptographicHash::Sha256);
    unsigned __int128 value = 0;
    for (int i = 0; i < 16; ++i) {
        value = (value << 8) | static_cast<unsigned char>(digest[i]);
    }
    QString digits;
    do {
        digits.prepend(QChar('0' + int(value % 10)));
        value /= 10;
    } while (value != 0);
    return QStringLiteral("2.25.") + digits;
}

QStringList writeSampleStudy(const SampleStudyOptions &o) {
    if (o.slices < 1 || o.size < 16) {
        throw ToolkitError(errc::BadArgument, "sample study: at least 1 slice of 16 x 16");
    }
    if (!QDir().mkpath(o.outDir)) {
        throw ToolkitError(
            errc::FileAccess,
            QStringLiteral("%1: the folder cannot be created").arg(o.outDir).toStdString());
    }
    Study s;
    s.seed = o.seed;
    s.studyUid = sampleUid(o.seed, QStringLiteral("study"));
    s.frameOfReference = sampleUid(o.seed, QStringLiteral("frame of reference"));
    s.accession = QStringLiteral("ACC%1").arg(o.seed, 6, 10, QLatin1Char('0'));
    s.studyId = QString::number(1000 + o.seed % 9000);
    QStringList written;
    writeScout(s, o, written);
    writeCtSeries(s, o, written);
    writeUltrasound(s, o, written);
    writeNuclear(s, o, written);
    writeRadiograph(s, o, written);
    writeColour(s, o, written);
    return written;
}

} // namespace ravlen::tools
