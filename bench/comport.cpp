// CComPort over a pty: bytes per second through Write, and through one-byte Reads, with the
// number of system calls the serial layer makes per byte read (counted by the platform in its
// read, write, poll and ioctl paths, ce::HostCallCount).
#include "link/Comport.h"
#include "ce_device.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A pty whose slave end is COM6:; the benchmark plays the peer on the master end.
class PtyPort {
public:
    PtyPort() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            std::abort();
        termios tio;
        tcgetattr(m_slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
        setenv("CE_COM6", name, 1);
        if (!m_port.Open(6))
            std::abort();
    }
    ~PtyPort() {
        m_port.Close();
        close(m_master);
        close(m_slave);
        unsetenv("CE_COM6");
    }
    CComPort& Port() { return m_port; }
    int Master() const { return m_master; }
    int Queued() const {
        int n = 0;
        ioctl(m_slave, FIONREAD, &n);
        return n;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    CComPort m_port;
};

void BM_Write(benchmark::State& state) {
    PtyPort pty;
    const std::vector<BYTE> block(static_cast<size_t>(state.range(0)), 0x55);
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        std::vector<char> sink(65536);
        pollfd pfd{pty.Master(), POLLIN, 0};
        while (!stop.load()) {
            if (poll(&pfd, 1, 10) > 0 && read(pty.Master(), sink.data(), sink.size()) < 0)
                break;
        }
    });
    const uint64_t calls = ce::HostCallCount();
    for (auto _ : state) {
        if (!pty.Port().Write(block.data(), static_cast<int>(block.size())))
            state.SkipWithError("write failed");
    }
    stop = true;
    drain.join();
    const double bytes =
        static_cast<double>(state.iterations()) * static_cast<double>(block.size());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["syscalls/byte"] = static_cast<double>(ce::HostCallCount() - calls) / bytes;
}
BENCHMARK(BM_Write)->Arg(9)->Arg(255)->Arg(4096)->UseRealTime();

// Bytes already waiting in the input queue, read as the link reads them: one byte a call.
void BM_ReadOneByte(benchmark::State& state) {
    PtyPort pty;
    constexpr int kBatch = 1024;
    const std::vector<unsigned char> batch(kBatch, 0x7E);
    uint64_t calls = 0;
    int64_t bytes = 0;
    char buffer[2];
    for (auto _ : state) {
        state.PauseTiming();
        if (write(pty.Master(), batch.data(), batch.size()) != kBatch)
            std::abort();
        while (pty.Queued() < kBatch)
            std::this_thread::yield();
        const uint64_t before = ce::HostCallCount();
        state.ResumeTiming();
        for (int i = 0; i < kBatch; ++i) {
            if (!pty.Port().Read(buffer, 1, 10))
                state.SkipWithError("read failed");
        }
        state.PauseTiming();
        calls += ce::HostCallCount() - before;
        bytes += kBatch;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
    state.counters["syscalls/byte"] = static_cast<double>(calls) / static_cast<double>(bytes);
}
BENCHMARK(BM_ReadOneByte)->UseRealTime();

// Bytes arriving while the port reads: a peer thread sends 64-byte pieces as fast as the pty
// takes them, so some reads find the queue empty and wait for the next piece.
void BM_ReadOneByteArriving(benchmark::State& state) {
    PtyPort pty;
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        const std::vector<unsigned char> piece(64, 0x31);
        pollfd pfd{pty.Master(), POLLOUT, 0};
        while (!stop.load()) {
            if (pty.Queued() > 2048) {
                std::this_thread::yield();
                continue;
            }
            if (poll(&pfd, 1, 10) > 0 && write(pty.Master(), piece.data(), piece.size()) < 0)
                break;
        }
    });
    const uint64_t before = ce::HostCallCount();
    char buffer[2];
    for (auto _ : state) {
        if (!pty.Port().Read(buffer, 1, 1000))
            state.SkipWithError("read failed");
    }
    const uint64_t calls = ce::HostCallCount() - before;
    stop = true;
    peer.join();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["syscalls/byte"] =
        static_cast<double>(calls) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadOneByteArriving)->UseRealTime();

} // namespace
