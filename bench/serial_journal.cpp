// What a serial number costs a board before and after its update: the reservation committed to
// the journal, the number written into a 64 KiB image (4096 records of 16 bytes), and the
// outcome committed. SQLite with synchronous=FULL in a temporary folder of the disk, and a real
// PostgreSQL server (fsync on) that it starts itself on 127.0.0.1.
#include "line/SerialJournal.h"
#include "line/SerialPatch.h"
#include "tests/support/Files.h"
#include "tests/support/Postgres.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

std::string Image() {
    std::string hex;
    for (unsigned address = 0; address < 0x10000; address += 16) {
        char text[64];
        unsigned sum = 16 + (address >> 8) + (address & 0xFF);
        int n = std::snprintf(text, sizeof text, ":10%04X00", address);
        for (int i = 0; i < 16; ++i) {
            n += std::snprintf(text + n, sizeof text - n, "%02X", (address + i) & 0xFF);
            sum += (address + i) & 0xFF;
        }
        std::snprintf(text + n, sizeof text - n, "%02X\n", (-sum) & 0xFF);
        hex += text;
    }
    return hex + ":00000001FF\n";
}

void Board(benchmark::State& state, const std::string& where) {
    line::Verdict verdict;
    std::unique_ptr<line::SerialJournal> journal = line::SerialJournal::Open(where, &verdict);
    if (!journal) {
        state.SkipWithError(verdict.message.c_str());
        return;
    }
    line::RecipeSerial serial;
    serial.present = true;
    serial.pool = "bench-" + std::to_string(state.range(0));
    serial.address = 0x7FF0;
    serial.bytes = 4;
    serial.first = 1;
    serial.last = 4000000000u;
    const std::string image = Image();
    std::vector<std::string> values;
    std::string patched, now;
    for (auto _ : state) {
        if (!journal->Reserve(serial, 1, &values).Passed() ||
            !line::PatchSerial(image, 1, serial, line::SerialBytes(serial, values[0]), &patched)
                 .Passed() ||
            !journal->Settle(serial.pool, values[0], line::SerialState::Used, &now).Passed()) {
            state.SkipWithError("a board failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void SqliteBoard(benchmark::State& state) {
    // On the disk, not /tmp's tmpfs: a sync there would cost nothing.
    const std::string dir = std::filesystem::current_path().string() + "/bench-serials.tmp";
    std::filesystem::create_directories(dir);
    Board(state, dir + "/serials.db");
    std::filesystem::remove_all(dir);
}

void PostgresBoard(benchmark::State& state) {
    static testsupport::PostgresServer* server = nullptr;
    if (server == nullptr) {
        server = new testsupport::PostgresServer;
        if (!server->Start()) {
            state.SkipWithError("the PostgreSQL server did not start");
            return;
        }
        std::atexit([] { delete server; });
    }
    Board(state, server->Url());
}

BENCHMARK(SqliteBoard)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PostgresBoard)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
