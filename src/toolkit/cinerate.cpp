#include "toolkit/cinerate.h"

#include <algorithm>
#include <cmath>

namespace ravlen::toolkit {

namespace {

std::optional<double> fromFrameMs(double ms) {
    if (!std::isfinite(ms) || ms <= 0.0) {
        return std::nullopt;
    }
    const double fps = 1000.0 / ms;
    return usableCineRate(fps) ? std::optional<double>(fps) : std::nullopt;
}

std::optional<double> fromFrameTimeVector(const std::vector<double> &increments) {
    // DICOM gives the first frame an increment of 0; writers that repeat the real increment
    // there instead still get their mean.
    const std::size_t first = !increments.empty() && increments.front() == 0.0 ? 1 : 0;
    if (increments.size() <= first) {
        return std::nullopt;
    }
    double sum = 0.0;
    for (std::size_t i = first; i < increments.size(); ++i) {
        if (!std::isfinite(increments[i]) || increments[i] < 0.0) {
            return std::nullopt; // one nonsense entry makes the whole vector untrustworthy
        }
        sum += increments[i];
    }
    return fromFrameMs(sum / double(increments.size() - first));
}

} // namespace

bool usableCineRate(double fps) {
    return std::isfinite(fps) && fps > 0.0 && fps <= kMaxCineFps;
}

CineRate chooseCineRate(const CineTiming &timing) {
    if (timing.recommendedDisplayFrameRate && usableCineRate(*timing.recommendedDisplayFrameRate)) {
        return {*timing.recommendedDisplayFrameRate, CineRateSource::RecommendedDisplayFrameRate};
    }
    if (timing.cineRate && usableCineRate(*timing.cineRate)) {
        return {*timing.cineRate, CineRateSource::CineRate};
    }
    if (timing.frameTime) {
        if (const auto fps = fromFrameMs(*timing.frameTime)) {
            return {*fps, CineRateSource::FrameTime};
        }
    }
    if (const auto fps = fromFrameTimeVector(timing.frameTimeVector)) {
        return {*fps, CineRateSource::FrameTimeVector};
    }
    return {};
}

CinePosition advanceCine(CinePosition from, int mode, int frameCount, long long steps) {
    const long long n = std::max(frameCount, 1);
    const long long index = std::clamp<long long>(from.frame, 1, n) - 1;
    const auto wrap = [](long long value, long long period) {
        return ((value % period) + period) % period;
    };
    if (n == 1 || mode == cinemode::Stopped) {
        return {int(index + 1), from.backwards};
    }
    if (mode == cinemode::Reverse) {
        return {int(wrap(index - steps, n) + 1), true};
    }
    if (mode != cinemode::Oscillate) {
        return {int(wrap(index + steps, n) + 1), false};
    }
    // One turn is 2 (N - 1) steps: phases 0..N-2 go up from frames 1..N-1, phases N-1..2N-3
    // come down from frames N..2.
    const long long turn = 2 * (n - 1);
    const long long phase = from.backwards && index > 0 ? turn - index : index;
    const long long now = wrap(phase + steps, turn);
    if (now < n - 1) {
        return {int(now + 1), false};
    }
    return {int(turn - now + 1), true};
}

} // namespace ravlen::toolkit
