#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace ravlen {

struct OptionsValues;

// The options window ("Options"): shows and edits the running system's options record. Every
// edit reaches the record at once, so whoever reads an option next sees it without OK; OK makes
// the network and retrieval options and the cine interval persistent. Closing only hides it.
class OptionsBox : public QDialog {
    Q_OBJECT
public:
    // A window over `record`, which must outlive it; the process-wide one shows options().
    explicit OptionsBox(OptionsValues &record, QWidget *parent = nullptr);

    // Shows the record's current values and the stored smoothing choices. Runs on every show,
    // because code may change the record while the window is hidden.
    void loadControls();

    // OK: saves the options; the window hides, or stays open after reporting a failure.
    void Command1_Click();
    // The smoothing choices, each stored at once for viewers created afterwards.
    void Replicate_Click();
    void BSpline_Click();
    void CubicSpline_Click();
    void PixelValues_Click();
    void MovingAverage_Click();
    // The listening port: entering the field stops the main viewer's listener on the port it
    // shows, leaving it starts the listener on the port it shows then.
    void Port_GotFocus();
    void Port_LostFocus();

    QTabWidget *SSTab1 = nullptr;
    // Viewer
    QLineEdit *txtPlaySecs = nullptr;
    QCheckBox *CopyAllFrames = nullptr;
    QCheckBox *WindowAll = nullptr;
    QRadioButton *Replicate = nullptr;
    QRadioButton *BSpline = nullptr;
    QRadioButton *CubicSpline = nullptr;
    QRadioButton *PixelValues = nullptr;
    QRadioButton *MovingAverage = nullptr;
    // General SCP
    QLineEdit *AEName = nullptr;
    QLineEdit *Port = nullptr;
    // Storage & Verification SCU
    QLineEdit *StorageNode = nullptr;
    QLineEdit *StoragePort = nullptr;
    QLineEdit *StorageAE = nullptr;
    QCheckBox *Async = nullptr;
    // Query SCU
    QLineEdit *RemoteNode = nullptr;
    QLineEdit *RemotePort = nullptr;
    QLineEdit *RemoteAE = nullptr;
    QLineEdit *CallingAE = nullptr;
    QLineEdit *MoveDestination = nullptr;
    QRadioButton *A_CMOVE = nullptr;
    QRadioButton *S_CMOVE = nullptr;
    QRadioButton *CGET = nullptr;
    QRadioButton *StudyRoot = nullptr;
    QRadioButton *PatientRoot = nullptr;
    // Printing
    QComboBox *Magnification = nullptr;
    QComboBox *FilmSize = nullptr;
    QComboBox *PrintOrientation = nullptr;
    QComboBox *PrintFormat = nullptr;
    QLineEdit *PrintCallingAE = nullptr;
    QLineEdit *PrintNode = nullptr;
    QLineEdit *PrintPort = nullptr;
    QLineEdit *PrintAE = nullptr;
    // Outside the tabs
    QCheckBox *chkAsync = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildViewerTab();
    QWidget *buildGeneralScpTab();
    QWidget *buildStorageTab();
    QWidget *buildQueryTab();
    QWidget *buildPrintingTab();
    void connectToRecord();

    OptionsValues &m_record;
    QButtonGroup *m_magnification = nullptr;
    QButtonGroup *m_minification = nullptr;
    QButtonGroup *m_retrieve = nullptr;
    QButtonGroup *m_root = nullptr;
    // Set while the controls are filled from the record, so filling writes nothing back.
    bool m_loading = false;
};

// The process-wide options window over options(), created on first use and never destroyed.
// The first use runs the start-up routine if nothing has yet, and passes on its ToolkitError.
OptionsBox &optionsBox();

// The main viewer's listener as the port field drives it, given the field's text. The viewer
// installs it; until then the field drives nothing.
struct ListenerSwitch {
    void (*stop)(const QString &portText) = nullptr;
    void (*start)(const QString &portText) = nullptr;
};
void setListenerSwitch(ListenerSwitch listenerSwitch);

// Shows the options window modeless, kept above `owner`'s window when one is given and free of
// any window when `owner` is null.
void showOptionsBox(QWidget *owner);

} // namespace ravlen
