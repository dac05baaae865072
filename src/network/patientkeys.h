#pragma once

#include <QString>
#include <QStringList>

namespace ravlen {

// The eight identifying values a caller hands to the query dialog, in the order they are passed.
struct PatientKeys {
    QString PatientID;
    QString PatientLastName;
    QString PatientGender;
    QString PatientDOB;
    QString StudyDate;
    QString Modality;
    QString AccessionNumber;
    QString StudyUID;

    QStringList toList() const;
    bool operator==(const PatientKeys &) const = default;
};

} // namespace ravlen
