// Who may have written a file the station trusts (the station file, the key folder, each key):
// only its owner, and the owner is root or the user running the program. Folders above it are
// not looked at.
#pragma once

#include "platform/host/files.h"

#include <string>

namespace line {

// "" when the file may be trusted by user; otherwise why not ("others can write it").
std::string Untrusted(const host::FileFacts& facts, unsigned user);

} // namespace line
