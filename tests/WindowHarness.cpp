#include "tests/WindowHarness.h"

#include "app/KorvaneRes.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/WindowLayout.h"
#include "tests/support/Files.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifdef KORVANE_HAVE_XLIB // linked where the window back end is built
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace wintest {

namespace {

using testsupport::Slurp;

bool Have(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Waits (bounded) for a child to end; its exit status, or -1 when it did not end in time.
int Reap(pid_t pid, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 || std::chrono::steady_clock::now() >= end)
            return -1;
        Pause(20);
    }
}

std::string Area(const Geometry& area) {
    return std::to_string(area.cx) + "x" + std::to_string(area.cy) + "+" + std::to_string(area.x) +
           "+" + std::to_string(area.y);
}

} // namespace

std::string Missing() {
    if (!UiWindowBuilt())
        return "the window back end is not built (FLTK was not found; scripts/install-deps "
               "installs libfltk1.3-dev)";
    for (const char* tool :
         {"xvfb-run", "Xvfb", "xdotool", "import", "convert", "srec_cat", "objcopy"}) {
        if (!Have(tool))
            return std::string(tool) + " is not installed (scripts/install-deps installs it)";
    }
    return "";
}

XServer::XServer() {
    char dir[] = "/tmp/korvane-xtest-XXXXXX";
    if (!mkdtemp(dir))
        return;
    m_dir = dir;
    // xvfb-run -a takes the first display number without a lock file; two tests starting at
    // once can pick the same one, and the loser's server fails: it tries again.
    for (int attempt = 0; attempt < 4 && m_display.empty(); ++attempt) {
        if (attempt > 0)
            Pause(100 + 150 * attempt + getpid() % 100);
        Launch();
    }
}

void XServer::Launch() {
    const std::string file = m_dir + "/display";
    m_pid = fork();
    if (m_pid == 0) {
        setsid(); // its own process group, so that the server goes with it
        const std::string log = m_dir + "/xvfb.log";
        std::freopen(log.c_str(), "w", stdout);
        std::freopen(log.c_str(), "a", stderr);
        const std::string script = "echo \"$DISPLAY $XAUTHORITY\" > " +
                                   simtest::ShellQuote(file + ".new") + " && mv " +
                                   simtest::ShellQuote(file + ".new") + " " +
                                   simtest::ShellQuote(file) + " && exec sleep 600";
        execlp("xvfb-run", "xvfb-run", "-a", "-s", "-screen 0 1024x768x24 -noreset", "sh", "-c",
               script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_pid < 0)
        return;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
        std::istringstream words(Slurp(file));
        if (words >> m_display >> m_auth)
            return;
        m_display.clear();
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1; // xvfb-run gave up
            return;
        }
        Pause(50);
    }
    kill(-m_pid, SIGKILL);
    Reap(m_pid, 1000);
    m_pid = -1;
}

XServer::~XServer() {
    if (m_pid > 0) {
        kill(-m_pid, SIGTERM);
        if (Reap(m_pid, 3000) < 0) {
            kill(-m_pid, SIGKILL);
            Reap(m_pid, 1000);
        }
    }
    if (!m_dir.empty())
        std::system(("rm -rf " + simtest::ShellQuote(m_dir)).c_str());
}

std::string XServer::Env() const {
    return "DISPLAY=" + simtest::ShellQuote(m_display) +
           " XAUTHORITY=" + simtest::ShellQuote(m_auth);
}

std::string XServer::Run(const std::string& command, int seconds) const {
    return simtest::ShellOutput("env " + Env() + " timeout " + std::to_string(seconds) + " sh -c " +
                                simtest::ShellQuote(command) + " 2>/dev/null");
}

unsigned long XServer::WaitWindow(const std::string& cls, int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        const std::string found =
            Run("xdotool search --class " + simtest::ShellQuote("^" + cls + "$"));
        if (!found.empty())
            return std::strtoul(found.c_str(), nullptr, 10);
        Pause(50);
    } while (std::chrono::steady_clock::now() < end);
    return 0;
}

