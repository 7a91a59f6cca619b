// `korvane station` in a terminal (tmux), as an operator works it: Enter for each board, or
// each board's own adapter appearing; PASS or FAIL, the counts, and q to end.
#include "FlashRig.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace flashtest {
namespace {

using termtest::Tmux;

class StationRun {
public:
    explicit StationRun(const std::string& extraArgs) {
        dir = testsupport::MakeTempDir("korvane-station");
        link = dir + "/port";
        record = dir + "/records.jsonl";
        std::ofstream(dir + "/image.hex") << HexFile(0, Pattern(512), 2);
        const std::string command = simtest::ShellQuote(KORVANE_BINARY_DIR "/korvane") +
                                    " station --stepper 0x14 --port " + link + " --record " +
                                    record + " " + extraArgs + " image.hex; echo EXIT=$?; sleep 60";
        started = tmux.Start(command, 80, 30, dir);
    }
    ~StationRun() {
        sim.reset();
        std::filesystem::remove_all(dir);
    }
    // A slave behind the station's port, in place of the one before.
    void Board(std::vector<std::string> args) {
        sim.reset();
        args.insert(args.end(), {"--link", link});
        sim = std::make_unique<simtest::Sim>(args, false);
    }
    size_t Records() const {
        std::ifstream in(record);
        size_t lines = 0;
        for (std::string line; std::getline(in, line);)
            ++lines;
        return lines;
    }

    Tmux tmux;
    bool started = false;
    std::string dir, link, record;
    std::unique_ptr<simtest::Sim> sim;
};

TEST(Station, BoardsByEnterPassThenFail) {
    if (!termtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    StationRun station("");
    ASSERT_TRUE(station.started);
    std::string screen;
    ASSERT_TRUE(station.tmux.WaitFor("Enter: next board", 5000, &screen)) << screen;
    EXPECT_NE(screen.find("sha256 "), std::string::npos) << screen;

    station.Board({});
    station.tmux.Keys({"Enter"});
    ASSERT_TRUE(station.tmux.WaitFor("Board 1: PASS", 15000, &screen)) << screen;
    EXPECT_NE(screen.find("\u2588\u2588"), std::string::npos) << screen; // large letters
    EXPECT_NE(screen.find("passed 1   failed 0"), std::string::npos) << screen;

    station.Board({"--status", "5"});
    station.tmux.Keys({"Enter"});
    ASSERT_TRUE(station.tmux.WaitFor("Board 2: FAIL", 15000, &screen)) << screen;
    EXPECT_NE(screen.find("passed 1   failed 1   yield 50.0%"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Update failed! Error 5"), std::string::npos) << screen;

    station.tmux.Type("q");
    ASSERT_TRUE(station.tmux.WaitFor("EXIT=", 5000, &screen)) << screen;
    EXPECT_NE(screen.find("2 boards: 1 passed, 1 failed"), std::string::npos) << screen;
    EXPECT_NE(screen.find("EXIT=1"), std::string::npos) << screen;
    EXPECT_EQ(station.Records(), 2u);
}

// Each board brings its own adapter: the station waits for the port, flashes, waits for it to
// go, and waits for the next. The simulator ends when the station closes its port, and its
// link goes with it.
TEST(Station, WaitsForEachBoardsPort) {
    if (!termtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    StationRun station("--wait-port");
    ASSERT_TRUE(station.started);
    std::string screen;
    ASSERT_TRUE(station.tmux.WaitFor("port to appear", 5000, &screen)) << screen;
    for (int board = 1; board <= 2; ++board) {
        station.Board({"--exit-on-close"});
        const std::string passed = "Board " + std::to_string(board) + ": PASS";
        ASSERT_TRUE(station.tmux.WaitFor(passed, 15000, &screen)) << screen;
        ASSERT_TRUE(station.tmux.WaitFor("port to appear", 5000, &screen)) << screen;
    }
    station.tmux.Keys({"Escape"});
    ASSERT_TRUE(station.tmux.WaitFor("EXIT=", 5000, &screen)) << screen;
    EXPECT_NE(screen.find("2 boards: 2 passed, 0 failed"), std::string::npos) << screen;
    EXPECT_NE(screen.find("EXIT=0"), std::string::npos) << screen;
    EXPECT_EQ(station.Records(), 2u);
}

} // namespace
} // namespace flashtest
