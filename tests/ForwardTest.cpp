// `korvane forward` against a real mosquitto: every record arrives (duplicates allowed, losses
// not) whatever the broker does meanwhile, and a broker that refuses the station leaves the
// cursor where it was.
#include "FlashRig.h"
#include "MqttBroker.h"
#include "tests/support/KorvaneRun.h"

#include "line/RecordIdentity.h"
#include "platform/host/file_tail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using mqtttest::Broker;
using runtest::Korvane;
using Strings = std::vector<std::string>;

// A record as a flash writes it, with an id of its own.
std::string RecordLine(int board) {
    return R"({"time":"2026-03-02T09:14:)" + std::to_string(10 + board % 50) +
           R"(.215Z","host":"jig","korvane":"1.0.0","port":"/dev/ttyUSB)" +
           std::to_string(board % 4) +
           R"(","port_id":null,"target":"Stepper","slave":20,"file":"a.hex","file_bytes":46,)"
           R"("file_sha256":null,"start":0,"end":16,"blocks":1,"exchanges":4,"retries":0,)"
           R"("status":0,"result":"Update sucessfully completed","exit":0,"seconds":1.5,"id":")" +
           line::NewRecordId() + R"(","station":"line2-st3"})";
}

void Append(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::app) << text;
}

Strings Appended(const std::string& file, int count) {
    Strings lines;
    for (int i = 0; i < count; ++i) {
        lines.push_back(RecordLine(i));
        Append(file, lines.back() + "\n");
    }
    return lines;
}

Strings IdsOf(const Strings& lines) {
    Strings ids;
    for (const std::string& line : lines)
        ids.push_back(testsupport::Field(line, "id"));
    return ids;
}

std::set<std::string> IdSet(const Strings& lines) {
    const Strings ids = IdsOf(lines);
    return {ids.begin(), ids.end()};
}

class ForwardRig {
public:
    explicit ForwardRig(bool tls = false, bool signedByCa = true)
        : dir(testsupport::MakeTempDir("korvane-forward")), broker(dir, tls, signedByCa) {
        records = dir + "/records.jsonl";
        WriteStation(broker.Url(), Broker::Password());
    }
    ~ForwardRig() {
        forwarder.reset();
        broker.Stop();
        std::system(("rm -rf '" + dir + "'").c_str());
    }
    void WriteStation(const std::string& url, const std::string& password, int passMode = 0600) {
        const std::string pass = dir + "/mqtt.pass";
        std::ofstream(pass) << password << "\n";
        chmod(pass.c_str(), passMode);
        std::ofstream(dir + "/station.toml")
            << "name = \"line2-st3\"\nrecord = \"" << records << "\"\n[publish]\nurl = \"" << url
            << "\"\ntopic = \"korvane/{station}/{port}\"\nusername = \"" << Broker::User()
            << "\"\npassword_file = \"" << pass << "\"\nca_file = \"" << broker.CaFile() << "\"\n";
        chmod((dir + "/station.toml").c_str(), 0644);
    }
    Strings Env() const { return {"KORVANE_STATION_FILE=" + dir + "/station.toml"}; }
    void Follow() { forwarder = std::make_unique<Korvane>(Strings{"forward"}, Env()); }
    runtest::Finished Once() { return runtest::RunKorvane({"forward", "--once"}, Env(), 30000); }
    std::string Cursor() const { return testsupport::Slurp(records + ".cursor"); }
    std::string Log() const { return forwarder ? forwarder->Err() : ""; }
    std::string BrokerLog() const { return testsupport::Slurp(dir + "/broker.log"); }

    std::string dir, records;
    Broker broker;
    std::unique_ptr<Korvane> forwarder;
};

// The station file of the tests is taken only where the machine has none of its own.
#define NEED_MOSQUITTO()                                                                           \
    do {                                                                                           \
        if (!mqtttest::HaveMosquitto())                                                            \
            GTEST_SKIP() << "mosquitto is not installed";                                          \
        if (access("/etc/korvane/station.toml", F_OK) == 0)                                        \
            GTEST_SKIP() << "this machine has a station file of its own";                          \
    } while (false)

