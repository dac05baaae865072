#include "toolkit/dicomquery.h"

#include "core/errors.h"

namespace ravlen::toolkit {

namespace {
quint32 tagKey(quint16 group, quint16 element) {
    return (quint32(group) << 16) | element;
}
} // namespace

void FindResult::set(quint16 group, quint16 element, const QString &text) {
    m_values[tagKey(group, element)] = text;
}

bool FindResult::has(quint16 group, quint16 element) const {
    return m_values.count(tagKey(group, element)) != 0;
}

QString FindResult::text(quint16 group, quint16 element) const {
    const auto it = m_values.find(tagKey(group, element));
    return it == m_values.end() ? QString() : it->second;
}

DicomQuery::DicomQuery() = default;
DicomQuery::~DicomQuery() = default;

void DicomQuery::setKey(quint16 group, quint16 element, const QString &value) {
    m_keys[tagKey(group, element)] = value;
}

QString DicomQuery::key(quint16 group, quint16 element) const {
    const auto it = m_keys.find(tagKey(group, element));
    return it == m_keys.end() ? QString() : it->second;
}

bool DicomQuery::hasKey(quint16 group, quint16 element) const {
    return m_keys.count(tagKey(group, element)) != 0;
}

void DicomQuery::removeKey(quint16 group, quint16 element) {
    m_keys.erase(tagKey(group, element));
}

std::vector<FindResult> DicomQuery::find() {
    throw ToolkitError(errc::NetworkRefused, "C-FIND is not available yet");
}

std::vector<std::shared_ptr<Image>> DicomQuery::get() {
    throw ToolkitError(errc::NetworkRefused, "C-GET is not available yet");
}

std::vector<std::shared_ptr<Image>> DicomQuery::moveSync() {
    throw ToolkitError(errc::NetworkRefused, "C-MOVE is not available yet");
}

MoveOutcome DicomQuery::moveAsync() {
    throw ToolkitError(errc::NetworkRefused, "C-MOVE is not available yet");
}

void DicomQuery::cancel() {
    m_cancelRequested = true;
}

void DicomQuery::beginOperation() {}
void DicomQuery::endOperation() {}

} // namespace ravlen::toolkit
