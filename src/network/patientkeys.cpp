#include "network/patientkeys.h"

namespace ravlen {

QStringList PatientKeys::toList() const {
    return {PatientID, PatientLastName, PatientGender,   PatientDOB,
            StudyDate, Modality,        AccessionNumber, StudyUID};
}

} // namespace ravlen
