// The real korvane program in a window on Xvfb against korvane-sim, worked with xdotool: the
// window is chosen because a display answers, template 102 is laid out in pixels, the mouse
// and the keyboard run updates, the boxes are answered, and the slave's memory is checked
// against the file.
#include "tests/WindowHarness.h"

#include "app/resource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

using wintest::Geometry;
using wintest::Rig;

namespace {

const int kStartMs = 10000;
// A small Stepper image at 115200 baud, with the slave's 2000 ms reset wait.
const int kUpdateMs = 30000;
const char kDialogClass[] = "Korvane";
const char kBoxClass[] = "KorvaneMessageBox";

#define SKIP_WITHOUT_X()                                                                           \
    do {                                                                                           \
        const std::string missing = wintest::Missing();                                            \
        if (!missing.empty())                                                                      \
            GTEST_SKIP() << "Window tests skipped: " << missing;                                   \
    } while (0)

// The dialog's window once it shows, with its geometry and base units.
struct Shown {
    unsigned long window = 0;
    Geometry at;
    wintest::Units units;
};

#define START(rig, shown, ...)                                                                     \
    ASSERT_TRUE(rig.Ok()) << rig.Why();                                                            \
    ASSERT_TRUE(rig.Start(__VA_ARGS__));                                                           \
    shown.window = rig.X().WaitWindow(kDialogClass, kStartMs);                                     \
    ASSERT_NE(shown.window, 0u) << rig.Output();                                                   \
    shown.at = rig.X().Where(shown.window);                                                        \
    shown.units = wintest::UnitsOf(shown.at);                                                      \
    ASSERT_GT(shown.units.x, 0) << shown.at.cx << "x" << shown.at.cy

void ClickControl(Rig& rig, const Shown& shown, unsigned short id) {
    int x = 0, y = 0;
    wintest::CentreOf(id, shown.units, &x, &y);
    rig.X().Click(shown.window, x, y);
}

// The slave's memory against the image, word-addressed as a Stepper counts.
void ExpectFlashed(Rig& rig, unsigned char slave) {
    ASSERT_EQ(rig.Sim().Stop(), 0);
    bool okFile = false, okDump = false;
    const auto image = simtest::LoadHex(rig.ImagePath(), 2, &okFile);
    const auto memory = simtest::LoadHex(rig.Sim().DumpPath(slave), 2, &okDump);
    ASSERT_TRUE(okFile);
    ASSERT_TRUE(okDump) << "no dump of slave " << int(slave);
    ASSERT_FALSE(image.empty());
    // The last block runs on past the image with the erased bytes the slave kept: each byte
    // of the file is in memory, and nothing else was written but 0xFF.
    for (const auto& [address, byte] : image) {
        const auto at = memory.find(address);
        ASSERT_TRUE(at != memory.end()) << std::hex << address;
        ASSERT_EQ(at->second, byte) << std::hex << address;
    }
    for (const auto& [address, byte] : memory) {
        if (!image.count(address)) {
            ASSERT_EQ(byte, 0xFF) << std::hex << address;
        }
    }
}

int Count(const std::vector<std::string>& requests, const std::string& command) {
    int count = 0;
    for (const std::string& request : requests)
        count += simtest::Field(request, "command") == command ? 1 : 0;
    return count;
}

} // namespace

