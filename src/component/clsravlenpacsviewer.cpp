#include "component/clsravlenpacsviewer.h"

#include "component/componentconstants.h"
#include "component/modstart.h"
#include "component/studylookup.h"
#include "core/errors.h"
#include "network/retrievedialog.h"

#include <QTreeWidget>

#include <atomic>
#include <mutex>

namespace ravlen {

namespace {

std::mutex &userMutex() {
    static std::mutex m;
    return m;
}
std::shared_ptr<IRavlenUser> &lastUser() {
    static std::shared_ptr<IRavlenUser> user;
    return user;
}
std::atomic<void (*)()> viewerShower{nullptr};

} // namespace

clsRavlenPACSViewer::clsRavlenPACSViewer() {
    modStart::ensureStarted();
}

void clsRavlenPACSViewer::setRavlenUser(std::shared_ptr<IRavlenUser> user) {
    m_ravlenUser = user;
    std::lock_guard lock(userMutex());
    lastUser() = std::move(user);
}

void clsRavlenPACSViewer::OpenImage() {
    RetrieveDialog &dialog = retrieveDialog();
    dialog.LoadPatients(m_PatientID, m_PatientLastName, m_PatientGender, m_PatientDOB, m_StudyDate,
                        m_Modality, m_AccessionNumber, m_StudyUID);
    dialog.show();
    dialog.Tree->setFocus();
}

void clsRavlenPACSViewer::ShowViewer() {
    if (auto show = viewerShower.load()) {
        show();
    }
    retrieveDialog().show();
}

void clsRavlenPACSViewer::OpenRequest() {}

void clsRavlenPACSViewer::GetPACS(const QString &RequestNum) {
    if (RequestNum.isEmpty()) {
        return;
    }
    if (!m_ravlenUser) {
        throw ToolkitError(errc::NoConnection,
                           "GetPACS: no user object is set, so there is no database connection");
    }
    const QString studyUid = component::findStudyUid(m_ravlenUser->SQLConnection(), RequestNum);
    if (studyUid.isEmpty()) {
        return;
    }
    // A fresh object, so the query carries the study UID alone.
    const auto viewer = createObject(component::kViewerProgId);
    viewer->setStudyUID(studyUid);
    viewer->OpenImage();
}

std::unique_ptr<clsRavlenPACSViewer> createObject(const QString &className) {
    if (className.compare(component::kViewerProgId, Qt::CaseInsensitive) == 0) {
        return std::make_unique<clsRavlenPACSViewer>();
    }
    throw ToolkitError(errc::BadArgument,
                       ("No class can be created by the name \"" + className + "\"").toStdString());
}

std::shared_ptr<IRavlenUser> currentRavlenUser() {
    std::lock_guard lock(userMutex());
    return lastUser();
}

void setViewerWindowShower(void (*show)()) {
    viewerShower.store(show);
}

} // namespace ravlen
