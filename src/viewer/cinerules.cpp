#include "viewer/cinerules.h"

#include "core/formats.h"
#include "toolkit/cinerate.h"
#include "viewer/viewerconstants.h"

namespace ravlen::viewer {

int playInterval(const QString &playMs) {
    const double ms = fmt::leadingNumber(playMs);
    if (ms > kMaxPlayMS) {
        return kMaxPlayMS;
    }
    // Below 0.5 rounds to 0 as well: no ticks.
    return ms <= 0.0 ? 0 : fmt::toInt32(ms);
}

TimerStep timerStep(int currentPosition, int imageCount) {
    TimerStep step;
    step.show = currentPosition + 1;
    step.next = step.show >= imageCount ? 0 : step.show;
    return step;
}

int toggledCineMode(int cineMode) {
    return cineMode == toolkit::cinemode::Stopped ? toolkit::cinemode::Oscillate
                                                  : toolkit::cinemode::Stopped;
}

} // namespace ravlen::viewer
