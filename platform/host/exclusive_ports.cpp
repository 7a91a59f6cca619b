#include "platform/host/exclusive_ports.h"
#include "platform/host/interrupt.h"

#include <atomic>
#include <sys/ioctl.h>

namespace ce {
namespace {

// One port per process; a few slots spare. -1: free.
std::atomic<int> g_fds[4] = {-1, -1, -1, -1};

// Async-signal-safe: loads and ioctl only.
void GiveBackExclusive() {
    for (std::atomic<int>& slot : g_fds) {
        const int fd = slot.load();
        if (fd >= 0)
            ioctl(fd, TIOCNXCL);
    }
}

} // namespace

void RememberExclusive(int fd) {
    host::AtGiveBack(GiveBackExclusive);
    for (std::atomic<int>& slot : g_fds) {
        int none = -1;
        if (slot.compare_exchange_strong(none, fd))
            return;
    }
}

void ForgetExclusive(int fd) {
    for (std::atomic<int>& slot : g_fds) {
        int held = fd;
        slot.compare_exchange_strong(held, -1);
    }
}

} // namespace ce
