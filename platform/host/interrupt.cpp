#include "platform/host/interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace host {
namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signal{0};
std::atomic<int> g_count{0};
int g_pipe[2] = {-1, -1};

// Filled before any handler can read them: a slot is published by the count that follows it.
void (*g_giveBack[4])() = {};
std::atomic<int> g_giveBacks{0};

// Only async-signal-safe calls: stores, a write to the pipe, the give-backs, the default
// action back and the signal again.
void OnInterrupt(int signal) {
    const int savedErrno = errno;
    const int count = g_count.fetch_add(1) + 1;
    if (count == 1) {
        g_signal.store(signal);
        const char byte = 1;
        if (g_pipe[1] >= 0) {
            const ssize_t ignored = write(g_pipe[1], &byte, 1);
            (void)ignored;
        }
    } else {
        GiveBack();
    }
    if (count >= 3) {
        struct sigaction dflt = {};
        dflt.sa_handler = SIG_DFL;
        sigemptyset(&dflt.sa_mask);
        sigaction(signal, &dflt, nullptr);
        raise(signal); // delivered once this handler returns
    }
    errno = savedErrno;
}

} // namespace

void CatchInterrupts() {
    if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaddset(&action.sa_mask, signal); // one handler at a time counts them
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

int InterruptSignal() {
    return g_signal.load();
}

int InterruptFd() {
    return g_pipe[0];
}

void AtGiveBack(void (*giveBack)()) {
    const int count = g_giveBacks.load();
    for (int i = 0; i < count; ++i) {
        if (g_giveBack[i] == giveBack)
            return;
    }
    if (count < static_cast<int>(sizeof g_giveBack / sizeof g_giveBack[0])) {
        g_giveBack[count] = giveBack;
        g_giveBacks.store(count + 1);
    }
}

void GiveBack() {
    const int count = g_giveBacks.load();
    for (int i = 0; i < count; ++i)
        g_giveBack[i]();
}

} // namespace host
