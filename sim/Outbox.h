// What the slaves send, on a schedule: at a given baud every byte takes 10 bit times (8N1), and
// each byte is due at an absolute time counted from the start of its reply, so lateness of
// one wake-up never adds up over a reply or over a session. Without a baud, bytes are due at
// once. A split reply's pause shifts every byte behind it.
//
// With packets, bytes go over as a USB adapter hands them to its host: those whose times fall in
// the same window (counted from the reply's start) go out together when the last of them is
// due. The last byte of a reply is never later than at its own time, so a reply ends when it
// would byte by byte; only the host's wake-ups are fewer.
#pragma once

#include "sim/Faults.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace ksim {

// Line time of bytes at a baud rate, 8N1; baud 0 means no pacing.
class LinePace {
public:
    explicit LinePace(unsigned baud) : m_baud(baud) {}
    bool Paced() const { return m_baud != 0; }
    // Time from the start of the first byte to the start of byte `index`.
    int64_t Offset(size_t index) const {
        return m_baud ? static_cast<int64_t>(static_cast<double>(index) * 1e10 / m_baud + 0.5) : 0;
    }

private:
    unsigned m_baud;
};

class Outbox {
public:
    // `packetNs` 0: every byte at its own time, as a UART hands them over.
    explicit Outbox(unsigned baud, int64_t packetNs = 0) : m_pace(baud), m_packetNs(packetNs) {}

    // Queues a reply to start no earlier than `earliest` and after everything queued before.
    void Queue(Transmission t, int64_t earliest);
    // The bytes of the front reply that are due by `now`: a pointer into it and their count.
    size_t Due(int64_t now, const uint8_t** bytes) const;
    // `count` bytes of the front reply went out at `now`.
    void Consumed(size_t count, int64_t now);
    // When the next byte falls due, or INT64_MAX when nothing waits.
    int64_t NextDeadline() const;
    bool Empty() const { return m_items.empty(); }
    // When the line is free after the last byte queued.
    int64_t LineFree() const { return m_lineFree; }
    void Clear() { m_items.clear(); }

private:
    struct Item {
        Transmission t;
        int64_t start;
        size_t sent;
        int64_t resumeAt; // after a split: the pause counts from when the byte before it went
    };
    int64_t DueAt(const Item& item, size_t index) const;
    // The bytes that may go out from `sent` on: up to a pause, or the whole reply.
    size_t Limit(const Item& item) const;
    // One past the last byte of the packet that starts at `from`.
    size_t PacketEnd(size_t from, size_t limit) const;

    LinePace m_pace;
    int64_t m_packetNs;
    std::deque<Item> m_items;
    int64_t m_lineFree = 0;
};

} // namespace ksim
