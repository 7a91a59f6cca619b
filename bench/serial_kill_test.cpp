// The serial numbers' promise under kills, against korvane-sim: boards flashed in gangs of 4
// through the real program (`korvane flash --recipe R --port P1 ... --port P4`), each gang's
// run killed (SIGKILL) at a seeded random moment in a seeded share of the runs, its parent or
// one of its port's runs, and the next run started after it. A test of its own, not part of
// make test (a few minutes); run for each journal:
//
//     build/bench_serial_kill_test --journal sqlite   [--boards 200] [--seed 1]
//     build/bench_serial_kill_test --journal postgres
//
// Afterwards: no value stands in two used records; every used value is in exactly one slave's
// memory; every record's state is its value's state in the journal; no value was given out
// twice (in the journal, or in two slaves' memories). Exits 1 when any of these fails.
#include "line/RecipeSerial.h"
#include "line/Sha256.h"
#include "line/SqlConnection.h"
#include "tests/support/Files.h"
#include "tests/support/KorvaneRun.h"
#include "tests/support/Postgres.h"
#include "tests/support/SimProcess.h"
#include "update/HexImage.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

const unsigned kSerialByte = 8; // word 0x0004 of the Stepper image

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
}

int Shell(const std::string& command) {
    return std::system((command + " </dev/null >/dev/null 2>&1").c_str());
}

std::string StepperImage() {
    std::string hex;
    for (unsigned word = 0; word < 64; word += 8) {
        char line[64];
        unsigned sum = 16 + word;
        int n = std::snprintf(line, sizeof line, ":10%04X00", word);
        for (unsigned i = 0; i < 16; ++i) {
            n += std::snprintf(line + n, sizeof line - n, "%02X", (word * 2 + i + 1) & 0xFF);
            sum += (word * 2 + i + 1) & 0xFF;
        }
        std::snprintf(line + n, sizeof line - n, "%02X\n", (-sum) & 0xFF);
        hex += line;
    }
    return hex + ":00000001FF\n";
}

// The value a slave's dump holds at the serial's place; 0 when it holds none.
uint64_t ValueInDump(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return 0;
    std::vector<BYTE> image(HEX_IMAGE_SIZE, 0xFF);
    WORD start = 0, end = 0;
    const int outcome = LoadHexImage(file, image.data(), 2, &start, &end);
    std::fclose(file);
    if (outcome != HEX_LOADED)
        return 0;
    uint64_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | image[kSerialByte + i];
    return value == 0xFFFFFFFFu ? 0 : value;
}

std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> children;
    for (pid_t child; in >> child;)
        children.push_back(child);
    return children;
}

bool Ended(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(in, text))
        return true;
    const size_t close = text.rfind(')');
    return close != std::string::npos && text.size() > close + 2 && text[close + 2] == 'Z';
}

} // namespace

