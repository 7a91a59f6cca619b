// Runs the real korvane program on an X server of its own (Xvfb, through xvfb-run) against
// korvane-sim, and works it as an operator would with xdotool: clicks and keys, windows found
// by their class, screenshots with ImageMagick's import. Every wait is bounded.
#pragma once

#include "tests/SimHarness.h"

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay; // Xlib's Display

namespace wintest {

// What is missing to run these tests here (empty when nothing is).
std::string Missing();

struct Geometry {
    int x = 0, y = 0, cx = 0, cy = 0;
};

// An Xvfb display of 1024 x 768 at 24 bits, made by xvfb-run -a, for as long as it lives.
class XServer {
public:
    XServer();
    ~XServer();
    bool Ok() const { return !m_display.empty(); }
    // A shell command's standard output, run with this display (bounded by `timeout`).
    std::string Run(const std::string& command, int seconds = 10) const;
    // The environment assignments that put a program on this display.
    std::string Env() const;

    // The first window of this class within `ms`; 0 when none shows.
    unsigned long WaitWindow(const std::string& cls, int ms) const;
    // Whether no window of this class is left within `ms`.
    bool WaitGone(const std::string& cls, int ms) const;
    std::string Name(unsigned long window) const;
    Geometry Where(unsigned long window) const;
    // A click with the first button at x, y inside the window; keys by X's names, to the
    // window under the pointer.
    void Click(unsigned long window, int x, int y) const;
    void Keys(unsigned long window, const std::vector<std::string>& keys) const;
    // What the window manager sends when the window's close button is pressed.
    bool Close(unsigned long window) const;
    // The server's X resources (RESOURCE_MANAGER), as xrdb would load them: "Xft.dpi: 192\n".
    bool SetResources(const std::string& resources) const;
    // The screen inside `area` as a PNG at `path`.
    bool Shot(const Geometry& area, const std::string& path) const;
    // How many pixels in `area` have exactly this colour (#RRGGBB).
    int CountColour(const Geometry& area, const std::string& rgb) const;

private:
    void Launch();
    // A connection of the test's own to this display (null when it does not answer).
    ::_XDisplay* Connect() const;

    pid_t m_pid = -1;
    std::string m_dir, m_display, m_auth;
};

// korvane on a display against a simulator, with a Stepper image made by srec_cat and
// objcopy in $CE_ROOT/Nand Store/MCU/Application.hex.
class Rig {
public:
    Rig(const std::vector<std::string>& simArgs, size_t imageBytes);
    ~Rig();
    bool Ok() const { return m_error.empty(); }
    const std::string& Why() const { return m_error; }

    // Starts korvane with the display's environment plus `env` ("NAME=value ...") and the
    // arguments `args` (already quoted for the shell).
    bool Start(const std::string& env = "", const std::string& args = "");
    // korvane's exit status within `ms`; -1 when it is still running (it is then killed).
    int WaitExit(int ms);
    std::string Output() const;

    XServer& X() { return m_x; }
    simtest::Sim& Sim() { return *m_sim; }
    std::string ImagePath() const;

private:
    XServer m_x;
    std::unique_ptr<simtest::Sim> m_sim;
    std::string m_dir;
    std::string m_error;
    pid_t m_korvane = -1;
};

// The dialog's base units, found from its client area's size as the back end lays out the
// template; {0, 0} when no base units give that size.
struct Units {
    int x = 0, y = 0;
};
Units UnitsOf(const Geometry& client);
// A control of template 102, in pixels inside the client area, and its centre.
Geometry RectOf(unsigned short id, const Units& units);
void CentreOf(unsigned short id, const Units& units, int* x, int* y);

} // namespace wintest
