// The event loop: bytes from the line go through the deframer to the station, replies go out
// on the outbox's schedule, until a signal arrives on the stop descriptor or, if asked, the
// host closes the pty.
#pragma once

#include "sim/Deframer.h"
#include "sim/Line.h"
#include "sim/Options.h"
#include "sim/Outbox.h"
#include "sim/Station.h"

#include <chrono>
#include <string>

namespace ksim {

class Simulator {
public:
    // `stopFd` becomes readable when the simulator is to stop (a signal's self-pipe).
    Simulator(const SimOptions& options, Line& line, RequestLog& log, int stopFd);

    // Runs until told to stop, or until the log cannot be written; returns why it stopped.
    std::string Run();

    Station& GetStation() { return m_station; }

    // How far behind its schedule the line ran: per write, how late its first byte went out.
    struct Lateness {
        long long writes = 0;
        long long bytes = 0;
        int64_t sumNs = 0;
        int64_t maxNs = 0;
    };
    const Lateness& GetLateness() const { return m_late; }
    // Nanoseconds since the simulator started.
    int64_t Now() const;

private:
    bool ReadLine(int64_t now);
    bool WriteDue(int64_t now);
    void WriteBabble(int64_t now);
    void Dispatch(std::vector<LineEvent>& events);

    SimOptions m_options;
    Line& m_line;
    const RequestLog& m_log;
    int m_stopFd;
    std::chrono::steady_clock::time_point m_start;
    LinePace m_pace;
    int64_t m_byteNs; // line time of one byte, for incoming pacing and babble
    Deframer m_deframer;
    Station m_station;
    Outbox m_outbox;
    int64_t m_inboundFree = 0; // when the incoming line is free for the next byte
    int64_t m_slaveFree = 0;   // when the slaves have finished the last command
    int64_t m_babbleNext = -1; // when the next babble byte is due; -1 before babble starts
    bool m_blocked = false;    // the last write met a full line
    bool m_connected = false;  // the host has had the pty open
    Lateness m_late;
};

} // namespace ksim
