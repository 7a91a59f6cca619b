// Runs the real korvane program in a tmux pane against korvane-sim and reads its screen with
// capture-pane, for the Terminal* end-to-end tests.
#pragma once

#include "tests/SimHarness.h"

#include <memory>
#include <string>
#include <vector>

namespace termtest {

// Whether tmux can be run here.
bool HaveTmux();

// A tmux server of its own (its own socket, no configuration file) with one pane.
class Tmux {
public:
    Tmux();
    ~Tmux();

    // Starts `command` under sh in a new pane of the given size, in folder `cwd`.
    bool Start(const std::string& command, int cols, int rows, const std::string& cwd);
    std::string Screen() const;
    // Keys by tmux's names ("Tab", "BTab", "Enter", "Escape", "Down", "C-u", "Space").
    void Keys(const std::vector<std::string>& keys) const;
    // Text typed as it stands.
    void Type(const std::string& text) const;
    // Raw bytes to the pane, as a terminal sends them (mouse reports).
    void Bytes(const std::vector<unsigned char>& bytes) const;
    void Resize(int cols, int rows) const;
    // Waits until the screen shows `text` (true) or `ms` pass (false); `screen` gets the last.
    bool WaitFor(const std::string& text, int ms, std::string* screen = nullptr) const;
    // The process id of the pane's shell.
    int PanePid() const;

private:
    std::string Tool(const std::string& arguments) const;
    std::string m_socket;
};

// The screen's line that holds `text`, or empty.
std::string LineWith(const std::string& screen, const std::string& text);
// How many cells of the progress bar are filled (the bar is the line with the most of the
// fill and empty characters); -1 when no bar is seen.
int ProgressCells(const std::string& screen, int* total = nullptr);

// "" when the port at path is free for the next run at once, else why not ("locked", or
// "exclusive": TIOCEXCL still taken, which root would not feel when it tried).
std::string PortFree(const std::string& path);

// A simulator, a device file system with an image, and korvane in tmux against them.
class Rig {
public:
    // `simArgs` for korvane-sim (besides --hex-dir and --log); `imageBytes` of sample
    // firmware for a Stepper slave, made by srec_cat and objcopy.
    Rig(const std::vector<std::string>& simArgs, size_t imageBytes);
    ~Rig();

    // Whether the simulator runs and the image was made; Why() says what failed.
    bool Ok() const { return m_error.empty(); }
    const std::string& Why() const { return m_error; }

    // Starts korvane in a pane of this size, COM6: mapped to the simulator (or to `port`); its
    // exit status and the terminal's settings before and after are recorded.
    bool StartKorvane(int cols = 80, int rows = 24, const std::string& port = "");
    // korvane's log file.
    std::string LogPath() const { return m_dir + "/korvane.log"; }
    Tmux& Pane() { return m_tmux; }
    simtest::Sim& Sim() { return *m_sim; }

    const std::string& Folder() const { return m_dir; }
    std::string ImagePath() const;
    // The terminal's settings (stty -g) before korvane ran and after it ended; empty until then.
    std::string SettingsBefore() const;
    std::string SettingsAfter() const;
    // korvane's process id, while it runs; -1 when it does not.
    int KorvanePid() const;

private:
    std::unique_ptr<simtest::Sim> m_sim;
    Tmux m_tmux;
    std::string m_dir;
    std::string m_error;
};

} // namespace termtest
