#pragma once

#include "burn/burnservice.h"

#include <QList>
#include <QString>

namespace ravlen::burn {

// One line of xorriso's packet output (-pkt_output on), as the burn window reads it.
struct XorrisoLine {
    enum class Kind {
        Ignore,     // pacifier counts, per-file notes, notes about our own fixed choices
        Progress,   // a percentage of the current operation
        Log,        // worth showing as it is
        Problem,    // a SORRY, FAILURE, FATAL or ABORT message
        Success,    // the write completed
        NoMedia,    // the drive holds no disc
        MediaType,  // which disc the drive holds
        ClosedMedia // the disc is written and closed
    };
    Kind kind = Kind::Ignore;
    QString text; // without the packet prefix
    int percent = -1;
};

XorrisoLine classifyXorrisoLine(const QString &line);

// The drives of an "xorriso -devices" listing, named for people ("VENDOR MODEL (/dev/sr0)").
QList<Recorder> parseDrives(const QString &output);

// The arguments that write `job` through xorriso to `outdev` (a drive, or "stdio:" and a file).
QStringList burnArguments(const BurnJob &job, const QString &outdev);

} // namespace ravlen::burn
