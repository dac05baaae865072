#include "burn/zuvuziroduvcomform.h"

#include "burn/burnconstants.h"
#include "burn/xorrisoburner.h"
#include "core/prompter.h"

#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <exception>

namespace ravlen {

using namespace burn;

namespace {

QGroupBox *frame(const QString &caption, QWidget *content, QWidget *parent) {
    auto *box = new QGroupBox(caption, parent);
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

} // namespace

zuvuZiroduvCOMForm::zuvuZiroduvCOMForm(QWidget *parent, std::unique_ptr<BurnService> service)
    : QDialog(parent), m_service(service ? std::move(service) : std::make_unique<XorrisoBurner>()) {
    setObjectName(QStringLiteral("zuvuZiroduvCOMForm"));
    setWindowTitle(kCaption);

    AvailableDevices = new QListWidget(this);
    AvailableDevices->setObjectName(QStringLiteral("AvailableDevices"));
    AvailableDevices->setMaximumHeight(90);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    edtMessages = new QPlainTextEdit(this);
    edtMessages->setObjectName(QStringLiteral("edtMessages"));
    edtMessages->setReadOnly(true);
    edtMessages->setLineWrapMode(QPlainTextEdit::NoWrap);
    Burn = new QPushButton(kBurnCaption, this);
    Burn->setObjectName(QStringLiteral("Burn"));
    btnAbort = new QPushButton(kAbortCaption, this);
    btnAbort->setObjectName(QStringLiteral("btnAbort"));
    btnAbort->setEnabled(false);
    // Enter in the list must not press a button by default.
    Burn->setAutoDefault(false);
    btnAbort->setAutoDefault(false);

    auto *buttons = new QWidget(this);
    auto *buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->addStretch();
    buttonRow->addWidget(Burn);
    buttonRow->addWidget(btnAbort);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame(kDevicesFrame, AvailableDevices, this));
    layout->addWidget(frame(kProgressFrame, ProgressBar, this));
    layout->addWidget(frame(kMessagesFrame, edtMessages, this), 1);
    layout->addWidget(frame(kControlFrame, buttons, this));
    resize(560, 500);

    connect(Burn, &QPushButton::clicked, this, &zuvuZiroduvCOMForm::Burn_Click);
    connect(btnAbort, &QPushButton::clicked, this, &zuvuZiroduvCOMForm::btnAbort_Click);

    BurnService *s = m_service.get();
    connect(s, &BurnService::recordersListed, this, &zuvuZiroduvCOMForm::fillRecorders);
    connect(s, &BurnService::progress, this, [this](int percent) {
        bool abort = false;
        drive_OnProgress(percent, abort);
    });
    connect(s, &BurnService::phase, this, &zuvuZiroduvCOMForm::drive_OnSetPhase);
    connect(s, &BurnService::logLine, this, &zuvuZiroduvCOMForm::drive_OnAddLogLine);
    connect(s, &BurnService::doneWaitForMedia, this, &zuvuZiroduvCOMForm::drive_OnDoneWaitForMedia);
    connect(s, &BurnService::finished, this, &zuvuZiroduvCOMForm::drive_OnDoneBurn);
    connect(s, &BurnService::waitCD, this, &zuvuZiroduvCOMForm::nero_OnWaitCD);
    connect(s, &BurnService::waitCDReminder, this, &zuvuZiroduvCOMForm::nero_OnWaitCDReminder);
    connect(s, &BurnService::waitCDDone, this, &zuvuZiroduvCOMForm::nero_OnWaitCDDone);
    connect(s, &BurnService::waitCDMediaInfo, this, &zuvuZiroduvCOMForm::nero_OnWaitCDMediaInfo);
    connect(s, &BurnService::nonEmptyCDRW, this, [this] {
        int response = 0; // left as the service passes it: nothing is erased
        nero_OnNonEmptyCDRW(response);
    });
    connect(s, &BurnService::restart, this, &zuvuZiroduvCOMForm::nero_OnRestart);
    connect(s, &BurnService::megaFatal, this, &zuvuZiroduvCOMForm::nero_OnMegaFatal);

