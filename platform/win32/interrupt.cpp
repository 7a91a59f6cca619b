#include "ce_interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace ce {
namespace {

std::atomic<int> g_signal{0};
int g_pipe[2] = {-1, -1};

// Only async-signal-safe calls: a store, a write to the pipe, the default action back.
void OnInterrupt(int signal) {
    const int savedErrno = errno;
    g_signal.store(signal);
    const char byte = 1;
    if (g_pipe[1] >= 0) {
        const ssize_t ignored = write(g_pipe[1], &byte, 1);
        (void)ignored;
    }
    struct sigaction dflt = {};
    dflt.sa_handler = SIG_DFL;
    sigaction(signal, &dflt, nullptr);
    errno = savedErrno;
}

} // namespace

void CatchInterrupts() {
    if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int InterruptSignal() {
    return g_signal.load();
}

int InterruptFd() {
    return g_pipe[0];
}

} // namespace ce
