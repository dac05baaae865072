#pragma once

// DICOM test data built in the test: small images with known pixels, written by the toolkit's
// DataSetBuilder, and a runner for DCMTK's command-line tools.

#include "toolkit/datasetbuilder.h"

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstring>
#include <vector>

namespace ravlen::testdata {

using toolkit::DataSetBuilder;
using toolkit::PixelSpec;

// Little-endian bytes of 16-bit samples.
inline QByteArray words(const std::vector<int> &values) {
    QByteArray out(qsizetype(values.size() * 2), '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto v = std::uint16_t(values[i]);
        out[qsizetype(2 * i)] = char(v & 0xFF);
        out[qsizetype(2 * i + 1)] = char(v >> 8);
    }
    return out;
}

inline QByteArray bytes(const std::vector<int> &values) {
    QByteArray out(qsizetype(values.size()), '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        out[qsizetype(i)] = char(std::uint8_t(values[i]));
    }
    return out;
}

// Stored values that cover the whole range of `bitsStored` (signed or not) across the image,
// different in every frame, so a mixed-up frame or a lost sign shows.
inline std::vector<int> rampValues(int rows, int columns, int frames, int bitsStored,
                                   bool isSigned) {
    const long long lo = isSigned ? -(1LL << (bitsStored - 1)) : 0;
    const long long hi = isSigned ? (1LL << (bitsStored - 1)) - 1 : (1LL << bitsStored) - 1;
    const long long n = (long long)rows * columns;
    std::vector<int> values;
    values.reserve(std::size_t(n * frames));
    for (int f = 0; f < frames; ++f) {
        for (long long i = 0; i < n; ++i) {
            const long long span = hi - lo + 1;
            values.push_back(int(lo + ((i * 7919 + f * 104729) % span)));
        }
        values[std::size_t(f * n)] = int(lo); // both ends present in every frame
        values[std::size_t(f * n + n - 1)] = int(hi);
    }
    return values;
}

// Monochrome pixels from stored values.
inline PixelSpec monochrome(int rows, int columns, int frames, int bitsAllocated, int bitsStored,
                            bool isSigned, const std::vector<int> &values,
                            const QString &photometric = QStringLiteral("MONOCHROME2")) {
    PixelSpec p;
    p.rows = rows;
    p.columns = columns;
    p.frames = frames;
    p.bitsAllocated = bitsAllocated;
    p.bitsStored = bitsStored;
    p.pixelRepresentation = isSigned ? 1 : 0;
    p.photometric = photometric;
    // above bitsStored the 16-bit words carry the sign, as modalities write them
    p.data = bitsAllocated == 8 ? bytes(values) : words(values);
    return p;
}

// Interleaved 8-bit RGB values: a colour ramp that differs per frame.
inline std::vector<int> rgbValues(int rows, int columns, int frames) {
    std::vector<int> v;
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) {
                v.push_back((x * 255) / std::max(1, columns - 1));
                v.push_back((y * 255) / std::max(1, rows - 1));
                v.push_back((f * 60 + x + y) % 256);
            }
        }
    }
    return v;
}

// An image data set with the identifying attributes every test file carries.
inline DataSetBuilder
baseDataSet(const QString &sopClass = QStringLiteral("1.2.840.10008.5.1.4.1.1.7"),
            const QString &instance = QStringLiteral("1.2.3.4.5.6.7")) {
    DataSetBuilder b;
    b.set(0x0008, 0x0016, sopClass);
    b.set(0x0008, 0x0018, instance);
    b.set(0x0008, 0x0060, QStringLiteral("OT"));
    b.set(0x0010, 0x0010, QStringLiteral("Test^Patient"));
    b.set(0x0010, 0x0020, QStringLiteral("PID1"));
    b.set(0x0020, 0x000D, QStringLiteral("1.2.3.4.5"));
    b.set(0x0020, 0x000E, QStringLiteral("1.2.3.4.5.6"));
    return b;
}

// The path of a DCMTK command-line tool, or an empty text when it is not installed.
inline QString tool(const QString &name) {
    return QStandardPaths::findExecutable(name);
}

// Runs a tool; returns its exit code (-1 when it could not start or timed out).
inline int runTool(const QString &name, const QStringList &arguments, QString *errors = nullptr) {
    QProcess process;
    process.start(tool(name), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        return -1;
    }
    if (errors) {
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace ravlen::testdata
