// The slave link and the transport above it: time-outs, cut-off and long replies, drains,
// attempts, ownership and the creation of the process-wide layers.
#include "tests/StackSupport.h"

#include "protocol/ResultCodes.h"

#include <chrono>
#include <future>

namespace {

using wire::Bytes;

// GetStatus to slave 1: 7E 01 13 02 00 02 02 00 E8 CD 7E.
std::unique_ptr<CFrame> StatusRequest() {
    auto request = std::make_unique<CFrame>(2, 0x01, 0);
    request->AddParam(2);
    return request;
}

std::unique_ptr<CFrame> FinishedStatusRequest() {
    auto request = StatusRequest();
    request->SetControl(0x13);
    request->AppendFcs();
    request->Escape();
    return request;
}

const Bytes kStatusOk = wire::WithBlock(0x01, {0x02, 0x01, 0x00});

// The lock is free when another thread can take it: a held lock would block it.
bool LinkLockIsFree(CSlaveLink* link) {
    auto other = std::async(std::launch::async, [link] {
        auto request = FinishedStatusRequest();
        return link->Write(request.get());
    });
    return other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

using SlaveLinkTest = StackTest;

TEST_F(SlaveLinkTest, SilentSlaveTimesOutAndLeavesTheLockFree) {
    CSlaveLink* link = CSlaveLink::GetLink();
    ASSERT_NE(link, nullptr);
    auto request = FinishedStatusRequest();
    CFrame* reply = reinterpret_cast<CFrame*>(1);
    uint64_t before = clock.NowMs();
    EXPECT_EQ(link->Exchange(request.get(), &reply), ERR_REPLY_TIMEOUT);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(clock.NowMs() - before, 5000u);
    EXPECT_EQ(device->Written(), FinishedBytes(*request));
    EXPECT_TRUE(LinkLockIsFree(link));
}

TEST_F(SlaveLinkTest, BytesBeforeTheFlagAreSkippedEachWithAFreshWait) {
    CSlaveLink* link = CSlaveLink::GetLink();
    device->SetPeer([](ce::MemoryDevice& line, const Bytes&) {
        line.ArriveAfter(4000, {0x00});
        line.ArriveAfter(8000, {0x55});
        line.ArriveAfter(12000, kStatusOk);
    });
    auto request = FinishedStatusRequest();
    CFrame* reply = nullptr;
    ASSERT_EQ(link->Exchange(request.get(), &reply), ERR_OK);
    std::unique_ptr<CFrame> owned(reply);
    EXPECT_EQ(FinishedBytes(*reply), Bytes(kStatusOk.begin(), kStatusOk.end() - 1));
}

TEST_F(SlaveLinkTest, ReplyShapes) {
    struct Case {
        const char* what;
        Bytes arrives;
        DWORD result;
        Bytes frame; // valid bytes of the reply frame on ERR_OK
    };
    Bytes open255(255, 0x41);
    open255[0] = 0x7E;
    const Case cases[] = {
        {"stops after its flag", {0x7E}, ERR_NO_REPLY, {}},
        {"stops in the middle", {0x7E, 0x01, 0x13}, ERR_NO_REPLY, {}},
        // the second of two flags opens the frame, and nothing follows it
        {"two flags", {0x7E, 0x7E}, ERR_NO_REPLY, {}},
        {"two flags, then a reply", {0x7E, 0x7E, 0x01, 0x13, 0x7E}, ERR_OK, {0x7E, 0x01, 0x13}},
        {"255 bytes without a closing flag", open255, ERR_OK,
         Bytes(open255.begin(), open255.end() - 1)},
    };
    CSlaveLink* link = CSlaveLink::GetLink();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        device->SetPeer(
            [&c](ce::MemoryDevice& line, const Bytes&) { line.ArriveAfter(2, c.arrives); });
        auto request = FinishedStatusRequest();
        CFrame* reply = nullptr;
        EXPECT_EQ(link->Exchange(request.get(), &reply), c.result);
        std::unique_ptr<CFrame> owned(reply);
        if (c.result == ERR_OK) {
            ASSERT_NE(reply, nullptr);
            EXPECT_EQ(FinishedBytes(*reply), c.frame);
        } else {
            EXPECT_EQ(reply, nullptr);
        }
    }
}

// Whatever follows a reply (the rest of an over-long one, late bytes) is drained by the next
// operation before its request goes out, so it cannot pass for the next reply.
TEST_F(SlaveLinkTest, LeftoverBytesAreDrainedBeforeTheNextRequest) {
    CSlaveLink* link = CSlaveLink::GetLink();
    Bytes longReply(300, 0x41);
    longReply[0] = 0x7E;
    device->SetPeer([&](ce::MemoryDevice& line, const Bytes&) { line.ArriveAfter(1, longReply); });
    auto first = FinishedStatusRequest();
    CFrame* reply = nullptr;
    ASSERT_EQ(link->Exchange(first.get(), &reply), ERR_OK);
    delete reply;
    EXPECT_EQ(device->Waiting(), 45u);

    device->SetPeer([](ce::MemoryDevice& line, const Bytes&) {
        line.ArriveAfter(1, kStatusOk);
        line.ArriveAfter(3, {0x7E, 0x99, 0x7E}); // late noise
    });
    auto second = FinishedStatusRequest();
    ASSERT_EQ(link->Exchange(second.get(), &reply), ERR_OK);
    delete reply;
    EXPECT_EQ(device->Waiting(), 0u);
    clock.Advance(10);
    EXPECT_EQ(device->Waiting(), 3u);
    auto write = FinishedStatusRequest();
    EXPECT_EQ(link->Write(write.get()), ERR_OK);
    EXPECT_EQ(device->Waiting(), 0u);
}

TEST_F(SlaveLinkTest, FailedWriteReadsNothing) {
    CSlaveLink* link = CSlaveLink::GetLink();
    AnswerWith(kStatusOk);
    device->FailNext(ce::CommCall::WriteFile);
    auto request = FinishedStatusRequest();
    CFrame* reply = nullptr;
    uint64_t before = clock.NowMs();
    EXPECT_EQ(link->Exchange(request.get(), &reply), ERR_WRITE);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(clock.NowMs(), before);

    device->ShortNextWrite(3);
    auto again = FinishedStatusRequest();
    EXPECT_EQ(link->Exchange(again.get(), &reply), ERR_WRITE);
    EXPECT_EQ(reply, nullptr);
    EXPECT_TRUE(LinkLockIsFree(link));
}

// A line that never stops sending cannot hold a drain forever.
TEST_F(SlaveLinkTest, EndlessInputGivesUpTheDrain) {
    CSlaveLink* link = CSlaveLink::GetLink();
    device->Arrive(Bytes(6000, 0x55));
    auto request = FinishedStatusRequest();
    CFrame* reply = nullptr;
    EXPECT_EQ(link->Exchange(request.get(), &reply), ERR_NO_REPLY);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(device->WriteCount(), 0u);
    device->Arrive(Bytes(6000, 0x55));
    auto write = FinishedStatusRequest();
    EXPECT_EQ(link->Write(write.get()), ERR_NO_REPLY);
    EXPECT_TRUE(LinkLockIsFree(link));
}

// Noise without a flag ends as no reply instead of keeping the exchange for as long as it lasts.
TEST_F(SlaveLinkTest, BabbleWithoutAFlagEnds) {
    CSlaveLink* link = CSlaveLink::GetLink();
    device->SetPeer([](ce::MemoryDevice& line, const Bytes&) {
        for (int ms = 1; ms <= 20000; ++ms)
            line.ArriveAfter(ms, Bytes(10, 0x55));
    });
    auto request = FinishedStatusRequest();
    CFrame* reply = nullptr;
    EXPECT_EQ(link->Exchange(request.get(), &reply), ERR_REPLY_TIMEOUT);
    EXPECT_EQ(reply, nullptr);
    EXPECT_LT(clock.NowMs(), 1000u);
    EXPECT_GT(device->Due(), 0u);
}

// A stray byte just before each wait would run out restarts it every time; the wait for the
// opening flag still ends, within three waits' time.
TEST_F(SlaveLinkTest, StrayBytesCannotStretchTheWaitForAFlag) {
    CSlaveLink* link = CSlaveLink::GetLink();
    device->SetPeer([](ce::MemoryDevice& line, const Bytes&) {
        for (int ms = 4900; ms <= 60000; ms += 4900)
            line.ArriveAfter(ms, {0x55});
    });
    auto request = FinishedStatusRequest();
    CFrame* reply = nullptr;
    const uint64_t before = clock.NowMs();
    EXPECT_EQ(link->Exchange(request.get(), &reply), ERR_REPLY_TIMEOUT);
    EXPECT_EQ(reply, nullptr);
    EXPECT_GE(clock.NowMs() - before, 15000u);
    EXPECT_LT(clock.NowMs() - before, 20000u);
}

TEST_F(SlaveLinkTest, LayersAreMadeOnceAndRetriedWhileThePortIsMissing) {
    com6.reset(); // no COM6: at all
    EXPECT_EQ(CSlaveLink::GetLink(), nullptr);
    EXPECT_EQ(g_slaveLink, nullptr);
    EXPECT_EQ(g_comPort, nullptr);
    EXPECT_EQ(CFrameTransport::GetTransport(), nullptr);
    EXPECT_EQ(g_frameTransport, nullptr);
    EXPECT_EQ(CSlaveProtocol::GetProtocol(), nullptr);
    EXPECT_EQ(g_slaveProtocol, nullptr);

    com6 = std::make_unique<ce::ScopedDevice>(L"COM6:", device);
    CSlaveProtocol* protocol = CSlaveProtocol::GetProtocol();
    ASSERT_NE(protocol, nullptr);
    EXPECT_NE(g_frameTransport, nullptr);
    EXPECT_NE(g_slaveLink, nullptr);
    EXPECT_EQ(device->OpenCount(), 1u);
    EXPECT_EQ(CSlaveProtocol::GetProtocol(), protocol);
    EXPECT_EQ(CFrameTransport::GetTransport(), g_frameTransport);
    EXPECT_EQ(device->OpenCount(), 1u);
    EXPECT_EQ(device->State().BaudRate, 115200u);

    AnswerWith(kStatusOk);
    BYTE status = 0xAA;
    EXPECT_EQ(protocol->GetStatus(1, &status), ERR_OK);
    EXPECT_EQ(status, 0);
}

// A port that opens but cannot be set up is closed again and the next call starts over.
TEST_F(SlaveLinkTest, PortThatFailsToOpenIsReleased) {
    device->FailNext(ce::CommCall::SetCommState);
    EXPECT_EQ(CSlaveLink::GetLink(), nullptr);
    EXPECT_EQ(g_comPort, nullptr);
    EXPECT_FALSE(device->IsOpen());
    EXPECT_NE(CSlaveLink::GetLink(), nullptr);
    EXPECT_EQ(device->OpenCount(), 2u);
}

using TransportTest = StackTest;

TEST_F(TransportTest, SilentSlaveGetsThreeIdenticalAttempts) {
    CFrameTransport* transport = CFrameTransport::GetTransport();
    ASSERT_NE(transport, nullptr);
    auto request = StatusRequest();
    CFrame* reply = nullptr;
    EXPECT_EQ(transport->Transact(request.get(), &reply), ERR_REPLY_TIMEOUT);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(clock.NowMs(), 15000u);
    const Bytes one = {0x7E, 0x01, 0x13, 0x02, 0x00, 0x02, 0x02, 0x00, 0xE8, 0xCD, 0x7E};
    Bytes three;
    for (int i = 0; i < 3; ++i)
        three.insert(three.end(), one.begin(), one.end());
    EXPECT_EQ(device->Written(), three);
    EXPECT_EQ(device->WriteCount(), 3u);
}

TEST_F(TransportTest, AttemptsStopAtTheFirstGoodReply) {
    Bytes badFcs = kStatusOk;
    badFcs[badFcs.size() - 2] ^= 0x01;
    const Bytes empty = wire::WithBlock(0x01, {0x02, 0x01, 0x00}, 0);
    struct Case {
        const char* what;
        std::vector<Bytes> replies; // one per attempt
        DWORD result;
        size_t writes;
        bool replyLeft;
    };
    const Case cases[] = {
        {"good at once", {kStatusOk}, ERR_OK, 1, true},
        {"bad FCS then good", {badFcs, kStatusOk}, ERR_OK, 2, true},
        {"cut off then good", {{0x7E, 0x01}, kStatusOk}, ERR_OK, 2, true},
        {"three bad FCS", {badFcs, badFcs, badFcs}, ERR_FCS, 3, true},
        {"three empty blocks", {empty, empty, empty}, ERR_EMPTY_REPLY, 3, true},
        {"bad, bad, silent", {badFcs, badFcs, {}}, ERR_REPLY_TIMEOUT, 3, false},
    };
    CFrameTransport* transport = CFrameTransport::GetTransport();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        device->ClearWritten();
        size_t attempt = 0;
        device->SetPeer([&](ce::MemoryDevice& line, const Bytes&) {
            if (attempt < c.replies.size() && !c.replies[attempt].empty())
                line.ArriveAfter(2, c.replies[attempt]);
            ++attempt;
        });
        auto request = StatusRequest();
        CFrame* reply = nullptr;
        EXPECT_EQ(transport->Transact(request.get(), &reply), c.result);
        EXPECT_EQ(device->WriteCount(), c.writes);
        EXPECT_EQ(reply != nullptr, c.replyLeft);
        delete reply;
    }
}