int main(int argc, char** argv) {
    std::string backend = "sqlite";
    int boards = 200;
    unsigned seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--journal"))
            backend = argv[i + 1];
        else if (!std::strcmp(argv[i], "--boards"))
            boards = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed"))
            seed = unsigned(std::atoi(argv[i + 1]));
    }
    const std::string dir = testsupport::MakeTempDir("korvane-serial-kill");
    fs::permissions(dir, fs::perms(0755));
    testsupport::PostgresServer server;
    std::string journal = dir + "/serials.db";
    if (backend == "postgres") {
        if (!server.Start()) {
            std::fprintf(stderr, "the PostgreSQL server did not start\n");
            return 1;
        }
        journal = server.Url();
    }
    // A station of its own, and an unsigned recipe (its signature is not what is tested).
    fs::create_directories(dir + "/keys");
    Shell("minisign -G -W -p " + dir + "/keys/A.pub -s " + dir + "/A.sec");
    Write(dir + "/station.toml", "keys = \"keys\"\nserial_journal = \"" + journal + "\"\n");
    fs::permissions(dir + "/station.toml", fs::perms(0644));
    const std::string image = StepperImage();
    Write(dir + "/image.hex", image);
    Write(dir + "/recipe.toml",
          "name = \"K\"\nrevision = \"1\"\ntarget = \"Stepper\"\nslaves = [0x14]\n"
          "image = \"image.hex\"\nimage_sha256 = \"" +
              line::Sha256Hex(image) +
              "\"\n[serial]\npool = \"kill\"\naddress = 0x0004\nbytes = 4\nformat = \"le\"\n"
              "first = 1\nlast = 1000000\n");
    const std::string record = dir + "/records.jsonl";
    const std::vector<std::string> env = {"KORVANE_STATION_FILE=" + dir + "/station.toml"};

    std::mt19937 random(seed);
    std::map<uint64_t, int> inMemory; // value -> how many slaves' memories hold it
    int kills = 0, parentKills = 0;
    for (int round = 0; round * 4 < boards; ++round) {
        std::vector<std::unique_ptr<testsupport::SimProcess>> sims;
        std::vector<std::string> args = {"flash",      "--recipe", dir + "/recipe.toml",
                                         "--unsigned", "--record", record};
        for (int port = 0; port < 4; ++port) {
            const std::string simDir =
                dir + "/r" + std::to_string(round) + "p" + std::to_string(port);
            fs::create_directories(simDir);
            sims.push_back(std::make_unique<testsupport::SimProcess>(
                std::vector<std::string>{"--baud", "0"}, simDir));
            if (!sims.back()->Ok())
                return std::fprintf(stderr, "korvane-sim did not start\n"), 1;
            args.insert(args.end(), {"--port", sims.back()->Path()});
        }
        runtest::Korvane run(args, env);
        // Half the runs are killed, at a moment within the first 1.5 s.
        std::vector<pid_t> orphans;
        if (random() % 2 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1500));
            const std::vector<pid_t> children = ChildrenOf(run.Pid());
            const bool parent = children.empty() || random() % 3 == 0;
            if (parent) {
                orphans = children;
                ++parentKills;
            }
            kill(parent ? run.Pid() : children[random() % children.size()], SIGKILL);
            ++kills;
        }
        const runtest::Finished finished = run.Wait(120000);
        // The runs of a killed parent go on with their boards; their slaves are read after.
        for (pid_t orphan : orphans)
            while (!Ended(orphan))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (finished.exit != 0 && finished.exit != 137 && finished.exit != 1)
            std::fprintf(stderr, "round %d: exit %d: %s", round, finished.exit,
                         finished.err.c_str());
        for (auto& sim : sims) {
            sim->Stop();
            if (const uint64_t value = ValueInDump(sim->DumpPath(0x14)))
                ++inMemory[value];
        }
    }

    // The journal as the last start leaves it: a run turns the dead's reservations void.
    runtest::RunKorvane(
        {"flash", "--recipe", dir + "/recipe.toml", "--unsigned", "--port", dir + "/no-such-port"},
        env);
    std::string error;
    std::unique_ptr<line::SqlConnection> sql = backend == "postgres"
                                                   ? line::OpenPostgres(journal, &error)
                                                   : line::OpenSqlite(journal, &error);
    line::SqlRows rows;
    if (!sql || !sql->Exec("SELECT value, state, issued FROM korvane_serials WHERE pool = 'kill'",
                           {}, &rows, &error))
        return std::fprintf(stderr, "the journal cannot be read: %s\n", error.c_str()), 1;
    std::map<uint64_t, std::string> state;
    int failures = 0;
    auto fail = [&](const std::string& what) {
        if (++failures <= 20)
            std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    };
    std::map<std::string, int> totals;
    for (const auto& row : rows) {
        state[std::stoull(row[0])] = row[1];
        ++totals[row[1]];
        if (row[2] != "1")
            fail("value " + row[0] + " was given out " + row[2] + " times");
    }
    std::map<uint64_t, int> usedRecords;
    int records = 0;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line); ++records) {
        const auto json = nlohmann::json::parse(line, nullptr, false);
        if (!json.is_object() || !json["serial"].is_object()) {
            fail("a record without its serial: " + line);
            continue;
        }
        const uint64_t value = json["serial"]["value"].get<uint64_t>();
        const std::string recorded = json["serial"]["state"].get<std::string>();
        if (recorded == "used")
            ++usedRecords[value];
        if (state[value] != recorded)
            fail("record of " + std::to_string(value) + " says " + recorded + ", the journal " +
                 state[value]);
    }
    for (const auto& [value, count] : usedRecords)
        if (count > 1)
            fail("value " + std::to_string(value) + " stands in " + std::to_string(count) +
                 " used records");
    for (const auto& [value, journalState] : state)
        if (journalState == "used" && inMemory[value] != 1)
            fail("used value " + std::to_string(value) + " is in " +
                 std::to_string(inMemory[value]) + " slaves' memories");
    for (const auto& [value, count] : inMemory) {
        if (count > 1)
            fail("value " + std::to_string(value) + " is in " + std::to_string(count) +
                 " slaves' memories");
        if (!state.count(value))
            fail("value " + std::to_string(value) + " is in a slave but not in the journal");
    }
    std::printf("%s, seed %u: %d boards, %d runs killed (%d parents); %d records; journal: %d "
                "used, %d void, %d reserved; %zu slaves hold a number; %d failures\n",
                backend.c_str(), seed, boards, kills, parentKills, records, totals["used"],
                totals["void"], totals["reserved"], inMemory.size(), failures);
    server.Stop();
    fs::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
