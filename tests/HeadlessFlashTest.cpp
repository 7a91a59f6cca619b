// `korvane flash` as a script runs it, against korvane-sim on its pty: what it prints, the exit
// status, the record of each slave, and what the slave was sent.
#include "FlashRig.h"
#include "tests/support/KorvaneRun.h"

#include "ce_trace.h"
#include "tests/support/Stack.h"

#include "korvane_version.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

namespace flashtest {
namespace {

using runtest::Finished;
using runtest::Lines;
using runtest::RunKorvane;
using Strings = std::vector<std::string>;

std::string Sha256Sum(const std::wstring& path) {
    return simtest::Sha256Sum(CString(path).ToUtf8());
}

Strings ReadLines(const std::string& path) {
    std::ifstream in(path);
    Strings lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The bytes written to the port, one request a line, from a CE_TRACE file.
Strings Written(const std::string& trace) {
    Strings written;
    for (const std::string& line : ReadLines(trace)) {
        const size_t at = line.find(": W ");
        if (at != std::string::npos)
            written.push_back(line.substr(at + 4));
    }
    return written;
}

// The keys of a one-line JSON object, in order.
Strings Keys(const std::string& json) {
    Strings keys;
    const std::regex key("[{,]\"([a-z_0-9]+)\":");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), key);
         it != std::sregex_iterator(); ++it)
        keys.push_back((*it)[1]);
    return keys;
}

const Strings kRecordKeys = {
    "time",       "host",        "korvane", "port",   "port_id", "target",    "slave",   "file",
    "file_bytes", "file_sha256", "start",   "end",    "blocks",  "exchanges", "retries", "status",
    "result",     "exit",        "seconds", "recipe", "serial",  "id",        "station"};

struct Outcome {
    const char* name;
    Strings simArgs;
    Strings target;   // --od, or --stepper LIST
    std::string file; // the HEX text; "-" for a file that does not exist
    int exit;
    // One entry per record, in order: result, status ("null" or a number), exchanges.
    Strings results;
    Strings statuses;
    std::vector<int> exchanges;
    Strings commands; // what the slave was sent
};

void PrintTo(const Outcome& c, std::ostream* os) {
    *os << c.name;
}

class HeadlessOutcome : public ::testing::TestWithParam<Outcome> {};

// OD: a Reset and the 2000 ms before the file; then Erase, the blocks, Reset, GetStatus. 200
// bytes are 4 OD blocks; 300 Stepper bytes are 3 blocks, addressed in words.
const Outcome kOutcomes[] = {
    {"Od",
     {},
     {"--od"},
     HexFile(0, Pattern(200), 1),
     0,
     {"Update sucessfully completed"},
     {"0"},
     {8},
     {"Reset 1", "Erase 1 0x0000", "Program 1 0x0000", "Program 1 0x0040", "Program 1 0x0080",
      "Program 1 0x00C0", "Reset 1", "GetStatus 1"}},
    {"Stepper",
     {},
     {"--stepper", "0x1C"},
     HexFile(0, Pattern(300), 2),
     0,
     {"Update sucessfully completed"},
     {"0"},
     {6},
     {"Erase 28 0x0000", "Program 28 0x0000", "Program 28 0x0040", "Program 28 0x0080", "Reset 28",
      "GetStatus 28"}},
    {"OneOfTwoRefusesToErase",
     {"--refuse-erase", "1", "--only-slave", "0x14"},
     {"--stepper", "0x14,21"},
     HexFile(0, Pattern(128), 2),
     5,
     {"Error Erasing", "Update sucessfully completed"},
     {"null", "0"},
     {1, 4},
     {"Erase 20 0x0000", "Erase 21 0x0000", "Program 21 0x0000", "Reset 21", "GetStatus 21"}},
    {"Status5",
     {"--status", "5"},
     {"--stepper", "0x15"},
     HexFile(0, Pattern(128), 2),
     1,
     {"Update failed! Error 5"},
     {"5"},
     {4},
     {"Erase 21 0x0000", "Program 21 0x0000", "Reset 21", "GetStatus 21"}},
    {"MissingFileStepper",
     {},
     {"--stepper", "0x14"},
     "-",
     3,
     {"Error opening file"},
     {"null"},
     {0},
     {}},
    {"MissingFileOd", {}, {"--od"}, "-", 3, {"Error opening file"}, {"null"}, {1}, {"Reset 1"}},
    {"BadChecksum",
     {},
     {"--stepper", "0x14"},
     ":0400100001020304E3\n:00000001FF\n",
     3,
     {"Checksum error"},
     {"null"},
     {0},
     {}},
    {"NoEndRecord",
     {},
     {"--stepper", "0x14"},
     ":0400100001020304E2\n",
     3,
     {"Error reading file"},
     {"null"},
     {0},
     {}},
    {"EmptyFile", {}, {"--stepper", "0x14,0x15"}, "", 3, {"Error reading file"}, {"null"}, {0}, {}},
    {"PastTheSlavesMemory",
     {},
     {"--stepper", "0x14"},
     HexRecord(0x8000, 0, Pattern(16)) + HexRecord(0x8008, 0, Pattern(16)) + ":00000001FF\n",
     3,
     {"Address out of range"},
     {"null"},
     {0},
     {}},
};

