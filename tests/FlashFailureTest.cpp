// Every way an update fails, against korvane-sim: what the operator sees (box with its style,
// status line), what the slave was sent, and that nothing is sent after the failure.
#include "FlashRig.h"

#include <gtest/gtest.h>

namespace flashtest {
namespace {

using Strings = std::vector<std::string>;

const char kMissing[] = "<missing>";

struct FailureCase {
    const char* name;
    std::vector<std::string> simArgs;
    std::string file; // kMissing for a file that does not exist
    bool od;
    std::wstring box; // "" for none
    UINT style;
    std::wstring status;
    Strings commands;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Valid(uint16_t address, size_t count, unsigned unit) {
    return HexFile(address, Pattern(count), unit);
}

// Data records of 16 bytes from `address` on, in address order, without an end record.
std::string Ascending(uint16_t address, int records) {
    std::string text;
    for (int i = 0; i < records; ++i)
        text += HexRecord(static_cast<uint16_t>(address + 16 * i), 0, Pattern(16, uint8_t(i)));
    return text;
}

const FailureCase kCases[] = {
    {"MissingFile", {}, kMissing, false, L"", 0, L"Error opening file", {}},
    {"MissingFileOdResetsFirst", {}, kMissing, true, L"", 0, L"Error opening file", {"Reset 1"}},
    // An empty file ends the run visibly rather than leaving "Reading file" standing.
    {"EmptyFile", {}, "", false, L"", 0, L"Error reading file", {}},
    {"NoEndRecord", {}, HexRecord(0, 0, Pattern(16)), false, L"", 0, L"Error reading file", {}},
    {"BadChecksum", {}, ":0400100001020304E3\n:00000001FF\n", false, L"", 0, L"Checksum error", {}},
    {"NoColon", {}, "0400100001020304E2\n", true, L"", 0, L"Checksum error", {"Reset 1"}},
    // The end lies below the start: the length wrapped at 65536.
    {"WrappedRange",
     {},
     HexRecord(0x0100, 0, Pattern(16)) + HexRecord(0x0010, 0, Pattern(16)) + HexRecord(0, 1, {}),
     false,
     L"",
     0,
     L"Address out of range",
     {}},
    {"WrappedRangeOd",
     {},
     HexRecord(0x0100, 0, Pattern(16)) + HexRecord(0x0010, 0, Pattern(16)) + HexRecord(0, 1, {}),
     true,
     L"",
     0,
     L"Address out of range",
     {"Reset 1"}},
    // Word address 0x8000 is image byte 0x10000, beyond what a 16-bit range describes.
    {"BeyondSixteenBits",
     {},
     HexRecord(0x0000, 0, Pattern(16)) + HexRecord(0x8000, 0, Pattern(16)) + HexRecord(0, 1, {}),
     false,
     L"",
     0,
     L"Address out of range",
     {}},
    // An end-of-file record first gives its address field, undoubled, as the start: an odd
    // byte in Stepper mode, where every block would pair the halves of two different words.
    {"OddStartInWords",
     {},
     HexRecord(0x0001, 1, {}) + HexFile(0x0010, Pattern(32), 2),
     false,
     L"",
     0,
     L"Address out of range",
     {}},
    // Data the blocks would not cover: records out of address order, or below the first
    // line. The range follows the file's order, so part of the file would be left out.
    {"RecordsDescend",
     {},
     HexRecord(0x0020, 0, Pattern(16)) + HexRecord(0x0010, 0, Pattern(16)) +
         HexRecord(0x0000, 0, Pattern(16)) + HexRecord(0, 1, {}),
     true,
     L"",
     0,
     L"Address out of range",
     {"Reset 1"}},
    // The last record moves the end back to 0x0020: one block of 64 would go, the rest not.
    {"AscendingWithALowerRecordLast",
     {},
     Ascending(0x0000, 16) + HexRecord(0x0010, 0, Pattern(16)) + HexRecord(0, 1, {}),
     true,
     L"",
     0,
     L"Address out of range",
     {"Reset 1"}},
    // The end-of-file record sets the end to the start: nothing would be programmed.
    {"LengthZeroWithData",
     {},
     HexRecord(0x0010, 0, Pattern(16)) + HexRecord(0x0010, 1, {}),
     true,
     L"",
     0,
     L"Address out of range",
     {"Reset 1"}},
    {"EraseRefused",
     {"--refuse-erase", "1"},
     Valid(0, 160, 2),
     false,
     L"Error Erasing",
     MB_OK,
     L"Erasing",
     {"Erase 20 0x0000"}},
    // Erase and two blocks are answered, then the slave falls silent.
    {"ProgramFailsOnThirdBlock",
     {"--silent-after", "3"},
     Valid(0, 300, 2),
     false,
     L"Error while programming",
     MB_OK,
     L"Programming error",
     {"Erase 20 0x0000", "Program 20 0x0000", "Program 20 0x0040", "Program 20 0x0080",
      "Program 20 0x0080", "Program 20 0x0080"}},
    {"StatusFive",
     {"--status", "5"},
     Valid(0, 64, 1),
     true,
     L"Update failed! Error 5",
     MB_ICONHAND,
     L"Update failed! Error 5",
     {"Reset 1", "Erase 1 0x0000", "Program 1 0x0000", "Reset 1", "GetStatus 1"}},
    // GetStatus gets no answer: the status byte keeps its value from before, 255.
    {"StatusNotAnswered",
     {"--silent-after", "4"},
     Valid(0, 64, 1),
     true,
     L"Update failed! Error 255",
     MB_ICONHAND,
     L"Update failed! Error 255",
     {"Reset 1", "Erase 1 0x0000", "Program 1 0x0000", "Reset 1", "GetStatus 1", "GetStatus 1",
      "GetStatus 1"}},
};

class FlashFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FlashFailure, ShowsWhatWentWrongAndSendsNothingMore) {
    const FailureCase& c = GetParam();
    FlashRig rig(c.simArgs);
    ASSERT_TRUE(rig.Ok());
    const std::wstring path =
        c.file == kMissing ? rig.WriteFile("x", "") + L".missing" : rig.WriteFile("f.hex", c.file);
    std::wstring shown;
    rig.Run([&](CKorvaneDlg&, CScriptedBackEnd& s) {
        s.Type(IDC_FILENAME, path);
        s.Click(c.od ? IDC_OD : IDC_STEPPER);
        const int files = OpenDescriptorCount();
        s.Click(IDC_FLASH);
        EXPECT_EQ(OpenDescriptorCount(), files); // the HEX file was closed
        shown = s.GetText(IDC_STATUS);
    });
    EXPECT_EQ(shown, c.status);
    if (c.od) {
        EXPECT_GE(rig.clock.ElapsedMs(), 2000u); // slave 1 was reset and given its 2000 ms
    }
    const auto boxes = rig.ui.GetMessageBoxes();
    if (c.box.empty()) {
        EXPECT_TRUE(boxes.empty());
    } else {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.box);
        EXPECT_EQ(boxes[0].style, c.style);
        // The box comes before the status line changes to the failure (if it does).
        const auto& events = rig.ui.GetEvents();
        size_t boxAt = 0, statusAt = 0;
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i].kind == UI_EVENT_MESSAGEBOX)
                boxAt = i;
            if (events[i].kind == UI_EVENT_TEXT && events[i].id == IDC_STATUS)
                statusAt = i;
        }
        if (c.status != L"Erasing") {
            EXPECT_LT(boxAt, statusAt);
        }
    }
    rig.WaitForRequests(c.commands.size());
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()), c.commands);
}

