// The viewer as a DICOM node: sending and verifying, the toolkit's log switches, the incoming
// associations and images, and the Information window they log to.
#include "viewer/frmdicomviewer.h"

#include "viewer/overlays.h"

#include "component/clsexam.h"
#include "component/optionsbox.h"
#include "component/optionsvalues.h"
#include "core/prompter.h"
#include "dialogs/information.h"
#include "toolkit/globalsettings.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "toolkit/listener.h"
#include "toolkit/netops.h"
#include "toolkit/viewercontrol.h"
#include "viewer/networkwait.h"
#include "viewer/remotetexts.h"
#include "viewer/sliceviewerlink.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include <optional>

namespace ravlen {

namespace {

// Marks the viewer as waiting for its peer for as long as a command runs, so a second network
// command started from the local event loop is turned away instead of nesting.
class BusyScope {
public:
    explicit BusyScope(bool &busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    bool &m_busy;
};

QString peerName(const viewer::Destination &d) {
    return d.calledAE + QStringLiteral(" at ") + d.host + QLatin1Char(':') +
           QString::number(d.port);
}

// The given result text, and for a failure what the status means and which peer gave it.
// What a status means, for the detail pane of the result box: the box's own text stays exactly
// the status line the user expects.
QString meaningOf(int status, const viewer::Destination &d) {
    if (status == toolkit::StatusSuccess) {
        return QString();
    }
    return toolkit::statusText(status, d.host, d.port);
}

} // namespace

// --- the listening port of the options

namespace {

void stopListeningFromOptions(const QString &portText) {
    Q_UNUSED(portText); // the viewer listens on one port at most
    // Nothing listens before the viewer exists.
    if (dicomViewerExists()) {
        dicomViewer().Viewer->stopListening();
    }
}

void startListeningFromOptions(const QString &portText) {
    const std::optional<int> port = viewer::parsePort(portText);
    if (!port) {
        prompter().message(viewer::badPortText(QStringLiteral("listening port"), portText,
                                               QStringLiteral("The viewer is not listening.")),
                           Prompter::Icon::Warning, Prompter::Ok, QString(), nullptr);
        return;
    }
    // The port may be the scout viewer's since its last retrieval: the main viewer takes it back.
    if (viewer::SliceViewerLink *scout = viewer::sliceViewerLink()) {
        scout->releasePort();
    }
    // A port that cannot be opened is reported by the listener's own message.
    dicomViewer().Viewer->startListening(*port);
}

[[maybe_unused]] const bool listenerSwitchInstalled =
    (setListenerSwitch({&stopListeningFromOptions, &startListeningFromOptions}), true);

} // namespace

void frmDicomViewer::connectNetwork() {
    using C = toolkit::ViewerControl;
    connect(Viewer, &C::AssociationRequest, this, &frmDicomViewer::Viewer_AssociationRequest);
    connect(Viewer, &C::AssociationRequest2, this, &frmDicomViewer::Viewer_AssociationRequest2);
    connect(Viewer, &C::ImageReceived, this, &frmDicomViewer::Viewer_ImageReceived);
    connect(Viewer, &C::ImageReceivedAsync, this, &frmDicomViewer::Viewer_ImageReceivedAsync);
    connect(Viewer, &C::ToolkitMessage, this, &frmDicomViewer::Viewer_ToolkitMessage);
    connect(&information(), &Information::hidden, this, [this] { setInformationChecked(false); });
}

void frmDicomViewer::imagesArrived() {
    // Several images often arrive within one pass of the event loop; the panel and the exam
    // labels are brought up to date once for all of them, after the control has added them.
    if (m_arrivalPending) {
        return;
    }
    m_arrivalPending = true;
    QTimer::singleShot(0, this, [this] {
        m_arrivalPending = false;
        guarded([this] {
            if (m_set->imagesChanged(currentExam())) {
                showExamLabels();
            }
            viewer::BuildMissingOverlays(Viewer->images(), m_textModes);
            Viewer->refresh();
            RefreshImageControls();
        });
    });
}

void frmDicomViewer::trace(const QString &marker) {
    if (m_role != Role::Main) {
        return;
    }
    QTextCursor cursor(tl->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(marker);
    QCoreApplication::processEvents();
}

// --- sending and verifying

namespace {

std::optional<viewer::Destination> destinationOrReport(QWidget *owner) {
    const OptionsValues &values = options();
    std::optional<viewer::Destination> destination = viewer::storageDestination(values);
    if (!destination) {
        prompter().message(viewer::badPortText(QStringLiteral("storage port"), values.StoragePort,
                                               QStringLiteral("Nothing was sent.")),
                           Prompter::Icon::Warning, Prompter::Ok, QString(), owner);
    }
    return destination;
}

} // namespace

void frmDicomViewer::Verify_Click() {
    guarded([this] {
        if (m_networkBusy) {
            return;
        }
        const BusyScope busy(m_networkBusy);
        const std::optional<viewer::Destination> d = destinationOrReport(this);
        if (!d) {
            return;
        }
        viewer::NetworkWait wait(this, QStringLiteral("Verifying %1 ...").arg(peerName(*d)));
        const int status = wait.run(
            [d] { return toolkit::verifyEcho(d->host, d->port, d->callingAE, d->calledAE); });
        prompter().detailedMessage(viewer::verifyResultText(status), meaningOf(status, *d),
                                   Prompter::Icon::None, Prompter::Ok, QString(), this);
    });
}

void frmDicomViewer::SendSelected_Click() {
    guarded([this] {
        if (m_networkBusy) {
            return;
        }
        const BusyScope busy(m_networkBusy);
        const std::optional<viewer::Destination> d = destinationOrReport(this);
        if (!d) {
            return;
        }
        // On an empty viewer this is the placeholder, after the user was told; the toolkit's
        // status for it is reported like any other.
        const std::shared_ptr<toolkit::Image> image = GetSelectedImage();
        viewer::NetworkWait wait(this, QStringLiteral("Sending to %1 ...").arg(peerName(*d)));
        const int status = wait.run([d, image] {
            return toolkit::sendImage(*image, d->host, d->port, d->callingAE, d->calledAE);
        });
        prompter().detailedMessage(viewer::sendResultText(status), meaningOf(status, *d),
                                   Prompter::Icon::None, Prompter::Ok, QString(), this);
    });
}

void frmDicomViewer::SendAll_Click() {
    guarded([this] {
        if (m_networkBusy) {
            return;
        }
        const BusyScope busy(m_networkBusy);
        // The images as they stand now: images received while sending are not part of this walk,
        // and one closed meanwhile is still sent from here.
        std::vector<std::shared_ptr<toolkit::Image>> images;
        for (int p = 1; p <= Viewer->images().count(); ++p) {
            images.push_back(Viewer->images().item(p));
        }
        const int count = int(images.size());
        if (count == 0) {
            return;
        }
        viewer::NetworkWait wait(this, QStringLiteral("Sending images ..."), count, true);
        std::optional<viewer::Destination> d;
        bool badPort = false;
        const auto proceed = [&] {
            if (wait.cancelled()) {
                return false;
            }
            // Read afresh for every image: the options may be edited while images are sent.
            d = viewer::storageDestination(options());
            badPort = !d;
            return !badPort;
        };
        const auto send = [&](int position) {
            wait.setProgress(position - 1, QStringLiteral("Sending image %1 of %2 to %3 ...")
                                               .arg(position)
                                               .arg(count)
                                               .arg(peerName(*d)));
            const std::shared_ptr<toolkit::Image> image = images[std::size_t(position - 1)];
            const viewer::Destination to = *d;
            return wait.run([to, image] {
                return toolkit::sendImage(*image, to.host, to.port, to.callingAE, to.calledAE);
            });
        };
        const viewer::SendAllOutcome outcome = viewer::sendAll(count, send, proceed);
        if (badPort) {
            prompter().message(
                viewer::badPortText(QStringLiteral("storage port"), options().StoragePort,
                                    QStringLiteral("The remaining images were not sent.")),
                Prompter::Icon::Warning, Prompter::Ok, QString(), this);
        } else if (outcome.failedAt != 0) {
            prompter().detailedMessage(viewer::sendFailedText(outcome.failedStatus),
                                       meaningOf(outcome.failedStatus, *d), Prompter::Icon::None,
                                       Prompter::Ok, QString(), this);
        }
    });
}

// --- the toolkit's log

void frmDicomViewer::LoggingEnabled_Click() {
    guarded([this] {
        m_loggingEnabled = !m_loggingEnabled;
        entry(QStringLiteral("LoggingEnabled"))->setChecked(m_loggingEnabled);
        toolkit::GlobalSettings::setInt(viewer::kSettingLog,
                                        m_loggingEnabled ? viewer::kLogOn : viewer::kLogOff);
    });
}

void frmDicomViewer::LogLevel_Click() {
    guarded([this] {
        const QString answer = prompter().input(viewer::logLevelPrompt(), viewer::kLogLevelTitle,
                                                viewer::kLogLevelDefault, this);
        const std::optional<qint32> level = viewer::parseLogLevel(answer);
        if (!level) {
            if (!answer.isEmpty()) {
                prompter().message(viewer::badLogLevelText(answer), Prompter::Icon::Warning,
                                   Prompter::Ok, QString(), this);
            }
            return;
        }
        toolkit::GlobalSettings::setInt(viewer::kSettingLogLevel, *level);
        m_loggingEnabled = true;
        entry(QStringLiteral("LoggingEnabled"))->setChecked(true);
        toolkit::GlobalSettings::setInt(viewer::kSettingLog, viewer::kLogOnByLevel);
    });
}

void frmDicomViewer::LogLocation_Click() {
    guarded([this] {
        const QString answer = prompter().input(viewer::kLogLocationPrompt,
                                                viewer::kLogLocationTitle, QDir::homePath(), this);
        toolkit::GlobalSettings::setText(viewer::kSettingLogLocation, answer);
    });
}

// --- the listener's events

void frmDicomViewer::Viewer_AssociationRequest(const QString &Address, const QString &CalledAE,
                                               const QString &CallingAE, int Reserved, bool &Accept,
                                               std::vector<toolkit::ProposedContext> &Contexts) {
    Q_UNUSED(Reserved);
    Accept = true;
    guarded([&] {
        trace(viewer::kTraceAssociation);
        logAssociation(Address, CalledAE, CallingAE, true, Contexts);
    });
}

void frmDicomViewer::logAssociation(const QString &Address, const QString &CalledAE,
                                    const QString &CallingAE, bool accepted,
                                    std::vector<toolkit::ProposedContext> &Contexts) {
    Information &log = information();
    log.appendAssociations(viewer::associationCallText(CallingAE, Address, CalledAE));
    log.appendAssociations(accepted ? viewer::kAssociationAccepted : viewer::kAssociationRejected);
    for (toolkit::ProposedContext &context : Contexts) {
        if (!viewer::isStandardAbstractSyntax(context.abstractSyntax)) {
            context.result = viewer::kAbstractSyntaxNotSupported;
        }
    }
    log.appendAssociations(viewer::kCrLf);
}

void frmDicomViewer::Viewer_AssociationRequest2(toolkit::IncomingAssociation &Association,
                                                bool &Accept) {
    Q_UNUSED(Association);
    Accept = true;
    guarded([this] { trace(viewer::kTraceAssociation2); });
}

void frmDicomViewer::Viewer_ImageReceived(const std::shared_ptr<toolkit::Image> &Image,
                                          bool &AddToViewer, int Reserved1, int Reserved2) {
    Q_UNUSED(Reserved1);
    Q_UNUSED(Reserved2);
    guarded([&] {
        trace(viewer::kTraceImage);
        information().appendImagesReceived(
            viewer::imageReceivedText(Image->patientName(), Image->instanceUID()));
        const int frames = Image->frameCount();
        if (options().CopyAllFrames && frames > 0) {
            // One entry per frame, each showing its own frame; the entries share the pixels.
            for (int f = 1; f <= frames; ++f) {
                const std::shared_ptr<toolkit::Image> entry = f == 1 ? Image : Image->duplicate();
                entry->setCurrentFrame(f);
                Viewer->images().add(entry);
            }
            AddToViewer = false;
        }
        imagesArrived();
    });
}

void frmDicomViewer::Viewer_ImageReceivedAsync(const toolkit::ReceivedImage &Received,
                                               const std::shared_ptr<toolkit::Image> &Image,
                                               int Reserved) {
    Q_UNUSED(Received);
    Q_UNUSED(Reserved);
    guarded([&] {
        trace(viewer::kTraceImageAsync);
        Viewer->images().add(Image);
        imagesArrived();
    });
}

void frmDicomViewer::Viewer_ToolkitMessage(qint16 Level, const QString &Text) {
    guarded([&] {
        information().appendMessages(viewer::toolkitMessageLine(Level, Text));
        if (viewer::toolkitMessagePopsUp(Level)) {
            prompter().message(Text, Prompter::Icon::None, Prompter::Ok, QString(), this);
        }
    });
}

// --- the Information window

void frmDicomViewer::setInformationChecked(bool checked) {
    m_infoChecked = checked;
    if (QAction *item = entry(QStringLiteral("Infoview"))) {
        item->setChecked(checked);
    }
}

void frmDicomViewer::Infoview_Click() {
    guarded([this] {
        Information &window = information();
        std::vector<std::shared_ptr<toolkit::Image>> images;
        for (int p = 1; p <= Viewer->images().count(); ++p) {
            images.push_back(Viewer->images().item(p));
        }
        window.NewData(images, [this] { return GetSelectedImage(); });
        setInformationChecked(!m_infoChecked);
        if (m_infoChecked) {
            window.show();
            window.raise();
            window.activateWindow();
        } else {
            window.hide();
        }
    });
}

void frmDicomViewer::mnuDisplayElements_Click() {
    Infoview_Click();
}

void frmDicomViewer::cmnuImgInfo_Click() {
    Infoview_Click();
}

void frmDicomViewer::mnuDataElements_Click() {
    Infoview_Click();
}

} // namespace ravlen