// Boards flashed for real and records appended while the forwarder follows the file: each
// arrives, equal to its line; a line that is no JSON is passed over and said; a line without
// its line break waits for it.
TEST(Forward, FollowsTheFileAndSendsEachRecordAsWritten) {
    NEED_MOSQUITTO();
    ForwardRig rig;
    ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
    ASSERT_TRUE(rig.broker.Subscribe()) << rig.BrokerLog();
    rig.Follow();

    flashtest::FlashRig flash;
    ASSERT_TRUE(flash.Ok());
    const std::string image =
        CString(flash.WriteFile("image.hex", flashtest::HexFile(0, flashtest::Pattern(128), 2)))
            .ToUtf8();
    const runtest::Finished flashed =
        runtest::RunKorvane({"flash", "--stepper", "0x14,0x15", "--port", flash.Sim().Path(),
                             "--record", rig.records, "--quiet", image},
                            rig.Env());
    ASSERT_EQ(flashed.exit, 0) << flashed.err;
    Append(rig.records, "this is no record\n");
    Appended(rig.records, 48);
    const std::string last = RecordLine(99);
    Append(rig.records, last.substr(0, 40)); // half written

    const Strings ids = rig.broker.WaitIds(50, 20000);
    ASSERT_EQ(ids.size(), 50u) << rig.Log();
    // Each payload is its line of the file, on the station's topic for its port.
    std::map<std::string, std::string> lineOf;
    std::ifstream in(rig.records);
    for (std::string line; std::getline(in, line);)
        lineOf[testsupport::Field(line, "id")] = line;
    for (const std::string& received : rig.broker.Received()) {
        const std::string payload = received.substr(received.find(' ') + 1);
        EXPECT_EQ(payload, lineOf[testsupport::Field(payload, "id")]);
        std::string port = testsupport::Field(payload, "port").substr(5); // without /dev/
        std::replace(port.begin(), port.end(), '/', '_');
        EXPECT_EQ(received.substr(0, received.find(' ')), "korvane/line2-st3/" + port);
    }
    EXPECT_NE(rig.Log().find("is not a JSON record; skipped (1 so far)"), std::string::npos)
        << rig.Log();

    Append(rig.records, last.substr(40) + "\n"); // the rest of the line
    EXPECT_EQ(rig.broker.WaitIds(51, 20000).size(), 51u) << rig.Log();
}

// The broker is away while the boards are flashed: --once says so and keeps them; the
// forwarder that runs on sends them, in order, once it comes.
TEST(Forward, BrokerDownThenUpSendsAllInOrder) {
    NEED_MOSQUITTO();
    ForwardRig rig;
    ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
    ASSERT_TRUE(rig.broker.Subscribe())
        << rig.BrokerLog(); // the collector's session outlives the broker's stop
    rig.broker.Kill(SIGTERM);
    const Strings lines = Appended(rig.records, 20);

    const runtest::Finished once = rig.Once();
    EXPECT_EQ(once.exit, 1);
    EXPECT_NE(once.err.find("cannot be reached"), std::string::npos) << once.err;
    EXPECT_EQ(rig.Cursor(), "");

    rig.Follow();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // it tries, and waits
    ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
    EXPECT_EQ(rig.broker.WaitIds(20, 30000), IdsOf(lines)) << rig.Log();
}

// Killed in the middle and started again: nothing is lost.
TEST(Forward, BrokerKilledMidwayLosesNothing) {
    NEED_MOSQUITTO();
    ForwardRig rig;
    ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
    ASSERT_TRUE(rig.broker.Subscribe()) << rig.BrokerLog();
    rig.Follow();
    Strings lines = Appended(rig.records, 30);
    ASSERT_EQ(rig.broker.WaitIds(30, 20000).size(), 30u) << rig.Log();
    // Stopped, the broker takes records without acknowledging them; then it is killed with
    // them in flight, and more are written while it is gone.
    rig.broker.Signal(SIGSTOP);
    Strings more = Appended(rig.records, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    rig.broker.Kill(SIGKILL);
    const std::string cursor = rig.Cursor();
    EXPECT_EQ(cursor.substr(0, cursor.find(' ')),
              std::to_string(testsupport::Slurp(rig.records).size() - 10 * (more[0].size() + 1)));
    const Strings last = Appended(rig.records, 10);
    more.insert(more.end(), last.begin(), last.end());
    lines.insert(lines.end(), more.begin(), more.end());
    ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
    const Strings ids = rig.broker.WaitIds(50, 30000);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()), IdSet(lines)) << rig.Log();
}

