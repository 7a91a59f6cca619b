// Each fault option of korvane-sim disturbs what it says and nothing else, and the same seed
// gives the same faults.
#include "SimHarness.h"
#include "link/SlaveLink.h"
#include "sim/Options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <poll.h>
#include <unistd.h>

using namespace simtest;

namespace {

const Bytes kStatus14 = Frame(0x14, 2, {});
const Bytes kStatusReply14 = Frame(0x14, 2, {0x00});

struct Timed {
    uint8_t byte;
    int64_t us;
};

// The bytes of one reply with their arrival times, up to its closing flag.
std::vector<Timed> ReadTimed(Sim& sim, int ms) {
    std::vector<Timed> got;
    bool open = false;
    int64_t end = MonoUs() + int64_t(ms) * 1000;
    while (MonoUs() < end) {
        pollfd p = {sim.Fd(), POLLIN, 0};
        if (poll(&p, 1, 1) <= 0)
            continue;
        uint8_t b;
        while (read(sim.Fd(), &b, 1) == 1) {
            got.push_back({b, MonoUs()});
            if (b == 0x7e && open)
                return got;
            open = open || b == 0x7e;
        }
    }
    return got;
}

Bytes BytesOf(const std::vector<Timed>& timed) {
    Bytes out;
    for (const Timed& t : timed)
        out.push_back(t.byte);
    return out;
}

std::vector<std::string> Replies(const Sim& sim) {
    std::vector<std::string> out;
    for (const std::string& line : sim.Requests())
        out.push_back(Field(line, "reply"));
    return out;
}

} // namespace

TEST(SimFaults, LoseDropsTheReplyButTheCommandIsCarriedOut) {
    Sim sim({"--lose", "100"});
    ASSERT_TRUE(sim.Ok());
    Bytes value = Word(0x0010);
    value.insert(value.end(), 128, 0xa5);
    sim.Write(Frame(0x14, 4, value));
    EXPECT_TRUE(sim.ReadFor(80).empty());
    sim.Write(kStatus14);
    EXPECT_TRUE(sim.ReadFor(80).empty());
    ASSERT_EQ(sim.Stop(), 0);
    bool ok = false;
    EXPECT_EQ(LoadHex(sim.DumpPath(0x14), 2, &ok).size(), 128u);
    EXPECT_TRUE(ok);
    std::vector<std::string> log = sim.Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(Field(log[0], "reply"), "lost");
    EXPECT_EQ(Field(log[0], "faults"), "[\"lose\"]");
}

TEST(SimFaults, CorruptByteChangesOneByteBeforeTheFcsAndNothingElse) {
    Sim sim({"--corrupt-byte", "100"});
    ASSERT_TRUE(sim.Ok());
    for (int i = 0; i < 20; ++i) {
        Parsed expected = Parse(kStatusReply14);
        Parsed got = Parse(sim.Ask(kStatus14));
        ASSERT_TRUE(got.framed);
        EXPECT_FALSE(got.fcsOk);
        ASSERT_EQ(got.body.size(), expected.body.size());
        size_t fcsAt = got.body.size() - 2;
        int differ = 0;
        for (size_t k = 0; k < fcsAt; ++k)
            differ += got.body[k] != expected.body[k];
        EXPECT_EQ(differ, 1);
        // The FCS is the one of the reply as it was meant.
        EXPECT_EQ(Bytes(got.body.begin() + long(fcsAt), got.body.end()),
                  Bytes(expected.body.begin() + long(fcsAt), expected.body.end()));
    }
    EXPECT_EQ(Field(sim.Requests().back(), "faults"), "[\"corrupt-byte\"]");
}