INSTANTIATE_TEST_SUITE_P(Table, FlashFailure, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The erase failed: the bar stands at 0 of its new range and the status keeps "Erasing".
TEST(FlashFailureDetail, EraseFailureLeavesBarAtZeroOfNewRange) {
    FlashRig rig({"--refuse-erase", "0x0101"});
    ASSERT_TRUE(rig.Ok());
    const std::wstring path = rig.WriteFile("f.hex", Valid(0, 160, 2));
    rig.Run([&](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        dlg.m_progress.SetRange32(0, 10);
        dlg.m_progress.SetPos(7); // what an earlier run left
        s.Type(IDC_FILENAME, path);
        s.Click(IDC_FLASH);
        int lo = -1, hi = -1;
        dlg.m_progress.GetRange(lo, hi);
        EXPECT_EQ(hi, 160);
        EXPECT_EQ(dlg.m_progress.GetPos(), 0);
    });
}

TEST(FlashFailureDetail, ProgramFailureLeavesBarAtTwoBlocks) {
    FlashRig rig({"--silent-after", "3"});
    ASSERT_TRUE(rig.Ok());
    const std::wstring path = rig.WriteFile("f.hex", Valid(0, 400, 2));
    rig.Run([&](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        s.Type(IDC_FILENAME, path);
        s.Click(IDC_FLASH);
        EXPECT_EQ(dlg.m_progress.GetPos(), 256);
    });
}

// With nothing selected in the list the address is 255, the low byte of CB_ERR; no slave
// answers it, so the erase fails and nothing is programmed.
TEST(FlashFailureDetail, NoSelectionInTheListAddressesSlave255) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    rig.Flash(rig.WriteFile("f.hex", Valid(0, 64, 2)), false, -1);
    ASSERT_EQ(rig.ui.GetMessageBoxes().size(), 1u);
    EXPECT_EQ(rig.ui.GetMessageBoxes()[0].text, L"Error Erasing");
    rig.StopSim();
    const Strings commands = Commands(rig.Sim());
    ASSERT_FALSE(commands.empty());
    // Requests to an address of no slave of its own are logged with the command's number: 3,
    // Erase. Nothing else was sent.
    for (const std::string& command : commands)
        EXPECT_EQ(command, "3 255");
}

// Without a port the dialog opens; "Flash!" asks for the port again, and once the slave's line
// is there the same dialog flashes without a restart.
TEST(FlashFailureDetail, NoPortThenPortAppears) {
    FlashRig rig({}, false);
    std::wstring path;
    rig.Run([&](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        EXPECT_EQ(dlg.m_pProtocol, nullptr);
        path = rig.WriteFile("f.hex", HexFile(0, Pattern(64), 1));
        s.Type(IDC_FILENAME, path);
        s.Click(IDC_OD);
        s.Click(IDC_FLASH);
        EXPECT_EQ(s.GetText(IDC_STATUS), L"Error opening port");
        EXPECT_EQ(dlg.m_pProtocol, nullptr);
        ASSERT_TRUE(rig.StartSim({}));
        s.Click(IDC_FLASH);
        EXPECT_NE(dlg.m_pProtocol, nullptr);
        EXPECT_EQ(s.GetText(IDC_STATUS), L"Update sucessfully completed");
    });
    EXPECT_EQ(rig.ui.GetTextHistory(IDC_STATUS).front(), L"Error opening port");
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()).front(), "Reset 1");
    ExpectProgrammed(rig.Memory(1, 1), 0, Pattern(64), 1, 64);
}

} // namespace
} // namespace flashtest
