// korvane-sim's line: the pty path and its link, pacing at a baud rate, processing delays, and
// a clean end with its dumps on a signal or when the host closes the line.
#include "SimHarness.h"
#include "korvane_version.h"
#include "sim/Options.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <termios.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace simtest;

namespace {

const Bytes kStatusOd = {0x7E, 0x01, 0x13, 0x02, 0x00, 0x02, 0x02, 0x00, 0xE8, 0xCD, 0x7E};
const Bytes kResetStepper = {0x7E, 0x14, 0x13, 0x02, 0x00, 0x02, 0x01, 0x00, 0xEA, 0xA2, 0x7E};

// Arrival times of the first and the last byte of the next reply, and its size.
struct Arrival {
    int64_t firstUs = 0, lastUs = 0;
    size_t size = 0;
};

Arrival Receive(Sim& sim, int ms) {
    Arrival a;
    int64_t end = MonoUs() + int64_t(ms) * 1000;
    bool open = false;
    while (MonoUs() < end) {
        pollfd p = {sim.Fd(), POLLIN, 0};
        if (poll(&p, 1, 1) <= 0)
            continue;
        uint8_t buffer[512];
        ssize_t n = read(sim.Fd(), buffer, sizeof buffer);
        int64_t now = MonoUs();
        for (ssize_t i = 0; i < n; ++i) {
            if (a.size == 0)
                a.firstUs = now;
            a.lastUs = now;
            ++a.size;
            if (buffer[i] == 0x7e && open)
                return a;
            open = true;
        }
    }
    return a;
}

// korvane-sim with these arguments: its exit status and what it wrote to standard error.
// `shell` comes first, for sh: limits, say, ending in exec. With `requests`, these are written
// to the simulator's pty once it has printed its path. A simulator that does not end within
// 20 s is stopped, and its status is then 124.
int RunBare(const std::vector<std::string>& args, std::string* out, const std::string& shell = "",
            const Bytes& requests = {}) {
    std::string command = shell + "timeout 20 " KORVANE_BINARY_DIR "/korvane-sim";
    for (const std::string& a : args)
        command += " '" + a + "'";
    FILE* pipe = popen((command + " 2>&1 </dev/null").c_str(), "r");
    int host = -1;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        *out += buffer;
        if (!requests.empty() && host < 0 && out->back() == '\n') {
            host = open(out->substr(0, out->size() - 1).c_str(), O_RDWR | O_NOCTTY);
            EXPECT_GE(host, 0) << *out;
            EXPECT_EQ(write(host, requests.data(), requests.size()), ssize_t(requests.size()));
        }
    }
    int status = pclose(pipe);
    if (host >= 0)
        close(host);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(SimLine, PrintsThePtyPathAndLinksIt) {
    char dir[] = "/tmp/korvane-simlink-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string link = std::string(dir) + "/ttyKV";
    {
        Sim sim({"--link", link});
        ASSERT_TRUE(sim.Ok());
        EXPECT_EQ(sim.Path().rfind("/dev/pts/", 0), 0u);
        char target[PATH_MAX] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(sim.Path(), target);
        EXPECT_FALSE(sim.Ask(kStatusOd).empty());
        EXPECT_EQ(sim.Stop(1), 0); // SIGHUP ends it as cleanly as SIGTERM
        EXPECT_EQ(Field(sim.LogLines().back(), "why"), "SIGHUP");
    }
    // The link goes with the simulator.
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    rmdir(dir);
}

TEST(SimLine, TheHostFindsItsEndRawAt115200) {
    Sim sim({}, false);
    ASSERT_TRUE(sim.Ok());
    int fd = open(sim.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t;
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B115200));
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    close(fd);
}

TEST(SimLine, PacesBothDirectionsAtTheBaud) {
    const unsigned baud = 9600;
    const double byteUs = 10e6 / baud;
    Sim sim({"--baud", std::to_string(baud)});
    ASSERT_TRUE(sim.Ok());
    // ReadData of 253 bytes of erased memory: 264 bytes on the wire, about 275 ms, long enough
    // that a late wake-up on a busy machine stays well inside the tolerance.
    Bytes request = Frame(0x14, 0, {0x00, 0x00, 253});
    int64_t sent = MonoUs();
    sim.Write(request);
    Arrival a = Receive(sim, 2000);
    ASSERT_EQ(a.size, 264u);
    // The reply comes no sooner than the request needs to cross the line.
    EXPECT_GE(double(a.firstUs - sent), request.size() * byteUs * 0.97);
    double expected = double(a.size - 1) * byteUs;
    double measured = double(a.lastUs - a.firstUs);
    // Pacing by absolute deadlines keeps well within 1% on a quiet machine (the speed benchmark
    // measures it); the test leaves room for a loaded one running the sanitizer build.
    EXPECT_NEAR(measured / expected, 1.0, 0.10) << measured << " us for " << expected;
    std::printf("pacing at %u baud: %zu bytes in %.0f us, %.2f%% off\n", baud, a.size, measured,
                (measured / expected - 1) * 100);
}

TEST(SimLine, ErasesAndProgramsTakeTheirProcessingTime) {
    Sim sim({"--erase-ms", "120", "--program-ms", "60"});
    ASSERT_TRUE(sim.Ok());
    auto timed = [&](const Bytes& request) {
        int64_t start = MonoUs();
        sim.Write(request);
        Arrival a = Receive(sim, 1000);
        EXPECT_GT(a.size, 0u);
        return (a.firstUs - start) / 1000;
    };
    Bytes program = Word(0);
    program.insert(program.end(), 64, 0x11);
    EXPECT_GE(timed(Frame(0x01, 3, Word(0))), 120);
    EXPECT_LT(timed(Frame(0x01, 3, Word(0))), 400);
    EXPECT_GE(timed(Frame(0x01, 4, program)), 60);
    EXPECT_LT(timed(kStatusOd), 100);
}

