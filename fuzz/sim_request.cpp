// Garbage on the line never crashes the simulator: arbitrary bytes, cut into arbitrary pieces
// with arbitrary pauses, through the deframer, the request decoder, the slaves and the faults.
#include "sim/Deframer.h"
#include "sim/HexDump.h"
#include "sim/Fcs16.h"
#include "sim/Outbox.h"
#include "sim/Reply.h"
#include "sim/Request.h"
#include "sim/Station.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ksim;
    if (size < 2)
        return 0;
    // The first byte chooses the faults, so that every path of the injector is reached.
    uint8_t knobs = data[0];
    FaultOptions faults;
    faults.seed = data[1];
    faults.losePercent = (knobs & 1) ? 30 : 0;
    faults.corruptBytePercent = (knobs & 2) ? 50 : 0;
    faults.corruptFcsPercent = (knobs & 4) ? 50 : 0;
    faults.noisePercent = (knobs & 8) ? 50 : 0;
    faults.splitPercent = (knobs & 16) ? 50 : 0;
    faults.silentAfter = (knobs & 32) ? 3 : -1;
    SlaveBehaviour behaviour;
    behaviour.eraseAnswer = (knobs & 64) ? 1 : 0;
    faults.delayPercent = (knobs & 64) ? 50 : 0;

    static RequestLog log; // formats every record, writes nowhere
    Station station(behaviour, SlaveTiming{}, faults, log);
    Deframer deframer(20000000);
    Outbox outbox(115200);
    std::vector<LineEvent> events;
    int64_t now = 0;
    auto feed = [&](uint8_t byte) {
        now += 86806;
        deframer.Push(byte, now, events);
        for (const LineEvent& e : events) {
            // The decoder alone, then the whole station.
            DecodeRequest(e.bytes);
            std::optional<Transmission> t = station.OnEvent(e, e.at);
            if (t)
                outbox.Queue(std::move(*t), e.at);
        }
        events.clear();
    };

    if (knobs & 0x80) {
        // Frames with a good FCS, so the fuzzer reaches the commands: each is a length byte
        // and that many body bytes (address up to the last parameter byte).
        for (size_t i = 2; i < size;) {
            size_t length = data[i++];
            if (length > size - i)
                length = size - i;
            std::vector<uint8_t> body(data + i, data + i + length);
            i += length;
            uint16_t fcs = Fcs16(body.data(), body.size());
            body.push_back(uint8_t(fcs & 0xff));
            body.push_back(uint8_t(fcs >> 8));
            for (uint8_t byte : WireFrame(body))
                feed(byte);
        }
    } else {
        for (size_t i = 2; i < size; ++i) {
            // 0xFF 0xFE is a pause of the next byte's value in milliseconds.
            if (data[i] == 0xff && i + 2 < size && data[i + 1] == 0xfe) {
                now += int64_t(data[i + 2]) * 1000000;
                i += 2;
                deframer.Expire(now, events);
                for (const LineEvent& e : events)
                    station.OnEvent(e, e.at);
                events.clear();
            } else {
                feed(data[i]);
            }
        }
    }
    // Drain the outbox in steps, as the line would.
    const uint8_t* bytes = nullptr;
    for (int step = 0; step < 100000 && !outbox.Empty(); ++step) {
        now = outbox.NextDeadline();
        size_t due = outbox.Due(now, &bytes);
        if (due == 0)
            break;
        outbox.Consumed(due, now);
    }
    for (const SlaveMemory& slave : station.Slaves().Slaves())
        if (slave.EverProgrammed())
            IntelHex(slave);
    return 0;
}
