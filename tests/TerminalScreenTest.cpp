// The real korvane program in a terminal (a tmux pane) against korvane-sim: what the operator
// sees and does, read back from the screen.
#include "tests/TerminalHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

using termtest::LineWith;
using termtest::ProgressCells;
using termtest::Rig;

namespace {

const int kStartMs = 5000;
// A Stepper update of a few KiB at 115200 baud, with the slave's 2000 ms reset wait.
const int kUpdateMs = 20000;

#define SKIP_WITHOUT_TMUX()                                                                        \
    do {                                                                                           \
        if (!termtest::HaveTmux())                                                                 \
            GTEST_SKIP() << "tmux is not installed (scripts/install-deps installs it)";            \
    } while (0)

// Starts korvane and waits for its dialog.
#define START(rig, ...)                                                                            \
    ASSERT_TRUE(rig.Ok()) << rig.Why();                                                            \
    ASSERT_TRUE(rig.StartKorvane(__VA_ARGS__));                                                    \
    ASSERT_TRUE(rig.Pane().WaitFor("Flash!", kStartMs)) << rig.Pane().Screen()

} // namespace

TEST(TerminalScreen, StartUpShowsTemplate102) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x400);
    START(rig);
    const std::string screen = rig.Pane().Screen();
    EXPECT_NE(LineWith(screen, "Korvane").find("[OK][X]"), std::string::npos) << screen;
    // The radio buttons, the label and the combo box share their rows as the template has them.
    EXPECT_NE(LineWith(screen, "( ) OD").find("Slave Address[0x14"), std::string::npos) << screen;
    EXPECT_NE(LineWith(screen, "(*) Stepper"), "") << screen;
    EXPECT_NE(LineWith(screen, "Filename"), "") << screen;
    // The file field shows the default image's path, scrolled to its end; "..." beside it.
    EXPECT_NE(LineWith(screen, "Application.hex").find("<Store\\MCU\\Application.hex ][...]"),
              std::string::npos)
        << screen;
    int total = 0;
    EXPECT_EQ(ProgressCells(screen, &total), 0) << screen;
    EXPECT_EQ(total, 50) << screen;
    // The status line is empty.
    const std::string status = LineWith(screen, "[                    ");
    EXPECT_NE(status, "") << screen;
}

TEST(TerminalScreen, ChoosesOdStepperAndAnAddress) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x400);
    START(rig);
    termtest::Tmux& pane = rig.Pane();
    // Tab order: file field, "Flash!", "...", the combo box, the status line, "OD", "Stepper".
    pane.Keys({"Tab", "Tab", "Tab", "Down"});
    EXPECT_TRUE(pane.WaitFor("Slave Address[0x15", 2000)) << pane.Screen();
    pane.Keys({"Tab", "Tab", "Space"});
    EXPECT_TRUE(pane.WaitFor("(*) OD", 2000)) << pane.Screen();
    EXPECT_NE(LineWith(pane.Screen(), "( ) Stepper"), "");
    pane.Keys({"Tab", "Enter"});
    EXPECT_TRUE(pane.WaitFor("(*) Stepper", 2000)) << pane.Screen();
    EXPECT_NE(LineWith(pane.Screen(), "( ) OD"), "");
    // Back to the combo box, and through its open list to the last address.
    pane.Keys({"BTab", "BTab", "BTab", "Enter", "Down", "Down", "Down", "Enter"});
    EXPECT_TRUE(pane.WaitFor("Slave Address[0x1D", 2000)) << pane.Screen();
    // Down at the end of the list stays there.
    pane.Keys({"Down"});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_NE(pane.Screen().find("Slave Address[0x1D"), std::string::npos);
}

