#include "platform/host/interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace host {
namespace {

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
const int kFatal[] = {SIGQUIT, SIGILL, SIGABRT, SIGBUS, SIGFPE, SIGSEGV};

std::atomic<int> g_mode{static_cast<int>(SignalMode::DEFAULT)};
std::atomic<int> g_signal{0};
std::atomic<int> g_count{0};
int g_pipe[2] = {-1, -1};

// Filled before any handler can read them: a slot is published by the count that follows it.
void (*g_giveBack[8])() = {};
std::atomic<int> g_giveBacks{0};

void Install(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (int each : kInterrupts)
        sigaddset(&action.sa_mask, each); // one handler at a time counts them
    sigaction(signal, &action, nullptr);
}

// Gives back, then dies of the signal as the program would have without us.
void EndOf(int signal) {
    GiveBack();
    Install(signal, SIG_DFL);
    raise(signal); // delivered once the handler returns
}

// Only async-signal-safe calls: stores, a write to the pipe, the give-backs, the default
// action back and the signal again.
void OnInterrupt(int signal) {
    const int savedErrno = errno;
    if (g_mode.load() == static_cast<int>(SignalMode::END)) {
        EndOf(signal);
    } else {
        const int count = g_count.fetch_add(1) + 1;
        if (count == 1) {
            g_signal.store(signal);
            const char byte = static_cast<char>(signal);
            if (g_pipe[1] >= 0) {
                const ssize_t ignored = write(g_pipe[1], &byte, 1);
                (void)ignored;
            }
        } else if (count == 2) {
            GiveBack();
        } else {
            EndOf(signal);
        }
    }
    errno = savedErrno;
}

void OnFatal(int signal) {
    EndOf(signal);
}

} // namespace

SignalMode SetSignalMode(SignalMode mode) {
    const SignalMode before = static_cast<SignalMode>(g_mode.exchange(static_cast<int>(mode)));
    if (mode == SignalMode::INTERRUPT && g_pipe[0] < 0 &&
        pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    const bool caught = mode != SignalMode::DEFAULT;
    for (int signal : kInterrupts)
        Install(signal, caught ? OnInterrupt : SIG_DFL);
    for (int signal : kFatal)
        Install(signal, caught ? OnFatal : SIG_DFL);
    return before;
}

void CatchInterrupts() {
    SetSignalMode(SignalMode::INTERRUPT);
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
