#pragma once

#include <optional>
#include <vector>

namespace ravlen::toolkit {

// Frames a second a multi-frame image plays at when its file gives no usable timing, the same
// as its AVI movie.
inline constexpr double kDefaultCineFps = 10.0;
// Faster than any display shows: such a value is a damaged or mistyped element.
inline constexpr double kMaxCineFps = 1000.0;

// The timing elements of a multi-frame image as numbers; absent or non-numeric ones stay empty.
struct CineTiming {
    std::optional<double> recommendedDisplayFrameRate; // (0008,2144), frames a second
    std::optional<double> cineRate;                    // (0018,0040), frames a second
    std::optional<double> frameTime;                   // (0018,1063), ms a frame
    std::vector<double> frameTimeVector;               // (0018,1065), ms since the previous frame
};

// Where a playing speed came from, in the order it is looked for.
enum class CineRateSource {
    RecommendedDisplayFrameRate,
    CineRate,
    FrameTime,
    FrameTimeVector,
    Default,
};

struct CineRate {
    double fps = kDefaultCineFps;
    CineRateSource source = CineRateSource::Default;
    double frameMs() const { return 1000.0 / fps; }
};

// Whether `fps` can be played: finite, above 0 and at most kMaxCineFps.
bool usableCineRate(double fps);

// The first usable of: Recommended Display Frame Rate, Cine Rate, 1000 / Frame Time, 1000 /
// the mean of the Frame Time Vector's increments (its leading 0 left out), else the default.
CineRate chooseCineRate(const CineTiming &timing);

// Cine modes of an image. Any other value that is not 0 plays forward.
namespace cinemode {
inline constexpr int Stopped = 0;
inline constexpr int Reverse = 2;
inline constexpr int Forward = 3;
inline constexpr int Oscillate = 4;
} // namespace cinemode

// Where a playing image stands: its frame (1-based) and, when oscillating, whether it is on
// its way back down.
struct CinePosition {
    int frame = 1;
    bool backwards = false;
    bool operator==(const CinePosition &) const = default;
};

// The position `steps` frame steps after `from` in `mode` over `frameCount` frames. Forward
// wraps from the last frame to the first, reverse from the first to the last; oscillation runs
// 1, 2, .., N, N-1, .., 2, 1, 2, .. and shows each end frame once per turn.
CinePosition advanceCine(CinePosition from, int mode, int frameCount, long long steps);

} // namespace ravlen::toolkit