// "Flash!" for Stepper slave 0x15: the status texts, the progress bar moving while the update
// runs, the box answered with Enter, and the image in the slave's memory.
TEST(TerminalScreen, FlashesStepperSlaveThroughToSuccess) {
    SKIP_WITHOUT_TMUX();
    Rig rig({"--baud", "115200", "--program-ms", "15"}, 0x2000);
    START(rig);
    termtest::Tmux& pane = rig.Pane();
    pane.Keys({"Tab", "Tab", "Tab", "Down"});
    ASSERT_TRUE(pane.WaitFor("0x15", 2000));
    pane.Keys({"BTab", "BTab", "Enter"});

    // Mid-update: the bar partly filled, and filling.
    std::string screen;
    ASSERT_TRUE(pane.WaitFor("Programming...", kStartMs, &screen)) << screen;
    int first = -1, later = -1;
    for (int i = 0; i < 200 && later < 0; ++i) {
        const int cells = ProgressCells(pane.Screen());
        if (first < 0 && cells > 0 && cells < 50)
            first = cells;
        else if (first >= 0 && cells > first && cells < 50)
            later = cells;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(first, 0);
    EXPECT_GT(later, first) << "the bar did not move while the update ran";

    ASSERT_TRUE(pane.WaitFor("Update succeeded!", kUpdateMs, &screen)) << screen;
    // The box sits over the dialog while the status line still says what the update did last.
    EXPECT_NE(LineWith(screen, "Getting status"), "") << screen;
    EXPECT_NE(LineWith(screen, "[ OK ]"), "") << screen;
    EXPECT_EQ(ProgressCells(screen), 50) << screen;
    pane.Keys({"Enter"});
    ASSERT_TRUE(pane.WaitFor("Update sucessfully completed", 2000, &screen)) << screen;
    EXPECT_EQ(screen.find("Update succeeded!"), std::string::npos) << screen;

    pane.Keys({"Escape"});
    ASSERT_TRUE(pane.WaitFor("korvane-exit=", kStartMs));
    ASSERT_EQ(rig.Sim().Stop(SIGTERM), 0);
    bool okFile = false, okDump = false;
    const auto image = simtest::LoadHex(rig.ImagePath(), 2, &okFile);
    const auto memory = simtest::LoadHex(rig.Sim().DumpPath(0x15), 2, &okDump);
    ASSERT_TRUE(okFile && okDump);
    ASSERT_EQ(image.size(), 0x2000u);
    EXPECT_EQ(memory, image);
}

// Enter pressed again while the update runs neither starts a second update nor answers the box
// that ends the first unread.
TEST(TerminalScreen, KeysPressedDuringAnUpdateAreDropped) {
    SKIP_WITHOUT_TMUX();
    Rig rig({"--baud", "115200"}, 0x400);
    START(rig);
    termtest::Tmux& pane = rig.Pane();
    pane.Keys({"Tab", "Enter"});
    ASSERT_TRUE(pane.WaitFor("Resetting slave", kUpdateMs));
    pane.Keys({"Enter", "Enter"});
    std::string screen;
    ASSERT_TRUE(pane.WaitFor("Update succeeded!", kUpdateMs, &screen)) << screen;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(pane.Screen().find("Update succeeded!"), std::string::npos) << "answered unread";
    pane.Keys({"Enter"});
    ASSERT_TRUE(pane.WaitFor("[Update sucessfully completed", 2000, &screen)) << screen;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_NE(pane.Screen().find("[Update sucessfully completed"), std::string::npos);
    ASSERT_EQ(rig.Sim().Stop(SIGTERM), 0);
    int erases = 0;
    for (const std::string& request : rig.Sim().Requests())
        erases += simtest::Field(request, "command") == "Erase";
    EXPECT_EQ(erases, 1);
}

TEST(TerminalScreen, FailedStatusShowsStopSignAndMessage) {
    SKIP_WITHOUT_TMUX();
    Rig rig({"--status", "5"}, 0x100);
    START(rig);
    termtest::Tmux& pane = rig.Pane();
    pane.Keys({"Tab", "Enter"});
    std::string screen;
    ASSERT_TRUE(pane.WaitFor("Update failed! Error 5", kUpdateMs, &screen)) << screen;
    EXPECT_NE(LineWith(screen, "|STOP|"), "") << screen;
    pane.Keys({"Enter"});
    ASSERT_TRUE(pane.WaitFor("[Update failed! Error 5", 2000, &screen)) << screen;
    EXPECT_EQ(screen.find("STOP"), std::string::npos) << screen;
}

TEST(TerminalScreen, TypedPathThatCannotBeOpened) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x100);
    START(rig);
    termtest::Tmux& pane = rig.Pane();
    // Ctrl+U empties the field up to the caret (its end); then a path of our own.
    pane.Keys({"C-u"});
    pane.Type("/no/such/folder/image.hex");
    ASSERT_TRUE(pane.WaitFor("[/no/such/folder/image.hex", 2000)) << pane.Screen();
    // Editing keys: Home, Delete, then the caret moves right and a letter goes in.
    pane.Keys({"Home", "DC", "Right", "Right"});
    pane.Type("X");
    ASSERT_TRUE(pane.WaitFor("[noX/such/folder/image.hex", 2000)) << pane.Screen();
    pane.Keys({"Tab", "Space"});
    std::string screen;
    ASSERT_TRUE(pane.WaitFor("[Error opening file", kStartMs, &screen)) << screen;
    // Nothing reached the slave.
    EXPECT_TRUE(rig.Sim().Requests().empty());
}

