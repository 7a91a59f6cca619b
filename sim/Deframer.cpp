#include "sim/Deframer.h"

#include <cstdint>

namespace ksim {

namespace {
const uint8_t kFlag = 0x7e;
}

void Deframer::FlushGarbage(std::vector<LineEvent>& out) {
    if (m_garbageCount == 0)
        return;
    out.push_back({LineEventKind::Garbage, m_garbage, m_garbageCount, m_last});
    m_garbage.clear();
    m_garbageCount = 0;
}

void Deframer::Push(uint8_t value, int64_t at, std::vector<LineEvent>& out) {
    // A pause inside a frame means the host gave up on it; what comes now starts afresh.
    if (m_gapNs > 0 && at - m_last > m_gapNs)
        Expire(at, out);
    m_last = at;

    if (!m_inFrame) {
        if (value == kFlag) {
            FlushGarbage(out);
            m_inFrame = true;
            m_frame.clear();
            return;
        }
        if (m_garbage.size() < kGarbageKept)
            m_garbage.push_back(value);
        ++m_garbageCount;
        return;
    }

    if (value == kFlag) {
        // Two flags in a row: the first closed nothing, the second opens the frame.
        if (m_frame.empty())
            return;
        out.push_back({LineEventKind::Frame, m_frame, m_frame.size(), at});
        m_frame.clear();
        m_inFrame = false;
        return;
    }
    if (m_frame.size() == kMaxFrame) {
        out.push_back({LineEventKind::Overlong, {}, m_frame.size(), at});
        m_frame.clear();
        m_inFrame = false;
        m_garbage.push_back(value);
        m_garbageCount = 1;
        return;
    }
    m_frame.push_back(value);
}

void Deframer::Expire(int64_t now, std::vector<LineEvent>& out) {
    if (m_gapNs <= 0 || now - m_last < m_gapNs)
        return;
    if (m_inFrame && !m_frame.empty()) {
        out.push_back({LineEventKind::CutOff, m_frame, m_frame.size(), m_last});
        m_frame.clear();
        m_inFrame = false;
    }
    FlushGarbage(out);
}

int64_t Deframer::NextDeadline() const {
    if (m_gapNs <= 0)
        return INT64_MAX;
    if ((m_inFrame && !m_frame.empty()) || m_garbageCount > 0)
        return m_last + m_gapNs;
    return INT64_MAX;
}

} // namespace ksim
