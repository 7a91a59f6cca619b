#include "MqttBroker.h"

#include "SimHarness.h"
#include "tests/support/Files.h"
#include "tests/support/SimProcess.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <random>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mqtttest {

namespace {

// A port nobody listens on, drawn at random: the kernel hands a port just freed to the next
// test that asks, and two tests running at once would then start their brokers on one port.
int FreePort() {
    std::random_device random;
    for (;;) {
        const int port = 20000 + static_cast<int>(random() % 40000);
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        const bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (free)
            return port;
    }
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

bool Listening(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& out) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data()); // mosquitto_sub from PATH
        _exit(127);
    }
    return pid;
}

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

bool HaveMosquitto() {
    return Run("{ command -v mosquitto_sub && command -v mosquitto_passwd && "
               "{ command -v mosquitto || test -x /usr/sbin/mosquitto; }; }");
}

Broker::Broker(const std::string& dir, bool tls, bool signedByCa) : m_dir(dir), m_tls(tls) {
    m_port = FreePort();
    Run("mosquitto_passwd -b -c " + m_dir + "/passwd " + User() + " " + Password());
    std::ofstream config(m_dir + "/mosquitto.conf");
    config << "listener " << m_port << " 127.0.0.1\nallow_anonymous false\npassword_file " << m_dir
           << "/passwd\npersistence true\npersistence_location " << m_dir
           << "/\nautosave_interval 1\nautosave_on_changes true\nlog_dest stderr\nlog_type all\n";
    // Started as root, the broker would become the user mosquitto, who cannot read our folder.
    if (const passwd* user = getpwuid(geteuid()))
        config << "user " << user->pw_name << "\n";
    if (!tls)
        return;
    const std::string d = m_dir + "/";
    const std::string subject = "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1";
    Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Test-CA -keyout " + d +
        "ca.key -out " + d + "ca.pem");
    if (signedByCa) {
        Run("openssl req -newkey rsa:2048 -nodes " + subject + " -keyout " + d +
            "server.key -out " + d + "server.csr");
        Run("printf 'subjectAltName=IP:127.0.0.1' > " + d + "san.ext && openssl x509 -req -in " +
            d + "server.csr -CA " + d + "ca.pem -CAkey " + d + "ca.key -CAcreateserial -days 2 " +
            "-extfile " + d + "san.ext -out " + d + "server.pem");
    } else {
        Run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 " + subject + " -keyout " + d +
            "server.key -out " + d + "server.pem");
    }
    config << "cafile " << d << "ca.pem\ncertfile " << d << "server.pem\nkeyfile " << d
           << "server.key\n";
}

Broker::~Broker() {
    Stop();
}

void Broker::Signal(int sig) const {
    kill(m_broker, sig);
}

void Broker::Stop() {
    if (m_sub > 0) {
        kill(m_sub, SIGTERM);
        waitpid(m_sub, nullptr, 0);
        m_sub = -1;
    }
    Kill(SIGTERM);
}

std::string Broker::Url() const {
    return std::string(m_tls ? "mqtts" : "mqtt") + "://127.0.0.1:" + std::to_string(m_port);
}

bool Broker::Start() {
    const std::string program =
        Run("test -x /usr/sbin/mosquitto") ? "/usr/sbin/mosquitto" : "mosquitto";
    const std::string log = m_dir + "/broker.log";
    const size_t started = Count(testsupport::Slurp(log), " running");
    m_broker = Spawn({program, "-c", m_dir + "/mosquitto.conf"}, log);
    // Ours listens once it says it runs (another's listener on the port would fool a connect).
    for (int i = 0; i < 500; ++i) {
        if (Count(testsupport::Slurp(log), " running") > started && Listening(m_port))
            return true;
        if (waitpid(m_broker, nullptr, WNOHANG) == m_broker) {
            m_broker = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Broker::Kill(int sig) {
    if (m_broker <= 0)
        return;
    kill(m_broker, sig);
    waitpid(m_broker, nullptr, 0);
    m_broker = -1;
}

bool Broker::Subscribe() {
    std::vector<std::string> args = {"mosquitto_sub",
                                     "-h",
                                     "127.0.0.1",
                                     "-p",
                                     std::to_string(m_port),
                                     "-u",
                                     User(),
                                     "-P",
                                     Password(),
                                     "-t",
                                     "#",
                                     "-q",
                                     "1",
                                     "-c",
                                     "-i",
                                     "collector",
                                     "-v"};
    if (m_tls)
        args.insert(args.end(), {"--cafile", CaFile()});
    m_sub = Spawn(args, m_dir + "/received");
    // Once the broker has the subscription, it saves its sessions on SIGUSR1: the collector's
    // then outlives even a SIGKILL of the broker.
    for (int i = 0; i < 500; ++i) {
        if (testsupport::Slurp(m_dir + "/broker.log").find("Received SUBSCRIBE from collector") !=
            std::string::npos) {
            kill(m_broker, SIGUSR1);
            for (int j = 0; j < 500; ++j) {
                if (access((m_dir + "/mosquitto.db").c_str(), F_OK) == 0)
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::vector<std::string> Broker::Received() const {
    std::vector<std::string> lines;
    std::ifstream in(m_dir + "/received");
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Broker::WaitIds(size_t count, int ms) const {
    std::vector<std::string> ids;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        ids.clear();
        std::set<std::string> seen;
        for (const std::string& line : Received()) {
            const std::string id = testsupport::Field(line.substr(line.find(' ') + 1), "id");
            if (!id.empty() && seen.insert(id).second)
                ids.push_back(id);
        }
        if (ids.size() >= count)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return ids;
}

} // namespace mqtttest
