// `korvane scan` against korvane-sim: one GetStatus per address, a line or a JSON entry each.
#include "FlashRig.h"
#include "tests/support/KorvaneRun.h"

#include <gtest/gtest.h>

namespace flashtest {
namespace {

using runtest::Lines;
using runtest::RunKorvane;
using Strings = std::vector<std::string>;

// The last address is silent: three attempts of 5 s, then "no answer"; the others answer.
TEST(HeadlessScan, EveryAddressOnce) {
    FlashRig rig({"--status", "3", "--only-slave", "0x18", "--silent-after", "5"});
    ASSERT_TRUE(rig.Ok());
    const runtest::Finished run = RunKorvane({"scan", "--port", rig.Sim().Path()});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Lines(run.out),
              (Strings{"slave 0x01: status 0", "slave 0x14: status 0", "slave 0x15: status 0",
                       "slave 0x18: status 3", "slave 0x1C: status 0", "slave 0x1D: no answer"}));
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()),
              (Strings{"GetStatus 1", "GetStatus 20", "GetStatus 21", "GetStatus 24",
                       "GetStatus 28", "GetStatus 29", "GetStatus 29", "GetStatus 29"}));
}

TEST(HeadlessScan, JsonAndExitStatus) {
    FlashRig rig({"--status", "7", "--only-slave", "1"});
    ASSERT_TRUE(rig.Ok());
    const runtest::Finished json = RunKorvane({"scan", "--json", "--port", rig.Sim().Path()});
    EXPECT_EQ(json.exit, 0);
    EXPECT_EQ(json.out, "[{\"slave\":1,\"target\":\"OD\",\"status\":7},"
                        "{\"slave\":20,\"target\":\"Stepper\",\"status\":0},"
                        "{\"slave\":21,\"target\":\"Stepper\",\"status\":0},"
                        "{\"slave\":24,\"target\":\"Stepper\",\"status\":0},"
                        "{\"slave\":28,\"target\":\"Stepper\",\"status\":0},"
                        "{\"slave\":29,\"target\":\"Stepper\",\"status\":0}]\n");
    EXPECT_EQ(RunKorvane({"scan", "--port", rig.Dir() + "/no-such-port"}).exit, 4);
    EXPECT_EQ(RunKorvane({"scan", "--all"}).exit, 2);
}

} // namespace
} // namespace flashtest
