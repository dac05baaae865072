#pragma once

#include "viewer/imagesetrules.h"

#include <QColor>

#include <memory>

namespace ravlen {
class clsExam;
namespace toolkit {
class Image;
class ImageCollection;
} // namespace toolkit
} // namespace ravlen

namespace ravlen::viewer {

// What the image set needs of the viewer control that shows it: the images, the grid, the
// first shown position and the selection border. The window adapts its ViewerControl to this;
// tests use a plain one.
class ImageGrid {
public:
    virtual ~ImageGrid() = default;
    virtual toolkit::ImageCollection &images() = 0;
    virtual GridSize grid() const = 0;
    virtual void setGrid(GridSize grid) = 0;
    // Position of the image in the top left tile (0 with an empty set).
    virtual int firstShown() const = 0;
    virtual void setFirstShown(int position) = 0;
    virtual void setBorderColour(const toolkit::Image &image, QColor colour) = 0;
    // Draws again what changed.
    virtual void refresh() = 0;
};

// The image set of a viewer window: its images (positions 1..N) as the viewer control holds
// them, the selected image and the current position, paging, and the placeholder image that
// operations get when there is nothing to act on. Used on the user-interface thread.
class ImageSet {
public:
    explicit ImageSet(ImageGrid &grid);
    ~ImageSet();

    int count() const;
    // True while the selected image (or the placeholder) stands for the selection.
    bool imageSelected() const { return m_imageSelected; }
    // Position of the selected image (0 before any selection or after a press beside images).
    int currentPosition() const { return m_currentPosition; }
    // Records the image under a press as the current position without selecting it (the
    // window, hand and magnifier presses).
    void setCurrentPosition(int position) { m_currentPosition = position; }
    // The selected image, when one is selected; may be the placeholder.
    std::shared_ptr<toolkit::Image> selected() const;
    bool placeholderSelected() const;

    // Magnification and minification methods given to each image as it is selected.
    void setSmoothing(int magnification, int minification);

    // Selects the image at `position` and shows the page that holds it: the old image loses its
    // red border, the new one gets it. A position outside 1..N clears the selection. Returns
    // whether an image is selected afterwards.
    bool select(int position);
    // Selects the image under a press (`hit` 0 when none) without moving the page; a press
    // beside the images only sets the current position to 0.
    bool selectHit(int hit);
    // Selects the current position again (after the grid changed).
    bool reselectCurrent();

    // The image operations act on: the selected one; else, with images, the one in the top left
    // tile (not selected); else the placeholder, after telling the user once that there is
    // nothing to manipulate.
    std::shared_ptr<toolkit::Image> selectedImage();

    // Removes the selected image and selects the one that takes its place, if any. Returns
    // whether an image was removed.
    bool closeSelected();
    // Removes every image and clears the selection.
    void clear();

    // Sets the grid and keeps the current position in view.
    void setGrid(GridSize grid);
    // 1 x 1 becomes 4 x 4, any other grid 1 x 1.
    void switchLayout();
    // Orders the images by slice location; the selection follows its image.
    void sort();

    // Call after images were added or removed. When the set went from empty to holding
    // images, `exam` is filled from its first image and true is returned; an emptied set
    // forgets its exam. A placeholder selection ends once there are images.
    bool imagesChanged(clsExam &exam);

private:
    void highlight(const std::shared_ptr<toolkit::Image> &image, bool on);
    void applySmoothing(toolkit::Image &image) const;

    ImageGrid &m_grid;
    std::shared_ptr<toolkit::Image> m_selected;
    std::shared_ptr<toolkit::Image> m_placeholder;
    bool m_imageSelected = false;
    int m_currentPosition = 0;
    int m_magnification = 0;
    int m_minification = 0;
    bool m_examShown = false;
};

} // namespace ravlen::viewer
