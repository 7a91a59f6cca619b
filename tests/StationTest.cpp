// `korvane station` in a terminal (tmux), as an operator works it: Enter for each board, or
// each board's own adapter appearing; PASS or FAIL, the counts, and q to end.
#include "FlashRig.h"
#include "TerminalHarness.h"
#include "tests/support/Recipes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace flashtest {
namespace {

using termtest::Tmux;

class StationRun {
public:
    // `what` is the target and the image; `prepare` writes what the station reads (in dir)
    // before it starts, and `env` goes before the command.
    explicit StationRun(const std::string& extraArgs,
                        const std::string& what = "--stepper 0x14 image.hex",
                        const std::function<void(const std::string& dir)>& prepare = {},
                        const std::string& env = "") {
        dir = testsupport::MakeTempDir("korvane-station");
        link = dir + "/port";
        record = dir + "/records.jsonl";
        std::ofstream(dir + "/image.hex") << HexFile(0, Pattern(512), 2);
        if (prepare)
            prepare(dir);
        // The shell outlives a Ctrl+C, as an operator's interactive one does, and then says how
        // the station ended and how it left the terminal.
        const std::string command =
            "trap : INT; " + env + " " + simtest::ShellQuote(KORVANE_BINARY_DIR "/korvane") +
            " station --port " + link + " --record " + record + " " + extraArgs + " " + what +
            "; echo EXIT=$?; echo TTY=$(stty -a | tr ' ;' '\\n\\n' | "
            "grep -xE -- '-?(icanon|echo)' | tr '\\n' ,); sleep 60";
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

// A recipe's image replaced between two boards: the station shows what it approved, flashes
// the first board, and stops before the second is touched, saying why, with exit status 7.
TEST(Station, RecipeImageReplacedBetweenBoards) {
    if (!termtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    if (std::filesystem::exists("/etc/korvane/station.toml"))
        GTEST_SKIP() << "/etc/korvane/station.toml exists on this machine";
    std::string keyId;
    auto prepare = [&keyId](const std::string& dir) {
        ASSERT_TRUE(testsupport::MakeMinisignKey(dir, "A"));
        keyId = testsupport::MinisignKeyIdOf(dir + "/A.pub");
        ASSERT_TRUE(testsupport::MakeRecipeStation(dir, dir + "/A.pub"));
        const std::string sha = simtest::Sha256Sum(dir + "/image.hex");
        testsupport::WriteText(dir + "/recipe.toml",
                               "name = \"Rear axis\"\nrevision = \"4\"\n"
                               "target = \"Stepper\"\nslaves = [0x14]\nimage = \"image.hex\"\n"
                               "image_sha256 = \"" +
                                   sha + "\"\n");
        ASSERT_TRUE(testsupport::MinisignSign(dir + "/A.sec", dir + "/recipe.toml",
                                              "-t 'QA \x1b[2J batch 9'"));
    };
    StationRun station("", "--recipe recipe.toml", prepare,
                       "KORVANE_STATION_FILE=$PWD/station.toml");
    ASSERT_TRUE(station.started);
    std::string screen;
    ASSERT_TRUE(station.tmux.WaitFor("Enter: next board", 5000, &screen)) << screen;
    EXPECT_NE(
        screen.find("Recipe: Rear axis  revision 4  signed by " + keyId + ": QA \\x1B[2J batch 9"),
        std::string::npos)
        << screen;
    EXPECT_NE(screen.find(simtest::Sha256Sum(station.dir + "/image.hex")), std::string::npos)
        << screen;

    station.Board({});
    station.tmux.Keys({"Enter"});
    ASSERT_TRUE(station.tmux.WaitFor("Board 1: PASS", 15000, &screen)) << screen;
    // Replaced as an editor saves: a new file renamed over the old one.
    std::ofstream(station.dir + "/new.hex") << HexFile(0, Pattern(512, 7), 2);
    std::filesystem::rename(station.dir + "/new.hex", station.dir + "/image.hex");
    station.Board({});
    station.tmux.Keys({"Enter"});
    ASSERT_TRUE(station.tmux.WaitFor("EXIT=", 10000, &screen)) << screen;
    EXPECT_NE(screen.find("EXIT=7"), std::string::npos) << screen;
    EXPECT_NE(screen.find("image.hex does not match"), std::string::npos) << screen;
    EXPECT_NE(screen.find("1 boards: 1 passed, 0 failed"), std::string::npos) << screen;
    EXPECT_EQ(station.Records(), 1u);
    EXPECT_EQ(station.sim->Requests(), std::vector<std::string>{});
}

// A recipe with a serial number: each board's number is shown large beside PASS, and said
// on the board's line, so that the operator can label the board.
TEST(Station, SerialNumberShownBesidePass) {
    if (!termtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    if (std::filesystem::exists("/etc/korvane/station.toml"))
        GTEST_SKIP() << "/etc/korvane/station.toml exists on this machine";
    auto prepare = [](const std::string& dir) {
        ASSERT_TRUE(testsupport::MakeMinisignKey(dir, "A"));
        ASSERT_TRUE(testsupport::MakeRecipeStation(dir, dir + "/A.pub"));
        testsupport::WriteText(dir + "/station.toml",
                               "keys = \"keys\"\nserial_journal = \"" + dir + "/serials.db\"\n");
        const std::string sha = simtest::Sha256Sum(dir + "/image.hex");
        testsupport::WriteText(dir + "/recipe.toml",
                               "name = \"Rear axis\"\nrevision = \"4\"\n"
                               "target = \"Stepper\"\nslaves = [0x14]\nimage = \"image.hex\"\n"
                               "image_sha256 = \"" +
                                   sha +
                                   "\"\n[serial]\npool = \"axis\"\naddress = 0x10\nbytes = 2\n"
                                   "format = \"be\"\nfirst = 41\nlast = 99\n");
        ASSERT_TRUE(testsupport::MinisignSign(dir + "/A.sec", dir + "/recipe.toml"));
    };
    StationRun station("", "--recipe recipe.toml", prepare,
                       "KORVANE_STATION_FILE=$PWD/station.toml");
    ASSERT_TRUE(station.started);
    std::string screen;
    ASSERT_TRUE(station.tmux.WaitFor("Enter: next board", 5000, &screen)) << screen;
    station.Board({});
    station.tmux.Keys({"Enter"});
    ASSERT_TRUE(station.tmux.WaitFor("Board 1: PASS  serial 41", 15000, &screen)) << screen;
    // The first row of the big "PASS", then of "41" beside it.
    const std::string block = "\u2588\u2588";
    const std::string passRow = block + block + block + block + "  ";
    const size_t row = screen.find(passRow);
    ASSERT_NE(row, std::string::npos) << screen;
    const std::string line = screen.substr(row, screen.find('\n', row) - row);
    EXPECT_NE(line.find("      " + block + "    " + block + "  "), std::string::npos) << line;
    station.Board({});
    station.tmux.Keys({"Enter"});
    ASSERT_TRUE(station.tmux.WaitFor("Board 2: PASS  serial 42", 15000, &screen)) << screen;
    station.tmux.Keys({"q"});
    ASSERT_TRUE(station.tmux.WaitFor("EXIT=", 10000, &screen)) << screen;
    EXPECT_NE(screen.find("EXIT=0"), std::string::npos) << screen;
}

// A process's first child; -1 when it has none.
int ChildOf(int pid) {
    const std::string id = std::to_string(pid);
    const std::string children = testsupport::Slurp("/proc/" + id + "/task/" + id + "/children");
    return children.empty() ? -1 : std::atoi(children.c_str());
}

// Whether the terminal of process pid's standard input takes lines with echo (not raw).
bool Cooked(int pid) {
    const int fd =
        open(("/proc/" + std::to_string(pid) + "/fd/0").c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    const bool got = fd >= 0 && tcgetattr(fd, &settings) == 0;
    if (fd >= 0)
        close(fd);
    return got && (settings.c_lflag & ICANON) && (settings.c_lflag & ECHO);
}

// Every way out gives the terminal its settings back (Enter and echo) and the port free: the
// keys, the end of input, a signal, and a second Ctrl+C while the first one's clean-up runs:
// the board's run is held stopped meanwhile, so that the clean-up waits for it; the second
// Ctrl+C gives the terminal back at once, and the run, let go, still writes its record.
TEST(Station, EveryWayOutGivesTheTerminalBack) {
    if (!termtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    enum How { KEYS, SIGNAL, CTRL_C_TWICE };
    const struct {
        const char* name;
        How how;
        std::string keys;
        int signal;
        const char* exit;
    } kWays[] = {
        {"q", KEYS, "q", 0, "EXIT=0"},
        {"Esc", KEYS, "Escape", 0, "EXIT=0"},
        {"end of input", KEYS, "C-d", 0, "EXIT=0"},
        {"SIGTERM", SIGNAL, "", SIGTERM, "EXIT=130"},
        {"SIGHUP", SIGNAL, "", SIGHUP, "EXIT=130"},
        {"Ctrl+C twice while flashing", CTRL_C_TWICE, "", 0, "EXIT=130"},
    };
    for (const auto& way : kWays) {
        SCOPED_TRACE(way.name);
        StationRun station("");
        ASSERT_TRUE(station.started);
        station.Board({"--program-ms", "300"});
        std::string screen;
        ASSERT_TRUE(station.tmux.WaitFor("Enter: next board", 5000, &screen)) << screen;
        if (way.how == KEYS) {
            station.tmux.Keys({way.keys});
        } else if (way.how == SIGNAL) {
            kill(ChildOf(station.tmux.PanePid()), way.signal);
        } else {
            station.tmux.Keys({"Enter"});
            ASSERT_TRUE(station.tmux.WaitFor("Programming", 10000, &screen)) << screen;
            const int pid = ChildOf(station.tmux.PanePid()), run = ChildOf(pid);
            ASSERT_GT(run, 0);
            kill(run, SIGSTOP);
            station.tmux.Keys({"C-c"});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            station.tmux.Keys({"C-c"});
            bool cooked = false;
            for (int waited = 0; waited < 5000 && !(cooked = Cooked(pid)); waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_TRUE(cooked) << "the terminal is still raw after the second Ctrl+C";
            kill(run, SIGCONT);
        }
        ASSERT_TRUE(station.tmux.WaitFor("TTY=", 10000, &screen)) << screen;
        EXPECT_NE(screen.find(way.exit), std::string::npos) << screen;
        EXPECT_NE(screen.find("TTY=icanon,echo,"), std::string::npos) << screen;
        EXPECT_EQ(termtest::PortFree(station.link), "");
        // The interrupted board's record is written all the same.
        EXPECT_EQ(station.Records(), way.how == CTRL_C_TWICE ? 1u : 0u);
    }
}

} // namespace
} // namespace flashtest
