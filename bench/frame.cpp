// Finishing the largest request (a 128-byte Program block) and checking a reply.
#include "protocol/Frame.h"
#include "protocol/ResultCodes.h"
#include "protocol/Slaves.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<BYTE> Block(BYTE fill, bool rich) {
    std::vector<BYTE> data(STEPPER_BLOCK_LENGTH, fill);
    if (rich)
        for (size_t i = 0; i < data.size(); i += 2)
            data[i] = 0x7E;
    return data;
}

void FinishProgramRequest(benchmark::State& state) {
    const std::vector<BYTE> data = Block(0x5A, state.range(0) != 0);
    for (auto _ : state) {
        CFrame request(2, STEPPER_SLAVE_ADDRESSES[0], 0);
        request.AddDataParam(4, STEPPER_PROGRAM_LENGTH, 0x0100, STEPPER_BLOCK_LENGTH, data.data());
        request.SetControl(0x13);
        request.AppendFcs();
        request.Escape();
        UINT count = 0;
        request.GetByteCount(&count);
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * STEPPER_BLOCK_LENGTH);
}
BENCHMARK(FinishProgramRequest)->Arg(0)->Arg(1)->ArgName("half_escaped");

void CheckProgramReply(benchmark::State& state) {
    // The slave's answer to Program: parameter 4 with two bytes.
    CFrame built(2, STEPPER_SLAVE_ADDRESSES[0], 0);
    built.AddParam(4, 2, 0);
    built.SetControl(0x13);
    built.AppendFcs();
    built.Escape();
    UINT count = 0;
    built.GetByteCount(&count);
    std::vector<BYTE> wire(count);
    built.CopyBytes(wire.data());
    for (auto _ : state) {
        CFrame reply(wire.data(), count);
        DWORD result = reply.CheckFcs();
        result |= reply.CheckStructure();
        WORD value = 1;
        result |= reply.GetParamWord(4, 2, &value);
        if (result != ERR_OK)
            state.SkipWithError("reply did not check");
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(CheckProgramReply);

} // namespace
