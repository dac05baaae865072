#include "network/retrievetree.h"

#include "core/errors.h"

#include <algorithm>

namespace ravlen::network {

EntryTag EntryTag::markedLoaded() const {
    EntryTag tag = *this;
    tag.level = -baseLevel();
    return tag;
}

EntryTag EntryTag::child(const QString &value) const {
    const int parent = baseLevel();
    EntryTag tag;
    tag.level = parent + 1;
    if (parent >= kPatientLevel) {
        tag.patientId = patientId;
    }
    if (parent >= kStudyLevel) {
        tag.studyUid = studyUid;
    }
    if (parent >= kSeriesLevel) {
        tag.seriesUid = seriesUid;
    }
    switch (tag.level) {
    case kPatientLevel:
        tag.patientId = value;
        break;
    case kStudyLevel:
        tag.studyUid = value;
        break;
    case kSeriesLevel:
        tag.seriesUid = value;
        break;
    default:
        break; // the fifth slot is never used
    }
    return tag;
}

QString patientText(const QueryRecord &r) {
    return r.patientName + QStringLiteral(" PATID:") + r.patientId + QStringLiteral(" DOB:") +
           r.birthDate + QStringLiteral(" (") + r.patientSex + QStringLiteral(") ");
}

QString Description(const QueryRecord &r) {
    QString label = r.studyDescription.isEmpty() ? QStringLiteral("STUDY") : r.studyDescription;
    if (r.studyDate) {
        label += QStringLiteral(" on ") + *r.studyDate;
    }
    return label;
}

QString studyRootText(const QueryRecord &r) {
    return patientText(r) + QStringLiteral(" / ") + Description(r);
}

QString studyChildText(const QueryRecord &r) {
    return Description(r) + QStringLiteral(" --- (") + r.studyId + QStringLiteral(") ");
}

QString seriesText(const QueryRecord &r) {
    return r.seriesDescription.isEmpty() ? QStringLiteral("**SERIES**") : r.seriesDescription;
}

std::vector<QueryRecord> distinctPatients(const std::vector<QueryRecord> &records) {
    std::vector<QueryRecord> patients;
    for (const QueryRecord &r : records) {
        const bool seen = std::any_of(patients.begin(), patients.end(), [&](const QueryRecord &p) {
            return p.patientId == r.patientId && p.patientName == r.patientName;
        });
        if (!seen) {
            patients.push_back(r);
        }
    }
    return patients;
}

QueryKeys loadPatientsKeys(const PatientKeys &keys, bool patientRoot) {
    const QString root = patientRoot ? QStringLiteral("PATIENT") : QStringLiteral("STUDY");
    QueryKeys q;
    q.root = root;
    q.level = root;
    q.patientName = keys.PatientLastName;
    q.patientSex = keys.PatientGender;
    q.birthDate = keys.PatientDOB;
    q.patientId = keys.PatientID;
    q.studyDate = keys.StudyDate;
    q.studyUid = keys.StudyUID;
    return q;
}

Expansion expansionFor(int level) {
    switch (level) {
    case kPatientLevel:
        return Expansion::Studies;
    case kStudyLevel:
        return Expansion::Series;
    case kSeriesLevel:
    case -kPatientLevel:
    case -kStudyLevel:
    case -kSeriesLevel:
        return Expansion::Nothing;
    default:
        return Expansion::InvalidLevel;
    }
}

QueryKeys expansionKeys(const EntryTag &tag) {
    QueryKeys q;
    q.patientId = tag.patientId;
    q.seriesUid = QString();
    q.instanceUid = QString();
    if (tag.baseLevel() == kPatientLevel) {
        q.level = QStringLiteral("STUDY");
        q.studyUid = QString();
    } else {
        q.level = QStringLiteral("SERIES");
        q.studyUid = tag.studyUid;
    }
    return q;
}

std::optional<QueryKeys> retrievalKeys(const EntryTag &tag) {
    QueryKeys q;
    q.patientId = tag.patientId;
    q.studyUid = QString();
    q.seriesUid = QString();
    q.instanceUid = QString();
    switch (tag.baseLevel()) {
    case kPatientLevel:
        q.level = QStringLiteral("PATIENT");
        break;
    case kStudyLevel:
        q.level = QStringLiteral("STUDY");
        q.studyUid = tag.studyUid;
        break;
    case kSeriesLevel:
        q.level = QStringLiteral("SERIES");
        q.studyUid = tag.studyUid;
        q.seriesUid = tag.seriesUid;
        break;
    default:
        return std::nullopt;
    }
    return q;
}

RetrievalMethod retrievalMethod(bool cget, bool syncMove, bool asyncMove) {
    if (cget) {
        return RetrievalMethod::CGet;
    }
    if (syncMove) {
        return RetrievalMethod::SyncMove;
    }
    if (asyncMove) {
        return RetrievalMethod::AsyncMove;
    }
    return RetrievalMethod::None;
}

QString cgetRefusedText() {
    return QStringLiteral(
        "The SCP did not accept this request, which probably means that it does not accept "
        "C-GET requests (many systems no longer accept C-GET).  You should try again using one "
        "of the C-MOVE options (see View | Options | Query SCU) then retrieval options, but note "
        "that this will only work if the SCP has been set up specificially to associate your AE "
        "Title, IP address and port number");
}

QString cgetFailureText(int number, const QString &text) {
    if (number == errc::NoGetContext) {
        return cgetRefusedText();
    }
    return QStringLiteral("C-GET failed - error number ") + QString::number(number) +
           QStringLiteral(" - ") + text;
}

QString progressText(int received, int expected) {
    if (expected > 0) {
        return QStringLiteral("Received %1 of %2 images").arg(received).arg(expected);
    }
    return QStringLiteral("Received %1 images").arg(received);
}

QRect treeRectForSize(QSize outer, QRect tree) {
    const int width = outer.width() - 200;
    const int height = outer.height() - tree.top() - 10;
    if (width >= 0) {
        tree.setWidth(width);
    }
    if (height >= 0) {
        tree.setHeight(height);
    }
    return tree;
}

} // namespace ravlen::network