TEST(TerminalScreen, BrowsePicksAFileAndCancelKeepsTheField) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x100);
    ASSERT_EQ(std::system(("mkdir -p '" + rig.Folder() + "/Nand Store/MCU/older' && touch '" +
                           rig.Folder() + "/Nand Store/MCU/older/v1.hex'")
                              .c_str()),
              0);
    START(rig);
    termtest::Tmux& pane = rig.Pane();
    pane.Keys({"Tab", "Tab", "Enter"});
    std::string screen;
    ASSERT_TRUE(pane.WaitFor("[ Cancel ]", 2000, &screen)) << screen;
    EXPECT_NE(LineWith(screen, "Nand Store/MCU"), "") << screen;
    EXPECT_NE(LineWith(screen, "older/"), "") << screen;
    pane.Keys({"Escape"});
    ASSERT_TRUE(pane.WaitFor("Flash!", 2000, &screen));
    EXPECT_NE(screen.find("<Store\\MCU\\Application.hex"), std::string::npos) << screen;

    // Into "older" (after ".."), and its one file.
    pane.Keys({"Enter"});
    ASSERT_TRUE(pane.WaitFor("[ Cancel ]", 2000));
    pane.Keys({"Down", "Enter"});
    ASSERT_TRUE(pane.WaitFor("v1.hex", 2000, &screen)) << screen;
    pane.Keys({"Down", "Enter"});
    ASSERT_TRUE(pane.WaitFor("/older/v1.hex ]", 2000, &screen)) << screen;
    EXPECT_EQ(screen.find("[ Cancel ]"), std::string::npos);
}

TEST(TerminalScreen, TooSmallATerminalSaysSoUntilItGrows) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x100);
    ASSERT_TRUE(rig.Ok()) << rig.Why();
    ASSERT_TRUE(rig.StartKorvane(50, 12));
    std::string screen;
    ASSERT_TRUE(rig.Pane().WaitFor("too small", kStartMs, &screen)) << screen;
    EXPECT_NE(screen.find("63 columns and 17 rows"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("Flash!"), std::string::npos) << screen;
    rig.Pane().Resize(80, 24);
    EXPECT_TRUE(rig.Pane().WaitFor("Flash!", kStartMs, &screen)) << screen;
}

TEST(TerminalScreen, MouseClicksRadioButtonAndCaptionClose) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x100);
    START(rig);
    termtest::Tmux& pane = rig.Pane();
    const std::string screen = pane.Screen();
    // Where "OD" is on the screen: a click there as the terminal reports it (X10 encoding,
    // button 1 pressed then released, 1-based cells offset by 32).
    std::istringstream lines(screen);
    std::string line;
    int row = 0, col = -1;
    for (; std::getline(lines, line); ++row) {
        const size_t at = line.find("( ) OD");
        if (at != std::string::npos) {
            // Columns count characters: the frame's line is one multi-byte character.
            col = static_cast<int>(at) - 2 + 4;
            break;
        }
    }
    ASSERT_GE(col, 0) << screen;
    auto click = [&](int c, int r) {
        pane.Bytes({0x1b, '[', 'M', 32, static_cast<unsigned char>(33 + c),
                    static_cast<unsigned char>(33 + r)});
        pane.Bytes({0x1b, '[', 'M', 35, static_cast<unsigned char>(33 + c),
                    static_cast<unsigned char>(33 + r)});
    };
    click(col, row);
    EXPECT_TRUE(pane.WaitFor("(*) OD", 2000)) << pane.Screen();
    // The caption's close button ends the dialog.
    std::istringstream again(pane.Screen());
    for (row = 0; std::getline(again, line); ++row) {
        const size_t at = line.find("[X]");
        if (at != std::string::npos) {
            // Every character before it on the caption line but the leading blanks is one of
            // the frame's three-byte characters or ASCII: count characters, not bytes.
            int chars = 0;
            for (size_t i = 0; i < at; ++i)
                chars += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
            col = chars + 1;
            break;
        }
    }
    click(col, row);
    EXPECT_TRUE(pane.WaitFor("korvane-exit=0", 2000)) << pane.Screen();
}

