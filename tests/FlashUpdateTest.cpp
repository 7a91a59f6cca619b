// Whole updates from the dialog against korvane-sim: the commands the slave sees, with their
// addresses; the progress bar; the boxes and status texts; and the slave's memory afterwards.
#include "FlashRig.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace flashtest {
namespace {

using Strings = std::vector<std::string>;

std::vector<int> ProgressPositions(const CScriptedBackEnd& ui, int* upper) {
    std::vector<int> positions;
    for (const UI_EVENT& e : ui.GetEvents()) {
        if (e.kind == UI_EVENT_PROGRESS && e.id == IDC_PROGRESS) {
            positions.push_back(e.value);
            *upper = e.upper;
        }
    }
    return positions;
}

const std::vector<std::wstring> kSuccessStatus = {
    L"Reading file",    L"Erasing",        L"Programming...",
    L"Resetting slave", L"Getting status", L"Update sucessfully completed"};

TEST(FlashUpdate, WorkedExampleOd) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const Bytes data = Pattern(160);
    const std::wstring path = rig.WriteFile("od.hex", HexFile(0x0000, data, 1));
    rig.Run([&](CKorvaneDlg&, CScriptedBackEnd& s) {
        s.Type(IDC_FILENAME, path);
        s.Click(IDC_OD);
        const int files = OpenDescriptorCount();
        s.Click(IDC_FLASH);
        EXPECT_EQ(OpenDescriptorCount(), files); // the HEX file was closed
    });

    EXPECT_EQ(Commands(rig.Sim()),
              (Strings{"Reset 1", "Erase 1 0x0000", "Program 1 0x0000", "Program 1 0x0040",
                       "Program 1 0x0080", "Reset 1", "GetStatus 1"}));
    EXPECT_GE(rig.clock.ElapsedMs(), 4000u); // two waits of 2000 ms
    int upper = -1;
    EXPECT_EQ(ProgressPositions(rig.ui, &upper), (std::vector<int>{0, 64, 128, 160}));
    EXPECT_EQ(upper, 160);
    const auto boxes = rig.ui.GetMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Update succeeded!");
    EXPECT_EQ(boxes[0].style, MB_OK);
    EXPECT_EQ(rig.ui.GetTextHistory(IDC_STATUS), kSuccessStatus);
    ExpectProgrammed(rig.Memory(1, 1), 0, data, 3, 64);
}

TEST(FlashUpdate, WorkedExampleStepper) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const Bytes data = Pattern(160, 9);
    rig.Flash(rig.WriteFile("st.hex", HexFile(0x0000, data, 2)), false, 0);

    EXPECT_EQ(Commands(rig.Sim()), (Strings{"Erase 20 0x0000", "Program 20 0x0000",
                                            "Program 20 0x0040", "Reset 20", "GetStatus 20"}));
    EXPECT_GE(rig.clock.ElapsedMs(), 2000u);
    EXPECT_LT(rig.clock.ElapsedMs(), 4000u); // no reset and wait before the file in Stepper
    int upper = -1;
    EXPECT_EQ(ProgressPositions(rig.ui, &upper), (std::vector<int>{0, 128, 160}));
    EXPECT_EQ(upper, 160);
    ASSERT_EQ(rig.ui.GetMessageBoxes().size(), 1u);
    EXPECT_EQ(rig.ui.GetMessageBoxes()[0].text, L"Update succeeded!");
    EXPECT_EQ(rig.ui.GetTextHistory(IDC_STATUS), kSuccessStatus);
    ExpectProgrammed(rig.Memory(0x14, 2), 0, data, 2, 128);
}

// A range of no bytes still erases, resets and asks for the status; it programs nothing.
// (A range of no bytes with data in the file is refused: the data would be left out.)
TEST(FlashUpdate, LengthZeroErasesAndProgramsNothing) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    // A first record without data gives the start; the end-of-file record's address field sets
    // the end: 0x0010, the start.
    const std::string text = HexRecord(0x0010, 0, {}) + HexRecord(0x0010, 1, {});
    rig.Flash(rig.WriteFile("zero.hex", text), true);
    EXPECT_EQ(Commands(rig.Sim()),
              (Strings{"Reset 1", "Erase 1 0x0010", "Reset 1", "GetStatus 1"}));
    EXPECT_EQ(rig.ui.GetTextHistory(IDC_STATUS).back(), L"Update sucessfully completed");
    EXPECT_TRUE(rig.Memory(1, 1).empty());
}

