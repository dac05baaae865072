#include "network/retrievequery.h"

#include "toolkit/dicomquery.h"

namespace ravlen::network {

QueryRecord queryRecord(const toolkit::FindResult &result) {
    QueryRecord r;
    r.patientName = result.patientName();
    r.patientId = result.patientID();
    r.birthDate = result.birthDate();
    r.patientSex = result.patientSex();
    r.studyDescription = result.studyDescription();
    r.studyUid = result.studyInstanceUID();
    r.seriesDescription = result.seriesDescription();
    r.seriesUid = result.seriesInstanceUID();
    if (result.has(0x0008, 0x0020)) {
        r.studyDate = result.text(0x0008, 0x0020);
    }
    r.studyId = result.text(0x0020, 0x0010);
    return r;
}

void applyKeys(toolkit::DicomQuery &query, const QueryKeys &keys) {
    if (keys.root) {
        query.setRoot(*keys.root);
    }
    query.setLevel(keys.level);
    const auto write = [&query](quint16 group, quint16 element,
                                const std::optional<QString> &value) {
        if (value) {
            query.setKey(group, element, *value);
        }
    };
    // The order LoadPatients writes them in.
    write(0x0010, 0x0010, keys.patientName);
    write(0x0010, 0x0040, keys.patientSex);
    write(0x0010, 0x0030, keys.birthDate);
    write(0x0010, 0x0020, keys.patientId);
    write(0x0008, 0x0020, keys.studyDate);
    write(0x0020, 0x000D, keys.studyUid);
    write(0x0020, 0x000E, keys.seriesUid);
    write(0x0008, 0x0018, keys.instanceUid);
}

std::optional<int> portNumber(const QString &text) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

} // namespace ravlen::network
