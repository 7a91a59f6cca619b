// A serial line that is not there, goes away in the middle of a flash, or has a slave at its end
// that says nothing or never stops talking: the update ends with one of its own messages, in
// bounded time.
#include "FlashRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <thread>

namespace flashtest {
namespace {

// What the operator saw: the message boxes in order, then the last status line.
std::vector<std::wstring> Seen(CScriptedBackEnd& ui) {
    std::vector<std::wstring> seen;
    for (const UI_EVENT& box : ui.GetMessageBoxes())
        seen.push_back(box.text);
    const std::vector<std::wstring> status = ui.GetTextHistory(IDC_STATUS);
    seen.push_back(status.empty() ? L"" : status.back());
    return seen;
}

double SecondsSince(int64_t startUs) {
    return static_cast<double>(simtest::MonoUs() - startUs) / 1e6;
}

TEST(BadInputDevice, NoSerialDevice) {
    FlashRig rig({}, false);
    rig.Flash(rig.WriteFile("f.hex", HexFile(0, Pattern(256), 2)), false);
    EXPECT_EQ(Seen(rig.ui), std::vector<std::wstring>{L"Error opening port"});
}

// The simulator is killed, or ends and closes its pty, after the fifth block: every read and
// write on the line fails at once, so the three attempts cost no waiting. The port stays
// broken for the process; a second "Flash!" fails on the erase just as quickly.
TEST(BadInputDevice, DeviceVanishesInTheMiddleOfAFlash) {
    for (int sig : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(sig == SIGKILL ? "killed" : "closed");
        FlashRig rig({"--baud", "115200"});
        ASSERT_TRUE(rig.Ok());
        // 64 blocks, about 0.9 s at 115200 baud.
        const std::wstring path = rig.WriteFile("f.hex", HexFile(0, Pattern(8192), 2));
        std::thread vanish([&rig, sig] {
            for (int waited = 0; waited < 5000 && rig.Sim().Requests().size() < 6; waited += 2)
                usleep(2000);
            rig.Sim().Stop(sig);
        });
        const int64_t start = simtest::MonoUs();
        rig.Run([&](CKorvaneDlg&, CScriptedBackEnd& s) {
            s.Type(IDC_FILENAME, path);
            s.Click(IDC_STEPPER);
            s.Click(IDC_FLASH);
            s.Click(IDC_FLASH);
        });
        vanish.join();
        EXPECT_LT(SecondsSince(start), 5.0);
        const std::vector<UI_EVENT> boxes = rig.ui.GetMessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, L"Error while programming");
        EXPECT_EQ(boxes[1].text, L"Error Erasing");
        const std::vector<std::wstring> status = rig.ui.GetTextHistory(IDC_STATUS);
        EXPECT_NE(std::find(status.begin(), status.end(), L"Programming error"), status.end());
        EXPECT_EQ(status.back(), L"Erasing");
    }
}

// A slave that never answers: three attempts of 5000 ms each on the erase (on the rig's clock,
// which skips them), then "Error Erasing"; nothing is programmed.
TEST(BadInputDevice, SilentSlave) {
    FlashRig rig({"--silent-after", "0"});
    ASSERT_TRUE(rig.Ok());
    const int64_t start = simtest::MonoUs();
    rig.Flash(rig.WriteFile("f.hex", HexFile(0, Pattern(256), 2)), false);
    EXPECT_EQ(Seen(rig.ui), (std::vector<std::wstring>{L"Error Erasing", L"Erasing"}));
    EXPECT_GE(rig.clock.ElapsedMs(), 15000u);
    EXPECT_LT(SecondsSince(start), 10.0);
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()), std::vector<std::string>(3, "Erase 20 0x0000"));
}

// A line that never stops bringing bytes: each attempt gives up after the drain's bound or on
// a frame that fails its check; "Error Erasing" comes within seconds.
TEST(BadInputDevice, BabblingSlave) {
    FlashRig rig({"--babble-after", "0"});
    ASSERT_TRUE(rig.Ok());
    const int64_t start = simtest::MonoUs();
    rig.Flash(rig.WriteFile("f.hex", HexFile(0, Pattern(256), 2)), false);
    EXPECT_EQ(Seen(rig.ui), (std::vector<std::wstring>{L"Error Erasing", L"Erasing"}));
    EXPECT_LT(SecondsSince(start), 10.0);
}

} // namespace
} // namespace flashtest
