// Cine on the main viewer window: the "&Multi-frame (Cine)" entries and "&Cine" set an image's
// cine mode, and the viewer control plays it; "&Images" steps through the set on Timer1.
#include "viewer/frmdicomviewer.h"

#include "toolkit/cinerate.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/viewercontrol.h"
#include "viewer/cinerules.h"

#include <QAction>
#include <QTimer>

namespace ravlen {

void frmDicomViewer::buildImageTimer() {
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &frmDicomViewer::Timer1_Timer);
}

void frmDicomViewer::CineForward_Click() {
    guarded([this] { GetSelectedImage()->setCineMode(toolkit::cinemode::Forward); });
}

void frmDicomViewer::CineReverse_Click() {
    guarded([this] { GetSelectedImage()->setCineMode(toolkit::cinemode::Reverse); });
}

void frmDicomViewer::CineOscillate_Click() {
    guarded([this] { GetSelectedImage()->setCineMode(toolkit::cinemode::Oscillate); });
}

void frmDicomViewer::CineStop_Click() {
    guarded([this] { GetSelectedImage()->setCineMode(toolkit::cinemode::Stopped); });
}

void frmDicomViewer::mPlayCine_Click() {
    guarded([this] {
        if (m_set->count() == 0) {
            return;
        }
        // The image in the top left tile, whichever image is selected.
        const std::shared_ptr<toolkit::Image> image = Viewer->images().item(Viewer->currentIndex());
        image->setCineMode(viewer::toggledCineMode(image->cineMode()));
    });
}

void frmDicomViewer::mPlay_Click() {
    m_imageTimerOn = !m_imageTimerOn;
    // A QTimer of 0 ms would fire on every pass of the event loop; an interval of 0 means
    // the timer is on and never ticks.
    if (m_imageTimerOn && m_playInterval > 0) {
        Timer1->start(m_playInterval);
    } else {
        Timer1->stop();
    }
}

void frmDicomViewer::Timer1_Timer() {
    guarded([this] {
        const viewer::TimerStep step = viewer::timerStep(m_set->currentPosition(), m_set->count());
        m_set->setCurrentPosition(step.show);
        SelectImage(step.show);
        m_set->setCurrentPosition(step.next);
    });
}

void frmDicomViewer::EnableCineMenu(bool Enabled) {
    for (const char *name : {"CineForward", "CineOscillate", "CineReverse", "CineStop"}) {
        if (QAction *action = entry(QString::fromLatin1(name))) {
            action->setEnabled(Enabled);
        }
    }
}

} // namespace ravlen