// The operator's road with the mouse: "Stepper", "Flash!", the box's OK, the close button.
// The screenshot of the dialog after the update goes to the build folder (and, with
// KORVANE_SCREENSHOT_DOCS=1, to docs/korvane-window.png).
TEST(WindowScreen, FlashesStepperSlaveWithTheMouse) {
    SKIP_WITHOUT_X();
    Rig rig({"--baud", "115200"}, 0x1000);
    Shown shown;
    START(rig, shown);
    EXPECT_EQ(rig.X().Name(shown.window), "Korvane");
    // Centred on the 1024 x 768 screen.
    EXPECT_NEAR(shown.at.x, (1024 - shown.at.cx) / 2, 1);
    EXPECT_NEAR(shown.at.y, (768 - shown.at.cy) / 2, 1);

    ClickControl(rig, shown, IDC_OD); // first away from the start-up choice, then back
    ClickControl(rig, shown, IDC_STEPPER);
    ClickControl(rig, shown, IDC_FLASH);
    const unsigned long box = rig.X().WaitWindow(kBoxClass, kUpdateMs);
    ASSERT_NE(box, 0u) << rig.Output();
    EXPECT_EQ(rig.X().Name(box), "korvane");
    // A box with just OK carries no icon: no red of the stop sign.
    EXPECT_EQ(rig.X().CountColour(rig.X().Where(box), "#CC0000"), 0);
    rig.X().Keys(box, {"Return"});
    ASSERT_TRUE(rig.X().WaitGone(kBoxClass, 5000));

    // The progress bar stands full: inside its border, the bar's blue from end to end.
    const Geometry progress = wintest::RectOf(IDC_PROGRESS, shown.units);
    const Geometry inside = {shown.at.x + progress.x + 3, shown.at.y + progress.y + progress.cy / 2,
                             progress.cx - 6, 1};
    EXPECT_EQ(rig.X().CountColour(inside, "#0040C0"), inside.cx);

    const std::string shot = KORVANE_BINARY_DIR "/korvane-window.png";
    EXPECT_TRUE(rig.X().Shot(shown.at, shot));
    if (const char* docs = std::getenv("KORVANE_SCREENSHOT_DOCS"); docs && *docs == '1')
        std::system(("cp '" + shot + "' '" KORVANE_SOURCE_DIR "/docs/korvane-window.png'").c_str());

    // The window's close button ends the dialog and the program.
    ASSERT_TRUE(rig.X().Close(shown.window));
    EXPECT_EQ(rig.WaitExit(5000), 0) << rig.Output();
    ExpectFlashed(rig, 0x14);
    EXPECT_EQ(Count(rig.Sim().Requests(), "Erase"), 1);
}

// The same road with the keyboard alone: the focus starts on the file field; Tab reaches the
// combo box, Down picks 0x15, Shift+Tab goes back to "Flash!", Space presses it. Space again,
// with the display still sending keys to the dialog, answers the box over it and does not
// press "Flash!" a second time; Esc closes the dialog.
TEST(WindowScreen, FlashesStepperSlaveWithTheKeyboard) {
    SKIP_WITHOUT_X();
    Rig rig({"--baud", "115200"}, 0x800);
    Shown shown;
    START(rig, shown);
    // The window carries the dialog's icon, the program's 48 px icon (IDR_MAINFRAME).
    const std::string icon =
        rig.X().Run("xprop -id " + std::to_string(shown.window) + " _NET_WM_ICON");
    EXPECT_NE(icon.find("Icon (48 x 48)"), std::string::npos) << icon.substr(0, 200);
    rig.X().Keys(shown.window, {"Tab", "Tab", "Tab", "Down", "shift+Tab", "shift+Tab", "space"});
    const unsigned long box = rig.X().WaitWindow(kBoxClass, kUpdateMs);
    ASSERT_NE(box, 0u) << rig.Output();
    rig.X().Keys(shown.window, {"space"});
    ASSERT_TRUE(rig.X().WaitGone(kBoxClass, 5000));
    rig.X().Keys(shown.window, {"Escape"});
    EXPECT_EQ(rig.WaitExit(5000), 0) << rig.Output();
    ExpectFlashed(rig, 0x15);
    EXPECT_EQ(Count(rig.Sim().Requests(), "Erase"), 1);
}

// The update holds the program, yet the progress bar is drawn as each block goes: seen part
// filled while the slave is still being programmed, full at the end.
TEST(WindowScreen, ProgressIsDrawnWhileTheUpdateRuns) {
    SKIP_WITHOUT_X();
    Rig rig({"--baud", "115200", "--program-ms", "60"}, 0x2000); // 64 blocks, 4 s or more
    Shown shown;
    START(rig, shown);
    const Geometry progress = wintest::RectOf(IDC_PROGRESS, shown.units);
    const Geometry inside = {shown.at.x + progress.x + 3, shown.at.y + progress.y + progress.cy / 2,
                             progress.cx - 6, 1};
    ClickControl(rig, shown, IDC_FLASH);
    std::vector<int> seen;
    unsigned long box = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kUpdateMs);
    while (!box && std::chrono::steady_clock::now() < end) {
        seen.push_back(rig.X().CountColour(inside, "#0040C0"));
        box = rig.X().WaitWindow(kBoxClass, 0);
    }
    ASSERT_NE(box, 0u) << rig.Output();
    bool bPart = false;
    for (size_t i = 0; i < seen.size(); ++i) {
        bPart = bPart || (seen[i] > 0 && seen[i] < inside.cx);
        if (i > 0) {
            EXPECT_GE(seen[i], seen[i - 1]) << "the bar went back";
        }
    }
    EXPECT_TRUE(bPart) << "the bar was never seen part filled in " << seen.size() << " looks";
    EXPECT_EQ(rig.X().CountColour(inside, "#0040C0"), inside.cx);
    rig.X().Keys(box, {"Return"});
    ASSERT_TRUE(rig.X().WaitGone(kBoxClass, 5000));
    rig.X().Keys(shown.window, {"Escape"});
    EXPECT_EQ(rig.WaitExit(5000), 0) << rig.Output();
}

