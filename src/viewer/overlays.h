#pragma once

#include "viewer/overlaytexts.h"

#include <optional>

namespace ravlen::toolkit {
class Image;
class ImageCollection;
} // namespace ravlen::toolkit

// The text overlay and the side markers as labels on the images: cell-relative labels that
// the viewer draws over each tile's kept picture, so building them never draws an image again.
// Both viewer windows use these.
namespace ravlen::viewer {

// A window to put on the image after its overlay is built (while a preset is applied, the
// sliders hold the values the image is to have).
struct PresetWindow {
    double width = 0.0;
    double level = 0.0;
};

// Adds the three overlay blocks to the image's labels.
void BuildOverlay(toolkit::Image &image, const TextModes &modes = allTextModes(),
                  const std::optional<PresetWindow> &preset = std::nullopt);
// Removes the image's overlay blocks of an earlier build; the user's labels stay.
void RemoveOverlay(toolkit::Image &image);
// Rebuilds the overlay of every image.
void RefreshOverlays(toolkit::ImageCollection &images, const TextModes &modes = allTextModes(),
                     const std::optional<PresetWindow> &preset = std::nullopt);
// Builds the overlay of the images that have none yet (images just opened or received), so the
// others are not built again.
void BuildMissingOverlays(toolkit::ImageCollection &images,
                          const TextModes &modes = allTextModes());
// Removes every image's side markers and, with `markersOn`, adds them again with the two edge
// bars (replacing the bars of an earlier run, so each image keeps one pair).
void DrawSideMarkers(toolkit::ImageCollection &images, bool markersOn);

} // namespace ravlen::viewer
