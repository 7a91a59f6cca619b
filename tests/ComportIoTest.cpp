// CComPort's Read, Write, FlushInput and IsInputEmpty on an in-memory line and a virtual
// clock, so that every time-out is exact and costs no real time.
#include "link/Comport.h"
#include "ce_clock.h"
#include "ce_memory_device.h"
#include "ce_namespace.h"
#include "ce_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

class ComportIo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_port.Open(6));
        m_device->ClearWritten();
        m_output = std::make_unique<ce::ScopedOutputCapture>();
        m_start = m_clock.NowMs();
    }
    void TearDown() override {
        m_output.reset();
        m_port.Close();
    }
    uint64_t Elapsed() const { return m_clock.NowMs() - m_start; }
    std::string Console() const { return m_output->Console(); }
    std::wstring Debug() const { return m_output->Debug(); }

    ce::ScopedVirtualClock m_clock{1000};
    std::shared_ptr<ce::MemoryDevice> m_device = std::make_shared<ce::MemoryDevice>();
    ce::ScopedDevice m_name{L"COM6:", m_device};
    CComPort m_port;
    std::unique_ptr<ce::ScopedOutputCapture> m_output;
    uint64_t m_start = 0;
};

TEST_F(ComportIo, ReadOfAWaitingByteReturnsAtOnceWithAZeroBehind) {
    m_device->Arrive({0x7E, 0x01});
    char buffer[4];
    std::memset(buffer, 0xAA, sizeof buffer);
    ASSERT_TRUE(m_port.Read(buffer, 1, 5000));
    EXPECT_EQ(static_cast<BYTE>(buffer[0]), 0x7E);
    EXPECT_EQ(buffer[1], '\0');
    EXPECT_EQ(Elapsed(), 0u);
    EXPECT_EQ(m_device->Waiting(), 1u); // one byte a read, the rest left waiting
    EXPECT_EQ(Console(), "");
}

TEST_F(ComportIo, ReadWithNothingArrivingFailsAfterItsTimeoutSilently) {
    for (DWORD timeout : {5000u, 10u, 1u}) {
        const uint64_t before = m_clock.NowMs();
        char buffer[2] = {'x', 'y'};
        EXPECT_FALSE(m_port.Read(buffer, 1, timeout));
        EXPECT_EQ(m_clock.NowMs() - before, timeout);
        EXPECT_EQ(buffer[0], 'x');
        EXPECT_EQ(buffer[1], 'y'); // no zero byte stored
    }
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(Debug(), L"");
}

TEST_F(ComportIo, ReadWakesWhenTheByteArrivesAndNotAfterItsDeadline) {
    m_device->ArriveAfter(1200, {0x42});
    char buffer[2];
    ASSERT_TRUE(m_port.Read(buffer, 1, 5000));
    EXPECT_EQ(Elapsed(), 1200u);

    m_device->ArriveAfter(11, {0x43});
    EXPECT_FALSE(m_port.Read(buffer, 1, 10));
    EXPECT_EQ(Elapsed(), 1210u);
    ASSERT_TRUE(m_port.Read(buffer, 1, 10)); // due one millisecond later
    EXPECT_EQ(static_cast<BYTE>(buffer[0]), 0x43);
    EXPECT_EQ(Elapsed(), 1211u);
}

// Each byte of a longer read has its own time-out; what came before a failure stays.
TEST_F(ComportIo, EveryByteOfAReadWaitsAfresh) {
    m_device->ArriveAfter(8, {'a'});
    m_device->ArriveAfter(16, {'b'});
    m_device->ArriveAfter(24, {'c'});
    char buffer[4];
    ASSERT_TRUE(m_port.Read(buffer, 3, 10));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(Elapsed(), 24u);

    m_device->ArriveAfter(5, {'d'});
    m_device->ArriveAfter(5 + 11, {'e'});
    std::memset(buffer, 0, sizeof buffer);
    EXPECT_FALSE(m_port.Read(buffer, 2, 10));
    EXPECT_EQ(buffer[0], 'd');
    EXPECT_EQ(Elapsed(), 24u + 5 + 10);
}

struct FullCase {
    int count;
    bool result;
    const char* console;
    size_t consumed;
};