// Enter pressed while the slave is still answering GetStatus (the update holds the program)
// does not answer the box that comes after: the box waits to be read.
TEST(WindowScreen, KeysPressedBeforeTheBoxDoNotAnswerIt) {
    SKIP_WITHOUT_X();
    Rig rig({"--delay", "100", "--delay-ms", "1500"}, 0x100); // every answer 1.5 s late
    Shown shown;
    START(rig, shown);
    ClickControl(rig, shown, IDC_FLASH);
    bool bAsked = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kUpdateMs);
    while (!bAsked && std::chrono::steady_clock::now() < end) {
        for (const std::string& request : rig.Sim().Requests())
            bAsked = bAsked || simtest::Field(request, "command") == "GetStatus";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(bAsked);
    rig.X().Keys(shown.window, {"Return", "space"});
    const unsigned long box = rig.X().WaitWindow(kBoxClass, 5000);
    ASSERT_NE(box, 0u) << rig.Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(rig.X().WaitWindow(kBoxClass, 0), box) << "the box was answered unread";
    rig.X().Keys(box, {"Return"});
    ASSERT_TRUE(rig.X().WaitGone(kBoxClass, 5000));
    rig.X().Keys(shown.window, {"Escape"});
    EXPECT_EQ(rig.WaitExit(5000), 0) << rig.Output();
}

// A slave that reports status 5: the box shows the stop sign; Esc answers a box with only OK.
TEST(WindowScreen, FailedStatusShowsTheStopIcon) {
    SKIP_WITHOUT_X();
    Rig rig({"--status", "5"}, 0x200);
    Shown shown;
    START(rig, shown);
    ClickControl(rig, shown, IDC_FLASH);
    const unsigned long box = rig.X().WaitWindow(kBoxClass, kUpdateMs);
    ASSERT_NE(box, 0u) << rig.Output();
    const Geometry at = rig.X().Where(box);
    EXPECT_GT(rig.X().CountColour(at, "#CC0000"), 200);
    rig.X().Shot(at, KORVANE_BINARY_DIR "/korvane-window-stop.png");
    rig.X().Keys(box, {"Escape"});
    ASSERT_TRUE(rig.X().WaitGone(kBoxClass, 5000));
    // The dialog is still there, and Esc closes it.
    rig.X().Keys(shown.window, {"Escape"});
    EXPECT_EQ(rig.WaitExit(5000), 0) << rig.Output();
}

// Forced to the terminal, korvane shows no window even with a display.
TEST(WindowScreen, KorvaneUiTerminalShowsNoWindow) {
    SKIP_WITHOUT_X();
    Rig rig({}, 0x200);
    ASSERT_TRUE(rig.Ok()) << rig.Why();
    ASSERT_TRUE(rig.Start("KORVANE_UI=terminal TERM=dumb"));
    EXPECT_EQ(rig.X().WaitWindow(kDialogClass, 1500), 0u);
}

namespace {

// The screenshot in the build folder, and with KORVANE_SCREENSHOT_DOCS=1 in docs/ too.
void KeepShot(Rig& rig, const Geometry& area, const std::string& name) {
    const std::string shot = KORVANE_BINARY_DIR "/" + name;
    EXPECT_TRUE(rig.X().Shot(area, shot));
    if (const char* docs = std::getenv("KORVANE_SCREENSHOT_DOCS"); docs && *docs == '1')
        std::system(("cp '" + shot + "' '" KORVANE_SOURCE_DIR "/docs/" + name + "'").c_str());
}

// The dialog at scale 1: template 102 through the 12 px font's base units, 7 x 15 px.
const int kScale1Cx = 427, kScale1Cy = 218;
const int kScale1UnitX = 7, kScale1UnitY = 15;

} // namespace

