// CComPort over a real pty with the real clock: time-outs kept to the millisecond, bytes that
// arrive during a wait, writes that reach the peer, a drain that costs one system call when
// there is nothing to drain, and a close that keeps what was written last.
#include "link/Comport.h"
#include "protocol/ResultCodes.h"
#include "protocol/SlaveProtocol.h"
#include "ce_clock.h"
#include "ce_device.h"
#include "ce_output.h"
#include "ComportSupport.h"
#include "WireSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

using comport_test::PortMapping;
using comport_test::Pty;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class ComportPty : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_port.Open(6)); }
    void TearDown() override { m_port.Close(); }

    Pty m_pty;
    PortMapping m_mapping{6, m_pty.Path()};
    CComPort m_port;
};

// Never early, and late by no more than a few milliseconds (the median of seven, so that one
// slow scheduling does not decide; the bound leaves room for a loaded machine running the
// sanitizer build, and bench_comport reports the figure itself).
TEST_F(ComportPty, TimeoutsHeldToTheMillisecond) {
    for (DWORD timeout : {10u, 100u}) {
        std::vector<double> elapsed;
        for (int i = 0; i < 7; ++i) {
            char buffer[2];
            const auto start = Clock::now();
            EXPECT_FALSE(m_port.Read(buffer, 1, timeout));
            elapsed.push_back(MsSince(start));
        }
        std::sort(elapsed.begin(), elapsed.end());
        EXPECT_GE(elapsed.front(), timeout - 0.05) << timeout;
        EXPECT_LE(elapsed[3], timeout + 15.0) << timeout;
        RecordProperty("median_ms_" + std::to_string(timeout), std::to_string(elapsed[3]));
    }
}

TEST_F(ComportPty, AByteArrivingDuringTheWaitEndsItAtOnce) {
    // Timed from before the peer starts: its 30 ms can only end after this start.
    const auto start = Clock::now();
    std::thread peer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        m_pty.Send({0x7E});
    });
    char buffer[2] = {0, 'x'};
    EXPECT_TRUE(m_port.Read(buffer, 1, 5000));
    const double ms = MsSince(start);
    peer.join();
    EXPECT_EQ(static_cast<BYTE>(buffer[0]), 0x7E);
    EXPECT_EQ(buffer[1], '\0');
    EXPECT_GE(ms, 29.0);
    EXPECT_LE(ms, 1000.0); // far from the 5000 ms it would take if the byte were not noticed
}

TEST_F(ComportPty, WaitingBytesAreReadOneAtATimeWithoutWaiting) {
    m_pty.Send({0x7E, 0x01, 0x13, 0x7E});
    char buffer[2];
    std::vector<BYTE> got;
    ASSERT_TRUE(m_port.Read(buffer, 1, 5000));
    got.push_back(static_cast<BYTE>(buffer[0]));
    const auto start = Clock::now();
    while (m_port.Read(buffer, 1, 100))
        got.push_back(static_cast<BYTE>(buffer[0]));
    EXPECT_EQ(got, (std::vector<BYTE>{0x7E, 0x01, 0x13, 0x7E}));
    // Three bytes at once, then one 100 ms time-out; waiting out each byte's time-out would
    // take 400 ms.
    EXPECT_LT(MsSince(start), 250.0);
}

TEST_F(ComportPty, WriteReachesThePeer) {
    const std::vector<BYTE> request = {0x7E, 0x14, 0x13, 0x02, 0x00, 0x7D, 0x5D, 0x7E};
    ASSERT_TRUE(m_port.Write(request.data(), static_cast<int>(request.size())));
    EXPECT_EQ(m_pty.Receive(), request);
}

TEST_F(ComportPty, FlushInputOnAnEmptyQueueIsOneSystemCall) {
    const uint64_t before = ce::HostCallCount();
    EXPECT_TRUE(m_port.FlushInput());
    EXPECT_EQ(ce::HostCallCount() - before, 1u);
}

TEST_F(ComportPty, FlushInputDrainsWhatThePeerSent) {
    m_pty.Send(std::vector<unsigned char>(500, 0x55));
    for (int i = 0; i < 200 && m_pty.InputQueued() < 500; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(m_port.FlushInput());
    EXPECT_EQ(m_pty.InputQueued(), 0);
}

// On the virtual clock a pty's time-outs cost no real time: nothing can arrive while the
// test's only thread waits, so the clock jumps to the deadline.
TEST(ComportPtyVirtual, ReadWithNothingArrivingFailsAfterItsTimeoutSilently) {
    Pty pty;
    PortMapping mapping(6, pty.Path());
    ce::ScopedVirtualClock clock;
    CComPort port;
    ASSERT_TRUE(port.Open(6));
    ce::ScopedOutputCapture output;
    char buffer[2] = {'x', 'y'};
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 1, 5000));
    EXPECT_EQ(clock.NowMs(), 5000u);
    EXPECT_LT(MsSince(start), 1000.0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(buffer[1], 'y');
    EXPECT_EQ(output.Console(), "");
    port.Close();
}

