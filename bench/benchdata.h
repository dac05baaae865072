#pragma once

// Synthetic data for the benchmarks, written with the toolkit's data set writer: CT slices
// (signed 16-bit, rescale intercept -1024, a soft-tissue window) and a large 16-bit radiograph.

#include "toolkit/datasetbuilder.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <vector>

namespace ravlen::bench {

// Stored values of an axial CT phantom: air, a body ellipse of soft tissue with noise, bone.
inline std::vector<std::int16_t> ctValues(int size, int slice) {
    std::vector<std::int16_t> v(std::size_t(size) * size);
    std::uint32_t noise = 2463534242u + std::uint32_t(slice);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = (x - size / 2.0) / (size * 0.42);
            const double dy = (y - size / 2.0) / (size * 0.32);
            const double r = dx * dx + dy * dy;
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            int hu = -1000;
            if (r < 1.0) {
                hu = 40 + int(noise % 60) - 30;
                const double bx = (x - size / 2.0) / (size * 0.05);
                const double by = (y - size * 0.6) / (size * 0.05);
                if (bx * bx + by * by < 1.0) {
                    hu = 700 + (slice % 200);
                }
            }
            v[std::size_t(y) * size + x] = std::int16_t(hu + 1024);
        }
    }
    return v;
}

inline toolkit::DataSetBuilder ctSlice(int size, int slice) {
    const std::vector<std::int16_t> values = ctValues(size, slice);
    toolkit::PixelSpec p;
    p.rows = size;
    p.columns = size;
    p.bitsAllocated = 16;
    p.bitsStored = 16;
    p.pixelRepresentation = 1;
    p.data =
        QByteArray(reinterpret_cast<const char *>(values.data()), qsizetype(values.size() * 2));
    toolkit::DataSetBuilder b;
    const QString n = QString::number(slice + 1);
    b.set(0x0008, 0x0016, QStringLiteral("1.2.840.10008.5.1.4.1.1.2"));
    b.set(0x0008, 0x0018, QStringLiteral("1.2.826.0.1.3680043.2.1125.9.") + n);
    b.set(0x0008, 0x0060, QStringLiteral("CT"));
    b.set(0x0010, 0x0010, QStringLiteral("Bench^Patient"));
    b.set(0x0010, 0x0020, QStringLiteral("BENCH1"));
    b.set(0x0020, 0x000D, QStringLiteral("1.2.826.0.1.3680043.2.1125.9"));
    b.set(0x0020, 0x000E, QStringLiteral("1.2.826.0.1.3680043.2.1125.9.1"));
    b.set(0x0020, 0x0013, n);
    b.set(0x0020, 0x1041, QString::number(-150.0 + slice * 1.25, 'f', 2));
    b.set(0x0028, 0x1050, QStringLiteral("40"));
    b.set(0x0028, 0x1051, QStringLiteral("400"));
    b.set(0x0028, 0x1052, QStringLiteral("-1024"));
    b.set(0x0028, 0x1053, QStringLiteral("1"));
    b.setPixels(p);
    return b;
}

// A mammography-sized 16-bit image (14 bits stored) with a smooth gradient and texture.
inline toolkit::DataSetBuilder largeRadiograph(int columns, int rows) {
    std::vector<std::uint16_t> v(std::size_t(columns) * rows);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            v[std::size_t(y) * columns + x] =
                std::uint16_t((x * 7 + y * 3 + ((x * y) % 97)) % 16384);
        }
    }
    toolkit::PixelSpec p;
    p.rows = rows;
    p.columns = columns;
    p.bitsAllocated = 16;
    p.bitsStored = 14;
    p.data = QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size() * 2));
    toolkit::DataSetBuilder b;
    b.set(0x0008, 0x0016, QStringLiteral("1.2.840.10008.5.1.4.1.1.1.2"));
    b.set(0x0008, 0x0018, QStringLiteral("1.2.826.0.1.3680043.2.1125.10.1"));
    b.set(0x0008, 0x0060, QStringLiteral("MG"));
    b.set(0x0028, 0x1050, QStringLiteral("8192"));
    b.set(0x0028, 0x1051, QStringLiteral("16384"));
    b.setPixels(p);
    return b;
}

// The CT phantom's slices as the frames of one image, `framesPerSecond` as its Cine Rate.
inline toolkit::DataSetBuilder ctMovie(int size, int frames, int framesPerSecond) {
    QByteArray pixels;
    pixels.reserve(qsizetype(frames) * size * size * 2);
    for (int f = 0; f < frames; ++f) {
        const std::vector<std::int16_t> v = ctValues(size, f);
        pixels.append(reinterpret_cast<const char *>(v.data()), qsizetype(v.size() * 2));
    }
    toolkit::DataSetBuilder b = ctSlice(size, 0);
    toolkit::PixelSpec p;
    p.rows = size;
    p.columns = size;
    p.frames = frames;
    p.bitsAllocated = 16;
    p.bitsStored = 16;
    p.pixelRepresentation = 1;
    p.data = pixels;
    b.setPixels(p);
    b.set(0x0018, 0x0040, QString::number(framesPerSecond));
    return b;
}

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the calling thread: on a machine shared with other work a step that is
// preempted halfway counts only what it ran, so figures stay comparable from run to run.
inline double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The floor we compare with: every value through a 64K-entry table, a fresh table each run.
// Median of `runs` passes, in thread CPU ms.
template <typename T> double lutLoopMs(const std::vector<T> &values, int runs) {
    static volatile unsigned sink = 0; // keeps the loop from being optimised away
    std::vector<std::uint8_t> table(65536);
    std::vector<std::uint8_t> out(values.size());
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            table[i] = std::uint8_t((i + std::size_t(run)) >> 8);
        }
        const double start = threadCpuMs();
        for (std::size_t i = 0; i < values.size(); ++i) {
            out[i] = table[std::uint16_t(values[i])];
        }
        times.push_back(threadCpuMs() - start);
        sink = sink + out[std::size_t(run) % out.size()];
    }
    return median(times);
}

} // namespace ravlen::bench