TEST(SimFaults, CorruptFcsChangesOnlyTheFcs) {
    Sim sim({"--corrupt-fcs", "100"});
    ASSERT_TRUE(sim.Ok());
    for (int i = 0; i < 20; ++i) {
        Parsed expected = Parse(kStatusReply14);
        Parsed got = Parse(sim.Ask(kStatus14));
        ASSERT_TRUE(got.framed);
        EXPECT_FALSE(got.fcsOk);
        ASSERT_EQ(got.body.size(), expected.body.size());
        size_t fcsAt = got.body.size() - 2;
        EXPECT_EQ(Bytes(got.body.begin(), got.body.begin() + long(fcsAt)),
                  Bytes(expected.body.begin(), expected.body.begin() + long(fcsAt)));
    }
}

TEST(SimFaults, NoiseComesBeforeAnIntactReply) {
    Sim sim({"--noise", "100", "--noise-bytes", "6"});
    ASSERT_TRUE(sim.Ok());
    size_t longest = 0;
    for (int i = 0; i < 20; ++i) {
        sim.Write(kStatus14);
        Bytes before;
        EXPECT_EQ(sim.ReadFrame(1000, &before), kStatusReply14);
        EXPECT_GE(before.size(), 1u);
        EXPECT_LE(before.size(), 6u);
        longest = std::max(longest, before.size());
        for (uint8_t b : before)
            EXPECT_NE(b, 0x7e);
    }
    EXPECT_GT(longest, 1u);
}

TEST(SimFaults, SplitPausesInsideTheReplyLongerThanTheHostWaits) {
    Sim sim({"--split", "100", "--split-ms", "30"});
    ASSERT_TRUE(sim.Ok());
    for (int i = 0; i < 5; ++i) {
        sim.Write(kStatus14);
        std::vector<Timed> got = ReadTimed(sim, 1000);
        EXPECT_EQ(BytesOf(got), kStatusReply14);
        int64_t widest = 0;
        size_t at = 0;
        for (size_t k = 1; k < got.size(); ++k) {
            if (got[k].us - got[k - 1].us > widest) {
                widest = got[k].us - got[k - 1].us;
                at = k;
            }
        }
        // 30 ms from the simulator's write; our own reading of the byte before the pause may
        // come late on a busy machine and shorten what we see, never the host's 10 ms matter.
        EXPECT_GE(widest, 25000);
        EXPECT_LT(widest, 300000);
        EXPECT_GE(at, 1u); // after the opening flag
    }
}

TEST(SimFaults, DelayHoldsBackAnIntactReply) {
    Sim sim({"--delay", "100", "--delay-ms", "150"});
    ASSERT_TRUE(sim.Ok());
    int64_t start = MonoUs();
    sim.Write(kStatus14);
    EXPECT_TRUE(sim.ReadFor(120).empty());
    EXPECT_EQ(sim.ReadFrame(1000), kStatusReply14);
    EXPECT_GE(MonoUs() - start, 150000);
    EXPECT_EQ(Field(sim.Requests().back(), "faults"), "[\"delay\"]");
}

// The default delay plays a slow slave against the host's reply wait: later than the wait, so
// the host gives up and sends again, and within the second attempt's wait, so the late reply
// meets it. A change of the wait that the delay does not follow fails here.
TEST(SimFaults, DefaultDelayFallsInTheHostsSecondWait) {
    char program[] = "korvane-sim";
    char* argv[] = {program, nullptr};
    ksim::SimOptions options;
    std::string error;
    ASSERT_TRUE(ksim::ParseOptions(1, argv, &options, &error)) << error;
    EXPECT_GT(options.faults.delayMs, SLAVE_REPLY_TIMEOUT_MS);
    EXPECT_LT(options.faults.delayMs, 2 * SLAVE_REPLY_TIMEOUT_MS);
}

