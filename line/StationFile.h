// The station's settings, written by whoever runs the line in a file the operator cannot
// write (/etc/korvane/station.toml):
//
//     keys = "/etc/korvane/keys"   # the folder of trusted minisign public keys (the default)
//     require_recipe = true        # only approved recipes run here (default false)
//
// Nothing an operator controls loosens them: the only other file taken is the one the
// environment variable KORVANE_STATION_FILE names, and only where the system's file does not
// exist at all. A station file that fails the trust rule (TrustRule.h), cannot be read, or holds
// an unknown key refuses everything with exit class 7: the station cannot tell what it allows.
#pragma once

#include "line/Verdict.h"

#include <string>

namespace line {

extern const char kSystemStationFile[];   // /etc/korvane/station.toml
extern const char kStationFileVariable[]; // KORVANE_STATION_FILE
extern const char kDefaultKeyFolder[];    // /etc/korvane/keys
extern const char kDefaultRecordFile[];   // /var/lib/korvane/records.jsonl

struct StationSettings {
    std::string file; // the file they came from; "" when there is none and the defaults hold
    std::string keys = kDefaultKeyFolder; // relative in the file: to the file's folder
    bool requireRecipe = false;
    // Read, checked for their type and kept for the line's later parts; not used yet.
    std::string name;
    std::string record;
    std::string serialJournal;
    bool hasPublish = false; // a [publish] table; its readers take it from `text`
    std::string text;        // the file's bytes, as read and trusted
};

// The station's record file: its `record`, else kDefaultRecordFile.
std::string RecordFileOf(const StationSettings& station);

// The station file that applies: systemFile where anything stands there (even a dangling link),
// otherwise variableValue where set and not empty (the value of KORVANE_STATION_FILE, or null),
// otherwise "": none.
std::string ChooseStationFile(const std::string& systemFile, const char* variableValue);

// Reads the station file at path for the user running the program.
Verdict ReadStationFile(const std::string& path, unsigned user, StationSettings* settings);

// ChooseStationFile, then ReadStationFile; the defaults where there is no file.
Verdict LoadStation(const std::string& systemFile, const char* variableValue, unsigned user,
                    StationSettings* settings);

// Refuses (exit class 7) what does not run an approved recipe (a free flash, --unsigned, the
// dialog) on a station that requires recipes. `what` names it: "a free flash".
Verdict RefuseUnapproved(const StationSettings& settings, const std::string& what);

} // namespace line
