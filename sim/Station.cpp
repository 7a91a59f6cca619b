#include "sim/Station.h"

#include "sim/Reply.h"

namespace ksim {

namespace {
const size_t kLoggedBytes = 300; // enough for any request, escaped throughout
}

Station::Station(const SlaveBehaviour& behaviour, const SlaveTiming& timing,
                 const FaultOptions& faults, RequestLog& log)
    : m_slaves(behaviour), m_timing(timing), m_faults(faults), m_log(log) {}

void Station::LogRejected(const LineEvent& event, int64_t at, const std::string& why, int slave,
                          int command) {
    JsonLine line;
    line.Seconds("t", at).String("event", "request");
    if (slave >= 0)
        line.Number("slave", slave);
    if (command >= 0)
        line.Number("command", command);
    line.Bool("valid", false)
        .String("why", why)
        .Number("size", static_cast<long long>(event.count));
    if (!event.bytes.empty())
        line.HexBytes("bytes", event.bytes.data(),
                      event.bytes.size() < kLoggedBytes ? event.bytes.size() : kLoggedBytes);
    m_log.Write(line);
}

std::optional<Transmission> Station::OnEvent(const LineEvent& event, int64_t at) {
    switch (event.kind) {
    case LineEventKind::Frame:
        return OnFrame(event, at);
    case LineEventKind::Garbage: {
        JsonLine line;
        line.Seconds("t", at)
            .String("event", "garbage")
            .Number("size", static_cast<long long>(event.count));
        line.HexBytes("bytes", event.bytes.data(), event.bytes.size());
        m_log.Write(line);
        return std::nullopt;
    }
    case LineEventKind::CutOff:
        LogRejected(event, at, "cut off before its closing flag", -1, -1);
        return std::nullopt;
    case LineEventKind::Overlong:
        LogRejected(event, at, "longer than any request", -1, -1);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<Transmission> Station::OnFrame(const LineEvent& event, int64_t at) {
    DecodedRequest decoded = DecodeRequest(event.bytes);
    if (!decoded.valid) {
        LogRejected(event, at, decoded.why, decoded.slave, decoded.command);
        return std::nullopt;
    }
    const Request& request = decoded.request;
    bool silent = m_faults.Silent(m_handled);
    bool babbling = m_faults.Babbling(m_handled);
    ++m_handled;

    JsonLine line;
    line.Seconds("t", at).String("event", "request").Number("n", m_handled);
    line.Number("slave", request.slave).String("command", CommandName(request.command));

    if (silent || babbling) {
        // A slave that died or a line that babbles: the request is heard, nothing is done.
        if (request.hasAddress)
            line.Number("address", request.address);
        line.Number("length", 0).Bool("valid", true);
        line.String("reply", silent ? "silent" : "babbling");
        m_log.Write(line);
        return std::nullopt;
    }

    size_t cursor = m_slaves.Find(request.slave)->m_readCursor;
    Answer answer = m_slaves.Handle(request);
    long address = request.hasAddress ? request.address
                                      : static_cast<long>(cursor / request.kind->addressUnit);
    if (request.hasAddress || request.command == Command::ReadData)
        line.Number("address", address);
    line.Number("length", static_cast<long long>(answer.bytes)).Bool("valid", true);

    Transmission t;
    if (!answer.reply) {
        line.String("reply", "none");
    } else {
        if (request.command != Command::ReadData) {
            long value = 0;
            for (uint8_t b : answer.value)
                value = (value << 8) | b;
            line.Number("answer", value);
        }
        t = m_faults.Apply(ReplyBody(request.slave, answer.id, answer.value));
        line.String("reply", t.bytes.empty() ? "lost" : "sent");
        if (!t.faults.empty())
            line.Strings("faults", t.faults);
    }
    if (request.command == Command::Erase)
        t.delayMs += m_timing.eraseMs;
    else if (request.command == Command::Program)
        t.delayMs += m_timing.programMs;
    m_log.Write(line);
    return t;
}

} // namespace ksim
