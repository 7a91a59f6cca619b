// The simulator's deframer on its own: what counts as a frame depends on flags and on pauses
// longer than the gap, not on how the bytes happen to be spread over time below it.
#include "sim/Deframer.h"

#include <gtest/gtest.h>

using namespace ksim;

namespace {

const int64_t kMs = 1000000;

std::string Events(const std::vector<uint8_t>& bytes, const std::vector<int64_t>& times) {
    Deframer deframer(20 * kMs);
    std::vector<LineEvent> events;
    for (size_t i = 0; i < bytes.size(); ++i)
        deframer.Push(bytes[i], times[i], events);
    deframer.Expire(times.back() + 100 * kMs, events);
    std::string text;
    for (const LineEvent& e : events)
        text += "FGCO"[int(e.kind)] + std::to_string(e.count) + " ";
    return text;
}

std::vector<int64_t> Every(size_t count, int64_t step) {
    std::vector<int64_t> times;
    for (size_t i = 0; i < count; ++i)
        times.push_back(int64_t(i) * step);
    return times;
}

} // namespace

TEST(SimDeframer, FramesDoNotDependOnTimingBelowTheGap) {
    std::vector<uint8_t> stream = {0x01, 0x02, 0x7e, 0x10, 0x11, 0x7e,
                                   0x7e, 0x7e, 0x20, 0x7e, 0x33};
    for (int64_t step : {int64_t(0), int64_t(1000), 19 * kMs})
        EXPECT_EQ(Events(stream, Every(stream.size(), step)), "G2 F2 F1 G1 ") << step;
}

TEST(SimDeframer, APauseLongerThanTheGapCutsOffTheFrameInProgress) {
    std::vector<uint8_t> stream = {0x7e, 0x10, 0x11, 0x7e, 0x20, 0x7e};
    std::vector<int64_t> times = {0, 1, 2, 30 * kMs, 30 * kMs + 1, 30 * kMs + 2};
    // The flag after the pause opens a new frame rather than closing the broken one.
    EXPECT_EQ(Events(stream, times), "C2 F1 ");
    // A lone flag followed by a pause is no frame at all.
    EXPECT_EQ(Events({0x7e, 0x7e, 0x20, 0x7e}, {0, 50 * kMs, 50 * kMs, 50 * kMs}), "F1 ");
}

TEST(SimDeframer, AFrameLongerThanAnyRequestIsDroppedAndTheRestIsGarbage) {
    std::vector<uint8_t> stream = {0x7e};
    stream.insert(stream.end(), Deframer::kMaxFrame + 5, 0x55);
    stream.push_back(0x7e);
    stream.insert(stream.end(), {0x01, 0x7e});
    EXPECT_EQ(Events(stream, Every(stream.size(), 1000)),
              "O" + std::to_string(Deframer::kMaxFrame) + " G5 F1 ");
}
