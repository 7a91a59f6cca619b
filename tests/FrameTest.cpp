// The slave frame: requests byte for byte on the wire, replies unescaped, checked and read.
#include "protocol/Frame.h"
#include "protocol/ResultCodes.h"
#include "tests/WireSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

namespace {

using wire::Bytes;

Bytes WireBytes(const CFrame& frame) {
    UINT count = 0;
    EXPECT_EQ(frame.GetByteCount(&count), ERR_OK);
    Bytes out(count);
    EXPECT_EQ(frame.CopyBytes(out.data()), ERR_OK);
    return out;
}

UINT CountOf(const CFrame& frame) {
    UINT count = 0;
    frame.GetByteCount(&count);
    return count;
}

// A request of type 2, sub-type 0, finished as the transport finishes it.
Bytes Request(BYTE address, const std::function<void(CFrame&)>& add) {
    CFrame frame(2, address, 0);
    add(frame);
    frame.SetControl(0x13);
    EXPECT_EQ(frame.AppendFcs(), ERR_OK);
    EXPECT_EQ(frame.Escape(), ERR_OK);
    return WireBytes(frame);
}

Bytes ReplyWire(const Bytes& block, BYTE declared) {
    return wire::WithBlock(0x01, block, declared);
}

Bytes ReplyWire(const Bytes& block) {
    return wire::WithBlock(0x01, block);
}

// A reply constructed and FCS-checked, as the transport hands it to a command.
struct CheckedReply {
    explicit CheckedReply(const Bytes& wire) : frame(wire.data(), static_cast<UINT>(wire.size())) {
        fcs = frame.CheckFcs();
    }
    CFrame frame;
    DWORD fcs;
};

TEST(FrameRequest, FinishedFramesAreExactOnTheWire) {
    EXPECT_EQ(Request(0x01, [](CFrame& f) { f.AddParam(2); }),
              (Bytes{0x7E, 0x01, 0x13, 0x02, 0x00, 0x02, 0x02, 0x00, 0xE8, 0xCD, 0x7E}));
    EXPECT_EQ(Request(0x14, [](CFrame& f) { f.AddParam(1); }),
              (Bytes{0x7E, 0x14, 0x13, 0x02, 0x00, 0x02, 0x01, 0x00, 0xEA, 0xA2, 0x7E}));
    EXPECT_EQ(
        Request(0x01, [](CFrame& f) { f.AddParam(3, 2, 0); }),
        (Bytes{0x7E, 0x01, 0x13, 0x02, 0x00, 0x04, 0x03, 0x02, 0x00, 0x00, 0x6C, 0xA7, 0x7E}));
}

TEST(FrameRequest, EscapesAddressValueAndFcsButComputesFcsUnescaped) {
    // address 7D
    EXPECT_EQ(Request(0x7D, [](CFrame& f) { f.AddParam(2); }),
              (Bytes{0x7E, 0x7D, 0x5D, 0x13, 0x02, 0x00, 0x02, 0x02, 0x00, 0x3E, 0x6D, 0x7E}));
    // value 7E
    EXPECT_EQ(
        Request(0x01, [](CFrame& f) { f.AddParam(5, 1, 0x7E); }),
        (Bytes{0x7E, 0x01, 0x13, 0x02, 0x00, 0x03, 0x05, 0x01, 0x7D, 0x5E, 0x6C, 0x88, 0x7E}));
    // FCS low byte 7E
    EXPECT_EQ(Request(0x1B, [](CFrame& f) { f.AddParam(5); }),
              (Bytes{0x7E, 0x1B, 0x13, 0x02, 0x00, 0x02, 0x05, 0x00, 0x7D, 0x5E, 0xDC, 0x7E}));
}

TEST(FrameRequest, CountAndArraySizeAgreeAfterEscapeAndCopyingLeavesFrameAlone) {
    CFrame frame(2, 0x01, 0);
    frame.AddParam(2);
    frame.SetControl(0x13);
    frame.AppendFcs();
    frame.Escape();
    EXPECT_EQ(CountOf(frame), 11u);
    Bytes first = WireBytes(frame);
    EXPECT_EQ(WireBytes(frame), first);
    EXPECT_EQ(WireBytes(frame), first);
}

TEST(FrameRequest, AddParamWidthsAndTheBlockLength) {
    struct Case {
        BYTE width;
        Bytes appended;
        BYTE blockLength;
    };
    const Case cases[] = {
        {0, {0x07, 0x00}, 2},
        {1, {0x07, 0x01, 0x44}, 3},
        {2, {0x07, 0x02, 0x33, 0x44}, 4},
        {3, {0x07, 0x03, 0x22, 0x33, 0x44}, 5},
        {4, {0x07, 0x04, 0x11, 0x22, 0x33, 0x44}, 6},
    };
    for (const Case& c : cases) {
        CFrame frame(2, 0x01, 0);
        EXPECT_EQ(frame.AddParam(7, c.width, 0x11223344), ERR_OK);
        Bytes expected = {0x7E, 0x01, 0x13, 0x02, 0x00, c.blockLength};
        expected.insert(expected.end(), c.appended.begin(), c.appended.end());
        EXPECT_EQ(WireBytes(frame), expected) << "width " << int(c.width);
    }

    CFrame tooWide(2, 0x01, 0);
    EXPECT_EQ(tooWide.AddParam(7, 5, 0x11223344), ERR_BAD_ARGUMENT);
    EXPECT_EQ(WireBytes(tooWide), (Bytes{0x7E, 0x01, 0x13, 0x02, 0x00, 0x00, 0x07, 0x05}));
}

TEST(FrameRequest, AddDataParamFollowsTheGivenLength) {
    CFrame frame(2, 0x01, 0);
    const BYTE data[] = {0xAA, 0xBB};
    EXPECT_EQ(frame.AddDataParam(4, 4, 0x1234, 2, data), ERR_OK);
    EXPECT_EQ(WireBytes(frame),
              (Bytes{0x7E, 0x01, 0x13, 0x02, 0x00, 0x06, 0x04, 0x04, 0x12, 0x34, 0xAA, 0xBB}));

    Bytes block(64, 0x55);
    CFrame program(2, 0x01, 0);
    program.AddDataParam(4, 66, 0x0100, 64, block.data());
    Bytes wire = WireBytes(program);
    EXPECT_EQ(wire[5], 68);
    EXPECT_EQ(wire.size(), 6u + 4 + 64);

    // the length byte is what the caller says, even when it disagrees with the data
    CFrame odd(2, 0x01, 0);
    odd.AddDataParam(4, 10, 0, 2, data);
    EXPECT_EQ(WireBytes(odd)[5], 12);
    EXPECT_EQ(WireBytes(odd).size(), 6u + 4 + 2);
}

TEST(FrameRequest, BlockLengthWrapsModulo256) {
    CFrame frame(2, 0x01, 0);
    Bytes data(128, 0x11);
    frame.AddDataParam(4, 130, 0, 128, data.data()); // 132
    frame.AddDataParam(4, 130, 0, 128, data.data()); // 264 -> 8
    EXPECT_EQ(WireBytes(frame)[5], 8);
}

// A request larger than the 255-byte array grows instead of writing past it, and escaping a
// block of nothing but flag and escape bytes still yields the exact wire form.
TEST(FrameRequest, RequestsGrowPastTheirFirstArray) {
    Bytes data(128);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (i % 2) ? 0x7D : 0x7E;
    CFrame frame(2, 0x14, 0);
    frame.AddDataParam(4, 130, 0x7E7D, 128, data.data());
    frame.AddDataParam(4, 130, 0x7E7D, 128, data.data()); // 270 bytes unescaped
    frame.SetControl(0x13);
    frame.AppendFcs();
    frame.Escape();
    Bytes wire = WireBytes(frame);

    Bytes body = {0x14, 0x13, 0x02, 0x00, 0x08};
    for (int k = 0; k < 2; ++k) {
        body.insert(body.end(), {0x04, 0x82, 0x7E, 0x7D});
        body.insert(body.end(), data.begin(), data.end());
    }
    Bytes expected = wire::Frame(body);
    EXPECT_EQ(wire, expected);

    BYTE raw[4] = {1, 2, 3, 4};
    Bytes big(255, 0x42);
    CFrame longest(0x01, 0x13, big.data(), 255);
    EXPECT_EQ(CountOf(longest), 258u);
    CFrame shortest(0x01, 0x13, raw, 4);
    EXPECT_EQ(WireBytes(shortest), (Bytes{0x7E, 0x01, 0x13, 1, 2, 3, 4}));
}

TEST(FrameHeader, AddressAndSequenceBits) {
    CFrame frame(2, 0x1C, 0);
    EXPECT_EQ(frame.GetAddress(), 0x1C);
    frame.SetControl(0xAE); // 101 0 111 0
    EXPECT_EQ(frame.GetSendSequence(), 7);
    EXPECT_EQ(frame.GetReceiveSequence(), 5);

    // 7E 7E leaves one byte: no address and no control byte to read
    const BYTE flags[] = {0x7E, 0x7E};
    CFrame bare(flags, 2);
    EXPECT_EQ(bare.GetAddress(), 0);
    EXPECT_EQ(bare.GetSendSequence(), 0);
}

TEST(FrameReply, ConstructionUnescapesAndDropsTheLastByte) {
    Bytes wire = {0x7E, 0x1B, 0x13, 0x02, 0x00, 0x02, 0x05, 0x00, 0x7D, 0x5E, 0xDC, 0x7E};
    CFrame reply(wire.data(), static_cast<UINT>(wire.size()));
    EXPECT_EQ(CountOf(reply), 10u);
    EXPECT_EQ(WireBytes(reply)[8], 0x7E);
    EXPECT_EQ(reply.CheckFcs(), ERR_OK);
    EXPECT_EQ(CountOf(reply), 8u);
    EXPECT_EQ(reply.CheckStructure(), ERR_BAD_REPLY);

    struct Case {
        Bytes wire;
        Bytes valid;
    };
    const Case cases[] = {
        {{0x7E, 0x7D, 0x5E, 0x7E}, {0x7E, 0x7E}},
        {{0x7E, 0x7D, 0x5D, 0x7E}, {0x7E, 0x7D}},
        {{0x7E, 0x7D, 0x41, 0x7E}, {0x7E, 0x7D, 0x41}},
        {{0x7E, 0x01, 0x7D, 0x7E}, {0x7E, 0x01, 0x7D}}, // 7D before the closing flag
        {{0x7E, 0x01, 0x02, 0x03}, {0x7E, 0x01, 0x02}}, // cut off: last byte goes anyway
        {{0x7E, 0x7D, 0x5E, 0x7D, 0x5D, 0x7E}, {0x7E, 0x7E, 0x7D}},
        {{0x7E, 0x7E}, {0x7E}},
    };
    for (const Case& c : cases) {
        CFrame r(c.wire.data(), static_cast<UINT>(c.wire.size()));
        EXPECT_EQ(WireBytes(r), c.valid);
    }
}

TEST(FrameReply, CheckFcs) {
    Bytes good = {0x7E, 0x01, 0x13, 0x02, 0x00, 0x03, 0x02, 0x01, 0x05, 0x3D, 0xC9, 0x7E};
    CFrame reply(good.data(), 12);
    EXPECT_EQ(CountOf(reply), 11u);
    EXPECT_EQ(reply.CheckFcs(), ERR_OK);
    EXPECT_EQ(CountOf(reply), 9u);
    EXPECT_EQ(reply.CheckStructure(), ERR_OK);
    BYTE status = 0;
    EXPECT_EQ(reply.GetParamByte(2, 1, &status), ERR_OK);
    EXPECT_EQ(status, 5);

    Bytes bad = good;
    bad[9] ^= 1;
    CFrame wrong(bad.data(), 12);
    EXPECT_EQ(wrong.CheckFcs(), ERR_FCS);
    EXPECT_EQ(CountOf(wrong), 9u);

    Bytes tiny = {0x7E, 0x01, 0x13, 0x02, 0x00}; // 4 bytes once the last is dropped
    CFrame shortReply(tiny.data(), 5);
    EXPECT_EQ(shortReply.CheckFcs(), ERR_FCS);
    EXPECT_EQ(CountOf(shortReply), 4u);
}

TEST(FrameReply, CheckStructureWalk) {
    EXPECT_EQ(CheckedReply(ReplyWire({0x02, 0x00})).frame.CheckStructure(), ERR_BAD_REPLY);
    EXPECT_EQ(CheckedReply(ReplyWire({0x02, 0x01, 0x05}, 0)).frame.CheckStructure(),
              ERR_EMPTY_REPLY);
    // the empty parameter in the last two bytes of the block is not examined
    EXPECT_EQ(CheckedReply(ReplyWire({0x02, 0x01, 0x05, 0x09, 0x00})).frame.CheckStructure(),
              ERR_OK);
    EXPECT_EQ(CheckedReply(ReplyWire({0x09, 0x00, 0x02, 0x01, 0x05})).frame.CheckStructure(),
              ERR_BAD_REPLY);
    // a block that ends before the bytes do: lengths need not fill them exactly
    EXPECT_EQ(
        CheckedReply(ReplyWire({0x02, 0x01, 0x05, 0x03, 0x01, 0x00}, 3)).frame.CheckStructure(),
        ERR_OK);
}

TEST(FrameReply, LengthsPointingPastTheReplyAreBadReplies) {
    // block length larger than what arrived
    CheckedReply longBlock(ReplyWire({0x02, 0x01, 0x05}, 40));
    EXPECT_EQ(longBlock.fcs, ERR_OK);
    EXPECT_EQ(longBlock.frame.CheckStructure(), ERR_BAD_REPLY);
    // a parameter length larger than what arrived
    CheckedReply longParam(ReplyWire({0x02, 0xF0, 0x05}));
    EXPECT_EQ(longParam.frame.CheckStructure(), ERR_BAD_REPLY);
    BYTE position = 0, b = 0;
    WORD w = 0;
    DWORD l = 0;
    BYTE buffer[255];
    EXPECT_EQ(longParam.frame.FindParam(2, &position), ERR_BAD_REPLY);
    EXPECT_EQ(longParam.frame.GetParamByte(2, 1, &b), ERR_BAD_REPLY);
    EXPECT_EQ(longParam.frame.GetParamWord(2, 2, &w), ERR_BAD_REPLY);
    EXPECT_EQ(longParam.frame.GetParamLong(2, 4, &l), ERR_BAD_REPLY);
    EXPECT_EQ(longParam.frame.GetParamData(2, buffer, 255), ERR_BAD_REPLY);
    // a preceding parameter whose length carries the search past the end
    CheckedReply skipPast(ReplyWire({0x09, 0xF0, 0x05}));
    EXPECT_EQ(skipPast.frame.FindParam(2, &position), ERR_BAD_REPLY);
    // a word read from a one-byte parameter at the end takes the FCS low byte, which is still
    // in the array; four bytes would reach behind the array and are refused
    CheckedReply oneByte(ReplyWire({0x03, 0x01, 0x05}));
    const WORD fcs = wire::Fcs16Bitwise({0x01, 0x13, 0x02, 0x00, 0x03, 0x03, 0x01, 0x05});
    EXPECT_EQ(oneByte.frame.GetParamWord(3, 2, &w), ERR_OK);
    EXPECT_EQ(w, 0x0500 | LOBYTE(fcs));
    EXPECT_EQ(oneByte.frame.GetParamLong(3, 3, &l), ERR_OK);
    EXPECT_EQ(oneByte.frame.GetParamLong(3, 4, &l), ERR_BAD_REPLY);
}

TEST(FrameReply, FindParamAndReaders) {
    Bytes wire = {0x7E, 0x01, 0x13, 0x02, 0x00, 0x07, 0x09, 0x02,
                  0x00, 0x05, 0x02, 0x01, 0x07, 0xDA, 0x51, 0x7E};
    CFrame reply(wire.data(), static_cast<UINT>(wire.size()));
    ASSERT_EQ(reply.CheckFcs(), ERR_OK);
    EXPECT_EQ(reply.CheckStructure(), ERR_OK);
    BYTE position = 0;
    EXPECT_EQ(reply.FindParam(2, &position), ERR_OK);
    EXPECT_EQ(position, 10);
    BYTE b = 0;
    EXPECT_EQ(reply.GetParamByte(2, 1, &b), ERR_OK);
    EXPECT_EQ(b, 7);
    WORD w = 0;
    EXPECT_EQ(reply.GetParamWord(9, 2, &w), ERR_OK);
    EXPECT_EQ(w, 5);
    // widths 0 and 1 pass and still read two bytes
    w = 0;
    EXPECT_EQ(reply.GetParamWord(9, 0, &w), ERR_OK);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(reply.GetParamWord(9, 1, &w), ERR_OK);
    // a width check comes before the search
    EXPECT_EQ(reply.GetParamByte(2, 2, &b), ERR_BAD_ARGUMENT);
    EXPECT_EQ(reply.GetParamWord(9, 3, &w), ERR_BAD_ARGUMENT);
    DWORD l = 0;
    EXPECT_EQ(reply.GetParamLong(9, 2, &l), ERR_BAD_ARGUMENT);
    EXPECT_EQ(reply.GetParamLong(9, 5, &l), ERR_BAD_ARGUMENT);
    // missing identifiers leave the value alone
    b = 0xAB;
    EXPECT_EQ(reply.FindParam(4, &position), ERR_PARAM_NOT_FOUND);
    EXPECT_EQ(reply.GetParamByte(4, 1, &b), ERR_PARAM_NOT_FOUND);
    EXPECT_EQ(b, 0xAB);
}

TEST(FrameReply, LongAndDataReaders) {
    CheckedReply reply(ReplyWire({0x08, 0x04, 0x11, 0x22, 0x33, 0x44, 0x01, 0x00, 0x00, 0x00}));
    DWORD l = 0;
    EXPECT_EQ(reply.frame.GetParamLong(8, 4, &l), ERR_OK);
    EXPECT_EQ(l, 0x11223344u);
    EXPECT_EQ(reply.frame.GetParamLong(8, 3, &l), ERR_OK);
    EXPECT_EQ(l, 0x112233u);

    BYTE buffer[8] = {};
    EXPECT_EQ(reply.frame.GetParamData(8, buffer, 4), ERR_OK);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0x11, 0x22, 0x33, 0x44}));
    // a value longer than the buffer is refused, and nothing is copied
    BYTE small[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(reply.frame.GetParamData(8, small, 3), ERR_BAD_ARGUMENT);
    EXPECT_EQ(Bytes(small, small + 3), (Bytes{0xEE, 0xEE, 0xEE}));

    // a zero-length parameter is a bad reply for every reader
    BYTE b = 0;
    WORD w = 0;
    EXPECT_EQ(reply.frame.GetParamByte(1, 1, &b), ERR_BAD_REPLY);
    EXPECT_EQ(reply.frame.GetParamWord(1, 2, &w), ERR_BAD_REPLY);
    EXPECT_EQ(reply.frame.GetParamLong(1, 4, &l), ERR_BAD_REPLY);
    EXPECT_EQ(reply.frame.GetParamData(1, buffer, 8), ERR_BAD_REPLY);
}

