#include "sim/Outbox.h"

#include <algorithm>

namespace ksim {

int64_t Outbox::DueAt(const Item& item, size_t index) const {
    int64_t at = item.start + m_pace.Offset(index);
    if (item.t.pauseAt && index >= item.t.pauseAt) {
        at += int64_t(item.t.pauseMs) * 1000000;
        // Bytes sent late before the pause must not shorten it.
        at = std::max(at, item.resumeAt + m_pace.Offset(index) - m_pace.Offset(item.t.pauseAt));
    }
    return at;
}

void Outbox::Queue(Transmission t, int64_t earliest) {
    if (t.bytes.empty())
        return;
    Item item{std::move(t), std::max(earliest, m_lineFree), 0, INT64_MIN / 2};
    m_lineFree = DueAt(item, item.t.bytes.size());
    m_items.push_back(std::move(item));
}

size_t Outbox::Limit(const Item& item) const {
    // The bytes before a pause go out on their own, however late they are.
    return item.t.pauseAt > item.sent ? item.t.pauseAt : item.t.bytes.size();
}

size_t Outbox::PacketEnd(size_t from, size_t limit) const {
    size_t end = from + 1;
    if (m_packetNs > 0 && m_pace.Paced()) {
        const int64_t window = m_pace.Offset(from) / m_packetNs;
        while (end < limit && m_pace.Offset(end) / m_packetNs == window)
            ++end;
    }
    return end;
}

size_t Outbox::Due(int64_t now, const uint8_t** bytes) const {
    if (m_items.empty())
        return 0;
    const Item& item = m_items.front();
    const size_t limit = Limit(item);
    size_t end = item.sent;
    while (end < limit) {
        const size_t packetEnd = PacketEnd(end, limit);
        if (DueAt(item, packetEnd - 1) > now)
            break;
        end = packetEnd;
    }
    *bytes = item.t.bytes.data() + item.sent;
    return end - item.sent;
}

void Outbox::Consumed(size_t count, int64_t now) {
    Item& item = m_items.front();
    item.sent += count;
    if (item.t.pauseAt && item.sent == item.t.pauseAt)
        item.resumeAt = now + int64_t(item.t.pauseMs) * 1000000;
    if (item.sent >= item.t.bytes.size())
        m_items.pop_front();
}

int64_t Outbox::NextDeadline() const {
    if (m_items.empty())
        return INT64_MAX;
    const Item& item = m_items.front();
    return DueAt(item, PacketEnd(item.sent, Limit(item)) - 1);
}

} // namespace ksim
