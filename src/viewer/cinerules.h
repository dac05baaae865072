#pragma once

#include <QString>

// The arithmetic of playing: the image timer's interval and its steps through the image set,
// and the "&Cine" toggle. No widgets here.
namespace ravlen::viewer {

// The image timer's interval in ms from the stored "PlayMS" text (read by its leading number):
// above kMaxPlayMS it is kMaxPlayMS, otherwise the value rounded. 0 means the timer never
// ticks; a negative value is taken as 0 too, so a mistyped setting plays nothing rather than
// flooding the window.
int playInterval(const QString &playMs);

// One tick of the image timer from the current position: the position to select, and the
// current position afterwards (0 once the end of the set is reached, so the next tick shows
// the first image).
struct TimerStep {
    int show = 1;
    int next = 1;
    bool operator==(const TimerStep &) const = default;
};
TimerStep timerStep(int currentPosition, int imageCount);

// "&Cine": a stopped image starts oscillating; any playing one stops.
int toggledCineMode(int cineMode);

} // namespace ravlen::viewer
