// The bash completion of korvane and korvane-sim (packaging/korvane.bash-completion), as bash
// runs it: bash-completion's own functions, a command line split into words as bash splits
// it, the completion function called, what it leaves in COMPREPLY. Ports come from the real
// `korvane ports` over a fake sysfs.
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

const char BASH_COMPLETION[] = "/usr/share/bash-completion/bash_completion";

// Splits $1 as bash splits a line for completion (blanks, and ':' and '=' as words of their
// own), calls the function the last completion line of the script registers for the command,
// and prints COMPREPLY, one a line, sorted.
const char DRIVER[] = R"bash(
source "$BASH_COMPLETION" && source "$COMPLETION" || exit 3
line=$1
COMP_LINE=$line
COMP_POINT=${#line}
COMP_WORDS=()
read -r -a blank_words <<<"$line"
for word in "${blank_words[@]}"; do
    while [[ $word =~ ^([^:=]*)([:=])(.*)$ ]]; do
        [[ -n ${BASH_REMATCH[1]} ]] && COMP_WORDS+=("${BASH_REMATCH[1]}")
        COMP_WORDS+=("${BASH_REMATCH[2]}")
        word=${BASH_REMATCH[3]}
    done
    [[ -n $word ]] && COMP_WORDS+=("$word")
done
[[ $line == *' ' ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
function=$(complete -p "${COMP_WORDS[0]##*/}" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
[[ -n $function ]] || exit 4
"$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
exit 0
)bash";

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Output(const std::string& command, int* status) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    *status = WEXITSTATUS(pclose(pipe));
    return out;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A working folder (work/) with images, a recipe and other files, and a machine (host/) with
// one FTDI adapter and its two stable names.
class Completion : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(BASH_COMPLETION))
            GTEST_SKIP() << "bash-completion is not installed (" << BASH_COMPLETION << ")";
        m_dir = testsupport::MakeTempDir("korvane-completion");
        ASSERT_FALSE(m_dir.empty());
        fs::create_directories(m_dir + "/work/images");
        for (const char* file : {"od-main.hex", "STEPPER.HEX", "notes.txt", "line-3.toml"})
            std::ofstream(m_dir + "/work/" + file) << "\n";
        const fs::path host = m_dir + "/host";
        const fs::path port = host / "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0";
        fs::create_directories(port / "tty/ttyUSB0");
        fs::create_directories(host / "sys/class/tty");
        fs::create_symlink(port / "tty/ttyUSB0", host / "sys/class/tty/ttyUSB0");
        fs::create_symlink(port, port / "tty/ttyUSB0/device");
        fs::create_directories(host / "dev/serial/by-id");
        fs::create_directories(host / "dev/serial/by-path");
        fs::create_directories(host / "proc");
        std::ofstream(host / "dev/ttyUSB0") << "";
        fs::create_symlink("../../ttyUSB0",
                           host / "dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
        fs::create_symlink("../../ttyUSB0",
                           host / "dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0");
        std::ofstream(m_dir + "/driver.bash") << DRIVER;
    }
    void TearDown() override {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    // What completing LINE offers, one a line; "$B" in LINE stands for the build folder,
    // "$H" for the fake machine's root.
    std::string Complete(const std::string& line) {
        const std::string full =
            Replaced(Replaced(line, "$B", KORVANE_BINARY_DIR), "$H", m_dir + "/host");
        // A cross build's tests run korvane under qemu-user, which may need to be told where
        // the libraries of its architecture are: that passes through the emptied environment.
        const char* qemuPrefix = std::getenv("QEMU_LD_PREFIX");
        const std::string qemu = qemuPrefix ? " QEMU_LD_PREFIX=" + Quoted(qemuPrefix) : "";
        int status = -1;
        const std::string out =
            Output("cd " + Quoted(m_dir + "/work") + " && env -i PATH=/usr/bin:/bin" + qemu +
                       " KORVANE_HOST_ROOT=" + Quoted(m_dir + "/host") +
                       " BASH_COMPLETION=" + BASH_COMPLETION + " COMPLETION=" +
                       Quoted(KORVANE_SOURCE_DIR "/packaging/korvane.bash-completion") +
                       " bash --norc --noprofile ../driver.bash " + Quoted(full) + " 2>&1",
                   &status);
        EXPECT_EQ(status, 0) << line << "\n" << out;
        return Replaced(out, m_dir + "/host", "$H");
    }

    std::string m_dir;
};

TEST_F(Completion, CommandsOptionsAndValues) {
    struct Case {
        const char* line;
        const char* offered;
    };
    const Case cases[] = {
        {"korvane ", "flash\nforward\nports\nrecipe\nreport\nscan\nserials\nstation\n"},
        {"korvane st", "station\n"},
        {"korvane -", "--help\n--port\n--version\n"},
        {"korvane flash --", "--help\n--json\n--od\n--port\n--quiet\n--recipe\n--record\n"
                             "--stepper\n--unsigned\n"},
        {"korvane station --", "--help\n--od\n--port\n--recipe\n--record\n--stepper\n"
                               "--unsigned\n--wait-port\n"},
        {"korvane recipe ", "--help\ncheck\nnew\n"},
        {"korvane recipe new --", "--help\n--image\n--name\n--od\n--revision\n--stepper\n"},
        {"korvane recipe new --image ", "STEPPER.HEX\nimages\nod-main.hex\n"},
        {"korvane recipe check ", "images\nline-3.toml\n"},
        {"korvane recipe check --", "--help\n--unsigned\n"},
        {"korvane scan -", "--help\n--json\n--port\n"},
        {"korvane ports --", "--all\n--help\n--json\n"},
        {"korvane ports ", ""},
        {"korvane forward -", "--help\n--once\n"},
        {"korvane report --", "--help\n--html\n--json\n"},
        {"korvane --port /dev/ttyUSB0 --", "--port\n"},
        // Stepper addresses, and comma lists that offer only the addresses not yet given.
        {"korvane flash --stepper ", "0x14\n0x15\n0x18\n0x1C\n0x1D\n"},
        {"korvane flash --stepper 0x1", "0x14\n0x15\n0x18\n0x1C\n0x1D\n"},
        {"korvane flash --stepper 0x14,0x1", "0x14,0x15\n0x14,0x18\n0x14,0x1C\n0x14,0x1D\n"},
        {"korvane station --stepper=0x14,0x1c,", "0x14,0x1c,0x15\n0x14,0x1c,0x18\n"
                                                 "0x14,0x1c,0x1D\n"},
        // Images for FILE, recipes for --recipe, any file for --record.
        {"korvane flash --od ", "STEPPER.HEX\nimages\nod-main.hex\n"},
        {"korvane station --stepper 0x14 o", "od-main.hex\n"},
        {"korvane flash --recipe ", "images\nline-3.toml\n"},
        {"korvane flash --record n", "notes.txt\n"},
        // The machine's ports, by device and stable name, from the korvane being completed.
        {"$B/korvane flash --port ", "$H/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0\n"
                                     "$H/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0\n"
                                     "$H/dev/ttyUSB0\n"},
        {"$B/korvane scan --port=$H/dev/serial/by-i",
         "$H/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0\n"},
        // After a colon bash replaces only the text from the colon on.
        {"$B/korvane --port $H/dev/serial/by-path/pci-0000:00:14", "14.0-usb-0:1:1.0-port0\n"},
        // No port fits: files, for a pty or a link of the operator's.
        {"$B/korvane flash --port no", "notes.txt\n"},
        {"korvane-sim --no", "--noise\n--noise-bytes\n"},
        {"korvane-sim --hex-dir ", "images\n"},
        {"korvane-sim --only-slave 0x1", "0x14\n0x15\n0x18\n0x1C\n0x1D\n"},
        {"korvane-sim --seed ", ""},
        {"$B/korvane-sim --device $H/dev/tty", "$H/dev/ttyUSB0\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Complete(c.line), c.offered) << c.line;
}

// Every option a command's --help names is completed: an option added to the program and not
// to the completion fails here.
TEST_F(Completion, EveryOptionTheHelpNames) {
    const std::regex option("--[a-z][a-z-]*");
    for (const char* command :
         {"korvane flash", "korvane station", "korvane scan", "korvane ports", "korvane recipe new",
          "korvane serials", "korvane forward", "korvane report", "korvane-sim"}) {
        int status = -1;
        const std::string help =
            Output(KORVANE_BINARY_DIR "/" + std::string(command) + " --help", &status);
        ASSERT_EQ(status, 0) << command;
        const std::string offered = "\n" + Complete(std::string(command) + " --");
        std::set<std::string> named;
        for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
            named.insert(it->str());
        EXPECT_GE(named.size(), 2u) << command;
        for (const std::string& name : named)
            EXPECT_NE(offered.find("\n" + name + "\n"), std::string::npos)
                << command << " --help names " << name << "; the completion offers:" << offered;
    }
}

} // namespace
