// Cuts the byte stream from the host into frames. A frame is what stands between an opening
// and a closing 0x7E, still escaped. Bytes outside any frame are reported as garbage; a frame
// that stops arriving for longer than the gap is cut off, so a request the host broke off
// cannot swallow the opening flag of the next one; a frame longer than any request is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ksim {

enum class LineEventKind {
    Frame,   // bytes between two flags (escaped, flags left out)
    Garbage, // bytes outside a frame
    CutOff,  // a frame that stopped before its closing flag
    Overlong // a frame longer than any request; what follows up to the next flag is garbage
};

struct LineEvent {
    LineEventKind kind;
    std::vector<uint8_t> bytes; // the frame's bytes; for garbage the first few only
    size_t count;               // how many bytes the event stands for
    int64_t at;                 // time of its last byte, in nanoseconds
};

class Deframer {
public:
    static const size_t kMaxFrame = 600;   // a Program request escaped throughout is 280
    static const size_t kGarbageKept = 32; // garbage bytes kept for the log

    // gapNs: a frame with no new byte for this long is cut off; 0 never cuts.
    explicit Deframer(int64_t gapNs) : m_gapNs(gapNs) {}

    // One byte that arrived at time `at`; events, if any, are appended to `out`.
    void Push(uint8_t value, int64_t at, std::vector<LineEvent>& out);
    // Nothing arrived until `now`: a frame or garbage left waiting past the gap is reported.
    void Expire(int64_t now, std::vector<LineEvent>& out);
    // When Expire has something to do, or INT64_MAX.
    int64_t NextDeadline() const;

private:
    void FlushGarbage(std::vector<LineEvent>& out);

    int64_t m_gapNs;
    bool m_inFrame = false;
    std::vector<uint8_t> m_frame;
    std::vector<uint8_t> m_garbage;
    size_t m_garbageCount = 0;
    int64_t m_last = 0;
};

} // namespace ksim