TEST_P(HeadlessOutcome, ExitRecordAndWire) {
    const Outcome& c = GetParam();
    FlashRig rig(c.simArgs);
    ASSERT_TRUE(rig.Ok());
    const std::wstring file = c.file == "-"
                                  ? CString((rig.Dir() + "/missing.hex").c_str()).GetString()
                                  : rig.WriteFile("image.hex", c.file);
    const std::string path = CString(file).ToUtf8();
    const std::string record = rig.Dir() + "/records.jsonl";
    Strings args = {"flash", "--port", rig.Sim().Path(), "--record", record, "--quiet"};
    args.insert(args.end(), c.target.begin(), c.target.end());
    args.push_back(path);
    const Finished run = RunKorvane(args);
    EXPECT_EQ(run.exit, c.exit) << run.err;

    const Strings records = ReadLines(record);
    ASSERT_EQ(records.size(), c.results.size()) << run.out << run.err;
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(records[i]);
        EXPECT_EQ(Keys(records[i]), kRecordKeys);
        EXPECT_EQ(simtest::Field(records[i], "result"), c.results[i]);
        EXPECT_EQ(simtest::Field(records[i], "status"), c.statuses[i]);
        EXPECT_EQ(simtest::Field(records[i], "exchanges"), std::to_string(c.exchanges[i]));
        EXPECT_EQ(simtest::Field(records[i], "retries"), "0");
        EXPECT_EQ(simtest::Field(records[i], "port"), rig.Sim().Path());
        EXPECT_EQ(simtest::Field(records[i], "korvane"), KORVANE_VERSION);
        EXPECT_EQ(simtest::Field(records[i], "file"), path);
        EXPECT_TRUE(
            std::regex_match(simtest::Field(records[i], "time"),
                             std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z")));
        const std::string exit = simtest::Field(records[i], "exit");
        EXPECT_EQ(exit,
                  c.results[i] == "Update sucessfully completed" ? "0" : std::to_string(c.exit));
        if (c.file == "-") {
            EXPECT_EQ(simtest::Field(records[i], "file_sha256"), "null");
        } else {
            EXPECT_EQ(simtest::Field(records[i], "file_sha256"), Sha256Sum(file));
            EXPECT_EQ(simtest::Field(records[i], "file_bytes"), std::to_string(c.file.size()));
        }
    }
    // A script's log names what failed in one line.
    if (c.exit != 0) {
        EXPECT_NE(run.err.find(c.results.front()), std::string::npos) << run.err;
    }
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()), c.commands);
}

INSTANTIATE_TEST_SUITE_P(Flash, HeadlessOutcome, ::testing::ValuesIn(kOutcomes),
                         [](const ::testing::TestParamInfo<Outcome>& info) {
                             return std::string(info.param.name);
                         });

// What an operator of the dialog reads, line by line, with the slave's header first.
TEST(HeadlessFlash, PrintsWhatTheDialogShows) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const std::string path = CString(rig.WriteFile("a.hex", HexFile(0, Pattern(300), 2))).ToUtf8();
    const Finished run =
        RunKorvane({"flash", "--stepper", "0x18", "--port", rig.Sim().Path(), path});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Lines(run.out), (Strings{"Stepper slave 0x18: " + path, "Reading file", "Erasing",
                                       "Programming...", "Resetting slave", "Getting status",
                                       "Update succeeded!", "Update sucessfully completed"}));
    // --json: the record instead of the lines.
    const Finished json =
        RunKorvane({"flash", "--json", "--stepper", "0x18", "--port", rig.Sim().Path(), path});
    ASSERT_EQ(Lines(json.out).size(), 1u) << json.out;
    EXPECT_EQ(Keys(json.out), kRecordKeys);
    EXPECT_EQ(simtest::Field(json.out, "blocks"), "3");
    EXPECT_EQ(simtest::Field(json.out, "start"), "0");
    EXPECT_EQ(simtest::Field(json.out, "end"), "300");
}

