#pragma once

#include "hostcommands.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QTreeWidgetItem;

namespace ravlen::app {

// Drives the query dialog and the viewer as a person would, for a run without anybody at the
// screen: picks the first study the query listed, presses Retrieve, waits until the viewer
// holds the images and no more arrive, and writes a picture of the viewer window.
class UnattendedDriver : public QObject {
public:
    UnattendedDriver(const UnattendedRun &run, const char *command);

    // A message the windows raised (already written to stderr); kept for the closing line.
    void noteMessage(const QString &text);
    // Runs the event loop until the picture is written or the run gives up.
    int run();

private:
    enum class Stage { FindStudy, Retrieving, Done };

    void step();
    void pressRetrieve(QTreeWidgetItem *study);
    void writePicture();
    void finish(int code, const QString &message = QString());

    UnattendedRun m_run;
    const char *m_command;
    Stage m_stage = Stage::FindStudy;
    QTimer m_poll;
    QElapsedTimer m_clock;
    QStringList m_messages;
    bool m_retrieveReturned = false;
    int m_lastCount = -1;
    int m_quietPolls = 0;
    int m_emptyPolls = 0;
    int m_exitCode = 0;
};

} // namespace ravlen::app
