#include "line/Forwarder.h"

#include "line/LibMosquitto.h"

#include "platform/host/file_tail.h"
#include "platform/host/file_watch.h"
#include "platform/host/files.h"
#include "platform/host/wait.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <deque>

namespace line {

namespace {

using Clock = std::chrono::steady_clock;

const size_t kWindow = 20;       // records in flight at once
const int kMaxBackoffMs = 10000; // between attempts to reach the broker
const int kOnceReachMs = 10000;  // --once gives up after this long without a broker
const int kKeepAliveSeconds = 30;

// The MQTT client library's functions, loaded once Forward begins.
const LibMosquitto* g_mq = nullptr;

// The cursor: "OFFSET IDENTITY\n".
struct Cursor {
    uint64_t offset = 0;
    uint64_t identity = 0; // of the record file it belongs to; 0: none yet
};

Cursor ReadCursor(const std::string& file) {
    Cursor cursor;
    std::string bytes, error;
    host::FileFacts facts;
    if (host::ReadWholeFile(file, 256, &bytes, &facts, &error) == host::ReadStatus::Read) {
        unsigned long long offset = 0, identity = 0;
        if (std::sscanf(bytes.c_str(), "%llu %llu", &offset, &identity) == 2) {
            cursor.offset = offset;
            cursor.identity = identity;
        }
    }
    return cursor;
}

class CForwarder {
public:
    explicit CForwarder(const ForwardJob& job)
        : m_job(job), m_cursorFile(CursorFile(job.recordFile)) {}
    ~CForwarder() { Drop(); }

    int Run() {
        if (!OpenJournal())
            return 1;
        int backoffMs = 1000;
        m_unreachedSince = Clock::now();
        for (;;) {
            if (!m_mosq) {
                const Attempt attempt = Connect();
                if (attempt == Attempt::Connected) {
                    backoffMs = 1000;
                } else {
                    const int waited = Elapsed(m_unreachedSince);
                    if (m_job.once && (attempt == Attempt::Refused || waited >= kOnceReachMs)) {
                        m_job.say("the records are kept: " + m_why);
                        return 1;
                    }
                    m_job.say(m_why + "; trying again in " + std::to_string(backoffMs / 1000) +
                              " s");
                    int pause = backoffMs;
                    if (m_job.once)
                        pause = std::min(pause, kOnceReachMs - waited);
                    Pause(pause);
                    backoffMs = std::min(backoffMs * 2, kMaxBackoffMs);
                    continue;
                }
            }
            if (!ReadJournal())
                return 1;
            Publish();
            Advance();
            bool rotated = false;
            if (!FollowRotation(&rotated))
                return 1;
            if (rotated)
                continue; // the new file is read before anything else
            if (m_job.once && m_window.empty() && m_read.empty()) {
                if (m_tail.HasPartLine())
                    m_job.say(m_job.recordFile + ": its last line is not complete; it waits");
                m_job.say(std::to_string(m_sent) + " records acknowledged" +
                          (m_skipped ? ", " + std::to_string(m_skipped) + " lines skipped" : ""));
                g_mq->mosquitto_disconnect(m_mosq);
                return 0;
            }
            Pump(1000);
        }
    }

private:
    enum class Attempt { Connected, Unreached, Refused };

    static int Elapsed(Clock::time_point since) {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
    }

    // The file and the cursor: a cursor of another file (renamed away while nobody forwarded)
    // finishes that file where logrotate put it (FILE.1) before the file of the name.
    bool OpenJournal() {
        std::string error;
        if (m_job.once || !m_watch.Watch(Folder(m_job.recordFile), &error)) {
            if (!m_job.once)
                m_job.say("not watching: " + error + "; looking every second");
        }
        const Cursor cursor = ReadCursor(m_cursorFile);
        const uint64_t identity = host::FileIdentity(m_job.recordFile);
        std::string path = m_job.recordFile;
        uint64_t offset = cursor.offset;
        if (cursor.identity != 0 && cursor.identity != identity) {
            const std::string old = m_job.recordFile + ".1";
            if (host::FileIdentity(old) == cursor.identity)
                path = old;
            else
                offset = 0; // that file is gone: all of this one is new
        }
        if (!m_tail.Open(path, offset, &error)) {
            if (m_job.once || host::FileIdentity(path) != 0) {
                m_job.say(path + ": " + error);
                return false;
            }
            return true; // no record yet: it appears when the first board is flashed
        }
        m_cursor = m_tail.Identity() == cursor.identity ? offset : 0;
        return true;
    }

    static std::string Folder(const std::string& path) {
        const size_t slash = path.rfind('/');
        return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    }