TEST(SimFaults, SilentAfterAnswersTheFirstRequestsThenNothing) {
    Sim sim({"--silent-after", "2"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Ask(kStatus14), kStatusReply14);
    EXPECT_EQ(sim.Ask(kStatus14), kStatusReply14);
    EXPECT_TRUE(sim.Ask(kStatus14, 80).empty());
    // Nor is anything carried out.
    EXPECT_TRUE(sim.Ask(Frame(0x14, 3, Word(0)), 80).empty());
    ASSERT_EQ(sim.Stop(), 0);
    EXPECT_EQ(Replies(sim), (std::vector<std::string>{"sent", "sent", "silent", "silent"}));
    EXPECT_NE(access(sim.DumpPath(0x14).c_str(), F_OK), 0);
}

TEST(SimFaults, RefuseEraseAnswersTheValueAndKeepsTheMemory) {
    Sim sim({"--refuse-erase", "0x0102"});
    ASSERT_TRUE(sim.Ok());
    Bytes value = Word(0x0000);
    value.insert(value.end(), 64, 0x3c);
    EXPECT_EQ(Parse(sim.Ask(Frame(0x01, 4, value))).value, Word(0));
    EXPECT_EQ(sim.Ask(Frame(0x01, 3, Word(0))), Frame(0x01, 3, {0x01, 0x02}));
    EXPECT_EQ(Parse(sim.Ask(Frame(0x01, 0, Word(0)))).value, Bytes(64, 0x3c));
    EXPECT_EQ(sim.Ask(Frame(0x01, 2, {})), Frame(0x01, 2, {0x00}));
}

TEST(SimFaults, StatusIsReportedByGetStatusAlone) {
    Sim sim({"--status", "0x5A"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Ask(kStatus14), Frame(0x14, 2, {0x5a}));
    EXPECT_EQ(sim.Ask(Frame(0x14, 3, Word(0))), Frame(0x14, 3, {0x00, 0x00}));
}

TEST(SimFaults, BabbleFlowsWithoutEndAndStillStopsOnASignal) {
    Sim sim({"--babble-after", "1"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Ask(kStatus14), kStatusReply14);
    // Paced at 115200 baud without --baud: about 11.5 bytes a millisecond.
    for (int round = 0; round < 3; ++round) {
        size_t got = sim.ReadFor(100).size();
        EXPECT_GT(got, 200u);  // flowing, even on a busy machine
        EXPECT_LT(got, 4000u); // and paced, not poured out
    }
    sim.Write(kStatus14);
    sim.ReadFor(20);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_EQ(Replies(sim), (std::vector<std::string>{"sent", "babbling"}));
}

TEST(SimFaults, TheSameSeedGivesTheSameFaultsAndEachFaultItsOwnStream) {
    auto losses = [](const std::vector<std::string>& args) {
        Sim sim(args);
        EXPECT_TRUE(sim.Ok());
        Bytes burst;
        for (int i = 0; i < 40; ++i)
            burst.insert(burst.end(), kStatus14.begin(), kStatus14.end());
        sim.Write(burst);
        Bytes wire = sim.ReadFor(150);
        std::string pattern;
        for (const std::string& reply : Replies(sim))
            pattern += reply == "lost" ? 'L' : '.';
        // Every reply not lost is on the wire.
        size_t sent = std::count(pattern.begin(), pattern.end(), '.');
        EXPECT_EQ(size_t(std::count(wire.begin(), wire.end(), 0x7e)), sent * 2);
        return pattern;
    };
    std::string a = losses({"--seed", "7", "--lose", "50"});
    ASSERT_EQ(a.size(), 40u);
    // About half of them: 50% of 40, well inside four standard deviations (about 3.2 each).
    EXPECT_NEAR(double(std::count(a.begin(), a.end(), 'L')), 20.0, 12.0);
    EXPECT_NE(a.find('L'), std::string::npos);
    EXPECT_NE(a.find('.'), std::string::npos);
    EXPECT_EQ(losses({"--seed", "7", "--lose", "50"}), a);
    EXPECT_NE(losses({"--seed", "8", "--lose", "50"}), a);
    EXPECT_EQ(losses({"--seed", "7", "--lose", "50", "--noise", "50"}), a);
}
