// The real and the virtual clock, and which one is in use.
#include "ce_clock.h"
#include "ce_device.h"
#include "platform/host/interrupt.h"

#include <cerrno>
#include <ctime>
#include <poll.h>

namespace ce {
namespace {

class CRealClock : public Clock {
public:
    uint64_t NowUs() override {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<uint64_t>(ts.tv_sec) * 1000000u +
               static_cast<uint64_t>(ts.tv_nsec) / 1000u;
    }

    // An interrupted process waits no more: the wait ends as if its time had run out.
    void SleepUntilUs(uint64_t deadlineUs) override {
        for (;;) {
            const uint64_t now = NowUs();
            if (now >= deadlineUs || host::InterruptSignal())
                return;
            const timespec ts = ToTimespec(deadlineUs - now);
            pollfd interrupt{host::InterruptFd(), POLLIN, 0};
            if (interrupt.fd >= 0)
                ppoll(&interrupt, 1, &ts, nullptr);
            else
                nanosleep(&ts, nullptr); // a signal comes round the loop again
        }
    }

    int WaitFd(int fd, short events, uint64_t deadlineUs) override {
        pollfd pfd[2] = {{fd, events, 0}, {host::InterruptFd(), POLLIN, 0}};
        const nfds_t count = pfd[1].fd >= 0 ? 2 : 1;
        for (;;) {
            if (host::InterruptSignal())
                return 0;
            const uint64_t now = NowUs();
            const timespec ts = ToTimespec(now >= deadlineUs ? 0 : deadlineUs - now);
            CountHostCall();
            const int ready = ppoll(pfd, count, &ts, nullptr);
            if (ready > 0 && pfd[0].revents)
                return pfd[0].revents;
            if (ready < 0 && errno != EINTR)
                return -1;
            if (ready == 0 && NowUs() >= deadlineUs)
                return 0;
        }
    }

private:
    static timespec ToTimespec(uint64_t us) {
        timespec ts;
        ts.tv_sec = static_cast<time_t>(us / 1000000u);
        ts.tv_nsec = static_cast<long>((us % 1000000u) * 1000u);
        return ts;
    }
};

std::atomic<Clock*> g_installedClock{nullptr};

} // namespace

Clock& RealClock() {
    static CRealClock clock;
    return clock;
}

Clock& CurrentClock() {
    Clock* installed = g_installedClock.load(std::memory_order_acquire);
    return installed ? *installed : RealClock();
}

Clock* InstallClock(Clock* clock) {
    return g_installedClock.exchange(clock);
}

void VirtualClock::SleepUntilUs(uint64_t deadlineUs) {
    uint64_t now = m_nowUs.load();
    while (now < deadlineUs && !m_nowUs.compare_exchange_weak(now, deadlineUs)) {
    }
}

int VirtualClock::WaitFd(int fd, short events, uint64_t deadlineUs) {
    pollfd pfd{fd, events, 0};
    int ready;
    do {
        CountHostCall();
        ready = poll(&pfd, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return -1;
    if (ready > 0)
        return pfd.revents;
    SleepUntilUs(deadlineUs);
    return 0;
}

ScopedVirtualClock::ScopedVirtualClock(uint64_t startMs)
    : VirtualClock(startMs), m_previous(InstallClock(this)) {}

ScopedVirtualClock::~ScopedVirtualClock() {
    InstallClock(m_previous);
}

} // namespace ce