TEST(ComportPtyVirtual, ReadBufferFullAt1023Bytes) {
    for (int count : {1022, 1023}) {
        Pty pty;
        PortMapping mapping(6, pty.Path());
        CComPort port;
        ASSERT_TRUE(port.Open(6));
        pty.Send(std::vector<unsigned char>(1100, 0x31));
        for (int i = 0; i < 200 && pty.InputQueued() < 1100; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(pty.InputQueued(), 1100);
        ce::ScopedVirtualClock clock;
        ce::ScopedOutputCapture output;
        std::vector<char> buffer(static_cast<size_t>(count) + 1);
        EXPECT_EQ(port.Read(buffer.data(), count, 10), count == 1022 ? TRUE : FALSE);
        EXPECT_EQ(output.Console(), count == 1022 ? "" : "\nError: read buffer full\n");
        EXPECT_EQ(pty.InputQueued(), 1100 - count);
        port.Close();
    }
}

// A peer that reads nothing fills the pty; the write runs out of time part-way. That is a
// failure with the debugger message. The close that follows neither waits for the peer nor
// throws away what the pty took: the peer still reads every byte written.
TEST(ComportPtyVirtual, ShortWriteFailsAndCloseDoesNotWait) {
    Pty pty;
    PortMapping mapping(6, pty.Path());
    CComPort port;
    ASSERT_TRUE(port.Open(6));
    ce::ScopedVirtualClock clock;
    ce::ScopedOutputCapture output;
    const std::vector<BYTE> block(1 << 20, 0x55);
    EXPECT_FALSE(port.Write(block.data(), static_cast<int>(block.size())));
    const std::wstring message = output.Debug();
    const std::wstring start = L"WriteFile() time out? expected: 1048576 bytes. Wrote ";
    ASSERT_EQ(message.rfind(start, 0), 0u) << std::string(message.begin(), message.end());
    const size_t wrote = std::wcstoul(message.c_str() + start.size(), nullptr, 10);
    EXPECT_GT(wrote, 0u);
    EXPECT_LT(wrote, 1048576u);
    // 1 MiB at 115200 baud is 91 s on the line, plus 300 ms.
    EXPECT_EQ(clock.NowMs(), 1048576ull * 10 * 1000 / 115200 + 300);
    const auto closing = Clock::now();
    EXPECT_TRUE(port.Close());
    EXPECT_LT(MsSince(closing), 1000.0); // a close that waited for the drain would take 91 s
    EXPECT_EQ(pty.Receive().size(), wrote);
}

// The Reset that starts the slave's new firmware is the program's last request, and the port
// is closed by the exit (the handle table's), not by the program. A peer that reads it only
// after that (20 ms late, and not before the program has gone) must still get it, every time.
TEST(ComportPtyExit, ResetJustBeforeTheExitArrives) {
    Pty pty;
    PortMapping mapping(6, pty.Path());
    const wire::Bytes reset = wire::Frame({0x14, 0x13, 0x02, 0x00, 0x02, 0x01, 0x00});
    int arrived = 0;
    for (int run = 0; run < 50; ++run) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CSlaveProtocol* protocol = CSlaveProtocol::GetProtocol();
            std::exit(protocol && protocol->Reset(0x14) == ERR_OK ? 0 : 1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run;
        arrived += pty.Receive() == reset ? 1 : 0;
    }
    EXPECT_EQ(arrived, 50);
}

// The peer has gone (the master end closed): reads report the failure instead of waiting.
TEST(ComportPtyHangup, ReadAfterThePeerHasGoneFails) {
    auto pty = std::make_unique<Pty>();
    PortMapping mapping(6, pty->Path());
    CComPort port;
    ASSERT_TRUE(port.Open(6));
    pty->CloseMaster();
    char buffer[2];
    ce::ScopedOutputCapture output;
    const auto start = Clock::now();
    EXPECT_FALSE(port.Read(buffer, 1, 5000));
    EXPECT_LT(MsSince(start), 1000.0);
    EXPECT_EQ(output.Console(), "\nError: ReadFile() failure\n");
    port.Close();
}

} // namespace
