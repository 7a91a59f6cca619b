#include "sim/SlaveMemory.h"

#include <algorithm>
#include <cstring>

namespace ksim {

SlaveMemory::SlaveMemory(uint8_t address, const TARGET_KIND& kind)
    : m_address(address), m_kind(kind) {}

size_t SlaveMemory::Erase(uint16_t start) {
    size_t offset = size_t(start) * m_kind.addressUnit;
    size_t size = Size() - offset;
    if (!m_bytes.empty()) {
        std::memset(&m_bytes[offset], 0xff, size);
        std::memset(&m_programmed[offset], 0, size);
    }
    m_changed = true;
    return size;
}

void SlaveMemory::Program(uint16_t address, const uint8_t* data, size_t size) {
    size_t offset = size_t(address) * m_kind.addressUnit;
    if (m_bytes.empty()) {
        m_bytes.assign(Size(), 0xff);
        m_programmed.assign(Size(), 0);
    }
    std::memcpy(&m_bytes[offset], data, size);
    std::memset(&m_programmed[offset], 1, size);
    m_changed = true;
}

std::vector<uint8_t> SlaveMemory::Read(uint16_t address, size_t count) const {
    return ReadOffset(size_t(address) * m_kind.addressUnit, count);
}

std::vector<uint8_t> SlaveMemory::ReadOffset(size_t offset, size_t count) const {
    if (offset >= Size())
        return {};
    size_t size = std::min(count, Size() - offset);
    if (m_bytes.empty())
        return std::vector<uint8_t>(size, 0xff);
    return std::vector<uint8_t>(m_bytes.begin() + offset, m_bytes.begin() + offset + size);
}

} // namespace ksim
