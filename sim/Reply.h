// Builds a slave's reply: 7E, address, 13, 02, 00, block length, one parameter (identifier,
// length, value), FCS-16 low then high byte, 7E, with 7E and 7D escaped between the flags.
#pragma once

#include <cstdint>
#include <vector>

namespace ksim {

// The unescaped reply from the address up to and including the two FCS bytes.
std::vector<uint8_t> ReplyBody(uint8_t slave, uint8_t id, const std::vector<uint8_t>& value);

// The body as it goes on the wire: opening flag, escaped body, closing flag.
std::vector<uint8_t> WireFrame(const std::vector<uint8_t>& body);

} // namespace ksim