// Bad command lines: one line on standard error, exit 2, and nothing sent.
TEST(HeadlessFlash, UsageErrorsSendNothing) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const std::string file = CString(rig.WriteFile("a.hex", HexFile(0, Pattern(64), 1))).ToUtf8();
    const std::string port = rig.Sim().Path();
    const std::vector<Strings> cases = {
        {"flash", "--port", port, file},                                // no target
        {"flash", "--od", "--stepper", "0x14", "--port", port, file},   // two
        {"flash", "--stepper", "0x16", "--port", port, file},           // not one of the five
        {"flash", "--stepper", "0x14,,0x15", "--port", port, file},     // an empty one
        {"flash", "--stepper", "300", "--port", port, file},            // no byte at all
        {"flash", "--od", "--port", port},                              // no FILE
        {"flash", "--od", "--port", port, file, file},                  // two
        {"flash", "--od", "--speed", "9600", "--port", port, file},     // unknown option
        {"flash", "--od", "--port", port, "--record", rig.Dir(), file}, // a folder as the record
        {"flash", "--od", "--port", port, "--record", "/nonexistent/r.jsonl", file},
        {"flash", "--od", "--port=", file},        // an empty value
        {"flash", "--od=1", "--port", port, file}, // a value for none
        {"flash", "--od", "--port"},               // a value missing
    };
    for (const Strings& args : cases) {
        const Finished run = RunKorvane(args);
        std::string line;
        for (const std::string& arg : args)
            line += " " + arg;
        SCOPED_TRACE(line);
        EXPECT_EQ(run.exit, 2);
        EXPECT_EQ(run.err.rfind("korvane flash: ", 0), 0u) << run.err;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_EQ(run.out, "");
    }
    rig.StopSim();
    EXPECT_EQ(Commands(rig.Sim()), Strings{});
}

