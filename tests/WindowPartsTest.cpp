// The window back end's parts that need no display: template 102 in pixels, where windows go,
// the file chooser's filter and default extension, the message boxes' buttons, and when a
// window can be shown at all.
#include "app/KorvaneRes.h"
#include "app/resource.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/WindowChooserRules.h"
#include "platform/ui/WindowLayout.h"
#include "platform/ui/WindowMessageBox.h"
#include "platform/ui/WindowScale.h"
#include "tests/SimHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <unistd.h>

namespace {

const UI_RECT* PlaceOf(const WIN_DIALOG_PLACE& place, WORD id) {
    for (UINT i = 0; i < g_dlgKorvane.itemCount; ++i) {
        if (g_dlgKorvane.items[i].id == id)
            return &place.controls[i];
    }
    return nullptr;
}

bool Overlap(const UI_RECT& a, const UI_RECT& b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

// An environment variable set or unset for one test, put back after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_bHad = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_bHad)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_bHad;
    std::string m_old;
};

} // namespace

TEST(WindowLayout, BaseUnitsAreTheRoundedAverageLetterWidthAndTheHeight) {
    struct Case {
        int letters, height, x, y;
    } cases[] = {
        {312, 13, 6, 13}, // 6.0 a letter
        {337, 15, 6, 15}, // 6.48 rounds down
        {338, 15, 7, 15}, // 6.5 rounds up
        {0, 0, 1, 1},     // a font that measures nothing still gives units
    };
    for (const Case& c : cases) {
        const WIN_BASE_UNITS units = WinBaseUnits(c.letters, c.height);
        EXPECT_EQ(units.x, c.x) << c.letters;
        EXPECT_EQ(units.y, c.y) << c.letters;
    }
}

TEST(WindowLayout, Template102InPixels) {
    const WIN_DIALOG_PLACE place = WinPlaceDialog(g_dlgKorvane, {7, 15}, 21);
    ASSERT_EQ(place.controls.size(), g_dlgKorvane.itemCount);
    struct Expect {
        WORD id;
        UI_RECT rect;
    } expected[] = {
        {IDC_FLASH, {278, 24, 121, 90}},        // 159, 13, 69, 48
        {IDC_STATUS, {12, 195, 403, 23}},       // 7, 104, 230, 12
        {IDC_SLAVE_ADDRESS, {198, 24, 58, 21}}, // the closed field, not the 57 units of the list
        {IDC_STEPPER, {21, 41, 74, 17}},        // 12, 22, 42, 9
        {IDC_PROGRESS, {37, 141, 350, 30}},     // 21, 75, 200, 16
    };
    for (const Expect& e : expected) {
        const UI_RECT* r = PlaceOf(place, e.id);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->x, e.rect.x) << e.id;
        EXPECT_EQ(r->y, e.rect.y) << e.id;
        EXPECT_EQ(r->cx, e.rect.cx) << e.id;
        EXPECT_EQ(r->cy, e.rect.cy) << e.id;
    }
    // 244 x 115 units are 427 x 216 pixels; the status line reaches one unit below, and the
    // window grows to show it whole. Edges round to the nearest pixel: 255.5 is 256.
    EXPECT_EQ(place.cx, 427);
    EXPECT_EQ(place.cy, 218);
}

// At any font, every control lies inside the window and none covers another: a combo box
// drawn at its list's height would cover the file field below it.
TEST(WindowLayout, ControlsFitAndDoNotOverlapAtAnyFont) {
    for (const WIN_BASE_UNITS units : {WIN_BASE_UNITS{6, 13}, WIN_BASE_UNITS{7, 15},
                                       WIN_BASE_UNITS{8, 16}, WIN_BASE_UNITS{11, 22}}) {
        const WIN_DIALOG_PLACE place = WinPlaceDialog(g_dlgKorvane, units, units.y * 3 / 2);
        for (size_t i = 0; i < place.controls.size(); ++i) {
            const UI_RECT& a = place.controls[i];
            EXPECT_GE(a.x, 0);
            EXPECT_GE(a.y, 0);
            EXPECT_LE(a.x + a.cx, place.cx) << i;
            EXPECT_LE(a.y + a.cy, place.cy) << i;
            for (size_t j = i + 1; j < place.controls.size(); ++j)
                EXPECT_FALSE(Overlap(a, place.controls[j]))
                    << g_dlgKorvane.items[i].id << " and " << g_dlgKorvane.items[j].id << " at "
                    << units.x << "x" << units.y;
        }
    }
}

