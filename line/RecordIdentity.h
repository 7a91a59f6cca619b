// What makes a record its own once it leaves the station: an id that anyone downstream can
// drop duplicates by, and the name of the station that wrote it.
#pragma once

#include <string>

namespace line {

// A fresh random UUID (version 4), 36 lower-case characters with hyphens.
std::string NewRecordId();

// The station's name for its records and its broker session: the station file's name, else
// hostName. Read once per process.
std::string StationName(const std::string& hostName);

} // namespace line
