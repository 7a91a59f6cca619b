// korvane-sim as a slave: what it answers to each command, what it keeps in memory, and what it
// ignores, driven over its pty with requests written out from the protocol's definition.
#include "SimHarness.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

// Requests spelled out byte by byte (FCS worked out by hand from RFC 1662).
const Bytes kStatusOd = {0x7E, 0x01, 0x13, 0x02, 0x00, 0x02, 0x02, 0x00, 0xE8, 0xCD, 0x7E};
const Bytes kResetStepper = {0x7E, 0x14, 0x13, 0x02, 0x00, 0x02, 0x01, 0x00, 0xEA, 0xA2, 0x7E};
const Bytes kEraseOdAt0 = {0x7E, 0x01, 0x13, 0x02, 0x00, 0x04, 0x03,
                           0x02, 0x00, 0x00, 0x6C, 0xA7, 0x7E};

Bytes Block(size_t size, uint8_t seed) {
    // Rich in 7E and 7D, so escaping is exercised both ways.
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = (i % 5 == 0) ? 0x7e : (i % 7 == 0) ? 0x7d : uint8_t(seed + i * 3);
    return data;
}

Bytes ProgramValue(uint16_t address, const Bytes& data) {
    Bytes value = Word(address);
    value.insert(value.end(), data.begin(), data.end());
    return value;
}

Bytes ReadValue(uint16_t address, uint8_t count) {
    Bytes value = Word(address);
    value.push_back(count);
    return value;
}

} // namespace

TEST(SimCommands, AnswersEachCommandWithItsParameter) {
    Sim sim({"--status", "5"});
    ASSERT_TRUE(sim.Ok());
    // The slave 1 status reply with status 5, byte for byte.
    EXPECT_EQ(sim.Ask(kStatusOd),
              (Bytes{0x7E, 0x01, 0x13, 0x02, 0x00, 0x03, 0x02, 0x01, 0x05, 0x3D, 0xC9, 0x7E}));
    // Erase of slave 1 from 0 answers 0x0000 in parameter 3: the same bytes as the request.
    EXPECT_EQ(sim.Ask(kEraseOdAt0), kEraseOdAt0);

    struct Case {
        const char* what;
        Bytes request;
        uint8_t id;
        Bytes value;
    };
    const Case cases[] = {
        {"Stepper status", Frame(0x1d, 2, {}), 2, {0x05}},
        {"Stepper erase", Frame(0x18, 3, Word(0x0100)), 3, {0x00, 0x00}},
        {"OD program", Frame(0x01, 4, ProgramValue(0x0040, Block(64, 1))), 4, {0x00, 0x00}},
        {"Stepper program", Frame(0x15, 4, ProgramValue(0x0100, Block(128, 2))), 4, {0, 0}},
        {"OD read", Frame(0x01, 0, ReadValue(0x0040, 3)), 0, {0x7e, 0x04, 0x07}},
    };
    for (const Case& c : cases) {
        Parsed reply = Parse(sim.Ask(c.request));
        EXPECT_TRUE(reply.framed && reply.fcsOk) << c.what;
        EXPECT_EQ(reply.slave, c.request[1]) << c.what;
        EXPECT_EQ(reply.id, c.id) << c.what;
        EXPECT_EQ(reply.value, c.value) << c.what;
        EXPECT_EQ(reply.body[1], 0x13) << c.what;
        EXPECT_EQ(reply.body[4], c.value.size() + 2) << c.what;
    }
    // Reset answers nothing.
    sim.Write(kResetStepper);
    EXPECT_TRUE(sim.ReadFor(100).empty());
}