bool XServer::WaitGone(const std::string& cls, int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        if (Run("xdotool search --class " + simtest::ShellQuote("^" + cls + "$")).empty())
            return true;
        Pause(50);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

std::string XServer::Name(unsigned long window) const {
    std::string name = Run("xdotool getwindowname " + std::to_string(window));
    while (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

Geometry XServer::Where(unsigned long window) const {
    Geometry at;
    std::istringstream lines(Run("xdotool getwindowgeometry --shell " + std::to_string(window)));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X")
            at.x = value;
        else if (key == "Y")
            at.y = value;
        else if (key == "WIDTH")
            at.cx = value;
        else if (key == "HEIGHT")
            at.cy = value;
    }
    return at;
}

void XServer::Click(unsigned long window, int x, int y) const {
    Run("xdotool mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " +
        std::to_string(y) + " click 1");
}

void XServer::Keys(unsigned long window, const std::vector<std::string>& keys) const {
    std::string line = "xdotool windowfocus " + std::to_string(window) + " key --delay 60";
    for (const std::string& key : keys)
        line += " " + key;
    Run(line);
}

#ifdef KORVANE_HAVE_XLIB
Display* XServer::Connect() const {
    const char* oldAuth = std::getenv("XAUTHORITY");
    const std::string saved = oldAuth ? oldAuth : "";
    setenv("XAUTHORITY", m_auth.c_str(), 1);
    Display* display = XOpenDisplay(m_display.c_str());
    if (oldAuth)
        setenv("XAUTHORITY", saved.c_str(), 1);
    else
        unsetenv("XAUTHORITY");
    return display;
}
#endif

bool XServer::Close(unsigned long window) const {
#ifdef KORVANE_HAVE_XLIB
    Display* display = Connect();
    if (!display)
        return false;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0;
#else
    (void)window;
    return false;
#endif
}

bool XServer::SetResources(const std::string& resources) const {
#ifdef KORVANE_HAVE_XLIB
    Display* display = Connect();
    if (!display)
        return false;
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources.c_str()),
                    static_cast<int>(resources.size()));
    XSync(display, False);
    XCloseDisplay(display);
    return true;
#else
    (void)resources;
    return false;
#endif
}

bool XServer::Shot(const Geometry& area, const std::string& path) const {
    Run("import -window root -crop " + Area(area) + " +repage " + simtest::ShellQuote(path), 20);
    return !Slurp(path).empty();
}

int XServer::CountColour(const Geometry& area, const std::string& rgb) const {
    // The histogram has a line a colour ("  1234: (0,64,192) #0040C0 srgb(...)"), so that a
    // whole screen costs no more than a line of it.
    const std::string count = Run("import -window root -crop " + Area(area) +
                                      " +repage -depth 8 -format %c histogram:info:- | grep -i " +
                                      simtest::ShellQuote(" " + rgb + " ") + " | cut -d: -f1",
                                  20);
    return std::atoi(count.c_str());
}

Rig::Rig(const std::vector<std::string>& simArgs, size_t imageBytes) {
    if (!m_x.Ok()) {
        m_error = "xvfb-run did not start an X server";
        return;
    }
    m_sim = std::make_unique<simtest::Sim>(simArgs, false);
    if (!m_sim->Ok()) {
        m_error = "korvane-sim did not start";
        return;
    }
    m_dir = m_sim->Dir() + "/ce";
    m_error = simtest::WriteStepperImage(m_dir, imageBytes, "Window test firmware. ");
}

Rig::~Rig() {
    if (m_korvane > 0)
        WaitExit(0); // kills a korvane still running
}

std::string Rig::ImagePath() const {
    return m_dir + "/Nand Store/MCU/Application.hex";
}

bool Rig::Start(const std::string& env, const std::string& args) {
    // Under LeakSanitizer (the sanitizer build) fontconfig's own leaks are left out.
    const std::string lsan = "LSAN_OPTIONS=suppressions=" KORVANE_SOURCE_DIR
                             "/tests/lsan-window.supp:print_suppressions=0";
    const std::string command =
        "cd " + simtest::ShellQuote(m_dir) + " && exec env -u KORVANE_UI " + m_x.Env() + " " +
        simtest::ShellQuote(lsan) + " CE_ROOT=" + simtest::ShellQuote(m_dir) +
        " CE_COM6=" + simtest::ShellQuote(m_sim->Path()) + " " + env + " " +
        simtest::ShellQuote(KORVANE_BINARY_DIR "/korvane") + " " + args + " >" +
        simtest::ShellQuote(m_dir + "/korvane.out") + " 2>&1 </dev/null";
    m_korvane = fork();
    if (m_korvane == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return m_korvane > 0;
}

int Rig::WaitExit(int ms) {
    if (m_korvane <= 0)
        return -1;
    const int status = Reap(m_korvane, ms);
    if (status < 0) {
        kill(m_korvane, SIGKILL);
        Reap(m_korvane, 2000);
    }
    m_korvane = -1;
    return status;
}

std::string Rig::Output() const {
    return Slurp(m_dir + "/korvane.out");
}

Units UnitsOf(const Geometry& client) {
    for (int x = 1; x <= 40; ++x) {
        for (int y = 1; y <= 60; ++y) {
            const WIN_DIALOG_PLACE place = WinPlaceDialog(g_dlgKorvane, {x, y}, 1);
            if (place.cx == client.cx && place.cy == client.cy)
                return Units{x, y};
        }
    }
    return Units{};
}

Geometry RectOf(unsigned short id, const Units& units) {
    for (UINT i = 0; i < g_dlgKorvane.itemCount; ++i) {
        const DLGITEMRESOURCE& item = g_dlgKorvane.items[i];
        if (item.id != id)
            continue;
        const UI_RECT r = WinPlaceDialog(g_dlgKorvane, {units.x, units.y}, 1).controls[i];
        return Geometry{r.x, r.y, r.cx, r.cy};
    }
    return Geometry{};
}

void CentreOf(unsigned short id, const Units& units, int* x, int* y) {
    const Geometry r = RectOf(id, units);
    *x = r.x + r.cx / 2;
    *y = r.y + r.cy / 2;
}

} // namespace wintest