    Attempt Connect() {
        m_mosq = g_mq->mosquitto_new(m_job.station.c_str(), false, this);
        if (!m_mosq) {
            m_why = "libmosquitto: " + std::string(std::strerror(errno));
            return Attempt::Unreached;
        }
        g_mq->mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        g_mq->mosquitto_connect_callback_set(m_mosq, [](mosquitto*, void* self, int rc) {
            static_cast<CForwarder*>(self)->m_connack = rc;
        });
        g_mq->mosquitto_publish_callback_set(m_mosq, [](mosquitto*, void* self, int mid) {
            static_cast<CForwarder*>(self)->Acknowledged(mid);
        });
        g_mq->mosquitto_log_callback_set(m_mosq,
                                         [](mosquitto*, void* self, int level, const char* text) {
                                             if (level & MOSQ_LOG_ERR)
                                                 static_cast<CForwarder*>(self)->m_lastError = text;
                                         });
        const PublishSettings& publish = m_job.publish;
        const std::string broker = publish.host + ":" + std::to_string(publish.port);
        if (!publish.username.empty())
            g_mq->mosquitto_username_pw_set(m_mosq, publish.username.c_str(),
                                            publish.passwordFile.empty() ? nullptr
                                                                         : m_job.password.c_str());
        if (publish.tls && g_mq->mosquitto_tls_set(m_mosq, publish.caFile.c_str(), nullptr, nullptr,
                                                   nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
            m_why = "ca_file " + publish.caFile + " cannot be used";
            Drop();
            return Attempt::Refused;
        }
        m_connack = -1;
        m_lastError.clear();
        int rc =
            g_mq->mosquitto_connect(m_mosq, publish.host.c_str(), publish.port, kKeepAliveSeconds);
        // Wait for the broker's answer to the login (and the TLS handshake before it).
        const Clock::time_point asked = Clock::now();
        while (rc == MOSQ_ERR_SUCCESS && m_connack < 0 && Elapsed(asked) < kOnceReachMs)
            rc = Step(500);
        if (rc == MOSQ_ERR_SUCCESS && m_connack == 0) {
            m_job.say("connected to " + broker + " as " + m_job.station);
            Resend();
            return Attempt::Connected;
        }
        Attempt attempt = Attempt::Unreached;
        if (m_connack > 0) {
            m_why = "the broker " + broker +
                    " refused the login: " + g_mq->mosquitto_connack_string(m_connack);
            attempt = Attempt::Refused;
        } else if (rc == MOSQ_ERR_TLS || m_lastError.find("OpenSSL") != std::string::npos) {
            m_why = "the broker " + broker + " failed the TLS check against " + publish.caFile +
                    (m_lastError.empty() ? "" : ": " + m_lastError);
            attempt = Attempt::Refused;
        } else {
            m_why = "the broker " + broker + " cannot be reached: " +
                    (rc == MOSQ_ERR_ERRNO     ? std::string(std::strerror(errno))
                     : rc == MOSQ_ERR_SUCCESS ? std::string("no answer to the login")
                                              : std::string(g_mq->mosquitto_strerror(rc)));
        }
        Drop();
        return attempt;
    }

    // One round of the connection's work, waiting at most ms; a result other than success
    // means the connection is gone.
    int Step(int ms) {
        std::vector<host::WAIT_FD> fds(2);
        fds[0].fd = g_mq->mosquitto_socket(m_mosq);
        fds[0].write = g_mq->mosquitto_want_write(m_mosq);
        fds[1].fd = m_watch.Fd();
        host::WaitFds(&fds, ms);
        if (fds[1].ready)
            m_watch.Drain();
        int rc = MOSQ_ERR_SUCCESS;
        if (fds[0].ready)
            rc = g_mq->mosquitto_loop_read(m_mosq, 1);
        if (rc == MOSQ_ERR_SUCCESS && g_mq->mosquitto_want_write(m_mosq))
            rc = g_mq->mosquitto_loop_write(m_mosq, 1);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = g_mq->mosquitto_loop_misc(m_mosq);
        return rc;
    }

    void Pump(int ms) {
        const int rc = Step(ms);
        if (rc != MOSQ_ERR_SUCCESS) {
            m_job.say("the connection to the broker was lost: " +
                      std::string(rc == MOSQ_ERR_ERRNO ? std::strerror(errno)
                                                       : g_mq->mosquitto_strerror(rc)));
            Drop();
            m_unreachedSince = Clock::now();
        }
    }

    void Pause(int ms) {
        std::vector<host::WAIT_FD> fds(1);
        fds[0].fd = m_watch.Fd();
        const Clock::time_point from = Clock::now();
        while (Elapsed(from) < ms) {
            host::WaitFds(&fds, ms - Elapsed(from));
            if (fds[0].ready)
                m_watch.Drain(); // the journal grows meanwhile; it is read once connected
        }
    }

    // A new connection sends again everything after the cursor: what was in flight on the
    // old one may never have arrived.
    void Resend() {
        m_window.clear();
        m_read.clear();
        if (m_tail.IsOpen())
            m_tail.Rewind(m_cursor);
    }

    void Drop() {
        if (m_mosq)
            g_mq->mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }

    bool ReadJournal() {
        if (!m_tail.IsOpen()) {
            std::string error;
            if (host::FileIdentity(m_job.recordFile) == 0 ||
                !m_tail.Open(m_job.recordFile, 0, &error))
                return true;
            m_cursor = 0;
        }
        std::vector<host::TailLine> lines;
        std::string error;
        if (!m_tail.ReadLines(&lines, &error)) {
            m_job.say(m_job.recordFile + ": " + error);
            return false;
        }
        for (host::TailLine& line : lines)
            m_read.push_back(std::move(line));
        return true;
    }

    void Publish() {
        while (m_mosq && !m_read.empty() && m_window.size() < kWindow) {
            host::TailLine& line = m_read.front();
            IN_FLIGHT entry{line.end, -1, true};
            if (!nlohmann::json::accept(line.text) || line.text.empty() || line.text[0] != '{') {
                ++m_skipped;
                m_job.say(m_job.recordFile + ": the line at byte " + std::to_string(line.start) +
                          " is not a JSON record; skipped (" + std::to_string(m_skipped) +
                          " so far)");
            } else {
                const std::string topic =
                    RecordTopic(m_job.publish.topic, m_job.station, line.text);
                const int rc = g_mq->mosquitto_publish(m_mosq, &entry.mid, topic.c_str(),
                                                       static_cast<int>(line.text.size()),
                                                       line.text.data(), 1, false);
                if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NOMEM)
                    return; // the connection is gone (Pump says so), or sent again later
                if (rc == MOSQ_ERR_SUCCESS) {
                    entry.acknowledged = false;
                } else {
                    // A topic the broker would refuse (a station name with + or #), a record
                    // too large: said and passed over, never a silent stall. The file keeps it.
                    ++m_skipped;
                    m_job.say(m_job.recordFile + ": the line at byte " +
                              std::to_string(line.start) + " cannot be published on " + topic +
                              ": " + g_mq->mosquitto_strerror(rc));
                }
            }
            m_window.push_back(entry);
            m_read.pop_front();
        }
    }