// The window follows the display's scale: Xft.dpi from the X resources first (192 dpi is
// twice 96, and wins over KORVANE_SCALE), else KORVANE_SCALE; a value out of 1 to 4 draws at
// scale 1 and says so. Each size is still the template's layout (START finds the base units
// that give it). The base units are the scaled font's own, whole pixels as Windows counts
// them: twice the font is twice the units within a unit's rounding (7.4 px rounds to 7 at
// 12 px, 14.8 to 15 at 24), so the window is twice as large within some 7%.
TEST(WindowScreen, ScaleFollowsXftDpiElseKorvaneScale) {
    SKIP_WITHOUT_X();
    struct {
        const char* resources;
        const char* env;
        double scale;
        const char* said; // on standard error, or ""
    } cases[] = {
        {"", "", 1, ""},
        {"", "KORVANE_SCALE=2", 2, ""},
        {"Xft.dpi:\t192\n", "KORVANE_SCALE=1", 2, ""},
        {"", "KORVANE_SCALE=9", 1, "KORVANE_SCALE=\"9\" is not a scale from 1 to 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.resources) + c.env);
        Rig rig({}, 0x100);
        ASSERT_TRUE(rig.Ok()) << rig.Why();
        if (*c.resources) {
            ASSERT_TRUE(rig.X().SetResources(c.resources));
        }
        Shown shown;
        START(rig, shown, c.env);
        EXPECT_NEAR(shown.units.x, c.scale * kScale1UnitX, c.scale);
        EXPECT_NEAR(shown.units.y, c.scale * kScale1UnitY, c.scale);
        EXPECT_NEAR(shown.at.cx, c.scale * kScale1Cx, 0.1 * c.scale * kScale1Cx);
        EXPECT_NEAR(shown.at.cy, c.scale * kScale1Cy, 0.1 * c.scale * kScale1Cy);
        if (c.scale == 1) {
            EXPECT_EQ(shown.at.cx, kScale1Cx);
            EXPECT_EQ(shown.at.cy, kScale1Cy);
        }
        EXPECT_NEAR(shown.at.x, (1024 - shown.at.cx) / 2, 1);
        rig.X().Keys(shown.window, {"Escape"});
        EXPECT_EQ(rig.WaitExit(5000), 0);
        const std::string said = rig.Output();
        if (*c.said) {
            EXPECT_NE(said.find(c.said), std::string::npos) << said;
        } else {
            EXPECT_EQ(said.find("KORVANE_SCALE"), std::string::npos) << said;
        }
    }
}

// At scale 2 the mouse still finds the controls where the template puts them ("OD", "Stepper",
// "Flash!"), the update runs, and the box over it is as large again.
TEST(WindowScreen, FlashesAtScaleTwo) {
    SKIP_WITHOUT_X();
    Rig rig({"--baud", "115200"}, 0x800);
    Shown shown;
    START(rig, shown, "KORVANE_SCALE=2");
    ClickControl(rig, shown, IDC_OD);
    ClickControl(rig, shown, IDC_STEPPER);
    ClickControl(rig, shown, IDC_FLASH);
    const unsigned long box = rig.X().WaitWindow(kBoxClass, kUpdateMs);
    ASSERT_NE(box, 0u) << rig.Output();
    EXPECT_GE(rig.X().Where(box).cx, 2 * 160);
    rig.X().Keys(box, {"Return"});
    ASSERT_TRUE(rig.X().WaitGone(kBoxClass, 5000));
    KeepShot(rig, shown.at, "korvane-window-scale2.png");
    rig.X().Keys(shown.window, {"Escape"});
    EXPECT_EQ(rig.WaitExit(5000), 0) << rig.Output();
    ExpectFlashed(rig, 0x14);
}

// korvane --fullscreen: the window is the screen, the template as large as it fits, in the
// middle; the keyboard runs an update there as anywhere (Tab to "Flash!", Space, Enter, Esc).
TEST(WindowScreen, FullScreenFillsTheScreen) {
    SKIP_WITHOUT_X();
    Rig rig({"--baud", "115200"}, 0x800);
    ASSERT_TRUE(rig.Ok()) << rig.Why();
    ASSERT_TRUE(rig.Start("", "--fullscreen"));
    const unsigned long window = rig.X().WaitWindow(kDialogClass, kStartMs);
    ASSERT_NE(window, 0u) << rig.Output();
    const Geometry at = rig.X().Where(window);
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(at.y, 0);
    EXPECT_EQ(at.cx, 1024);
    EXPECT_EQ(at.cy, 768);
    rig.X().Keys(window, {"Tab", "space"});
    const unsigned long box = rig.X().WaitWindow(kBoxClass, kUpdateMs);
    ASSERT_NE(box, 0u) << rig.Output();
    rig.X().Keys(box, {"Return"});
    ASSERT_TRUE(rig.X().WaitGone(kBoxClass, 5000));
    // The full bar: at scale 1 it is some 340 x 19 px of blue; here more than four times that.
    EXPECT_GT(rig.X().CountColour(at, "#0040C0"), 4 * 340 * 19);
    KeepShot(rig, at, "korvane-window-fullscreen.png");
    rig.X().Keys(window, {"Escape"});
    EXPECT_EQ(rig.WaitExit(5000), 0) << rig.Output();
    ExpectFlashed(rig, 0x14);
}
