// FCS-16 of RFC 1662, computed bit by bit. The simulator keeps its own rather than the
// system's table, so that a wrong table entry on the host side shows up as a failed exchange
// instead of being agreed with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ksim {

// Complemented FCS over `size` bytes; it goes on the wire low byte first.
uint16_t Fcs16(const uint8_t* bytes, size_t size);

} // namespace ksim