    Form_Load();
}

zuvuZiroduvCOMForm::~zuvuZiroduvCOMForm() {
    // The service ends what it runs; its signals must not reach a half-destroyed window.
    m_service->disconnect(this);
}

void zuvuZiroduvCOMForm::Form_Load() {
    ProgressBar->setValue(0);
    m_service->listRecorders(); // the list fills when the service answers
}

void zuvuZiroduvCOMForm::fillRecorders(const QList<Recorder> &recorders, const QString &problem) {
    m_recorders = recorders;
    AvailableDevices->clear();
    for (const Recorder &r : recorders) {
        AvailableDevices->addItem(r.name);
    }
    if (AvailableDevices->count() > 0) {
        AvailableDevices->setCurrentRow(0);
    }
    if (!problem.isEmpty()) {
        logText(problem);
    }
    m_recordersListed = true;
}

// --- buttons

void zuvuZiroduvCOMForm::Burn_Click() {
    try {
        if (m_service->busy()) {
            return;
        }
        const int index = AvailableDevices->currentRow();
        if (index < 0 || index >= m_recorders.size()) {
            logText(kNoRecorder);
            return;
        }
        BurnJob job;
        job.volumeLabel = kVolumeLabel;
        job.folderName = discFolderName(valStudyID);
        job.files = filesOf(valDirPath);
        job.recorder = m_recorders.at(index);
        if (job.files.isEmpty()) {
            logText(kNoFiles.arg(QDir::toNativeSeparators(valDirPath)));
            return;
        }
        if (job.recorder.imageFile) {
            job.imagePath = prompter().saveFile(
                kImageDialogTitle, kImageDialogFilter,
                QDir::home().filePath(job.folderName + QStringLiteral(".iso")), this);
            if (job.imagePath.isEmpty()) {
                return; // cancelled
            }
        }
        btnAbort->setEnabled(true);
        Burn->setEnabled(false);
        m_service->burn(job);
    } catch (const std::exception &e) {
        logText(QString::fromStdString(e.what()));
    }
}

void zuvuZiroduvCOMForm::btnAbort_Click() {
    m_service->abort(); // the end arrives as drive_OnDoneBurn
}

// --- events of the burning service

void zuvuZiroduvCOMForm::drive_OnProgress(int Percentage, bool &Abort) {
    Q_UNUSED(Abort);
    ProgressBar->setValue(Percentage);
}

void zuvuZiroduvCOMForm::drive_OnSetPhase(const QString &Text) {
    logText(Text);
}

void zuvuZiroduvCOMForm::drive_OnAddLogLine(int TextType, const QString &Text) {
    Q_UNUSED(TextType);
    logText(Text);
}

void zuvuZiroduvCOMForm::drive_OnDoneWaitForMedia() {
    logText(kDoneWaitingForMedia);
}

void zuvuZiroduvCOMForm::drive_OnDoneBurn(int StatusCode) {
    m_log.addFinish(m_service->resultText(), m_service->trackText(), StatusCode);
    showLog();
    btnAbort->setEnabled(false);
    Burn->setEnabled(true);
    ProgressBar->setValue(0);
}

void zuvuZiroduvCOMForm::drive_OnAborted(bool &Abort) {
    Q_UNUSED(Abort);
}

void zuvuZiroduvCOMForm::nero_OnWaitCD(int WaitCD, const QString &WaitCDLocalizedText) {
    Q_UNUSED(WaitCD);
    logText(WaitCDLocalizedText);
}

void zuvuZiroduvCOMForm::nero_OnWaitCDReminder() {
    logText(kStillWaitingForCD);
}

void zuvuZiroduvCOMForm::nero_OnWaitCDDone() {
    logText(kDoneWaitingForCD);
}

void zuvuZiroduvCOMForm::nero_OnWaitCDMediaInfo(const QString &LastDetectedMedia,
                                                const QString &Text) {
    Q_UNUSED(LastDetectedMedia);
    logText(kWaitingForMediaType);
    logText(Text);
}

void zuvuZiroduvCOMForm::nero_OnNonEmptyCDRW(int &Response) {
    Q_UNUSED(Response);
    logText(kCDRWNotEmpty);
}

void zuvuZiroduvCOMForm::nero_OnRestart() {
    logText(kRestarting);
}

void zuvuZiroduvCOMForm::nero_OnMegaFatal() {
    logText(kMegaFatal);
}

// --- the log and closing

void zuvuZiroduvCOMForm::logText(const QString &text) {
    m_log.add(text);
    showLog();
}

void zuvuZiroduvCOMForm::showLog() {
    // The log only grows, so only its new part is added to what the box shows.
    QString added = m_log.text().mid(m_shown);
    m_shown = m_log.text().size();
    added.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(edtMessages->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(added);
    edtMessages->verticalScrollBar()->setValue(edtMessages->verticalScrollBar()->maximum());
}

bool zuvuZiroduvCOMForm::refuseClosing() {
    if (!m_service->busy()) {
        return false;
    }
    logText(kStillBurning);
    return true;
}

void zuvuZiroduvCOMForm::closeEvent(QCloseEvent *event) {
    if (refuseClosing()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void zuvuZiroduvCOMForm::reject() {
    if (!refuseClosing()) {
        QDialog::reject();
    }
}

} // namespace ravlen