TEST(FrameReply, CountAfterCheckFcsDecidesShortAndEmpty) {
    // count 8 after CheckFcs: the only parameter has no value
    CheckedReply eight(ReplyWire({0x02, 0x00}));
    EXPECT_EQ(eight.fcs, ERR_OK);
    EXPECT_EQ(CountOf(eight.frame), 8u);
    EXPECT_EQ(eight.frame.CheckStructure(), ERR_BAD_REPLY);
    CheckedReply nineEmpty(ReplyWire({0x02, 0x01, 0x00}, 0));
    EXPECT_EQ(CountOf(nineEmpty.frame), 9u);
    EXPECT_EQ(nineEmpty.frame.CheckStructure(), ERR_EMPTY_REPLY);
}

// Replies too short to hold anything never read outside their bytes.
// Runs of flags: after unescaping the count is one less than the bytes (none for none). Below 5
// there is no FCS to check; 5 and 6 bytes fail the check and lose two bytes. Every one is too
// short for a block: the structure check refuses it, and a reader, whose search would start
// behind the bytes, reports a bad reply without reading there.
TEST(FrameReply, DegenerateLengths) {
    struct Case {
        UINT length;
        DWORD fcs;
        UINT countAfter;
    };
    const Case cases[] = {{0, ERR_FCS, 0}, {1, ERR_FCS, 0}, {2, ERR_FCS, 1}, {3, ERR_FCS, 2},
                          {4, ERR_FCS, 3}, {5, ERR_FCS, 4}, {6, ERR_FCS, 3}, {7, ERR_FCS, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes raw(c.length, 0x7E);
        CFrame reply(raw.data(), c.length);
        EXPECT_EQ(reply.CheckFcs(), c.fcs);
        EXPECT_EQ(CountOf(reply), c.countAfter);
        EXPECT_EQ(reply.CheckStructure(), ERR_BAD_REPLY);
        BYTE b = 0xAB;
        EXPECT_EQ(reply.GetParamByte(0x7E, 1, &b), ERR_BAD_REPLY);
        EXPECT_EQ(b, 0xAB);
    }
}

TEST(ByteArrayDeathTest, AccessOutsideTheArrayStopsTheProgram) {
    CByteArray array;
    array.SetSize(4, -1);
    EXPECT_DEATH(array.GetAt(4), "Assertion failed: .*nIndex");
    EXPECT_DEATH(array[-1] = 1, "Assertion failed");
    EXPECT_DEATH(array.RemoveAt(3, 2), "Assertion failed");
    // A count so large that index + count overflows is still outside the array.
    EXPECT_DEATH(array.RemoveAt(1, std::numeric_limits<INT_PTR>::max()), "Assertion failed");
}

TEST(ByteArray, InsertAndRemoveOneByte) {
    CByteArray array;
    array.SetSize(3, -1);
    array[0] = 1;
    array[1] = 2;
    array[2] = 3;
    array.InsertAt(1, 9);
    EXPECT_EQ(array.GetSize(), 4);
    EXPECT_EQ(Bytes(array.GetData(), array.GetData() + 4), (Bytes{1, 9, 2, 3}));
    array.RemoveAt(0);
    EXPECT_EQ(Bytes(array.GetData(), array.GetData() + 3), (Bytes{9, 2, 3}));
    array.InsertAt(5, 7); // past the end: grows with zeros to reach it
    EXPECT_EQ(Bytes(array.GetData(), array.GetData() + 6), (Bytes{9, 2, 3, 0, 0, 7}));
}

} // namespace
