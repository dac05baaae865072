#pragma once

#include "toolkit/datasetbuilder.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace ravlen::tools {

// What to generate. The same options and seed always give the same files, byte for byte.
struct SampleStudyOptions {
    QString outDir = QStringLiteral("sample-study");
    int slices = 20; // axial CT slices
    int size = 512;  // CT matrix (rows = columns)
    toolkit::TransferSyntax syntax = toolkit::TransferSyntax::ExplicitLittle;
    std::uint32_t seed = 1;
};

// Writes one study of one patient into `outDir` (created if needed): an axial CT series of a
// torso phantom (CT0001.dcm ...), a coronal CT scout in the same frame of reference
// (SCOUT.dcm), an 8-bit multi-frame ultrasound loop (US.dcm), a nuclear-medicine image
// (NM.dcm), a MONOCHROME1 computed radiograph (CR.dcm) and an RGB secondary capture
// (RGB.dcm). Returns the paths written. Throws ToolkitError when a file cannot be written.
QStringList writeSampleStudy(const SampleStudyOptions &options);

// A UID under the 2.25 root derived from the seed and a name, so reruns give the same UIDs.
QString sampleUid(std::uint32_t seed, const QString &name);

} // namespace ravlen::tools
