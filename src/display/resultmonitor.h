#pragma once

#include "display/clsmonitors.h"

#include <QRect>
#include <QSize>

#include <optional>

// Which monitor shows results, and where the viewer goes so that it opens there. The number
// the chooser stores is the position of the picked monitor in Monitors, the "Monitor N" the
// user clicked; 0 means no monitor was picked.
namespace ravlen::display {

// The record of the primary monitor; the first record when the primary is not listed; null
// for an empty list.
const clsMonitor *primaryRecord(const clsMonitors &monitors);

// The monitor numbered `number`; the primary monitor when no monitor has that number any more
// (it was unplugged since); null for 0.
const clsMonitor *resultMonitor(const clsMonitors &monitors, int number);

// The record holding most of `frame`; null when it lies on no monitor.
const clsMonitor *holdingMonitor(const clsMonitors &monitors, const QRect &frame);

// A frame of `size`, shrunk to fit the monitor's work area and centred on it.
QRect centredOnWorkArea(const clsMonitor &monitor, const QSize &size);

// Where the viewer opens, given the frame its stored placement gave it; nothing when that frame
// stands. With a result monitor chosen, a frame on that monitor stands and any other is
// centred on it: results appear where the user said. Without a choice the stored placement
// stands unless its monitor is gone, and then the frame is centred on the primary monitor.
std::optional<QRect> openingPlacement(const clsMonitors &monitors, int number, const QRect &frame);

// Where "View Result" moves the viewer: onto the result monitor (the primary one while none
// was chosen); nothing when the viewer is already there.
std::optional<QRect> resultViewPlacement(const clsMonitors &monitors, int number,
                                         const QRect &frame);

} // namespace ravlen::display
