#include "sim/Simulator.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

namespace ksim {

namespace {
const int64_t kMs = 1000000;
const int64_t kHungPollNs = 10 * kMs; // how often a closed pty is looked at again
const size_t kBabbleChunk = 256;
} // namespace

Simulator::Simulator(const SimOptions& options, Line& line, RequestLog& log, int stopFd)
    : m_options(options), m_line(line), m_log(log), m_stopFd(stopFd),
      m_start(std::chrono::steady_clock::now()), m_pace(options.baud),
      // Babble is paced even without a baud, at the line's 115200, so it cannot spin.
      m_byteNs(LinePace(options.baud ? options.baud : 115200).Offset(1)),
      m_deframer(int64_t(options.frameGapMs) * kMs),
      m_station(options.behaviour, SlaveTiming{options.eraseMs, options.programMs}, options.faults,
                log),
      m_outbox(options.baud, int64_t(options.packetUs) * 1000) {}

int64_t Simulator::Now() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                m_start)
        .count();
}

void Simulator::Dispatch(std::vector<LineEvent>& events) {
    for (const LineEvent& event : events) {
        std::optional<Transmission> t = m_station.OnEvent(event, event.at);
        if (!t)
            continue;
        // The slaves take one command at a time, each after the one before.
        int64_t begin = std::max(event.at, m_slaveFree) + int64_t(t->delayMs) * kMs;
        m_slaveFree = begin;
        m_outbox.Queue(std::move(*t), begin);
    }
    events.clear();
}

// Reads what the host sent; false when the line is gone (a device unplugged).
bool Simulator::ReadLine(int64_t now) {
    uint8_t buffer[4096];
    std::vector<LineEvent> events;
    for (;;) {
        ssize_t n = read(m_line.Fd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // EAGAIN: all read. EIO on a pty: nobody has the other end open.
            bool gone = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && !m_line.IsPty());
            return !gone;
        }
        m_connected = true;
        for (ssize_t i = 0; i < n; ++i) {
            // Each byte arrives one byte time after the one before it, as on a real line.
            int64_t at = now;
            if (m_pace.Paced()) {
                m_inboundFree = std::max(m_inboundFree, now) + m_byteNs;
                at = m_inboundFree;
            }
            m_deframer.Push(buffer[i], at, events);
        }
        Dispatch(events);
    }
}

// Writes the reply bytes that are due; false if the line is full for now.
bool Simulator::WriteDue(int64_t now) {
    for (;;) {
        const uint8_t* bytes = nullptr;
        size_t due = m_outbox.Due(now, &bytes);
        if (due == 0)
            return true;
        int64_t dueAt = m_outbox.NextDeadline();
        ssize_t n = write(m_line.Fd(), bytes, due);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return false;
            m_outbox.Clear(); // nobody to hear it
            return true;
        }
        int64_t written = Now();
        m_late.writes += 1;
        m_late.bytes += n;
        m_late.sumNs += written - dueAt;
        m_late.maxNs = std::max(m_late.maxNs, written - dueAt);
        m_outbox.Consumed(size_t(n), written);
        if (size_t(n) < due)
            return false;
    }
}

void Simulator::WriteBabble(int64_t now) {
    if (m_babbleNext < 0)
        m_babbleNext = std::max(now, m_outbox.LineFree());
    // After a stall, go on at the line's pace rather than catch up in one burst.
    m_babbleNext = std::max(m_babbleNext, now - 20 * kMs);
    while (m_babbleNext <= now) {
        size_t due = size_t((now - m_babbleNext) / m_byteNs) + 1;
        due = std::min(due, kBabbleChunk);
        uint8_t bytes[kBabbleChunk];
        m_station.Faults().Babble(bytes, due);
        ssize_t n = write(m_line.Fd(), bytes, due);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_blocked = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            return;
        }
        m_babbleNext += int64_t(n) * m_byteNs;
        if (size_t(n) < due) {
            m_blocked = true;
            return;
        }
    }
}

std::string Simulator::Run() {
    std::vector<LineEvent> events;
    for (;;) {
        int64_t now = Now();

        // Is the host there? A pty whose other end nobody holds reports a hang-up.
        pollfd probe = {m_line.Fd(), POLLIN, 0};
        if (poll(&probe, 1, 0) < 0 && errno != EINTR)
            return "poll failed";
        bool hung = (probe.revents & (POLLHUP | POLLERR)) != 0;
        if ((probe.revents & POLLIN) && !ReadLine(now))
            return "the line is gone";
        if (!hung && m_line.IsPty())
            m_connected = true;
        if (hung) {
            m_outbox.Clear(); // a late reply would greet the next host as stale bytes
            if (m_connected && m_options.exitOnClose && m_line.IsPty())
                return "the host closed the line";
        }

        m_deframer.Expire(now, events);
        Dispatch(events);

        m_blocked = false;
        if (!hung) {
            if (m_station.Babbling() && m_outbox.Empty())
                WriteBabble(now);
            else
                m_blocked = !WriteDue(now);
        }

        if (m_log.Failed())
            return "the log failed";

        // Sleep until the next thing to do: a byte due, a frame to cut off, input, a signal.
        int64_t deadline = std::min(m_outbox.NextDeadline(), m_deframer.NextDeadline());
        // Babble keeps its pace on average but wakes at most once a millisecond: it has no
        // byte times to keep, and a wake per byte would cost a third of a core.
        if (m_station.Babbling() && !hung && !m_blocked)
            deadline = std::min(deadline, m_babbleNext >= 0 ? std::max(m_babbleNext, now + kMs)
                                                            : std::max(now, m_outbox.LineFree()));
        if (hung)
            deadline = std::min(deadline, now + kHungPollNs);
        pollfd fds[2] = {{hung ? -1 : m_line.Fd(), short(POLLIN | (m_blocked ? POLLOUT : 0)), 0},
                         {m_stopFd, POLLIN, 0}};
        timespec wait;
        timespec* timeout = nullptr;
        if (deadline != INT64_MAX) {
            int64_t ns = std::max<int64_t>(0, deadline - Now());
            wait.tv_sec = time_t(ns / 1000000000);
            wait.tv_nsec = long(ns % 1000000000);
            timeout = &wait;
        }
        int ready = ppoll(fds, 2, timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            return "poll failed";
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            char sig = 0;
            if (read(m_stopFd, &sig, 1) != 1)
                return "stopped";
            return sig == SIGINT ? "SIGINT" : sig == SIGHUP ? "SIGHUP" : "SIGTERM";
        }
    }
}

} // namespace ksim