    void Acknowledged(int mid) {
        for (IN_FLIGHT& entry : m_window) {
            if (entry.mid == mid && !entry.acknowledged) {
                entry.acknowledged = true;
                ++m_sent;
                break;
            }
        }
    }

    // The cursor moves over every acknowledged record at the front, and is synced.
    void Advance() {
        const uint64_t before = m_cursor;
        while (!m_window.empty() && m_window.front().acknowledged) {
            m_cursor = m_window.front().end;
            m_window.pop_front();
        }
        if (m_cursor != before)
            SaveCursor();
    }

    void SaveCursor() {
        std::string error;
        const std::string text =
            std::to_string(m_cursor) + " " + std::to_string(m_tail.Identity()) + "\n";
        if (!host::ReplaceFileSynced(m_cursorFile, text, &error))
            m_job.say("the cursor cannot be saved: " + error);
    }

    // A file renamed away (logrotate) is finished, every record of it acknowledged, before the
    // new file of the name is followed from its start.
    bool FollowRotation(bool* rotated) {
        *rotated = false;
        if (!m_tail.IsOpen() || !m_window.empty() || !m_read.empty() || m_tail.HasPartLine())
            return true;
        const uint64_t now = host::FileIdentity(m_job.recordFile);
        if (now == 0 || now == m_tail.Identity())
            return true;
        if (!ReadJournal())
            return false;
        if (!m_read.empty())
            return true; // the old file grew meanwhile: those first
        std::string error;
        if (!m_tail.Open(m_job.recordFile, 0, &error)) {
            m_job.say(m_job.recordFile + ": " + error);
            return false;
        }
        m_job.say(m_job.recordFile + " was rotated: following the new file");
        m_cursor = 0;
        SaveCursor();
        *rotated = true;
        return true;
    }

    struct IN_FLIGHT {
        uint64_t end; // the offset after the line
        int mid;
        bool acknowledged;
    };

    const ForwardJob& m_job;
    const std::string m_cursorFile;
    mosquitto* m_mosq = nullptr;
    host::FileTail m_tail;
    host::FolderWatch m_watch;
    std::deque<host::TailLine> m_read; // read, not yet published
    std::deque<IN_FLIGHT> m_window;    // published (or skipped), in file order
    uint64_t m_cursor = 0;
    Clock::time_point m_unreachedSince; // since when no broker has been connected
    int m_connack = -1;
    std::string m_why, m_lastError;
    long m_sent = 0, m_skipped = 0;
};

} // namespace

std::string CursorFile(const std::string& recordFile) {
    return recordFile + ".cursor";
}

int Forward(const ForwardJob& job) {
    std::string why;
    g_mq = LoadLibMosquitto(&why);
    if (!g_mq) {
        job.say(why);
        return 1;
    }
    g_mq->mosquitto_lib_init();
    int code;
    {
        CForwarder forwarder(job);
        code = forwarder.Run();
    }
    g_mq->mosquitto_lib_cleanup();
    return code;
}

} // namespace line