TEST(SimLine, ExitsWhenTheHostClosesTheLineIfAsked) {
    Sim sim({"--exit-on-close"});
    ASSERT_TRUE(sim.Ok());
    Bytes program = Word(0x0100);
    program.insert(program.end(), 64, 0x42);
    EXPECT_FALSE(sim.Ask(Frame(0x01, 4, program)).empty());
    sim.CloseHost();
    EXPECT_EQ(sim.WaitExit(2000), 0);
    bool ok = false;
    EXPECT_EQ(LoadHex(sim.DumpPath(0x01), 1, &ok).size(), 64u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Field(sim.LogLines().back(), "why"), "the host closed the line");
}

TEST(SimLine, OutlivesAHostThatClosesAndComesBack) {
    Sim sim({});
    ASSERT_TRUE(sim.Ok());
    EXPECT_FALSE(sim.Ask(kStatusOd).empty());
    sim.CloseHost();
    usleep(50000);
    int fd = open(sim.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ssize_t n = write(fd, kStatusOd.data(), kStatusOd.size());
    EXPECT_EQ(n, ssize_t(kStatusOd.size()));
    pollfd p = {fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 1000), 1);
    close(fd);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimLine, RefusesBadOptionsAndDocumentsEveryOption) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--lose", "101"}, "--lose takes a percentage"},
        {{"--baud", "fast"}, "--baud takes a whole number"},
        {{"--split-ms", "10"}, "--split-ms takes a whole number from 11"},
        {{"--refuse-erase", "0"}, "--refuse-erase takes a whole number from 1"},
        {{"--status", "256"}, "--status takes"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--seed"}, "--seed needs a value"},
        {{"extra"}, "unexpected argument"},
        {{"--device", "/dev/null", "--link", "/tmp/x"}, "cannot go with --device"},
        {{"--device", "/nonexistent/tty"}, "cannot open /nonexistent/tty"},
        {{"--hex-dir", "/nonexistent/dir"}, "cannot write dumps to /nonexistent/dir"},
        {{"--log", "/nonexistent/dir/log"}, "cannot write the log /nonexistent/dir/log"},
    };
    for (const Case& c : cases) {
        std::string out;
        int status = RunBare(c.args, &out);
        EXPECT_NE(status, 0) << c.message;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
    // --help names every option the parser takes, and only those.
    std::string help;
    ASSERT_EQ(RunBare({"--help"}, &help), 0);
    std::set<std::string> documented;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos)
            continue;
        if (line.compare(at, 4, "-h, ") == 0)
            at += 4;
        if (line.compare(at, 2, "--") == 0)
            documented.insert(line.substr(at + 2, line.find(' ', at) - at - 2));
    }
    const std::vector<std::string> names = ksim::OptionNames();
    EXPECT_EQ(documented, std::set<std::string>(names.begin(), names.end()));
    std::string version;
    ASSERT_EQ(RunBare({"--version"}, &version), 0);
    EXPECT_EQ(version, std::string("korvane-sim ") + KORVANE_VERSION + "\n");
}

// A log line that cannot be written ends the simulator with status 1 and says why: a log with
// lines missing would tell a test that requests never came.
TEST(SimLine, ALogItCannotWriteEndsIt) {
    const std::string dir = testsupport::MakeTempDir("korvane-simlog");
    ASSERT_FALSE(dir.empty());
    Bytes resets;
    for (int i = 0; i < 20; ++i)
        resets.insert(resets.end(), kResetStepper.begin(), kResetStepper.end());
    struct Case {
        std::string shell;
        std::string log;
        Bytes requests;
        std::string message;
    };
    const Case cases[] = {
        // The first line already fails.
        {"",
         "/dev/full",
         {},
         "korvane-sim: cannot write the log /dev/full: No space left on device\n"},
        // Room for 512 bytes: the first line and a few requests, not twenty.
        {"trap '' XFSZ; ulimit -f 1; exec ", dir + "/sim.log", resets,
         "korvane-sim: cannot write the log " + dir + "/sim.log: File too large\n"},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(RunBare({"--log", c.log}, &out, c.shell, c.requests), 1) << out;
        EXPECT_EQ(out.substr(out.find('\n') + 1), c.message);
    }
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(SimLine, StandsInForABoardOnAGivenSerialDevice) {
    // A pty pair plays the null-modem cable: the simulator opens one end as its device.
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string device = ptsname(master);
    Sim sim({"--device", device}, false);
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Path(), device);
    ASSERT_EQ(write(master, kStatusOd.data(), kStatusOd.size()), ssize_t(kStatusOd.size()));
    Bytes reply;
    int64_t end = MonoUs() + 1000000;
    while (MonoUs() < end && (reply.size() < 2 || reply.back() != 0x7e)) {
        pollfd p = {master, POLLIN, 0};
        uint8_t b;
        if (poll(&p, 1, 10) == 1 && read(master, &b, 1) == 1)
            reply.push_back(b);
    }
    EXPECT_EQ(reply, Frame(0x01, 2, {0x00}));
    EXPECT_EQ(sim.Stop(), 0);
    close(master);
}