class ComportBufferFull : public ComportIo, public ::testing::WithParamInterface<FullCase> {};

TEST_P(ComportBufferFull, AtMost1022BytesInOneRead) {
    const FullCase& c = GetParam();
    m_device->Arrive(Bytes(1500, 0x31));
    std::vector<char> buffer(static_cast<size_t>(c.count) + 1, 'z');
    EXPECT_EQ(m_port.Read(buffer.data(), c.count, 10), c.result);
    EXPECT_EQ(Console(), c.console);
    EXPECT_EQ(1500 - m_device->Waiting(), c.consumed);
    if (c.result) {
        EXPECT_EQ(buffer[static_cast<size_t>(c.count)], '\0');
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ComportBufferFull,
    ::testing::Values(FullCase{1022, true, "", 1022},
                      FullCase{1023, false, "\nError: read buffer full\n", 1023},
                      FullCase{1400, false, "\nError: read buffer full\n", 1023}),
    [](const auto& info) { return std::to_string(info.param.count); });

TEST_F(ComportIo, FailedPlatformCallsInRead) {
    struct Case {
        ce::CommCall call;
        const char* console;
    };
    const Case cases[] = {
        {ce::CommCall::ReadFile, "\nError: ReadFile() failure\n"},
        {ce::CommCall::GetCommTimeouts, ""},
        {ce::CommCall::SetCommTimeouts, ""},
    };
    for (const Case& c : cases) {
        m_output->Clear();
        m_device->Arrive({0x7E});
        m_device->FailNext(c.call);
        char buffer[2];
        EXPECT_FALSE(m_port.Read(buffer, 1, 100));
        EXPECT_EQ(Console(), c.console);
        ASSERT_TRUE(m_port.Read(buffer, 1, 100)); // the port works on
    }
}

TEST_F(ComportIo, ReadOfNoBytesStoresOnlyTheZero) {
    m_device->Arrive({0x7E});
    char buffer[1] = {'x'};
    EXPECT_TRUE(m_port.Read(buffer, 0, 100));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(m_device->Waiting(), 1u);
    EXPECT_FALSE(m_port.Read(buffer, -1, 100));
}

TEST_F(ComportIo, WriteSendsEveryByteSilently) {
    const Bytes request = {0x7E, 0x01, 0x13, 0x02, 0x00, 0x7D, 0x5E, 0x9A, 0x7E};
    EXPECT_TRUE(m_port.Write(request.data(), static_cast<int>(request.size())));
    EXPECT_EQ(m_device->Written(), request);
    EXPECT_TRUE(m_port.WriteByte(0x55));
    EXPECT_EQ(m_device->Written().back(), 0x55);
    EXPECT_EQ(Debug(), L"");
    EXPECT_EQ(Console(), "");
}

TEST_F(ComportIo, WriteThatFailsOrComesOutShortIsAFailureWithTheDebuggerMessage) {
    const Bytes request(9, 0x11);
    m_device->FailNext(ce::CommCall::WriteFile, ERROR_WRITE_FAULT);
    EXPECT_FALSE(m_port.Write(request.data(), 9));
    EXPECT_EQ(Debug(), L"WriteFile() time out? expected: 9 bytes. Wrote 0!");

    // The platform reports success with 4 of 9 bytes after the write time-out (300 ms plus
    // the bytes' time on the line): the slave would get a cut request, so it is a failure.
    m_output->Clear();
    m_device->ShortNextWrite(4);
    const uint64_t before = m_clock.NowMs();
    EXPECT_FALSE(m_port.Write(request.data(), 9));
    EXPECT_EQ(Debug(), L"WriteFile() time out? expected: 9 bytes. Wrote 4!");
    EXPECT_EQ(m_clock.NowMs() - before, 300u);
    EXPECT_EQ(m_device->Written().size(), 4u);

    m_output->Clear();
    EXPECT_FALSE(m_port.Write(request.data(), -1));
    EXPECT_EQ(Debug(), L"WriteFile() time out? expected: -1 bytes. Wrote 0!");
    EXPECT_EQ(m_device->Written().size(), 4u);

    m_output->Clear();
    m_device->FailNext(ce::CommCall::WriteFile);
    EXPECT_FALSE(m_port.WriteByte(0x55));
    EXPECT_EQ(Debug(), L"");
}

TEST_F(ComportIo, FlushInputOnAnEmptyQueueReadsNothing) {
    // A read would fail loudly; the drain must not make one.
    m_device->FailNext(ce::CommCall::ReadFile);
    EXPECT_TRUE(m_port.IsInputEmpty());
    EXPECT_TRUE(m_port.FlushInput());
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(Elapsed(), 0u);
    char buffer[2];
    m_device->Arrive({1});
    EXPECT_FALSE(m_port.Read(buffer, 1, 10)); // the armed failure was still there
}

TEST_F(ComportIo, FlushInputDiscardsWhatWaitsAndNotWhatIsStillToCome) {
    m_device->Arrive(Bytes(300, 0x7E));
    m_device->ArriveAfter(50, {0x01});
    EXPECT_FALSE(m_port.IsInputEmpty());
    EXPECT_TRUE(m_port.FlushInput());
    EXPECT_EQ(m_device->Waiting(), 0u);
    EXPECT_EQ(m_device->Due(), 1u);
    EXPECT_TRUE(m_port.IsInputEmpty());
}

TEST_F(ComportIo, FlushInputGivesUpOnAPeerThatNeverStops) {
    m_device->Arrive(Bytes(10000, 0x55));
    EXPECT_FALSE(m_port.FlushInput());
    EXPECT_EQ(m_device->Waiting(), 10000u - COMPORT_FLUSH_MAX_READS);
    EXPECT_EQ(Console(), "");

    // A queue that reports bytes that cannot be read ends the same way, not in a loop.
    m_device->FailNext(ce::CommCall::ReadFile, ERROR_READ_FAULT, 100000);
    EXPECT_FALSE(m_port.FlushInput());
    m_device->FailNext(ce::CommCall::ReadFile, ERROR_READ_FAULT, 0);
    EXPECT_EQ(m_device->Waiting(), 10000u - COMPORT_FLUSH_MAX_READS);
}

// The scripted peer answers each write; the reply comes in two pieces with a pause, as the
// link will read it: the opening flag with a long time-out, the rest 10 ms apart.
TEST_F(ComportIo, PeerAnswersEveryWriteOnTheClock) {
    std::vector<Bytes> requests;
    m_device->SetPeer([&](ce::MemoryDevice& line, const Bytes& written) {
        requests.push_back(written);
        if (written.size() > 1) {
            line.ArriveAfter(3, {0x7E, 0x01});
            line.ArriveAfter(3 + 8, {0x13, 0x7E});
        }
    });
    const Bytes request = {0x7E, 0x01, 0x13, 0x7E};
    ASSERT_TRUE(m_port.Write(request.data(), 4));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], request);

    char buffer[2];
    Bytes reply;
    ASSERT_TRUE(m_port.Read(buffer, 1, 5000));
    EXPECT_EQ(Elapsed(), 3u);
    reply.push_back(static_cast<BYTE>(buffer[0]));
    while (m_port.Read(buffer, 1, 10))
        reply.push_back(static_cast<BYTE>(buffer[0]));
    EXPECT_EQ(reply, request);
    EXPECT_EQ(Elapsed(), 3u + 8 + 10); // the pause fits in 10 ms; the silence after does not

    // A peer that stays silent: the first read waits its whole time-out.
    ASSERT_TRUE(m_port.WriteByte(0x00));
    EXPECT_FALSE(m_port.Read(buffer, 1, 5000));
    EXPECT_EQ(Elapsed(), 3u + 8 + 10 + 5000);
}

TEST(ComportClock, SleepAndTickCountFollowTheVirtualClock) {
    ce::ScopedVirtualClock clock(5);
    EXPECT_EQ(GetTickCount(), 5u);
    Sleep(2000);
    EXPECT_EQ(GetTickCount(), 2005u);
    {
        ce::ScopedVirtualClock inner;
        Sleep(10);
        EXPECT_EQ(GetTickCount(), 10u);
    }
    EXPECT_EQ(GetTickCount(), 2005u);
}

} // namespace
