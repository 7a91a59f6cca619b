// The terminal back end's helpers: message box text and buttons, the file chooser's folder
// listing, and the log that takes console and debugger output while the dialog is shown.
#include "conio.h"
#include "winbase.h"

#include "platform/ui/TerminalFolder.h"
#include "platform/ui/TerminalLog.h"
#include "platform/ui/TerminalMessageBox.h"
#include "platform/win32/ce_output.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::Slurp;

// A fresh folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        char dir[] = "/tmp/korvane-termtest-XXXXXX";
        m_path = mkdtemp(dir) ? dir : "";
    }
    ~TempFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

TEST(TerminalMessageBox, WrapsBetweenWordsAndInsideLongOnes) {
    struct Case {
        const wchar_t* text;
        int width;
        std::vector<std::wstring> lines;
    };
    const Case cases[] = {
        {L"Update succeeded!", 40, {L"Update succeeded!"}},
        {L"Update failed! Error 5", 10, {L"Update", L"failed!", L"Error 5"}},
        {L"abcdefghij", 4, {L"abcd", L"efgh", L"ij"}},
        {L"one\ntwo\r\n", 10, {L"one", L"two", L""}},
        {L"", 10, {L""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(TermWrapText(c.text, c.width), c.lines);
    }
}

TEST(TerminalFolder, FoldersFirstThenFilesByNameHiddenLeftOut) {
    TempFolder temp;
    ASSERT_FALSE(temp.Path().empty());
    for (const char* folder : {"/zeta", "/Alpha"})
        mkdir((temp.Path() + folder).c_str(), 0700);
    for (const char* file : {"/b.hex", "/A.hex", "/.hidden", "/c d.hex"})
        std::ofstream(temp.Path() + file) << ":00000001FF\n";
    std::vector<TERM_FOLDER_ENTRY> entries;
    std::string error;
    ASSERT_TRUE(TermListFolder(temp.Path(), &entries, &error)) << error;
    std::vector<std::string> names;
    for (const auto& entry : entries)
        names.push_back(entry.name + (entry.bFolder ? "/" : ""));
    EXPECT_EQ(names,
              (std::vector<std::string>{"../", "Alpha/", "zeta/", "A.hex", "b.hex", "c d.hex"}));

    ASSERT_TRUE(TermListFolder("/", &entries, &error));
    ASSERT_FALSE(entries.empty());
    EXPECT_NE(entries[0].name, "..") << "nothing is above /";

    EXPECT_FALSE(TermListFolder(temp.Path() + "/missing", &entries, &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST(TerminalFolder, PathsUpAndDown) {
    EXPECT_EQ(TermParentFolder("/a/b"), "/a");
    EXPECT_EQ(TermParentFolder("/a/b/"), "/a");
    EXPECT_EQ(TermParentFolder("/a"), "/");
    EXPECT_EQ(TermParentFolder("/"), "/");
    EXPECT_EQ(TermJoinPath("/", "x.hex"), "/x.hex");
    EXPECT_EQ(TermJoinPath("/a", "x.hex"), "/a/x.hex");

    TempFolder temp;
    EXPECT_EQ(TermStartFolder(temp.Path() + "/image.hex"), temp.Path());
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(TermStartFolder(""), cwd);
    EXPECT_EQ(TermStartFolder("/no/such/folder/x.hex"), cwd);
}

// While the log is there, console and debugger output go into it, each line stamped; then
// they go back to where they went before.
TEST(TerminalLog, TakesConsoleAndDebuggerOutput) {
    TempFolder temp;
    const std::string path = temp.Path() + "/state/korvane/korvane.log";
    ce::ScopedOutputCapture before;
    {
        CTerminalLog log(path);
        ASSERT_TRUE(log.IsOpen()) << log.Error();
        _cprintf("Error %s", "SetupComm");
        _cprintf("\n");
        OutputDebugStringW(L"Comport: open failed");
    }
    EXPECT_TRUE(before.Console().empty());
    EXPECT_TRUE(before.Debug().empty());
    struct stat status = {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    const std::string text = Slurp(path);
    const std::regex stamp("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    EXPECT_TRUE(std::regex_search(text, std::regex("\\.\\d{3} Error SetupComm\n"))) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("\\.\\d{3} Comport: open failed\n"))) << text;
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), stamp),
                            std::sregex_iterator()),
              3)
        << text;

    _cprintf("after\n");
    EXPECT_EQ(before.Console(), "after\n");
}

// A log that cannot be had drops the output (never onto the screen) and says why; what lies
// under the log's name is left as it was.
TEST(TerminalLog, RefusesAnythingButTheUsersOwnFile) {
    TempFolder temp;
    const std::string log = temp.Path() + "/korvane.log";
    const std::string target = temp.Path() + "/target";
    struct Case {
        const char* name;
        std::string path;
        std::function<void()> make;
        std::string error;
        std::string kept = ""; // a file that must keep its "theirs\n"
    };
    const Case cases[] = {
        {"no folder", "", [] {}, "no folder for the log"},
        {"unwritable", "/proc/korvane/no.log", [] {}, "cannot open the log /proc/korvane/no.log"},
        {"symbolic link", log, [&] { (void)!symlink(target.c_str(), log.c_str()); },
         "the log " + log + " is a symbolic link, not followed", target},
        {"another user's", log,
         [&] {
             std::ofstream(log) << "theirs\n";
             (void)!chown(log.c_str(), 65534, 65534);
         },
         "the log " + log + " belongs to user 65534, not to this one", log},
        {"FIFO", log, [&] { mkfifo(log.c_str(), 0600); }, "cannot open the log " + log},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) == "another user's" && geteuid() != 0)
            continue; // only root can give a file away
        std::ofstream(target) << "theirs\n";
        unlink(log.c_str());
        c.make();
        ce::ScopedOutputCapture before;
        {
            CTerminalLog terminalLog(c.path);
            EXPECT_FALSE(terminalLog.IsOpen()) << c.name;
            EXPECT_EQ(terminalLog.Error().rfind(c.error, 0), 0u) << terminalLog.Error();
            _cprintf("lost\n");
        }
        EXPECT_TRUE(before.Console().empty()) << c.name << ": never onto the screen";
        if (!c.kept.empty()) {
            EXPECT_EQ(Slurp(c.kept), "theirs\n") << c.name;
        }
    }
}

TEST(TerminalLog, PathFromTheEnvironment) {
    struct Case {
        const char* log;
        const char* state;
        const char* home;
        const char* runtime;
        std::string path;
    };
    const Case cases[] = {
        {"/x/k.log", "/s", "/h", "/r", "/x/k.log"},
        {nullptr, "/s", "/h", "/r", "/s/korvane/korvane.log"},
        {nullptr, nullptr, "/h", "/r", "/h/.local/state/korvane/korvane.log"},
        {nullptr, "relative", "/h", "/r", "/h/.local/state/korvane/korvane.log"},
        {nullptr, nullptr, nullptr, "/r", "/r/korvane.log"},
        {nullptr, nullptr, "relative", "relative", ""},
        {nullptr, nullptr, nullptr, nullptr, ""},
    };
    const char* names[] = {"KORVANE_LOG", "XDG_STATE_HOME", "HOME", "XDG_RUNTIME_DIR"};
    std::string saved[4];
    bool had[4];
    for (int i = 0; i < 4; ++i) {
        const char* value = std::getenv(names[i]);
        had[i] = value != nullptr;
        saved[i] = value ? value : "";
    }
    for (const Case& c : cases) {
        const char* values[] = {c.log, c.state, c.home, c.runtime};
        for (int i = 0; i < 4; ++i) {
            if (values[i])
                setenv(names[i], values[i], 1);
            else
                unsetenv(names[i]);
        }
        EXPECT_EQ(TermLogPath(), c.path);
    }
    for (int i = 0; i < 4; ++i) {
        if (had[i])
            setenv(names[i], saved[i].c_str(), 1);
        else
            unsetenv(names[i]);
    }
}
