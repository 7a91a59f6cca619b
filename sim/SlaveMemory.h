// One slave's program memory: starts erased (0xFF); remembers which bytes were programmed since
// they were last erased, for the dump at exit. The storage is made on the first Program, so
// slaves nobody programs cost nothing.
#pragma once

#include "protocol/Targets.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ksim {

class SlaveMemory {
public:
    SlaveMemory(uint8_t address, const TARGET_KIND& kind);

    uint8_t Address() const { return m_address; }
    const TARGET_KIND& Kind() const { return m_kind; }

    // From `start` (in the slave's unit) to the end of memory; returns the bytes erased.
    size_t Erase(uint16_t start);
    // Writes `size` bytes at `address` (in the slave's unit); the caller keeps it in memory.
    void Program(uint16_t address, const uint8_t* data, size_t size);
    // Up to `count` bytes from `address` (in the slave's unit), fewer at the end of memory.
    std::vector<uint8_t> Read(uint16_t address, size_t count) const;
    // The same from a byte offset.
    std::vector<uint8_t> ReadOffset(size_t offset, size_t count) const;

    size_t Size() const { return m_kind.MemoryBytes(); }
    // Byte at `offset` (below Size()).
    uint8_t At(size_t offset) const { return m_bytes.empty() ? 0xff : m_bytes[offset]; }
    bool IsProgrammed(size_t offset) const {
        return !m_programmed.empty() && m_programmed[offset] != 0;
    }
    // True once a Program has reached this slave.
    bool EverProgrammed() const { return !m_programmed.empty(); }
    // True once an Erase or a Program reached this slave.
    bool Changed() const { return m_changed; }

    // Where a ReadData without an address reads next, in bytes.
    size_t m_readCursor = 0;

private:
    uint8_t m_address;
    const TARGET_KIND& m_kind;
    std::vector<uint8_t> m_bytes;
    std::vector<uint8_t> m_programmed;
    bool m_changed = false;
};

} // namespace ksim
