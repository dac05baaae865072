#include "network/retrievedialog.h"

#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ravlen {

RetrieveDialog::RetrieveDialog(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("PACS - Retrieve Images"));
    // Closing unloads the dialog; the next use creates it afresh.
    setAttribute(Qt::WA_DeleteOnClose);
    Tree = new QTreeWidget(this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setHeaderHidden(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Tree);
}

void RetrieveDialog::LoadPatients(const QString &PatientID, const QString &PatientLastName,
                                  const QString &PatientGender, const QString &PatientDOB,
                                  const QString &StudyDate, const QString &Modality,
                                  const QString &AccessionNumber, const QString &StudyUID) {
    m_queryKeys = PatientKeys{PatientID, PatientLastName, PatientGender,   PatientDOB,
                              StudyDate, Modality,        AccessionNumber, StudyUID};
    ++m_loadCount;
    Tree->clear();
}

namespace {
QPointer<RetrieveDialog> &dialogSlot() {
    static QPointer<RetrieveDialog> dialog;
    return dialog;
}
} // namespace

RetrieveDialog &retrieveDialog() {
    auto &slot = dialogSlot();
    if (!slot) {
        slot = new RetrieveDialog;
    }
    return *slot;
}

bool retrieveDialogExists() {
    return !dialogSlot().isNull();
}

} // namespace ravlen
