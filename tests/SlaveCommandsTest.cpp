// The slave commands on the wire and what each makes of the slave's answer.
#include "tests/StackSupport.h"

#include "protocol/ResultCodes.h"

namespace {

using wire::Bytes;

class SlaveCommandsTest : public StackTest {
protected:
    void SetUp() override {
        StackTest::SetUp();
        protocol = CSlaveProtocol::GetProtocol();
        ASSERT_NE(protocol, nullptr);
    }

    // The request the slave saw, without flags and FCS, unescaped.
    Bytes LastRequestBody() {
        Bytes written = device->Written();
        Bytes body;
        for (size_t i = 1; i + 1 < written.size(); ++i) {
            if (written[i] == 0x7D) {
                body.push_back(static_cast<BYTE>(written[++i] ^ 0x20));
            } else {
                body.push_back(written[i]);
            }
        }
        body.resize(body.size() - 2); // FCS
        return body;
    }

    CSlaveProtocol* protocol = nullptr;
};

Bytes Block(size_t size, BYTE first) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<BYTE>(first + i);
    return data;
}

TEST_F(SlaveCommandsTest, ProgramRequestsForOdAndStepper) {
    AnswerWith(wire::WithBlock(0x14, {0x04, 0x02, 0x00, 0x00}));
    Bytes stepperData = Block(128, 0x00);
    EXPECT_EQ(protocol->Program(0x14, 0x0100, stepperData.data(), 128), ERR_OK);
    Bytes expected = {0x14, 0x13, 0x02, 0x00, 0x84, 0x04, 0x82, 0x01, 0x00};
    expected.insert(expected.end(), stepperData.begin(), stepperData.end());
    EXPECT_EQ(LastRequestBody(), expected); // the 138-byte request less its opening flag
    EXPECT_EQ(device->Written(), wire::Frame(expected));

    device->ClearWritten();
    AnswerWith(wire::WithBlock(0x01, {0x04, 0x02, 0x00, 0x00}));
    Bytes odData = Block(64, 0x40);
    EXPECT_EQ(protocol->Program(0x01, 0x0040, odData.data(), 64), ERR_OK);
    Bytes od = LastRequestBody();
    ASSERT_EQ(od.size(), 73u);
    EXPECT_EQ(od[4], 0x44);
    EXPECT_EQ(od[5], 0x04);
    EXPECT_EQ(od[6], 0x42);
    EXPECT_EQ(od[7], 0x00);
    EXPECT_EQ(od[8], 0x40);
}

// A block of nothing but flag and escape bytes doubles on the wire and still goes out whole.
TEST_F(SlaveCommandsTest, ProgramBlockThatEscapesPastTheUsualFrameSize) {
    AnswerWith(wire::WithBlock(0x14, {0x04, 0x02, 0x00, 0x00}));
    Bytes data(128);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (i % 3) ? 0x7E : 0x7D;
    EXPECT_EQ(protocol->Program(0x14, 0x7E7D, data.data(), 128), ERR_OK);
    Bytes body = {0x14, 0x13, 0x02, 0x00, 0x84, 0x04, 0x82, 0x7E, 0x7D};
    body.insert(body.end(), data.begin(), data.end());
    Bytes wireFrame = wire::Frame(body);
    EXPECT_GT(wireFrame.size(), 255u);
    EXPECT_EQ(device->Written(), wireFrame);
}

// A reply whose block is one parameter with a one-byte value, and whose FCS low byte (which a
// word reader takes behind that value) is `fcsLow`: the header's type and sub-type bytes, which
// no one reads, are varied until it is.
Bytes OneByteAnswer(BYTE id, BYTE value, BYTE fcsLow) {
    for (unsigned header = 0; header < 0x10000; ++header) {
        const Bytes body = {0x01, 0x13, HIBYTE(header), LOBYTE(header), 0x03, id, 0x01, value};
        if (LOBYTE(wire::Fcs16Bitwise(body)) == fcsLow)
            return wire::Frame(body);
    }
    return {};
}

