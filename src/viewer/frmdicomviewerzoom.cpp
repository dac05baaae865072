// The viewer window's zoom, "Stretch to fit", flips, quarter turns and "&Normal".
#include "viewer/frmdicomviewer.h"

#include "core/prompter.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/boxkeys.h"
#include "viewer/orientationrules.h"
#include "viewer/windowingrules.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

namespace ravlen {

void frmDicomViewer::buildZoomControls(QGridLayout *grid, int &row) {
    ZoomLabel = new QLabel(QStringLiteral("Zoom"), fraMain);
    ZoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    Zoom = new QLineEdit(viewer::zoomText(1.0), fraMain);
    Zoom->setObjectName(QStringLiteral("Zoom"));
    Zoom->setMaximumWidth(64);
    grid->addWidget(ZoomLabel, row, 0);
    grid->addWidget(Zoom, row++, 1, 1, 2);
    ZoomSlider = new QSlider(Qt::Horizontal, fraMain);
    ZoomSlider->setObjectName(QStringLiteral("ZoomSlider"));
    ZoomSlider->setRange(viewer::kZoomSliderMinimum, viewer::kZoomSliderMaximum);
    ZoomSlider->setValue(0);
    grid->addWidget(ZoomSlider, row++, 0, 1, 3);
    StretchToFit = new QCheckBox(QStringLiteral("Stretch to fit"), fraMain);
    StretchToFit->setObjectName(QStringLiteral("StretchToFit"));
    grid->addWidget(StretchToFit, row++, 0, 1, 3);

    connect(ZoomSlider, &QSlider::sliderPressed, this, &frmDicomViewer::ZoomSlider_MouseDown);
    connect(ZoomSlider, &QSlider::valueChanged, this, &frmDicomViewer::ZoomSlider_Change);
    connect(ZoomSlider, &QSlider::sliderMoved, this, &frmDicomViewer::RefreshWindowingText);
    connect(ZoomSlider, &QSlider::sliderReleased, this, [this] {
        m_zoomPress.valid = false;
        drawAtFullQuality();
    });
    viewer::watchBox(
        Zoom, [this] { Zoom_LostFocus(); }, [this](int key) { return Zoom_KeyDown(key); });
    connect(StretchToFit, &QCheckBox::clicked, this, &frmDicomViewer::StretchToFit_Click);
}

// --- zoom

void frmDicomViewer::ZoomSlider_MouseDown() {
    guarded([this] {
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        m_zoomPress = {};
        m_zoomPress.zoom = image->zoom();
        m_zoomPress.scroll = image->scrollOffset();
        int position = 0;
        for (int p = 1; p <= Viewer->images().count() && position == 0; ++p) {
            position = Viewer->images().item(p) == image ? p : 0;
        }
        const std::optional<toolkit::TileTransform> tile = Viewer->tileTransformAt(position);
        if (!tile || !tile->visible()) {
            return; // not on screen: the zoom goes about the tile's centre
        }
        // The recorded point is the last press on the viewer, in cell pixels from the centre;
        // before any press, or away from the tile, the zoom goes about the centre.
        const QRect cell = Viewer->tileRect(position);
        const QPoint pressed(m_mouse->LastDownX, m_mouse->LastDownY);
        if (m_mouse->LastDownX >= 0 && cell.contains(pressed)) {
            m_zoomPress.pointFromCentre = QPointF(pressed) - QRectF(cell).center();
        }
        m_zoomPress.scale = tile->scaleX();
        m_zoomPress.valid = true;
    });
}

void frmDicomViewer::ZoomSlider_Change() {
    guarded([this] {
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        if (!m_zoomPress.valid) {
            // Moved by keys or a click on its groove: the zoom goes from where it is now.
            ZoomSlider_MouseDown();
        }
        const double zoom = viewer::zoomFromSlider(ZoomSlider->value());
        Zoom->setText(viewer::zoomText(zoom));
        image->setZoom(zoom);
        // On a grid the tiles are too small to aim at a point: the image keeps its offset.
        if (Viewer->rows() == 1 && Viewer->columns() == 1 && m_zoomPress.valid) {
            image->setScrollOffset(viewer::scrollKeepingPoint(m_zoomPress.scroll, m_zoomPress.scale,
                                                              m_zoomPress.zoom, zoom,
                                                              m_zoomPress.pointFromCentre));
        }
        if (!ZoomSlider->isSliderDown()) {
            m_zoomPress.valid = false;
        }
        Viewer->refresh();
    });
}

void frmDicomViewer::Zoom_LostFocus() {
    guarded([this] {
        const viewer::TypedZoom typed = viewer::typedZoom(Zoom->text());
        if (!typed.error.isEmpty()) {
            prompter().message(typed.error, Prompter::Icon::Warning, Prompter::Ok, QString(), this);
            return;
        }
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        {
            // The typed factor stands as typed, not as the slider's rounded step.
            const QSignalBlocker block(ZoomSlider);
            ZoomSlider->setValue(viewer::sliderFromZoom(typed.zoom));
        }
        image->setZoom(typed.zoom);
        Viewer->refresh();
    });
}

bool frmDicomViewer::Zoom_KeyDown(int KeyCode) {
    return viewer::boxKey(KeyCode, Viewer, ZoomSlider);
}

// --- stretch and orientation

void frmDicomViewer::StretchToFit_Click() {
    guarded([this] {
        const bool stretch = StretchToFit->isChecked();
        for (const auto &image : viewer::changeTargets(GetSelectedImage(), Viewer->images(),
                                                       optAllChange->isChecked())) {
            image->setStretch(stretch);
        }
        Viewer->refresh();
        RefreshImageControls();
    });
}

bool frmDicomViewer::mouseFunctionEnabled(int function) const {
    const QToolButton *button = m_mouse->button(function);
    return button && button->isEnabled();
}

void frmDicomViewer::orient(const std::function<void(toolkit::Image &)> &change) {
    guarded([&] {
        for (const auto &image : viewer::changeTargets(GetSelectedImage(), Viewer->images(),
                                                       optAllChange->isChecked())) {
            change(*image);
        }
        Viewer->refresh();
        RefreshImageControls();
    });
}

void frmDicomViewer::mnuNormal_Click() {
    orient([](toolkit::Image &image) {
        image.setRotation(0);
        image.setFlipState(0);
    });
}

void frmDicomViewer::mnuFlipHorizontal_Click() {
    orient([](toolkit::Image &image) {
        image.setFlipState(viewer::flipped(image.flipState(), viewer::kFlipHorizontal));
    });
}

void frmDicomViewer::mnuFlipVertical_Click() {
    orient([](toolkit::Image &image) {
        image.setFlipState(viewer::flipped(image.flipState(), viewer::kFlipVertical));
    });
}

void frmDicomViewer::mnuRotateClockwise_Click() {
    orient([](toolkit::Image &image) {
        image.setRotation(viewer::rotatedClockwise(image.rotation()));
    });
}

void frmDicomViewer::mnuRotateAnticlockwise_Click() {
    orient([](toolkit::Image &image) {
        image.setRotation(viewer::rotatedAnticlockwise(image.rotation()));
    });
}

void frmDicomViewer::cmnuNormal_Click() {
    mnuNormal_Click();
}
void frmDicomViewer::cmnuFlipHorizontal_Click() {
    mnuFlipHorizontal_Click();
}
void frmDicomViewer::cmnuFlipVertical_Click() {
    mnuFlipVertical_Click();
}
void frmDicomViewer::cmnuRotateClockwise_Click() {
    mnuRotateClockwise_Click();
}
void frmDicomViewer::cmnuRotateCounterClockwise_Click() {
    mnuRotateAnticlockwise_Click();
}

// --- visibility, as the image controls are refreshed

void frmDicomViewer::refreshZoomControls() {
    if (imageCount() < 1) {
        return;
    }
    // No companion image is ever attached here.
    const viewer::ZoomVisibility v = viewer::zoomVisibility(StretchToFit->isChecked(), false);
    Zoom->setVisible(v.zoomControls);
    ZoomSlider->setVisible(v.zoomControls);
    ZoomLabel->setVisible(v.zoomControls);
    StretchToFit->setVisible(v.stretchBox);
}

} // namespace ravlen
