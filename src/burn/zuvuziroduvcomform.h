#pragma once

#include "burn/burnlog.h"
#include "burn/burnservice.h"

#include <QDialog>

#include <memory>

class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace ravlen {

// The burn window ("ZuvuZiroduv COM"): lists the recorders, burns the files of one folder as
// a data track into a folder named by the study ID, and keeps a message log of what the
// burning service reports. Opened modally on a staged folder; never blocks while a burn runs.
// Handlers report through the log and never throw.
class zuvuZiroduvCOMForm : public QDialog {
    Q_OBJECT
public:
    // `service`: the burning service to use; without one, xorriso's.
    explicit zuvuZiroduvCOMForm(QWidget *parent = nullptr,
                                std::unique_ptr<burn::BurnService> service = {});
    ~zuvuZiroduvCOMForm() override;

    // Set before the window is shown: the folder whose files are burned, and the name of the
    // one folder on the disc that holds them.
    QString valDirPath;
    QString valStudyID;

    // --- handlers, named after their controls and the service's events
    void Burn_Click();
    void btnAbort_Click();
    void drive_OnProgress(int Percentage, bool &Abort);
    void drive_OnSetPhase(const QString &Text);
    void drive_OnAddLogLine(int TextType, const QString &Text);
    void drive_OnDoneWaitForMedia();
    void drive_OnDoneBurn(int StatusCode);
    void drive_OnAborted(bool &Abort);
    void nero_OnWaitCD(int WaitCD, const QString &WaitCDLocalizedText);
    void nero_OnWaitCDReminder();
    void nero_OnWaitCDDone();
    void nero_OnWaitCDMediaInfo(const QString &LastDetectedMedia, const QString &Text);
    void nero_OnNonEmptyCDRW(int &Response);
    void nero_OnRestart();
    void nero_OnMegaFatal();

    // The message log, line breaks as carriage return and line feed.
    const QString &messageLog() const { return m_log.text(); }
    burn::BurnService &service() { return *m_service; }
    // True once the recorder list has been filled (it may be empty).
    bool recordersListed() const { return m_recordersListed; }

    // --- controls
    QListWidget *AvailableDevices = nullptr;
    QProgressBar *ProgressBar = nullptr;
    QPlainTextEdit *edtMessages = nullptr;
    QPushButton *Burn = nullptr;
    QPushButton *btnAbort = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void Form_Load();
    void fillRecorders(const QList<burn::Recorder> &recorders, const QString &problem);
    // Adds `text` to the message log and shows the log.
    void logText(const QString &text);
    void showLog();
    bool refuseClosing();

    burn::BurnLog m_log;
    std::unique_ptr<burn::BurnService> m_service;
    QList<burn::Recorder> m_recorders;
    bool m_recordersListed = false;
    qsizetype m_shown = 0; // how much of the log edtMessages shows
};

} // namespace ravlen