// A reply cut off for longer than the link waits fails its attempt; its tail, closing flag
// included, arrives while the next attempt waits, and must not spoil that attempt's reply.
TEST_F(TransportTest, TheTailOfACutOffReplyDoesNotSpoilTheNextAttempt) {
    CFrameTransport* transport = CFrameTransport::GetTransport();
    size_t attempt = 0;
    device->SetPeer([&](ce::MemoryDevice& line, const Bytes&) {
        if (attempt++ == 0) {
            line.ArriveAfter(1, Bytes(kStatusOk.begin(), kStatusOk.begin() + 3));
            line.ArriveAfter(30, Bytes(kStatusOk.begin() + 3, kStatusOk.end()));
            line.ArriveAfter(31, kStatusOk);
        }
    });
    auto request = StatusRequest();
    CFrame* reply = nullptr;
    EXPECT_EQ(transport->Transact(request.get(), &reply), ERR_OK);
    std::unique_ptr<CFrame> owned(reply);
    EXPECT_EQ(device->WriteCount(), 2u);
    BYTE status = 0xAA;
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->GetParamByte(2, 1, &status), ERR_OK);
    EXPECT_EQ(status, 0);
}

TEST_F(TransportTest, SendWritesOnceAndReadsNothing) {
    CFrameTransport* transport = CFrameTransport::GetTransport();
    AnswerWith(kStatusOk);
    CFrame request(2, 0x14, 0);
    request.AddParam(1);
    uint64_t before = clock.NowMs();
    EXPECT_EQ(transport->Send(&request), ERR_OK);
    EXPECT_EQ(clock.NowMs(), before);
    EXPECT_EQ(device->WriteCount(), 1u);
    EXPECT_EQ(device->Written(),
              (Bytes{0x7E, 0x14, 0x13, 0x02, 0x00, 0x02, 0x01, 0x00, 0xEA, 0xA2, 0x7E}));
    clock.Advance(5);
    EXPECT_EQ(device->Waiting(), kStatusOk.size());

    CFrame failing(2, 0x14, 0);
    failing.AddParam(1);
    device->FailNext(ce::CommCall::WriteFile);
    EXPECT_EQ(transport->Send(&failing), ERR_WRITE);
}

} // namespace
