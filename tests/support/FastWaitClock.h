// A clock for runs against the real simulator: real time plus a lead. A Sleep moves the
// lead on at once; a wait for the pty waits for real while an answer may still come (up to the
// deadline, and at most the grace time), then jumps to the deadline. So the update's 2000 ms
// waits and the 5000 ms reply time-out of a lost reply cost at most the grace time, and an
// answer the simulator gives is never missed. Waits shorter than the grace (the 10 ms between
// the bytes of a reply) are real. The tests' grace is long: an answer later than it would be
// drained by the retry and show as a repeated request.
#pragma once

#include "ce_clock.h"

#include <atomic>
#include <cstdint>

namespace testsupport {

class FastWaitClock : public ce::Clock {
public:
    static const uint64_t kDefaultGraceMs = 1000;

    explicit FastWaitClock(uint64_t graceMs = kDefaultGraceMs)
        : m_graceUs(graceMs * 1000), m_startUs(ce::RealClock().NowUs()) {
        m_previous = ce::InstallClock(this);
    }
    ~FastWaitClock() override { ce::InstallClock(m_previous); }
    FastWaitClock(const FastWaitClock&) = delete;
    FastWaitClock& operator=(const FastWaitClock&) = delete;

    uint64_t NowUs() override { return ce::RealClock().NowUs() + m_leadUs.load(); }
    void SleepUntilUs(uint64_t deadlineUs) override {
        const uint64_t now = NowUs();
        if (deadlineUs > now)
            m_leadUs += deadlineUs - now;
    }
    int WaitFd(int fd, short events, uint64_t deadlineUs) override {
        const uint64_t now = NowUs();
        const uint64_t left = deadlineUs > now ? deadlineUs - now : 0;
        const uint64_t wait = left < m_graceUs ? left : m_graceUs;
        const int shown = ce::RealClock().WaitFd(fd, events, ce::RealClock().NowUs() + wait);
        if (shown != 0)
            return shown;
        SleepUntilUs(deadlineUs); // nothing came in the grace time: nothing will by the deadline
        return 0;
    }
    // Time skipped so far.
    uint64_t SkippedUs() const { return m_leadUs.load(); }
    // Time on this clock since it was installed, skipped waits included.
    uint64_t ElapsedMs() { return (NowUs() - m_startUs) / 1000; }

private:
    uint64_t m_graceUs;
    uint64_t m_startUs;
    std::atomic<uint64_t> m_leadUs{0};
    ce::Clock* m_previous = nullptr;
};

} // namespace testsupport
