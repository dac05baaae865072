#pragma once

#include "network/retrievetree.h"

namespace ravlen::toolkit {
class DicomQuery;
class FindResult;
} // namespace ravlen::toolkit

namespace ravlen::network {

// The fields the tree reads from one C-FIND answer.
QueryRecord queryRecord(const toolkit::FindResult &result);

// Writes the set keys on the query object; unset ones keep their last value.
void applyKeys(toolkit::DicomQuery &query, const QueryKeys &keys);

// A port field as the 32-bit number the toolkit takes; nullopt when it is not a whole number
// in 1..65535.
std::optional<int> portNumber(const QString &text);

} // namespace ravlen::network
