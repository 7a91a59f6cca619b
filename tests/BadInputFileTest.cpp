// Files an operator may pick by mistake, and what the dialog then shows: each ends the update
// with a status line of its own, no message box, nothing sent to the slave (beyond the OD
// reset that comes before the file is read), the slave's memory untouched and the file as it
// was.
#include "FlashRig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <linux/capability.h>
#include <random>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace flashtest {
namespace {

using testsupport::Slurp;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

bool CanOpen(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (file != nullptr)
        std::fclose(file);
    return file != nullptr;
}

// While it lives, this thread cannot read past a file's permissions even as root: the
// capabilities that override them leave the thread's effective set (and come back after).
class WithoutReadOverride {
public:
    WithoutReadOverride() {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutReadOverride() {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_dropped = false;
};

// Random bytes, a fixed draw: no line of them is a record.
std::string Garbage(size_t count) {
    std::mt19937 random(7);
    std::string bytes(count, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

struct BadFile {
    const char* name;
    bool od;
    // Makes the file in the rig's directory and returns its path.
    std::function<std::string(FlashRig&)> make;
    const wchar_t* status;
};

void PrintTo(const BadFile& c, std::ostream* os) {
    *os << c.name;
}

std::string Write(FlashRig& rig, const std::string& name, const std::string& text) {
    return Narrow(rig.WriteFile(name, text));
}

const BadFile kBadFiles[] = {
    {"MissingFile", false, [](FlashRig& rig) { return rig.Dir() + "/no-such.hex"; },
     L"Error opening file"},
    // The host's fopen would take a directory for reading; the platform refuses it.
    {"Directory", false, [](FlashRig& rig) { return rig.Dir(); }, L"Error opening file"},
    // A FIFO nobody writes to would hold the open, and then the first read, for ever.
    {"Fifo", false,
     [](FlashRig& rig) {
         const std::string path = rig.Dir() + "/fifo.hex";
         mkfifo(path.c_str(), 0600);
         return path;
     },
     L"Error opening file"},
    {"UnreadableFile", false,
     [](FlashRig& rig) {
         const std::string path = Write(rig, "locked.hex", HexFile(0, Pattern(64), 2));
         chmod(path.c_str(), 0);
         return path;
     },
     L"Error opening file"},
    {"EmptyFile", false, [](FlashRig& rig) { return Write(rig, "empty.hex", ""); },
     L"Error reading file"},
    {"BinaryGarbage", false, [](FlashRig& rig) { return Write(rig, "noise.bin", Garbage(4096)); },
     L"Checksum error"},
    // A program instead of its HEX file.
    {"ElfProgram", true,
     [](FlashRig& rig) {
         return Write(rig, "korvane-sim",
                      Slurp(KORVANE_BINARY_DIR "/korvane-sim").substr(0, 65536));
     },
     L"Checksum error"},
    // Read in pieces of 1023 characters; the first is no valid record.
    {"LineOf2000Characters", false,
     [](FlashRig& rig) {
         return Write(rig, "long.hex", ":" + std::string(1999, 'A') + "\n" + HexRecord(0, 1, {}));
     },
     L"Checksum error"},
    // A valid record whose line goes on to 2000 characters: the rest arrives as a piece of its
    // own, which is no record.
    {"RecordWithATailTo2000Characters", false,
     [](FlashRig& rig) {
         std::string line = HexRecord(0, 0, Pattern(16));
         line.pop_back();
         line += std::string(2000 - line.size(), '0') + "\n";
         return Write(rig, "tail.hex", line + HexRecord(0, 1, {}));
     },
     L"Checksum error"},
    // Word 0x8000 is image byte 0x10000.
    {"StepperWordsFrom0x8000", false,
     [](FlashRig& rig) { return Write(rig, "high.hex", HexFile(0x8000, Pattern(16), 2)); },
     L"Address out of range"},
    {"OdRecordPast0xFFFF", true,
     [](FlashRig& rig) { return Write(rig, "past.hex", HexFile(0xFFF8, Pattern(16), 1)); },
     L"Address out of range"},
    // A full 64 KiB ends at 0x10000, which 16 bits cannot tell from 0.
    {"OdFull64KiB", true,
     [](FlashRig& rig) { return Write(rig, "full.hex", HexFile(0, Pattern(65536), 1)); },
     L"Address out of range"},
};

class BadInputFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadInputFile, EndsWithItsOwnStatusAndSendsNothing) {
    const BadFile& c = GetParam();
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const std::string path = c.make(rig);
    const std::string before = Slurp(path);
    {
        WithoutReadOverride asAnOperator;
        if (std::string(c.name) == "UnreadableFile" && CanOpen(path))
            GTEST_SKIP() << "this thread reads a file without read permission";
        rig.Flash(std::wstring(path.begin(), path.end()), c.od);
    }
    const std::vector<std::wstring> status = rig.ui.GetTextHistory(IDC_STATUS);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back(), c.status);
    EXPECT_TRUE(rig.ui.GetMessageBoxes().empty());

    rig.WaitForRequests(c.od ? 1 : 0);
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()),
              c.od ? std::vector<std::string>{"Reset 1"} : std::vector<std::string>{});
    EXPECT_NE(access(rig.Sim().DumpPath(c.od ? 0x01 : 0x14).c_str(), F_OK), 0)
        << "the slave was erased or programmed";
    EXPECT_EQ(Slurp(path), before);
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputFile, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace flashtest