TEST(HeadlessFlash, NoPort) {
    FlashRig rig({}, false);
    const std::string file = CString(rig.WriteFile("a.hex", HexFile(0, Pattern(64), 2))).ToUtf8();
    const Finished run =
        RunKorvane({"flash", "--stepper", "0x14", "--port", rig.Dir() + "/no-such-port", file});
    EXPECT_EQ(run.exit, 4);
    // The port's own reason, once, then the one line of the failure.
    const std::string reason = "COM6: " + rig.Dir() + "/no-such-port does not exist (from --port).";
    EXPECT_EQ(run.err.find(reason), 0u) << run.err;
    EXPECT_EQ(run.err.find(reason, 1), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Error opening port"), std::string::npos) << run.err;
    // --port=DEVICE is the same option, for every command.
    EXPECT_EQ(RunKorvane({"scan", "--port=" + rig.Dir() + "/no-such-port"}).err.find(reason), 0u);
}

// Lost replies cost an attempt each; every one is counted, and the update still succeeds.
TEST(HeadlessFlash, LostRepliesAreRetriedAndCounted) {
    FlashRig rig({"--lose", "10", "--seed", "3"});
    ASSERT_TRUE(rig.Ok());
    const std::string file = CString(rig.WriteFile("a.hex", HexFile(0, Pattern(1024), 2))).ToUtf8();
    const Finished run =
        RunKorvane({"flash", "--json", "--stepper", "0x14", "--port", rig.Sim().Path(), file});
    EXPECT_EQ(run.exit, 0) << run.err;
    rig.StopSim();
    size_t lost = 0;
    for (const std::string& request : rig.Sim().Requests())
        lost += simtest::Field(request, "reply") == "lost";
    ASSERT_GT(lost, 0u) << "the seed loses no reply";
    EXPECT_EQ(simtest::Field(run.out, "retries"), std::to_string(lost));
    EXPECT_EQ(simtest::Field(run.out, "exchanges"), std::to_string(8 + 3 + lost));
    EXPECT_NE(run.err.find("Transact: attempt 1 of 3 failed: ERR_REPLY_TIMEOUT (74)"),
              std::string::npos)
        << run.err;
}

// SIGINT while blocks go out: within a second no request more is written, the record says
// "interrupted", the exit status is 130, and the port is free for the next run at once.
TEST(HeadlessFlash, InterruptedWhileProgramming) {
    FlashRig rig({"--baud", "115200"});
    ASSERT_TRUE(rig.Ok());
    const std::string file =
        CString(rig.WriteFile("a.hex", HexFile(0, Pattern(32768), 2))).ToUtf8();
    const std::string record = rig.Dir() + "/records.jsonl";
    runtest::Korvane run(
        {"flash", "--stepper", "0x14", "--port", rig.Sim().Path(), "--record", record, file});
    for (int waited = 0; waited < 10000 && rig.Sim().Requests().size() < 20; waited += 5)
        usleep(5000);
    ASSERT_GE(rig.Sim().Requests().size(), 20u) << run.Err();
    const int64_t signalled = testsupport::MonoUs();
    kill(run.Pid(), SIGINT);
    const Finished finished = run.Wait(5000);
    EXPECT_LT(testsupport::MonoUs() - signalled, 1000000);
    EXPECT_EQ(finished.exit, 130) << finished.err;
    const size_t sent = rig.Sim().Requests().size();
    usleep(300000);
    EXPECT_EQ(rig.Sim().Requests().size(), sent);
    EXPECT_LT(sent, 20u + 256u / 2);
    const Strings records = ReadLines(record);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(simtest::Field(records[0], "result"), "interrupted");
    EXPECT_EQ(simtest::Field(records[0], "exit"), "130");

    const std::string small = CString(rig.WriteFile("b.hex", HexFile(0, Pattern(128), 2))).ToUtf8();
    const Finished next =
        RunKorvane({"flash", "--stepper", "0x14", "--port", rig.Sim().Path(), small});
    EXPECT_EQ(next.exit, 0) << next.err;
}

// FILE replaced while OD waits its 2 s after the Reset: the slave gets the file as it was when
// the run read it, and the record says so.
TEST(HeadlessFlash, FileReplacedDuringTheRunIsNotWhatIsFlashed) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const Bytes first = Pattern(256, 1);
    const std::wstring path = rig.WriteFile("a.hex", HexFile(0, first, 1));
    const std::string firstSha = Sha256Sum(path);
    const std::string record = rig.Dir() + "/records.jsonl";
    runtest::Korvane run(
        {"flash", "--od", "--port", rig.Sim().Path(), "--record", record, CString(path).ToUtf8()});
    for (int waited = 0; waited < 5000 && rig.Sim().Requests().empty(); waited += 5)
        usleep(5000);
    ASSERT_EQ(Commands(rig.Sim()), Strings{"Reset 1"}) << run.Err();
    rig.WriteFile("b.hex", HexFile(0, Pattern(512, 7), 1));
    std::filesystem::rename(rig.Dir() + "/b.hex", CString(path).ToUtf8());
    EXPECT_EQ(run.Wait().exit, 0);
    EXPECT_EQ(simtest::Field(ReadLines(record).at(0), "file_sha256"), firstSha);
    const auto memory = rig.Memory(1, 1);
    ExpectProgrammed(memory, 0, first, 4, 64);
    EXPECT_EQ(memory.size(), 256u);
}

// The same file and target give the same bytes on the wire, request for request, from the
// dialog and from `korvane flash`.
TEST(HeadlessFlash, SameRequestsAsTheDialog) {
    for (bool od : {true, false}) {
        SCOPED_TRACE(od ? "OD" : "Stepper");
        FlashRig rig;
        ASSERT_TRUE(rig.Ok());
        const std::wstring file = rig.WriteFile("a.hex", HexFile(0x40, Pattern(700), od ? 1 : 2));
        const std::string dialogTrace = rig.Dir() + "/dialog.trace";
        ASSERT_TRUE(ce::SetTraceFile(dialogTrace.c_str()));
        rig.Flash(file, od);
        ce::SetTraceFile(nullptr);
        TearDownStack(); // the dialog's port, free for the program
        const std::string headlessTrace = rig.Dir() + "/headless.trace";
        Strings args = {"flash", "--port", rig.Sim().Path(), CString(file).ToUtf8()};
        if (od)
            args.insert(args.begin() + 1, "--od");
        else
            args.insert(args.begin() + 1, {"--stepper", "0x14"});
        const Finished run = RunKorvane(args, {"CE_TRACE=" + headlessTrace});
        EXPECT_EQ(run.exit, 0) << run.err;
        const Strings dialog = Written(dialogTrace), headless = Written(headlessTrace);
        EXPECT_GE(dialog.size(), 9u);
        EXPECT_EQ(headless, dialog);
    }
}

} // namespace
} // namespace flashtest
