#include "commands.h"
#include "hostcommands.h"
#include "unattendeddriver.h"

#include "core/prompter.h"
#include "core/qtprompter.h"
#include "network/retrievedialog.h"
#include "viewer/frmdicomviewer.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace ravlen::app {

namespace {

// Ends the program when the viewer window closes: the query dialog and any auxiliary window
// belong to the exam the person has just put away.
class ViewerCloseWatch : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Close && qobject_cast<frmDicomViewer *>(watched)) {
            QTimer::singleShot(0, qApp, [] {
                if (!dicomViewerExists() || !dicomViewer().isVisible()) {
                    QApplication::quit();
                }
            });
        }
        return false;
    }
};

bool anyWindowShown() {
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            return true;
        }
    }
    return false;
}

} // namespace

HostSession::HostSession(const UnattendedRun &unattended, const char *command)
    : m_unattended(unattended), m_command(command) {
    if (m_unattended.enabled()) {
        m_driver = std::make_unique<UnattendedDriver>(m_unattended, m_command);
        setPrompter(makeStderrPrompter([this](const QString &text) {
            for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                reportError(line, m_command);
            }
            m_driver->noteMessage(text);
        }));
    } else {
        installQtPrompter();
        setPrompter(nullptr);
    }
}

HostSession::~HostSession() = default;

int HostSession::run() {
    if (m_driver) {
        return m_driver->run();
    }
    if (!anyWindowShown()) {
        return ExitOk;
    }
    ViewerCloseWatch watch;
    qApp->installEventFilter(&watch);
    const int code = QApplication::exec();
    qApp->removeEventFilter(&watch);
    return code == 0 ? ExitOk : ExitFailure;
}

} // namespace ravlen::app