TEST(FlashUpdate, LengthOf65InOdTakesTwoWholeBlocks) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const Bytes data = Pattern(65, 3);
    rig.Flash(rig.WriteFile("65.hex", HexFile(0x0100, data, 1)), true);
    EXPECT_EQ(Commands(rig.Sim()), (Strings{"Reset 1", "Erase 1 0x0100", "Program 1 0x0100",
                                            "Program 1 0x0140", "Reset 1", "GetStatus 1"}));
    int upper = -1;
    // Advanced twice by 64; the bar stops at its end, 65.
    EXPECT_EQ(ProgressPositions(rig.ui, &upper), (std::vector<int>{0, 64, 65}));
    EXPECT_EQ(upper, 65);
    ExpectProgrammed(rig.Memory(1, 1), 0x0100, data, 2, 64);
}

TEST(FlashUpdate, StepperAddressesAreWords) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const Bytes data = Pattern(300, 5);
    // Word address 0x0100 is image byte 0x0200; entry 3 of the list is "0x1C".
    rig.Flash(rig.WriteFile("300.hex", HexFile(0x0100, data, 2)), false, 3);
    EXPECT_EQ(Commands(rig.Sim()),
              (Strings{"Erase 28 0x0100", "Program 28 0x0100", "Program 28 0x0140",
                       "Program 28 0x0180", "Reset 28", "GetStatus 28"}));
    ExpectProgrammed(rig.Memory(0x1C, 2), 0x0200, data, 3, 128);
}

// A second update needs no restart; the second run sets the bar's range anew.
TEST(FlashUpdate, TwoUpdatesInOneDialog) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const Bytes odData = Pattern(64), stepperData = Pattern(200, 2);
    const std::wstring first = rig.WriteFile("a.hex", HexFile(0, odData, 1));
    const std::wstring second = rig.WriteFile("b.hex", HexFile(0, stepperData, 2));
    rig.Run([&](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        s.Type(IDC_FILENAME, first);
        s.Click(IDC_OD);
        s.Click(IDC_FLASH);
        EXPECT_EQ(s.GetText(IDC_STATUS), L"Update sucessfully completed");
        s.Type(IDC_FILENAME, second);
        s.Click(IDC_STEPPER);
        s.Click(IDC_FLASH);
        EXPECT_EQ(s.GetText(IDC_STATUS), L"Update sucessfully completed");
        int lo = -1, hi = -1;
        dlg.m_progress.GetRange(lo, hi);
        EXPECT_EQ(hi, 200);
    });
    EXPECT_EQ(rig.ui.GetMessageBoxes().size(), 2u);
    EXPECT_EQ(Commands(rig.Sim()).size(), 10u);
    ExpectProgrammed(rig.Memory(1, 1), 0, odData, 1, 64);
    ExpectProgrammed(rig.Memory(0x14, 2), 0, stepperData, 2, 128);
}

// Files made by real tools: every record ascends from the first line, so the whole file lies
// inside the range and is programmed.
TEST(FlashUpdate, FilesFromRealToolsAreProgrammedWhole) {
    struct Case {
        const char* name;
        bool od;
        const char* make; // from data.bin to file.hex
        uint32_t start;   // byte position of the first byte
        size_t blocks;
        size_t blockLength;
    };
    const Case cases[] = {
        {"objcopy, OD", true,
         "objcopy -I binary -O ihex --change-addresses 0x100 data.bin file.hex", 0x100, 5, 64},
        {"srec_cat words, Stepper", false,
         "srec_cat data.bin -binary -o data.s19 -Motorola 2 -Output_Block_Size 16"
         " && objcopy -I srec -O ihex data.s19 file.hex",
         0, 3, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlashRig rig;
        ASSERT_TRUE(rig.Ok());
        const Bytes data = Pattern(300, 7);
        rig.WriteFile("data.bin", std::string(data.begin(), data.end()));
        const std::string make = "cd " + simtest::ShellQuote(rig.Dir()) + " && " + c.make;
        ASSERT_EQ(std::system(make.c_str()), 0) << "scripts/install-deps installs the tools";
        const std::string file = rig.Dir() + "/file.hex";
        rig.Flash(std::wstring(file.begin(), file.end()), c.od);
        EXPECT_EQ(rig.ui.GetTextHistory(IDC_STATUS), kSuccessStatus);
        const uint8_t slave = c.od ? 1 : 0x14;
        ExpectProgrammed(rig.Memory(slave, c.od ? 1 : 2), c.start, data, c.blocks, c.blockLength);
    }
}

} // namespace
} // namespace flashtest
