// The slaves' side of the line without the line: takes what the deframer cut out of the byte
// stream, logs it, carries out valid requests and says what goes back, faults included.
#pragma once

#include "sim/Deframer.h"
#include "sim/Faults.h"
#include "sim/RequestLog.h"
#include "sim/SlaveSet.h"

#include <cstdint>
#include <optional>

namespace ksim {

// How long the slaves take over a command before they answer.
struct SlaveTiming {
    unsigned eraseMs = 0;
    unsigned programMs = 0;
};

class Station {
public:
    Station(const SlaveBehaviour& behaviour, const SlaveTiming& timing, const FaultOptions& faults,
            RequestLog& log);

    // One event of the line at `at` nanoseconds since the start. For every request carried
    // out, what goes back (no bytes when nothing does) and after how long.
    std::optional<Transmission> OnEvent(const LineEvent& event, int64_t at);

    // True once the babble fault has set in: from then on the line carries only babble.
    bool Babbling() const { return m_faults.Babbling(m_handled); }
    FaultInjector& Faults() { return m_faults; }
    SlaveSet& Slaves() { return m_slaves; }
    long Requests() const { return m_handled; }

private:
    std::optional<Transmission> OnFrame(const LineEvent& event, int64_t at);
    void LogRejected(const LineEvent& event, int64_t at, const std::string& why, int slave,
                     int command);

    SlaveSet m_slaves;
    SlaveTiming m_timing;
    FaultInjector m_faults;
    RequestLog& m_log;
    long m_handled = 0; // valid requests so far
};

} // namespace ksim