// A port that is no serial line: the serial layer's console messages go to the log, and the
// screen shows only the dialog and its status line.
TEST(TerminalScreen, ConsoleOutputGoesToTheLogNotTheScreen) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x100);
    ASSERT_TRUE(rig.Ok()) << rig.Why();
    ASSERT_TRUE(rig.StartKorvane(80, 24, "/dev/null"));
    ASSERT_TRUE(rig.Pane().WaitFor("Flash!", kStartMs));
    rig.Pane().Keys({"Tab", "Enter"});
    std::string screen;
    ASSERT_TRUE(rig.Pane().WaitFor("[Error opening port", kStartMs, &screen)) << screen;
    EXPECT_EQ(screen.find("SetupComm"), std::string::npos) << screen;
    rig.Pane().Keys({"Escape"});
    ASSERT_TRUE(rig.Pane().WaitFor("korvane-exit=0", kStartMs, &screen)) << screen;
    EXPECT_EQ(screen.find("SetupComm"), std::string::npos) << screen;
    std::ifstream log(rig.LogPath());
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find(" Error SetupComm\n"), std::string::npos) << text.str();
}

TEST(TerminalScreen, EscClosesAndGivesTheTerminalBack) {
    SKIP_WITHOUT_TMUX();
    Rig rig({}, 0x100);
    START(rig);
    rig.Pane().Keys({"Escape"});
    std::string screen;
    ASSERT_TRUE(rig.Pane().WaitFor("korvane-exit=0", kStartMs, &screen)) << screen;
    // The dialog's screen is gone and the terminal's settings are as they were.
    EXPECT_EQ(screen.find("Flash!"), std::string::npos) << screen;
    EXPECT_FALSE(rig.SettingsBefore().empty());
    EXPECT_EQ(rig.SettingsAfter(), rig.SettingsBefore());
}

// Ctrl+C while the dialog flashes ends the program at once, and gives back both the terminal
// and the port, so that the next run opens it.
TEST(TerminalScreen, CtrlCWhileFlashingGivesTheTerminalAndThePortBack) {
    SKIP_WITHOUT_TMUX();
    Rig rig({"--program-ms", "300"}, 0x400);
    START(rig);
    rig.Pane().Keys({"Tab", "Enter"});
    std::string screen;
    ASSERT_TRUE(rig.Pane().WaitFor("Programming...", kStartMs, &screen)) << screen;
    rig.Pane().Keys({"C-c"});
    ASSERT_TRUE(rig.Pane().WaitFor("korvane-exit=130", kStartMs, &screen)) << screen;
    EXPECT_EQ(rig.SettingsAfter(), rig.SettingsBefore());
    EXPECT_EQ(termtest::PortFree(rig.Sim().Path()), "");
}

// A signal that ends the program still gives the terminal back.
TEST(TerminalScreen, FatalSignalGivesTheTerminalBack) {
    SKIP_WITHOUT_TMUX();
    for (int sig : {SIGTERM, SIGSEGV}) {
        SCOPED_TRACE(sig);
        Rig rig({}, 0x100);
        START(rig);
        const int pid = rig.KorvanePid();
        ASSERT_GT(pid, 0);
        ASSERT_EQ(kill(pid, sig), 0);
        std::string screen;
        ASSERT_TRUE(
            rig.Pane().WaitFor("korvane-exit=" + std::to_string(128 + sig), kStartMs, &screen))
            << screen;
        EXPECT_EQ(screen.find("Flash!"), std::string::npos) << screen;
        EXPECT_EQ(rig.SettingsAfter(), rig.SettingsBefore());
    }
}
