#include "line/TrustRule.h"

namespace line {

std::string Untrusted(const host::FileFacts& facts, unsigned user) {
    if (facts.othersCanWrite)
        return "others than its owner can write it";
    if (facts.owner != 0 && facts.owner != user)
        return "its owner (user " + std::to_string(facts.owner) +
               ") is neither root nor the user running Korvane";
    return "";
}

} // namespace line
