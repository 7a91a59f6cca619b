// A reader of standard output that goes away (`| head -1`, a full disk, a gang's parent whose
// own output closed) never stops an update: every board is flashed whole and recorded. With
// --json the records on standard output are what the script asked for, so losing them fails
// the run; the record file keeps each update's own exit status.
#include "FlashRig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace flashtest {
namespace {

using Strings = std::vector<std::string>;

Strings FileLines(const std::string& path) {
    std::ifstream in(path);
    Strings lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(LostOutput, UpdatesRunToTheirEndAndAreRecorded) {
    struct Case {
        const char* name;
        size_t ports; // more than one is a gang
        bool json;
        const char* sink; // where the shell sends standard output
        int exit;
    } cases[] = {
        {"flash | head -1", 1, false, "| head -1 >/dev/null", 0},
        {"flash > /dev/full", 1, false, "> /dev/full", 0},
        {"flash --json > /dev/full", 1, true, "> /dev/full", 1},
        {"gang | head -1", 2, false, "| head -1 >/dev/null", 0},
        {"gang --json | head -1", 2, true, "| head -1 >/dev/null", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = testsupport::MakeTempDir("korvane-lostout");
        const std::string file = dir + "/image.hex", record = dir + "/records.jsonl";
        std::ofstream(file) << HexFile(0, Pattern(256), 2); // two whole Stepper blocks
        std::vector<std::unique_ptr<simtest::Sim>> sims;
        std::string command = simtest::ShellQuote(KORVANE_BINARY_DIR "/korvane") +
                              " flash --stepper 0x14,0x15 --record " + record +
                              (c.json ? " --json" : "");
        for (size_t i = 0; i < c.ports; ++i) {
            sims.push_back(std::make_unique<simtest::Sim>(Strings{}, false));
            ASSERT_TRUE(sims.back()->Ok());
            command += " --port " + sims.back()->Path();
        }
        command += " " + file + " 2>" + dir + "/err " + c.sink + "; echo ${PIPESTATUS[0]}";
        const std::string status = simtest::ShellOutput("bash -c " + simtest::ShellQuote(command));
        const std::string err = testsupport::Slurp(dir + "/err");
        EXPECT_EQ(status, std::to_string(c.exit) + "\n") << err;
        EXPECT_NE(err.find("standard output was lost"), std::string::npos) << err;

        const Strings records = FileLines(record);
        EXPECT_EQ(records.size(), 2 * c.ports);
        for (const std::string& line : records)
            EXPECT_EQ(simtest::Field(line, "exit"), "0") << line;
        bool ok = false;
        const auto wanted = simtest::LoadHex(file, 2, &ok);
        for (auto& sim : sims) {
            sim->Stop();
            for (uint8_t slave : {0x14, 0x15}) {
                bool dumped = false;
                EXPECT_EQ(simtest::LoadHex(sim->DumpPath(slave), 2, &dumped), wanted);
                EXPECT_TRUE(dumped);
            }
        }
        std::filesystem::remove_all(dir);
    }
}

} // namespace
} // namespace flashtest
