// `korvane flash` through several ports at once, one simulator each: every port flashed or
// failed on its own, one record per port, the first failure's exit status, and Ctrl+C passed
// on to every run.
#include "FlashRig.h"
#include "tests/support/KorvaneRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>

namespace flashtest {
namespace {

using runtest::Finished;
using runtest::RunKorvane;
using Strings = std::vector<std::string>;

struct Gang {
    // One simulator per entry, with those options; an entry {"-"} is a port that does not exist.
    explicit Gang(const std::vector<Strings>& sims) {
        dir = testsupport::MakeTempDir("korvane-gang");
        for (const Strings& args : sims) {
            if (args == Strings{"-"}) {
                this->sims.emplace_back();
                ports.push_back(dir + "/no-such-port");
                continue;
            }
            this->sims.push_back(std::make_unique<simtest::Sim>(args, false));
            ports.push_back(this->sims.back()->Path());
        }
    }
    ~Gang() {
        sims.clear();
        std::filesystem::remove_all(dir);
    }
    Strings Args(const std::string& file, const std::string& record) const {
        Strings args = {"flash", "--stepper", "0x14", "--record", record};
        for (const std::string& port : ports)
            args.insert(args.end(), {"--port", port});
        args.push_back(file);
        return args;
    }
    std::string File(size_t bytes) const {
        const std::string path = dir + "/image.hex";
        std::ofstream(path) << HexFile(0, Pattern(bytes), 2);
        return path;
    }
    // The record of each port, found by its "port" field.
    std::map<std::string, std::string> Records(const std::string& record) const {
        std::map<std::string, std::string> byPort;
        std::ifstream in(record);
        for (std::string line; std::getline(in, line);)
            byPort[simtest::Field(line, "port")] = line;
        return byPort;
    }

    std::string dir;
    std::vector<std::unique_ptr<simtest::Sim>> sims;
    Strings ports;
};

TEST(GangFlash, EachPortOnItsOwn) {
    struct Case {
        const char* name;
        std::vector<Strings> sims;
        int exit;
        Strings results; // per port, in order
    } cases[] = {
        {"a port missing",
         {{}, {"-"}, {}},
         4,
         {"Update sucessfully completed", "Error opening port", "Update sucessfully completed"}},
        {"a slave's status 5",
         {{"--status", "5"}, {}},
         1,
         {"Update failed! Error 5", "Update sucessfully completed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Gang gang(c.sims);
        const std::string record = gang.dir + "/records.jsonl";
        const Finished run = RunKorvane(gang.Args(gang.File(512), record));
        EXPECT_EQ(run.exit, c.exit) << run.err;
        const auto records = gang.Records(record);
        ASSERT_EQ(records.size(), gang.ports.size()) << run.out;
        for (size_t i = 0; i < gang.ports.size(); ++i) {
            EXPECT_EQ(simtest::Field(records.at(gang.ports[i]), "result"), c.results[i]);
            // Without a terminal every line names its port.
            EXPECT_NE(run.out.find(gang.ports[i] + ": " + c.results[i] + "\n"), std::string::npos)
                << run.out;
            if (gang.sims[i] && c.results[i] == "Update sucessfully completed") {
                gang.sims[i]->Stop();
                EXPECT_EQ(Commands(*gang.sims[i]).size(), 1u + 4u + 2u);
            }
        }
    }
}

// Ctrl+C reaches the parent alone (each run has a process group of its own); the parent passes
// it on once, and every run ends with its record and its port released.
TEST(GangFlash, InterruptStopsEveryRun) {
    Gang gang({{"--baud", "115200"}, {"--baud", "115200"}});
    const std::string record = gang.dir + "/records.jsonl";
    runtest::Korvane run(gang.Args(gang.File(32768), record));
    for (int waited = 0; waited < 10000 && (gang.sims[0]->Requests().size() < 10 ||
                                            gang.sims[1]->Requests().size() < 10);
         waited += 5)
        usleep(5000);
    kill(run.Pid(), SIGINT);
    const Finished finished = run.Wait(5000);
    EXPECT_EQ(finished.exit, 130) << finished.err;
    const auto records = gang.Records(record);
    ASSERT_EQ(records.size(), 2u);
    for (const std::string& port : gang.ports) {
        EXPECT_EQ(simtest::Field(records.at(port), "result"), "interrupted");
        const std::string small = gang.dir + "/small.hex";
        std::ofstream(small) << HexFile(0, Pattern(128), 2);
        EXPECT_EQ(RunKorvane({"flash", "--stepper", "0x14", "--port", port, small}).exit, 0);
    }
}

} // namespace
} // namespace flashtest
