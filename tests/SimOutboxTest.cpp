// The simulator's send schedule on its own: bytes at their line times, and a split's pause
// kept whole even when the bytes before it went out late.
#include "sim/Outbox.h"

#include <gtest/gtest.h>

using namespace ksim;

namespace {
const int64_t kMs = 1000000;

Transmission Reply(size_t size, size_t pauseAt = 0, unsigned pauseMs = 0) {
    Transmission t;
    t.bytes.assign(size, 0x55);
    t.pauseAt = pauseAt;
    t.pauseMs = pauseMs;
    return t;
}
} // namespace

TEST(SimOutbox, BytesFallDueOneByteTimeApartFromTheirStart) {
    Outbox outbox(10000); // 1 ms a byte
    outbox.Queue(Reply(5), 100 * kMs);
    const uint8_t* bytes = nullptr;
    EXPECT_EQ(outbox.Due(100 * kMs - 1, &bytes), 0u);
    EXPECT_EQ(outbox.Due(100 * kMs, &bytes), 1u);
    EXPECT_EQ(outbox.Due(102 * kMs + kMs / 2, &bytes), 3u);
    EXPECT_EQ(outbox.LineFree(), 105 * kMs);
    // The next reply waits for the line even if it is ready sooner.
    outbox.Queue(Reply(2), 0);
    EXPECT_EQ(outbox.LineFree(), 107 * kMs);
}

TEST(SimOutbox, ASplitPauseCountsFromTheLastByteBeforeIt) {
    Outbox outbox(0);
    outbox.Queue(Reply(10, 4, 30), 0);
    const uint8_t* bytes = nullptr;
    // Written very late: still only the bytes before the pause go, and the pause follows.
    EXPECT_EQ(outbox.Due(500 * kMs, &bytes), 4u);
    outbox.Consumed(4, 500 * kMs);
    EXPECT_EQ(outbox.Due(529 * kMs, &bytes), 0u);
    EXPECT_EQ(outbox.NextDeadline(), 530 * kMs);
    EXPECT_EQ(outbox.Due(530 * kMs, &bytes), 6u);
    outbox.Consumed(6, 530 * kMs);
    EXPECT_TRUE(outbox.Empty());
}

TEST(SimOutbox, PacketsGoWhenTheirLastByteIsDueAndTheReplyEndsOnTime) {
    Outbox outbox(10000, 3 * kMs); // 1 ms a byte, 3 ms packets
    outbox.Queue(Reply(7), 100 * kMs);
    const uint8_t* bytes = nullptr;
    // Bytes 0..2 form the first packet, due with byte 2.
    EXPECT_EQ(outbox.NextDeadline(), 102 * kMs);
    EXPECT_EQ(outbox.Due(101 * kMs, &bytes), 0u);
    EXPECT_EQ(outbox.Due(102 * kMs, &bytes), 3u);
    outbox.Consumed(3, 102 * kMs);
    // The last packet is cut short by the reply's end: byte 6 goes at its own time.
    EXPECT_EQ(outbox.NextDeadline(), 105 * kMs);
    EXPECT_EQ(outbox.Due(106 * kMs, &bytes), 4u);
}