// A broker that refuses the station: exit 1, the reason said, the cursor where it was. The
// same station with the right password and a certificate the CA signed sends everything.
TEST(Forward, OnceRefusedOrSent) {
    NEED_MOSQUITTO();
    struct Case {
        const char* name;
        bool tls, signedByCa;
        const char* password;
        int passMode;
        int exit;
        const char* said;
    };
    const Case cases[] = {
        {"wrong password", false, true, "wrong", 0600, 1, "refused the login"},
        {"unsigned certificate", true, false, Broker::Password(), 0600, 1, "TLS"},
        {"password readable by others", false, true, Broker::Password(), 0644, 1, "mqtt.pass"},
        {"signed certificate", true, true, Broker::Password(), 0600, 0, "4 records acknowledged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForwardRig rig(c.tls, c.signedByCa);
        rig.WriteStation(rig.broker.Url(), c.password, c.passMode);
        ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
        if (c.signedByCa) { // nobody trusts the other broker
            ASSERT_TRUE(rig.broker.Subscribe()) << rig.BrokerLog();
        }
        const Strings lines = Appended(rig.records, 5);
        const std::string cursor = std::to_string(lines[0].size() + 1) + " " +
                                   std::to_string(host::FileIdentity(rig.records)) + "\n";
        std::ofstream(rig.records + ".cursor") << cursor; // the first went out before
        const runtest::Finished run = rig.Once();
        EXPECT_EQ(run.exit, c.exit) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        if (c.exit != 0) {
            EXPECT_EQ(rig.Cursor(), cursor);
        } else {
            const Strings after(lines.begin() + 1, lines.end());
            EXPECT_EQ(rig.broker.WaitIds(4, 10000), IdsOf(after));
        }
    }
}

// logrotate renames the file away while the forwarder runs; a writer finishes its last record
// into the old file; new records go to a new file of the name. Every one arrives.
TEST(Forward, RotatedFileIsFinishedThenTheNewOneFollowed) {
    NEED_MOSQUITTO();
    ForwardRig rig;
    ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
    ASSERT_TRUE(rig.broker.Subscribe()) << rig.BrokerLog();
    rig.Follow();
    Strings lines = Appended(rig.records, 10);
    ASSERT_EQ(rig.broker.WaitIds(10, 20000).size(), 10u) << rig.Log();
    ASSERT_EQ(std::rename(rig.records.c_str(), (rig.records + ".1").c_str()), 0);
    const Strings late = Appended(rig.records + ".1", 5);
    const Strings fresh = Appended(rig.records, 10);
    lines.insert(lines.end(), late.begin(), late.end());
    lines.insert(lines.end(), fresh.begin(), fresh.end());
    const Strings ids = rig.broker.WaitIds(25, 20000);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()), IdSet(lines)) << rig.Log();
}

} // namespace

namespace {

// What is refused before any broker is asked: usage (2), and a station that says nowhere to
// send (1, the file named).
TEST(Forward, UsageAndStationRefusals) {
    const std::string dir = testsupport::MakeTempDir("korvane-forward");
    const std::string station = dir + "/station.toml";
    std::ofstream(station) << "name = \"st\"\nrecord = \"" << dir << "/r.jsonl\"\n";
    chmod(station.c_str(), 0644);
    const Strings env = {"KORVANE_STATION_FILE=" + station};
    struct Case {
        Strings args;
        int exit;
        const char* said;
    };
    const Case cases[] = {
        {{"forward", "--bogus"}, 2, "unknown option '--bogus'"},
        {{"forward", "--once=yes"}, 2, "--once takes no value"},
        {{"forward", "records.jsonl"}, 2, "takes no operand"},
        {{"forward", "--once"}, 1, "station.toml: no [publish] table"},
    };
    for (const Case& c : cases) {
        const runtest::Finished run = runtest::RunKorvane(c.args, env);
        EXPECT_EQ(run.exit, c.exit) << c.args.back();
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
    std::system(("rm -rf '" + dir + "'").c_str());
}

} // namespace

namespace {

// Rotated while no forwarder ran: the cursor's file is finished where logrotate put it, then
// the new file is sent whole.
TEST(Forward, OnceFinishesTheRotatedFileOfTheCursor) {
    NEED_MOSQUITTO();
    ForwardRig rig;
    ASSERT_TRUE(rig.broker.Start()) << rig.BrokerLog();
    ASSERT_TRUE(rig.broker.Subscribe()) << rig.BrokerLog();
    const Strings old = Appended(rig.records, 5);
    std::ofstream(rig.records + ".cursor")
        << 2 * (old[0].size() + 1) << " " << host::FileIdentity(rig.records) << "\n";
    ASSERT_EQ(std::rename(rig.records.c_str(), (rig.records + ".1").c_str()), 0);
    Strings expected(old.begin() + 2, old.end());
    const Strings fresh = Appended(rig.records, 4);
    expected.insert(expected.end(), fresh.begin(), fresh.end());

    const runtest::Finished run = rig.Once();
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(rig.broker.WaitIds(7, 10000), IdsOf(expected)) << run.err;
    const std::string cursor = rig.Cursor();
    EXPECT_EQ(cursor, std::to_string(testsupport::Slurp(rig.records).size()) + " " +
                          std::to_string(host::FileIdentity(rig.records)) + "\n");
}

} // namespace
