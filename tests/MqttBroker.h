// A real mosquitto broker for a test, on a free port of 127.0.0.1, with a generated
// configuration and password file (mosquitto_passwd), optionally TLS with a test CA made by
// openssl; and a real mosquitto_sub that collects what arrives. Both stop with the object.
#pragma once

#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace mqtttest {

bool HaveMosquitto();

class Broker {
public:
    // tls: a listener whose certificate the test CA signed (signedByCa) or one it did not.
    explicit Broker(const std::string& dir, bool tls = false, bool signedByCa = true);
    ~Broker();

    bool Start();       // (again) on the same port, with the sessions it saved
    void Kill(int sig); // and waits for it to end
    void Stop();        // the collector and the broker
    void Signal(int sig) const;
    int Port() const { return m_port; }
    std::string Url() const;
    std::string CaFile() const { return m_dir + "/ca.pem"; }
    static const char* User() { return "st"; }
    static const char* Password() { return "s3cret"; }

    // A subscriber to everything, with a session the broker keeps (so it gets what is sent
    // while it is away); its lines are "topic payload".
    bool Subscribe();
    std::vector<std::string> Received() const;
    // Waits (at most ms) until `count` distinct record ids arrived; the ids in arrival order,
    // first arrivals only.
    std::vector<std::string> WaitIds(size_t count, int ms) const;

private:
    std::string m_dir;
    bool m_tls;
    int m_port = 0;
    pid_t m_broker = -1, m_sub = -1;
};

} // namespace mqtttest
