#pragma once

#include <QString>

#include <optional>

namespace ravlen {
class SettingsStore;
}

// The arithmetic of window placement: settings hold twips, windows work in pixels.
namespace ravlen::component {

// 15 twips to a pixel at 96 dpi; Qt's logical pixels already absorb other screen densities.
inline constexpr int kTwipsPerPixel = 15;

enum class WinState { Normal = 0, Minimized = 1, Maximized = 2 };

// Twips to whole pixels (halves to even); nullopt when the value cannot be a window coordinate.
std::optional<int> pixelsFromTwips(double twips);
int twipsFromPixels(int pixels);

// What restoring applies to a window: each part only when its stored value was above 0.
struct PlacementPlan {
    std::optional<int> width; // pixels
    std::optional<int> height;
    std::optional<int> left;
    std::optional<int> top;
    std::optional<WinState> state;
};

// Reads "Width", "Height", "Left", "Top" and "WinState" of application "PACS" under the
// caption. Stored texts are parsed by their leading number; 0, negatives, absent values,
// unusable numbers and unknown states are left out, as a failed step is skipped.
PlacementPlan planRestore(const SettingsStore &store, const QString &caption);

// A window's placement as the settings store keeps it.
struct SavedPlacement {
    int width = 0; // pixels
    int height = 0;
    int left = 0;
    int top = 0;
    WinState state = WinState::Normal;
};

// Writes the five values under "PACS" / caption, sizes and positions as twips.
void savePlacement(SettingsStore &store, const QString &caption, const SavedPlacement &placement);

} // namespace ravlen::component
