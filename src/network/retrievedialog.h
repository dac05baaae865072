#pragma once

#include "network/patientkeys.h"
#include "network/retrievetree.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ravlen::network {
class RetrieveTarget;
}

namespace ravlen::toolkit {
class DicomQuery;
class FindResult;
class Image;
} // namespace ravlen::toolkit

namespace ravlen {

// The query/retrieve dialog ("PACS - Retrieve Images"): browses the PACS peer as a tree of
// patients, studies and series and retrieves the chosen entry into the main viewer. Every
// network call runs on a worker thread while the handler waits in a local event loop, so the
// windows stay alive; Cancel stops a retrieval and keeps what arrived. Handlers report failures
// through the prompter and never throw.
class RetrieveDialog : public QDialog {
    Q_OBJECT
public:
    explicit RetrieveDialog(QWidget *parent = nullptr);
    ~RetrieveDialog() override;

    // Queries the configured peer with these keys (Modality and AccessionNumber are accepted,
    // not used) and rebuilds the tree; the first entry is expanded at once. Returns when the
    // tree is filled, or after the failure was reported with the tree left empty.
    void LoadPatients(const QString &PatientID, const QString &PatientLastName,
                      const QString &PatientGender, const QString &PatientDOB,
                      const QString &StudyDate, const QString &Modality,
                      const QString &AccessionNumber, const QString &StudyUID);
    // Retrieves the selected entry by the method chosen in the options and adds the images to
    // the main viewer as they arrive, or with ToSlice to the scout viewer.
    void RetrieveNode(bool ToSlice);

    // --- handlers, named after their controls and events
    void Retrieve_Click();
    void cmdRetSlice_Click();
    void cmdClose_Click();
    void Reset_Click();
    void cmdCancel_Click();
    void Tree_Expand(QTreeWidgetItem *item);
    void Tree_DblClick();
    void Form_Resize();

    // The tag of a tree entry, kept under this role as its five elements
    // (level, patient ID, study UID, series UID, unused).
    static constexpr int kTagRole = Qt::UserRole;
    network::EntryTag tagOf(const QTreeWidgetItem *item) const;
    // True while a query or retrieval waits for the peer.
    bool isBusy() const { return m_busy; }
    // The keys of the most recent LoadPatients, and how many times it ran on this dialog.
    const PatientKeys &queryKeys() const { return m_queryKeys; }
    int loadCount() const { return m_loadCount; }
    // The answers of the most recent query.
    const std::vector<toolkit::FindResult> &lastResults() const;

    QTreeWidget *Tree = nullptr;
    QPushButton *Retrieve = nullptr;
    QPushButton *cmdRetSlice = nullptr;
    QPushButton *Reset = nullptr;
    QPushButton *cmdClose = nullptr;
    QLabel *lblProgress = nullptr;
    QProgressBar *prgProgress = nullptr;
    QPushButton *cmdCancel = nullptr;

signals:
    // A retrieval ended (also after a failure or Cancel) having added this many images.
    void retrievalFinished(int imagesAdded);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void runQuery();
    void addTreeEntry(QTreeWidgetItem *parent, const QString &text, const network::EntryTag &tag,
                      const QString &placeholder);
    void setTag(QTreeWidgetItem *item, const network::EntryTag &tag);
    // Runs one network call on a worker thread with the progress row shown; false when it
    // failed (reported with `failureText`) or was cancelled before ending.
    bool waitForPeer(const QString &what, const std::function<void()> &call,
                     const std::function<QString(int, const QString &)> &failureText);
    void imageArrived(const std::shared_ptr<toolkit::Image> &image);
    void showProgress(int received, int expected);
    void restartListener(int port);
    void finishRetrieval();
    QString peerName() const;

    PatientKeys m_queryKeys;
    int m_loadCount = 0;
    std::shared_ptr<toolkit::DicomQuery> m_query;
    std::vector<toolkit::FindResult> m_lastResults;
    bool m_busy = false;
    bool m_closeRequested = false;
    bool m_placementRestored = false;
    // Images of the running retrieval already handed to the viewer.
    std::unordered_set<const toolkit::Image *> m_delivered;
    // The window the running (or last) retrieval delivers to.
    network::RetrieveTarget *m_target = nullptr;
    int m_added = 0;
};

// The one dialog of the process, created on first use and again after the user closed it.
RetrieveDialog &retrieveDialog();
// True while the dialog exists (used and not closed since).
bool retrieveDialogExists();

} // namespace ravlen
