// The slaves the simulator plays: OD slave 1 counts its memory in bytes and takes 64-byte
// blocks; the Stepper slaves count in 16-bit words and take 128-byte blocks. Both address
// their memory with 16 bits, so OD has 64 KiB and a Stepper 128 KiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ksim {

struct SlaveKind {
    const char* name;   // "OD" or "Stepper"
    unsigned unitBytes; // bytes per address step: 1 or 2
    size_t memoryBytes; // 65536 or 131072
    size_t blockBytes;  // data bytes in one Program: 64 or 128
};

extern const SlaveKind g_odSlave;
extern const SlaveKind g_stepperSlave;

// The slave addresses that answer, OD first.
std::vector<uint8_t> SlaveAddresses();

// The kind of the slave at `address`, or null when no slave has that address.
const SlaveKind* FindSlaveKind(uint8_t address);

} // namespace ksim