TEST(SimCommands, KeepsWhatWasProgrammedAndDumpsIt) {
    Sim sim({});
    ASSERT_TRUE(sim.Ok());
    Bytes od = Block(64, 9), stepper = Block(128, 40);
    ASSERT_FALSE(sim.Ask(Frame(0x01, 3, Word(0x0000))).empty());
    ASSERT_FALSE(sim.Ask(Frame(0x01, 4, ProgramValue(0x0040, od))).empty());
    ASSERT_FALSE(sim.Ask(Frame(0x14, 3, Word(0x0100))).empty());
    ASSERT_FALSE(sim.Ask(Frame(0x14, 4, ProgramValue(0x0100, stepper))).empty());

    // Read back at an address, in the slave's unit.
    EXPECT_EQ(Parse(sim.Ask(Frame(0x01, 0, Word(0x0040)))).value, od);
    EXPECT_EQ(Parse(sim.Ask(Frame(0x14, 0, Word(0x0100)))).value, stepper);
    // Without a value: a block at the cursor, which every read moves on and Reset rewinds.
    sim.Write(Frame(0x01, 1, {}));
    EXPECT_EQ(Parse(sim.Ask(Frame(0x01, 0, {}))).value, Bytes(64, 0xff));
    EXPECT_EQ(Parse(sim.Ask(Frame(0x01, 0, {}))).value, od);
    sim.Write(Frame(0x01, 1, {}));
    EXPECT_EQ(Parse(sim.Ask(Frame(0x01, 0, {}))).value, Bytes(64, 0xff));
    // A read at the end of memory stops there.
    EXPECT_EQ(Parse(sim.Ask(Frame(0x14, 0, ReadValue(0xffff, 10)))).value.size(), 2u);

    ASSERT_EQ(sim.Stop(), 0);
    bool ok = false;
    std::map<uint32_t, uint8_t> odHex = LoadHex(sim.DumpPath(0x01), 1, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(odHex.size(), 64u);
    for (size_t i = 0; i < 64; ++i)
        EXPECT_EQ(odHex[0x40 + uint32_t(i)], od[i]);
    std::map<uint32_t, uint8_t> stHex = LoadHex(sim.DumpPath(0x14), 2, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(stHex.size(), 128u);
    for (size_t i = 0; i < 128; ++i)
        EXPECT_EQ(stHex[0x200 + uint32_t(i)], stepper[i]);
    // Slaves nobody erased or programmed leave no dump.
    EXPECT_FALSE(LoadHex(sim.DumpPath(0x15), 2, &ok).size() || ok);
}

TEST(SimCommands, EraseClearsFromItsStartToTheEndOfMemory) {
    Sim sim({});
    ASSERT_TRUE(sim.Ok());
    Bytes low = Block(128, 1), high = Block(128, 2), top = Block(128, 3);
    for (auto [address, data] :
         {std::pair<uint16_t, Bytes>{0x0000, low}, {0x0100, high}, {0xffc0, top}})
        ASSERT_FALSE(sim.Ask(Frame(0x1c, 4, ProgramValue(address, data))).empty());
    ASSERT_FALSE(sim.Ask(Frame(0x1c, 3, Word(0x0080))).empty());
    EXPECT_EQ(Parse(sim.Ask(Frame(0x1c, 0, Word(0x0000)))).value, low);
    EXPECT_EQ(Parse(sim.Ask(Frame(0x1c, 0, Word(0x0100)))).value, Bytes(128, 0xff));
    EXPECT_EQ(Parse(sim.Ask(Frame(0x1c, 0, Word(0xffc0)))).value, Bytes(128, 0xff));
    ASSERT_EQ(sim.Stop(), 0);
    bool ok = false;
    EXPECT_EQ(LoadHex(sim.DumpPath(0x1c), 2, &ok).size(), 128u);
    EXPECT_TRUE(ok);
    std::vector<std::string> log = sim.Requests();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(Field(log[3], "command"), "Erase");
    EXPECT_EQ(Field(log[3], "address"), "128");
    EXPECT_EQ(Field(log[3], "length"), std::to_string(0x20000 - 0x100));
}

TEST(SimCommands, IgnoresWhatIsNotAWellFormedRequestAndLogsWhy) {
    Sim sim({});
    ASSERT_TRUE(sim.Ok());
    Bytes badFcs = kStatusOd;
    badFcs[8] ^= 0x01;
    auto withBody = [](Bytes body) {
        uint16_t fcs = Fcs16(body);
        body.push_back(uint8_t(fcs & 0xff));
        body.push_back(uint8_t(fcs >> 8));
        return Escape(body);
    };
    struct Case {
        Bytes request;
        const char* why;
    };
    const Case cases[] = {
        {badFcs, "bad FCS"},
        {Frame(0x02, 2, {}), "no such slave"},
        {withBody({0x01, 0x03, 0x02, 0x00, 0x02, 0x02, 0x00}), "control byte 0x03"},
        {withBody({0x01, 0x13, 0x01, 0x00, 0x02, 0x02, 0x00}), "type 1/0"},
        {withBody({0x01, 0x13, 0x02, 0x00, 0x03, 0x02, 0x00}), "block length 3"},
        {withBody({0x01, 0x13, 0x02, 0x00, 0x04, 0x02, 0x00, 0x01, 0x00}), "not one parameter"},
        {withBody({0x01, 0x13, 0x02, 0x00, 0x00}), "no parameter"},
        {Frame(0x01, 5, {}), "unknown command 5"},
        {Frame(0x01, 2, {0x00}), "value of 1 bytes"},
        {Frame(0x01, 3, {0x00}), "Erase takes 2"},
        {Frame(0x14, 4, ProgramValue(0, Block(64, 0))), "Stepper Program takes 128"},
        {Frame(0x01, 4, ProgramValue(0xffc1, Block(64, 0))), "past the end of memory"},
        {Frame(0x01, 0, {0x00, 0x00, 0x00}), "ReadData count 0"},
        {{0x7E, 0x01, 0x13, 0x7D, 0x41, 0x00, 0x7E}, "bad escape"},
        {{0x7E, 0x01, 0x13, 0x02, 0x7E}, "too short"},
    };
    for (const Case& c : cases) {
        sim.Write(c.request);
        EXPECT_TRUE(sim.ReadFor(40).empty()) << c.why;
    }
    // Still in step: a good request is answered.
    EXPECT_FALSE(sim.Ask(kStatusOd).empty());
    std::vector<std::string> log = sim.Requests();
    ASSERT_EQ(log.size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Field(log[i], "valid"), "false") << log[i];
        EXPECT_NE(Field(log[i], "why").find(cases[i].why), std::string::npos) << log[i];
        EXPECT_FALSE(Field(log[i], "t").empty()) << log[i];
    }
    EXPECT_EQ(Field(log[1], "slave"), "2");
    EXPECT_EQ(Field(log.back(), "valid"), "true");
}

TEST(SimCommands, GarbageAndBrokenFramesDoNotPutItOutOfStep) {
    Sim sim({"--frame-gap", "20"});
    ASSERT_TRUE(sim.Ok());
    // Garbage between requests, a request broken off and left, two flags in a row.
    sim.Write({0x11, 0x22, 0x33});
    EXPECT_FALSE(sim.Ask(kStatusOd).empty());
    sim.Write({0x7E, 0x01, 0x13, 0x02});
    EXPECT_TRUE(sim.ReadFor(60).empty());
    EXPECT_FALSE(sim.Ask(kStatusOd).empty());
    Bytes doubled = {0x7E};
    doubled.insert(doubled.end(), kStatusOd.begin(), kStatusOd.end());
    EXPECT_FALSE(sim.Ask(doubled).empty());
    // A frame far longer than any request is dropped whole.
    Bytes overlong = {0x7E};
    overlong.insert(overlong.end(), 700, 0x55);
    overlong.push_back(0x7E);
    sim.Write(overlong);
    EXPECT_TRUE(sim.ReadFor(60).empty());
    EXPECT_FALSE(sim.Ask(kStatusOd).empty());

    std::vector<std::string> lines = sim.LogLines();
    std::vector<std::string> events;
    for (const std::string& line : lines)
        events.push_back(Field(line, "event") + ":" + Field(line, "valid") + ":" +
                         Field(line, "why"));
    std::vector<std::string> expected = {
        "start::",
        "garbage::",
        "request:true:",
        "request:false:cut off before its closing flag",
        "request:true:",
        "request:true:",
        "request:false:longer than any request",
        "garbage::",
        "request:true:",
    };
    EXPECT_EQ(events, expected);
    EXPECT_EQ(Field(lines[1], "bytes"), "112233");
}

TEST(SimCommands, LogsEveryRequestWithItsParticulars) {
    Sim sim({});
    ASSERT_TRUE(sim.Ok());
    sim.Ask(Frame(0x14, 4, ProgramValue(0x0100, Block(128, 0))));
    sim.Write(kResetStepper);
    sim.ReadFor(30);
    std::vector<std::string> log = sim.Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(Field(log[0], "slave"), "20");
    EXPECT_EQ(Field(log[0], "command"), "Program");
    EXPECT_EQ(Field(log[0], "address"), "256");
    EXPECT_EQ(Field(log[0], "length"), "128");
    EXPECT_EQ(Field(log[0], "valid"), "true");
    EXPECT_EQ(Field(log[0], "reply"), "sent");
    EXPECT_EQ(Field(log[1], "command"), "Reset");
    EXPECT_EQ(Field(log[1], "reply"), "none");
    EXPECT_LT(std::stod(Field(log[0], "t")), std::stod(Field(log[1], "t")));
    ASSERT_EQ(sim.Stop(2), 0);
    std::vector<std::string> lines = sim.LogLines();
    EXPECT_EQ(Field(lines.front(), "event"), "start");
    EXPECT_EQ(Field(lines.back(), "event"), "exit");
    EXPECT_EQ(Field(lines.back(), "why"), "SIGINT");
    EXPECT_EQ(Field(lines.back(), "requests"), "2");
    EXPECT_EQ(Field(lines.back(), "sent"), std::to_string(Frame(0x14, 4, Word(0)).size()));
    EXPECT_FALSE(Field(lines.back(), "late_max_us").empty());
}
