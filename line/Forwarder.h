// `korvane forward`: the record file is the journal, and this sends it to an MQTT broker.
//
// Each record after the cursor goes out in file order, QoS 1, on a persistent session whose
// client id is the station's name. The cursor (the record file's name + ".cursor") holds the byte
// offset of the first record the broker has not acknowledged, and the identity of the file it
// belongs to; it moves, synced, after the acknowledgements. A lost connection sends again from
// the cursor: a record may arrive twice (its id tells), never not at all.
#pragma once

#include "line/PublishSettings.h"

#include <functional>
#include <string>

namespace line {

struct ForwardJob {
    PublishSettings publish;
    std::string password;
    std::string station;                         // the client id and {station}
    std::string recordFile;                      // the journal
    bool once = false;                           // send the backlog, then end
    std::function<void(const std::string&)> say; // one line for standard error
};

// Runs until the backlog is acknowledged (once: 0), or the broker cannot be reached within
// 10 s or refuses the login (once: 1). Without once it follows the file for ever, reconnecting
// with a backoff of at most 10 s, and returns only when the record file cannot be read (1).
int Forward(const ForwardJob& job);

// The cursor file of a record file.
std::string CursorFile(const std::string& recordFile);

} // namespace line
