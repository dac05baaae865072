#include "unattendeddriver.h"

#include "commands.h"

#include "network/retrievedialog.h"
#include "network/retrievetree.h"
#include "viewer/frmdicomviewer.h"
#include "viewer/imagesetrules.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImageWriter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdio>
#include <cstdlib>

namespace ravlen::app {

namespace {

constexpr int PollMs = 100;
// Polls without a new image, after Retrieve has returned, before the set counts as complete.
constexpr int QuietPollsNeeded = 5;
// Polls with an empty result: after the query (an expansion may still fill the tree), and after
// the retrieval (images of an asynchronous C-MOVE arrive later).
constexpr int EmptyPollsAllowed = 50;

bool isPlaceholder(const QTreeWidgetItem *item) {
    return item->text(0).startsWith(QLatin1String("Please wait"));
}

// The first study entry of the tree: top-level in a study-root query, under the first patient
// in a patient-root one (the dialog expands the first entry before its query returns).
QTreeWidgetItem *firstStudy(RetrieveDialog &dialog) {
    QTreeWidgetItemIterator it(dialog.Tree);
    for (; *it; ++it) {
        if (dialog.tagOf(*it).baseLevel() == network::kStudyLevel && !isPlaceholder(*it)) {
            return *it;
        }
    }
    return nullptr;
}

// The dialog's Retrieve button, as a person finds it.
QAbstractButton *retrieveButton(QWidget &dialog) {
    if (auto *b = dialog.findChild<QAbstractButton *>(QStringLiteral("Retrieve"))) {
        return b;
    }
    for (QAbstractButton *b : dialog.findChildren<QAbstractButton *>()) {
        if (b->text()
                .remove(QLatin1Char('&'))
                .compare(QLatin1String("Retrieve"), Qt::CaseInsensitive) == 0) {
            return b;
        }
    }
    return nullptr;
}

} // namespace

UnattendedDriver::UnattendedDriver(const UnattendedRun &run, const char *command)
    : m_run(run), m_command(command) {
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] { step(); });
}

void UnattendedDriver::noteMessage(const QString &text) {
    m_messages << text.simplified();
}

int UnattendedDriver::run() {
    m_clock.start();
    m_poll.start();
    QApplication::exec();
    return m_exitCode;
}

void UnattendedDriver::step() {
    if (m_stage == Stage::Done) {
        return;
    }
    if (m_clock.elapsed() > qint64(m_run.timeoutSeconds) * 1000) {
        const QString what = m_stage == Stage::FindStudy
                                 ? QStringLiteral("no study appeared in the query dialog")
                                 : QStringLiteral("the retrieval did not end");
        reportError(QStringLiteral("gave up after %1 s: %2%3")
                        .arg(m_run.timeoutSeconds)
                        .arg(what, m_messages.isEmpty() ? QString()
                                                        : QStringLiteral(" (") + m_messages.last() +
                                                              QLatin1Char(')')),
                    m_command);
        // A retrieval may still wait inside the dialog's own loop; nobody is there to close
        // the windows, and the run must end now.
        std::fflush(nullptr);
        std::_Exit(ExitFailure);
    }
    if (m_stage == Stage::FindStudy) {
        if (!retrieveDialogExists() || !retrieveDialog().isVisible() || retrieveDialog().isBusy()) {
            return;
        }
        if (QTreeWidgetItem *study = firstStudy(retrieveDialog())) {
            m_stage = Stage::Retrieving;
            reportProgress(QStringLiteral("retrieving \"%1\"").arg(study->text(0).trimmed()),
                           m_command);
            // Pressed from the event loop, not from inside this poll, since the handler may
            // wait in its own loop until the retrieval ends.
            QTimer::singleShot(0, this, [this, study] { pressRetrieve(study); });
        } else if (!m_messages.isEmpty()) {
            // The query ended with a message (peer unreachable, refused): nothing will come.
            finish(ExitFailure,
                   QStringLiteral("the query listed no study (%1)").arg(m_messages.last()));
        } else if (++m_emptyPolls >= EmptyPollsAllowed) {
            finish(ExitFailure, QStringLiteral("the PACS listed no study for the query"));
        }
        return;
    }
    const int count = dicomViewerExists() ? dicomViewer().imageCount() : 0;
    if (count != m_lastCount) {
        m_lastCount = count;
        m_quietPolls = 0;
        return;
    }
    if (!m_retrieveReturned || (retrieveDialogExists() && retrieveDialog().isBusy())) {
        return;
    }
    ++m_quietPolls;
    if (count > 0 && m_quietPolls >= QuietPollsNeeded) {
        writePicture();
    } else if (count == 0 && (!m_messages.isEmpty() || m_quietPolls >= EmptyPollsAllowed)) {
        finish(ExitFailure,
               QStringLiteral("the retrieval brought no image%1")
                   .arg(m_messages.isEmpty() ? QString()
                                             : QStringLiteral(" (") + m_messages.last() + ')'));
    }
}

void UnattendedDriver::pressRetrieve(QTreeWidgetItem *study) {
    RetrieveDialog &dialog = retrieveDialog();
    dialog.Tree->setCurrentItem(study);
    study->setSelected(true);
    QAbstractButton *button = retrieveButton(dialog);
    if (!button) {
        finish(ExitFailure, QStringLiteral("the query dialog has no Retrieve button"));
        return;
    }
    // The handler returns when the retrieval has ended, or at once when it refused to start
    // (a message says why); an asynchronous C-MOVE still delivers images afterwards, which the
    // quiet polls wait for.
    button->click();
    m_retrieveReturned = true;
}

void UnattendedDriver::writePicture() {
    frmDicomViewer &viewer = dicomViewer();
    // A reader looking at a series tiles it first; the picture then shows the study, not one
    // slice.
    if (m_lastCount > 1) {
        viewer.cmnuTile_Click(m_lastCount > 4 ? viewer::GridSize{3, 3} : viewer::GridSize{2, 2});
        QCoreApplication::processEvents();
    }
    QImageWriter writer(m_run.screenshot, "png");
    if (!writer.write(viewer.grab().toImage())) {
        finish(ExitFailure,
               QStringLiteral("cannot write %1: %2").arg(m_run.screenshot, writer.errorString()));
        return;
    }
    reportProgress(QStringLiteral("%1 image(s) in the viewer, picture in %2")
                       .arg(m_lastCount)
                       .arg(m_run.screenshot),
                   m_command);
    finish(ExitOk);
}

void UnattendedDriver::finish(int code, const QString &message) {
    m_stage = Stage::Done;
    m_poll.stop();
    m_exitCode = code;
    if (!message.isEmpty()) {
        reportError(message, m_command);
    }
    // Closing the windows as a person would lets them save their placement.
    if (dicomViewerExists()) {
        dicomViewer().close();
    }
    if (retrieveDialogExists()) {
        retrieveDialog().close();
    }
    QTimer::singleShot(0, qApp, [] { QApplication::quit(); });
}

} // namespace ravlen::app
