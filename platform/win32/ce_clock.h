// The one monotonic clock behind Sleep, GetTickCount and every serial time-out.
//
// Real runs use the host's monotonic clock. A test installs a virtual clock, and then no wait
// costs real time: Sleep(2000) moves virtual time on by 2000 ms at once, and a read that waits
// for a byte moves it on to the moment the next scheduled byte arrives (an in-memory device,
// ce_memory_device.h) or to the read's deadline, whichever comes first. Single-threaded code
// on a virtual clock is deterministic.
//
//     ce::ScopedVirtualClock clock;   // installed until the end of the scope
//     Sleep(2000);                    // returns at once
//     EXPECT_EQ(clock.NowMs(), 2000u);
#pragma once

#include "windows.h"

#include <atomic>
#include <cstdint>

namespace ce {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time in microseconds.
    virtual uint64_t NowUs() = 0;
    // Returns once the clock has reached deadlineUs (at once if it has).
    virtual void SleepUntilUs(uint64_t deadlineUs) = 0;
    // Waits until the descriptor shows one of the poll events or the clock reaches deadlineUs.
    // Returns the events shown, 0 when the deadline passed first, -1 on a host error (errno).
    virtual int WaitFd(int fd, short events, uint64_t deadlineUs) = 0;
};

// The clock in use: the installed one, else the real one.
Clock& CurrentClock();
// The host's monotonic clock (CLOCK_MONOTONIC; waits with ppoll at microsecond resolution).
Clock& RealClock();
// Installs a clock (nullptr: the real clock again) and returns the one installed before it
// (nullptr when that was the real clock). Prefer ScopedVirtualClock in tests.
Clock* InstallClock(Clock* clock);

inline uint64_t NowUs() {
    return CurrentClock().NowUs();
}
inline uint64_t NowMs() {
    return CurrentClock().NowUs() / 1000;
}

// Virtual time: moves only when something waits on it or a test advances it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint64_t startMs = 0) : m_nowUs(startMs * 1000) {}

    uint64_t NowUs() override { return m_nowUs.load(); }
    uint64_t NowMs() const { return m_nowUs.load() / 1000; }
    void Advance(uint64_t ms) { m_nowUs += ms * 1000; }
    // Never moves backwards.
    void SleepUntilUs(uint64_t deadlineUs) override;
    // Looks at the descriptor once without waiting; if it shows nothing, jumps to the deadline.
    int WaitFd(int fd, short events, uint64_t deadlineUs) override;

private:
    std::atomic<uint64_t> m_nowUs;
};

// A virtual clock installed for the lifetime of the object; the previous clock comes back
// when it goes. Guards nest.
class ScopedVirtualClock : public VirtualClock {
public:
    explicit ScopedVirtualClock(uint64_t startMs = 0);
    ~ScopedVirtualClock() override;
    ScopedVirtualClock(const ScopedVirtualClock&) = delete;
    ScopedVirtualClock& operator=(const ScopedVirtualClock&) = delete;

private:
    Clock* m_previous;
};

} // namespace ce
