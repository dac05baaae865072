#pragma once

#include "network/patientkeys.h"

#include <QDialog>

class QTreeWidget;

namespace ravlen {

// The query/retrieve dialog ("PACS - Retrieve Images"): browses the PACS peer as a tree of
// patients, studies and series and retrieves the chosen entry into a viewer.
class RetrieveDialog : public QDialog {
    Q_OBJECT
public:
    explicit RetrieveDialog(QWidget *parent = nullptr);

    // Takes the keys of a new query (Modality and AccessionNumber are accepted, not used) and
    // rebuilds the tree from it.
    void LoadPatients(const QString &PatientID, const QString &PatientLastName,
                      const QString &PatientGender, const QString &PatientDOB,
                      const QString &StudyDate, const QString &Modality,
                      const QString &AccessionNumber, const QString &StudyUID);

    // The keys of the most recent LoadPatients.
    const PatientKeys &queryKeys() const { return m_queryKeys; }
    // How many times LoadPatients ran on this dialog.
    int loadCount() const { return m_loadCount; }

    QTreeWidget *Tree = nullptr;

private:
    PatientKeys m_queryKeys;
    int m_loadCount = 0;
};

// The one dialog of the process, created on first use and again after the user closed it.
RetrieveDialog &retrieveDialog();
// True while the dialog exists (used and not closed since).
bool retrieveDialogExists();

} // namespace ravlen
