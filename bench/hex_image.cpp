// Loading a 64 KiB image (4096 records of 16 bytes) from a real file, and counting the heap
// allocations the loader makes: it reads every line into one buffer on its stack, so a load
// allocates nothing, whatever the number of lines.
#include "update/HexImage.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Every allocation in this program passes through here (operator new calls malloc): glibc's
// allocator does the work, we only count the calls.
namespace {
std::atomic<long> g_allocations{0};
}

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}
void free(void* block) noexcept {
    __libc_free(block);
}
}

namespace {

std::string Record(unsigned address, BYTE fill) {
    char text[64];
    unsigned sum = 16 + (address >> 8) + (address & 0xFF) + 16 * fill;
    std::string line;
    std::snprintf(text, sizeof text, ":10%04X00", address);
    line = text;
    for (int i = 0; i < 16; ++i) {
        std::snprintf(text, sizeof text, "%02X", fill);
        line += text;
    }
    std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + text;
}

// `records` records of 16 bytes from address 0 (in the file's unit: bytes for OD, words for
// Stepper), then the end record, in a temporary file.
FILE* HexFile(int records, UINT multiplier) {
    FILE* file = std::tmpfile();
    for (int i = 0; i < records; ++i) {
        const std::string line =
            Record(static_cast<unsigned>(i) * 16 / multiplier, static_cast<BYTE>(i));
        std::fputs(line.c_str(), file);
    }
    std::fputs(":00000001FF\n", file);
    std::fflush(file);
    return file;
}

// A full 64 KiB (4096 records) ends at byte position 0x10000, which the 16-bit end cannot hold:
// the loader reads and places every record, then refuses the range. 4095 records load.
int ExpectedOutcome(int records) {
    return records == 4096 ? HEX_RANGE_ERROR : HEX_LOADED;
}

void LoadImage(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    const UINT multiplier = static_cast<UINT>(state.range(1));
    FILE* file = HexFile(records, multiplier);
    std::vector<BYTE> image(HEX_IMAGE_SIZE, 0xFF);
    WORD start = 0, end = 0;

    // One load first, so that the stream has its buffer before allocations are counted.
    std::rewind(file);
    LoadHexImage(file, image.data(), multiplier, &start, &end);

    const long before = g_allocations.load();
    for (auto _ : state) {
        std::rewind(file);
        const int outcome = LoadHexImage(file, image.data(), multiplier, &start, &end);
        if (outcome != ExpectedOutcome(records)) {
            state.SkipWithError("unexpected outcome");
            break;
        }
        benchmark::DoNotOptimize(image.data());
    }
    const long allocations = g_allocations.load() - before;
    std::fclose(file);

    state.SetBytesProcessed(state.iterations() * records * 16);
    state.counters["records"] = records;
    state.counters["allocs_per_load"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(LoadImage)
    ->ArgNames({"records", "multiplier"})
    ->Args({4096, 1})
    ->Args({4096, 2})
    ->Args({4095, 1})
    ->Args({4095, 2})
    ->Unit(benchmark::kMillisecond);

// What the update does per run: open, load, close. The stream's own allocations (its FILE and
// its buffer) are the same for 16 records as for 4096: none of them is per line.
void OpenLoadClose(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    FILE* made = HexFile(records, 1);
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fileno(made));
    std::vector<BYTE> image(HEX_IMAGE_SIZE, 0xFF);
    WORD start = 0, end = 0;

    const long before = g_allocations.load();
    for (auto _ : state) {
        FILE* file = std::fopen(path, "r");
        const int outcome = LoadHexImage(file, image.data(), 1, &start, &end);
        std::fclose(file);
        if (outcome != ExpectedOutcome(records)) {
            state.SkipWithError("unexpected outcome");
            break;
        }
    }
    const long allocations = g_allocations.load() - before;
    std::fclose(made);
    state.counters["allocs_per_run"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(OpenLoadClose)->Arg(16)->Arg(4096)->Unit(benchmark::kMicrosecond);

void ParseOneRecord(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string line = ":" + std::string(1, "0123456789ABCDEF"[count >> 4]) +
                       std::string(1, "0123456789ABCDEF"[count & 15]) + "010000";
    unsigned sum = static_cast<unsigned>(count) + 1;
    for (int i = 0; i < count; ++i) {
        line += "5A";
        sum += 0x5A;
    }
    char text[8];
    std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    line += text;
    std::vector<BYTE> image(HEX_IMAGE_SIZE, 0xFF);
    for (auto _ : state) {
        WORD address = 0;
        const int result = ParseHexRecord(image.data(), line.c_str(), &address, 1);
        if (result != count) {
            state.SkipWithError("record did not parse");
            break;
        }
        benchmark::DoNotOptimize(address);
    }
    state.SetBytesProcessed(state.iterations() * count);
}
BENCHMARK(ParseOneRecord)->Arg(16)->Arg(255);

} // namespace
