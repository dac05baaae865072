#include "viewer/imageset.h"

#include "core/prompter.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "viewer/examfill.h"
#include "viewer/imagesort.h"
#include "viewer/viewerconstants.h"

#include <algorithm>

namespace ravlen::viewer {

ImageSet::ImageSet(ImageGrid &grid) : m_grid(grid) {}

ImageSet::~ImageSet() = default;

int ImageSet::count() const {
    return m_grid.images().count();
}

std::shared_ptr<toolkit::Image> ImageSet::selected() const {
    return m_imageSelected ? m_selected : nullptr;
}

bool ImageSet::placeholderSelected() const {
    return m_imageSelected && m_selected && m_selected == m_placeholder;
}

void ImageSet::setSmoothing(int magnification, int minification) {
    m_magnification = magnification;
    m_minification = minification;
}

void ImageSet::highlight(const std::shared_ptr<toolkit::Image> &image, bool on) {
    if (!image) {
        return;
    }
    image->setBorder(on ? kSelectedBorder : 0);
    if (on) {
        m_grid.setBorderColour(*image, QColor(kSelectedColour, 0, 0));
    }
}

void ImageSet::applySmoothing(toolkit::Image &image) const {
    image.setMagnificationMethod(m_magnification);
    image.setMinificationMethod(m_minification);
}

bool ImageSet::select(int position) {
    const GridSize grid = m_grid.grid();
    const int n = count();
    m_grid.setFirstShown(clampCurrent(pageStart(position, grid.rows, grid.columns), n));
    if (position < 1 || position > n) {
        m_imageSelected = false;
        m_grid.refresh();
        return false;
    }
    if (m_imageSelected) {
        highlight(m_selected, false);
    }
    m_selected = m_grid.images().item(position);
    m_imageSelected = true;
    highlight(m_selected, true);
    m_currentPosition = position;
    applySmoothing(*m_selected);
    m_grid.refresh();
    return true;
}

bool ImageSet::selectHit(int hit) {
    m_currentPosition = hit;
    if (hit < 1 || hit > count()) {
        return false;
    }
    if (m_imageSelected) {
        highlight(m_selected, false);
    }
    m_selected = m_grid.images().item(hit);
    m_imageSelected = true;
    highlight(m_selected, true);
    applySmoothing(*m_selected);
    m_grid.refresh();
    return true;
}

bool ImageSet::reselectCurrent() {
    return select(m_currentPosition);
}

std::shared_ptr<toolkit::Image> ImageSet::selectedImage() {
    if (m_imageSelected && m_selected) {
        return m_selected;
    }
    const int n = count();
    if (n >= 1) {
        return m_grid.images().item(std::clamp(m_grid.firstShown(), 1, n));
    }
    prompter().message(kNoImagesMessage, Prompter::Icon::None, Prompter::Ok);
    if (!m_placeholder) {
        m_placeholder = toolkit::Image::placeholder();
    }
    m_selected = m_placeholder;
    m_imageSelected = true;
    return m_selected;
}

bool ImageSet::closeSelected() {
    if (!m_imageSelected || !m_selected || m_selected == m_placeholder) {
        return false;
    }
    toolkit::ImageCollection &images = m_grid.images();
    for (int p = 1; p <= images.count(); ++p) {
        if (images.item(p) == m_selected) {
            highlight(m_selected, false); // it may still be shown elsewhere
            m_imageSelected = false;
            m_selected.reset();
            images.remove(p);
            select(p);
            return true;
        }
    }
    return false;
}

void ImageSet::clear() {
    m_imageSelected = false;
    m_selected.reset();
    m_currentPosition = 0;
    m_examShown = false;
    m_grid.images().clear();
    m_grid.setFirstShown(0);
    m_grid.refresh();
}

void ImageSet::setGrid(GridSize grid) {
    m_grid.setGrid(grid);
    reselectCurrent();
}

void ImageSet::switchLayout() {
    setGrid(layoutSwitch(m_grid.grid()));
}

void ImageSet::sort() {
    toolkit::ImageCollection &images = m_grid.images();
    sortImages(images);
    if (m_imageSelected && m_selected && m_selected != m_placeholder) {
        for (int p = 1; p <= images.count(); ++p) {
            if (images.item(p) == m_selected) {
                m_currentPosition = p;
                break;
            }
        }
    }
    m_grid.refresh();
}

bool ImageSet::imagesChanged(clsExam &exam) {
    if (count() == 0) {
        m_examShown = false;
        return false;
    }
    if (placeholderSelected()) {
        m_imageSelected = false;
        m_selected.reset();
    }
    if (m_examShown) {
        return false;
    }
    fillExamFromImage(exam, *m_grid.images().item(1));
    m_examShown = true;
    return true;
}

} // namespace ravlen::viewer