TEST_F(SlaveCommandsTest, AnswersAndTheirResults) {
    Bytes data = Block(64, 0);
    struct Case {
        const char* what;
        Bytes reply;
        std::function<DWORD(CSlaveProtocol*)> call;
        DWORD result;
    };
    const Case cases[] = {
        {"Erase answered 0", wire::WithBlock(1, {0x03, 0x02, 0x00, 0x00}),
         [](CSlaveProtocol* p) { return p->Erase(1, 0); }, ERR_OK},
        {"Erase answered 1", wire::WithBlock(1, {0x03, 0x02, 0x00, 0x01}),
         [](CSlaveProtocol* p) { return p->Erase(1, 0); }, ERR_NO_REPLY},
        {"Erase answered without parameter 3", wire::WithBlock(1, {0x04, 0x02, 0x00, 0x00}),
         [](CSlaveProtocol* p) { return p->Erase(1, 0); }, ERR_PARAM_NOT_FOUND},
        {"Program answered FFFF", wire::WithBlock(1, {0x04, 0x02, 0xFF, 0xFF}),
         [&data](CSlaveProtocol* p) { return p->Program(1, 0, data.data(), 64); }, ERR_OK},
        // A one-byte answer is no word; the FCS byte behind it, 0 here, must not make it 0.
        {"Erase answered with one byte", OneByteAnswer(0x03, 0x00, 0x00),
         [](CSlaveProtocol* p) { return p->Erase(1, 0); }, ERR_BAD_REPLY},
        {"Program answered with one byte", wire::WithBlock(1, {0x04, 0x01, 0x00}),
         [&data](CSlaveProtocol* p) { return p->Program(1, 0, data.data(), 64); }, ERR_OK},
        // Parameter 4 in the last two bytes of the block passes the structure check unexamined,
        // so Program's own reader finds it empty.
        {"Program answered with an empty parameter",
         wire::WithBlock(1, {0x02, 0x01, 0x05, 0x04, 0x00}),
         [&data](CSlaveProtocol* p) { return p->Program(1, 0, data.data(), 64); }, ERR_BAD_REPLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AnswerWith(c.reply);
        EXPECT_EQ(c.call(protocol), c.result);
    }
}

TEST_F(SlaveCommandsTest, EraseSendsTheStartBigEndian) {
    AnswerWith(wire::WithBlock(0x1C, {0x03, 0x02, 0x00, 0x00}));
    EXPECT_EQ(protocol->Erase(0x1C, 0x0100), ERR_OK);
    EXPECT_EQ(device->Written(),
              wire::Frame({0x1C, 0x13, 0x02, 0x00, 0x04, 0x03, 0x02, 0x01, 0x00}));
}

TEST_F(SlaveCommandsTest, GetStatusWritesTheByteOnlyWhenItIsThere) {
    AnswerWith(wire::WithBlock(0x15, {0x02, 0x01, 0x05}));
    BYTE status = 0xAA;
    EXPECT_EQ(protocol->GetStatus(0x15, &status), ERR_OK);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(device->Written(), wire::Frame({0x15, 0x13, 0x02, 0x00, 0x02, 0x02, 0x00}));

    AnswerWith(wire::WithBlock(0x15, {0x03, 0x02, 0x00, 0x00}));
    status = 0xAA;
    EXPECT_EQ(protocol->GetStatus(0x15, &status), ERR_PARAM_NOT_FOUND);
    EXPECT_EQ(status, 0xAA);

    device->SetPeer(nullptr); // silent
    EXPECT_EQ(protocol->GetStatus(0x15, &status), ERR_REPLY_TIMEOUT);
    EXPECT_EQ(status, 0xAA);
}

TEST_F(SlaveCommandsTest, ResetWritesOnceAndWaitsForNothing) {
    uint64_t before = clock.NowMs();
    EXPECT_EQ(protocol->Reset(0x18), ERR_OK);
    EXPECT_EQ(clock.NowMs(), before);
    EXPECT_EQ(device->WriteCount(), 1u);
    EXPECT_EQ(device->Written(), wire::Frame({0x18, 0x13, 0x02, 0x00, 0x02, 0x01, 0x00}));
}

TEST_F(SlaveCommandsTest, ReadDataCopiesOnlyWhatFits) {
    AnswerWith(wire::WithBlock(0x01, {0x00, 0x04, 0xDE, 0xAD, 0xBE, 0xEF}));
    BYTE buffer[4] = {};
    EXPECT_EQ(protocol->ReadData(0x01, buffer, 4), ERR_OK);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(device->Written(), wire::Frame({0x01, 0x13, 0x02, 0x00, 0x02, 0x00, 0x00}));

    BYTE small[3] = {1, 2, 3};
    EXPECT_EQ(protocol->ReadData(0x01, small, 3), ERR_BAD_ARGUMENT);
    EXPECT_EQ(Bytes(small, small + 3), (Bytes{1, 2, 3}));
}

} // namespace