TEST(WindowLayout, WindowsAreCentredOrAtTheTemplatePlaceAndOnTheScreen) {
    struct Case {
        BOOL bCentered;
        int cx, cy, screenCx, screenCy, x, y;
    } cases[] = {
        {TRUE, 427, 218, 1024, 768, 298, 275},
        {FALSE, 427, 218, 1024, 768, 0, 0}, // template 102 sits at 0, 0
        {TRUE, 1200, 900, 1024, 768, 0, 0}, // larger than the screen: its corner stays on it
    };
    for (const Case& c : cases) {
        int x = -1, y = -1;
        WinPlaceWindow(g_dlgKorvane, {7, 15}, c.bCentered, c.cx, c.cy, c.screenCx, c.screenCy, &x,
                       &y);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
}

TEST(WindowFileChooser, FilterBecomesTheToolkitsPatternList) {
    struct Case {
        const wchar_t* filter;
        const char* expected;
    } cases[] = {
        {L"", ""},
        {L"HEX files (*.hex)|*.hex|All files|*.*|", "HEX files (*.hex)\t*.hex\nAll files\t*.*"},
        {L"Images|*.hex;*.out", "Images\t*.hex;*.out"}, // no closing bar
        {L"Nothing||HEX|*.hex|", "HEX\t*.hex"},         // a pair without a pattern is left out
        {L"just text", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WinChooserFilter(c.filter), c.expected) << std::string(c.expected);
}

TEST(WindowFileChooser, DefaultExtensionOnlyForANameWithoutOne) {
    const std::set<std::wstring> existing = {L"/img/plain"};
    const auto exists = [&](const std::wstring& path) { return existing.count(path) > 0; };
    struct Case {
        const wchar_t* path;
        const wchar_t* defExt;
        const wchar_t* expected;
    } cases[] = {
        {L"/img/app", L".out", L"/img/app.out"},
        {L"/img/app", L"out", L"/img/app.out"},
        {L"/img/app.hex", L".out", L"/img/app.hex"}, // has its own
        {L"/img.d/app", L".out", L"/img.d/app.out"}, // a dot in the folder is no extension
        {L"/img/plain", L".out", L"/img/plain"},     // that very file exists
        {L"/img/app", L"", L"/img/app"},
        {L"/img/", L".out", L"/img/"}, // no name at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(WinWithDefaultExtension(c.path, c.defExt, exists), c.expected);
}

TEST(WindowFileChooser, StartsInTheFileFolderOrTheCurrentOne) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(WinChooserFolder(L"/tmp/some-image.hex"), "/tmp");
    EXPECT_EQ(WinChooserFolder(L"/hosts"), "/");
    EXPECT_EQ(WinChooserFolder(L""), cwd);
    EXPECT_EQ(WinChooserFolder(L"/no/such/folder/image.hex"), cwd);
    EXPECT_EQ(WinChooserFolder(L"\\Nand Store\\MCU\\Application.hex"), cwd);
}

TEST(WindowChoice, NoWindowWithoutADisplay) {
    std::string why;
    {
        ScopedEnv display("DISPLAY", nullptr);
        ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
        EXPECT_FALSE(UiWindowAvailable(&why));
        EXPECT_NE(why.find(UiWindowBuilt() ? "DISPLAY" : "not built"), std::string::npos) << why;
    }
    if (!UiWindowBuilt())
        return;
    {
        ScopedEnv display("DISPLAY", nullptr);
        ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_FALSE(UiWindowAvailable(&why));
        EXPECT_NE(why.find("XWayland"), std::string::npos) << why;
    }
    ScopedEnv display("DISPLAY", ":4711");
    EXPECT_FALSE(UiWindowAvailable(&why));
    EXPECT_NE(why.find("\":4711\" cannot be opened"), std::string::npos) << why;
}

// A back end named in KORVANE_UI that cannot be used: korvane says why and takes the terminal
// (which, with no terminal to hold here, ends the dialog at once).
TEST(WindowChoice, ANamedBackEndThatCannotBeUsedFallsBackToTheTerminal) {
    struct Case {
        const char* env;
        std::string said;
    };
    const Case cases[] = {
        {"DISPLAY=:4711 KORVANE_UI=window",
         UiWindowBuilt() ? "korvane: no window: the X display \":4711\" cannot be opened; using "
                           "the terminal"
                         : "korvane: no window: the window back end (the package korvane-window) "
                           "is missing: korvane-window.so is not built or not installed"},
        {"DISPLAY=:4711 KORVANE_UI=paper",
         "korvane: KORVANE_UI=paper is no dialog back end (terminal, window); using the terminal"},
    };
    for (const Case& c : cases) {
        const std::string out = simtest::ShellOutput(
            std::string("cd /tmp && env -u WAYLAND_DISPLAY ") + c.env +
            " CE_COM6=/nonexistent timeout 10 " KORVANE_BINARY_DIR "/korvane </dev/null 2>&1;"
            " echo \"exit $?\"");
        EXPECT_EQ(out.find("exit 124"), std::string::npos)
            << c.env << ": korvane did not end: " << out;
        EXPECT_NE(out.find(c.said), std::string::npos) << c.env << ": " << out;
    }
}

// The display's scale: Xft.dpi over 96 where the X resources give a number (held within 1 to
// 4), else KORVANE_SCALE from 1 to 4; a KORVANE_SCALE that is no such number gives 1 and a
// reason, an unset one nothing.
TEST(WindowParts, ScaleFromXftDpiOrKorvaneScale) {
    struct {
        const char* dpi;
        const char* setting;
        double scale;
        bool bSaid;
    } cases[] = {
        {nullptr, nullptr, 1, false}, {"96", nullptr, 1, false}, {"192", "3", 2, false},
        {"144", nullptr, 1.5, false}, {"72", "3", 1, false},     {"600", nullptr, 4, false},
        {"abc", "3", 3, false},       {"0", "2.5", 2.5, false},  {"", "4", 4, false},
        {nullptr, "1", 1, false},     {nullptr, "", 1, false},   {nullptr, "5", 1, true},
        {nullptr, "0.5", 1, true},    {nullptr, "2x", 1, true},  {nullptr, "nan", 1, true},
        {nullptr, "-2", 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dpi ? c.dpi : "(none)") + " / " +
                     (c.setting ? c.setting : "(none)"));
        std::string why;
        EXPECT_DOUBLE_EQ(WinChooseScale(c.dpi, c.setting, &why), c.scale);
        EXPECT_EQ(!why.empty(), c.bSaid) << why;
    }
}
