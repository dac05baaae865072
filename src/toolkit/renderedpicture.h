#pragma once

#include <QImage>

namespace ravlen::toolkit {

class Image;

// The picture the toolkit renders for an image, as printing and the clipboard take it: the
// current frame at the image's own size (sides swapped after an odd number of quarter turns),
// with its current window (or VOI LUT), sharpening and enhancement, turned and mirrored as the
// viewer shows it, with the labels drawn on the image (not the overlay texts and side markers
// of the viewer's cells), in Format_RGB32. An image without
// pixels gives a null picture. Throws ToolkitError when the pixels cannot be decoded.
QImage renderedPicture(const Image &image);
// Draws the image's labels on `picture`, a picture of the whole image as renderedPicture makes
// it.
void drawLabels(QImage &picture, const Image &image);

// How renderedFrame draws a frame.
enum class FrameLook {
    AsShown, // the image's window, effects and orientation, as renderedPicture
    Plain,   // the image's default window, upright, without effects
};

// Frame `number` (1-based) drawn as `look` says, in its 8-bit form: Format_Grayscale8 for
// monochrome images, Format_RGB888 for colour. For exports that take every frame. Throws
// ToolkitError when the frame does not exist or cannot be decoded.
QImage renderedFrame(const Image &image, int number, FrameLook look = FrameLook::AsShown);

} // namespace ravlen::toolkit
