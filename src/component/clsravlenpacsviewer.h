#pragma once

#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace ravlen {

// What the component needs of the host's user object.
class IRavlenUser {
public:
    virtual ~IRavlenUser() = default;
    // An open connection to the radiology database; every statement of the component runs on it.
    virtual QSqlDatabase SQLConnection() const = 0;
};

// The viewer component as a host uses it: set the patient and study, then open the exam, show
// the viewer or look a study up by accession number. The windows belong to the process and are
// shared by every object; releasing an object closes none. Use it on the thread that runs the
// host's QApplication. Methods report failures as ToolkitError.
class clsRavlenPACSViewer {
public:
    // The first object of the process runs the component's start-up routine.
    clsRavlenPACSViewer();

    QString PatientID() const { return m_PatientID; }
    void setPatientID(const QString &value) { m_PatientID = value; }
    QString PatientLastName() const { return m_PatientLastName; }
    void setPatientLastName(const QString &value) { m_PatientLastName = value; }
    QString PatientGender() const { return m_PatientGender; }
    void setPatientGender(const QString &value) { m_PatientGender = value; }
    QString PatientDOB() const { return m_PatientDOB; }
    void setPatientDOB(const QString &value) { m_PatientDOB = value; }
    QString StudyDate() const { return m_StudyDate; }
    void setStudyDate(const QString &value) { m_StudyDate = value; }
    QString Modality() const { return m_Modality; }
    void setModality(const QString &value) { m_Modality = value; }
    QString AccessionNumber() const { return m_AccessionNumber; }
    void setAccessionNumber(const QString &value) { m_AccessionNumber = value; }
    QString StudyUID() const { return m_StudyUID; }
    void setStudyUID(const QString &value) { m_StudyUID = value; }

    // The host's user object. Assigning it also makes it the user every window's database
    // statements run for.
    std::shared_ptr<IRavlenUser> ravlenUser() const { return m_ravlenUser; }
    void setRavlenUser(std::shared_ptr<IRavlenUser> user);

    // Looks up the patient and study on the PACS and shows the query dialog with the results.
    void OpenImage();
    // Shows the viewer and the query dialog with whatever they hold.
    void ShowViewer();
    // Has no effect; kept for hosts that call it.
    void OpenRequest();
    // Finds the study with this accession number in the host's database and opens it as
    // OpenImage does; an empty number or no match does nothing.
    void GetPACS(const QString &RequestNum);

private:
    QString m_PatientID;
    QString m_PatientLastName;
    QString m_PatientGender;
    QString m_PatientDOB;
    QString m_StudyDate;
    QString m_Modality;
    QString m_AccessionNumber;
    QString m_StudyUID;
    std::shared_ptr<IRavlenUser> m_ravlenUser;
};

// Creates an object by its class name ("RavlenPACSViewer.clsRavlenPACSViewer", any letter
// case); an unknown name throws ToolkitError.
std::unique_ptr<clsRavlenPACSViewer> createObject(const QString &className);

// The user object last assigned to ravlenUser on any object; empty before the first one.
std::shared_ptr<IRavlenUser> currentRavlenUser();

// How the main viewer window is shown. Its window library installs this, because the viewer
// itself opens this component's windows; until then ShowViewer shows the query dialog alone.
void setViewerWindowShower(void (*show)());

} // namespace ravlen
