// The station file's [publish] table, and the topic each record goes to.
#include "line/PublishSettings.h"

#include <gtest/gtest.h>

namespace {

line::StationSettings Station(const std::string& publishTable) {
    line::StationSettings station;
    station.file = "/etc/korvane/station.toml";
    station.hasPublish = true;
    station.text = "[publish]\n" + publishTable;
    return station;
}

TEST(PublishSettings, UrlsAndWhatIsRefused) {
    struct Case {
        const char* table;
        const char* problem; // part of the complaint; "" when taken
        bool tls;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"url = \"mqtt://broker.line2\"\n", "", false, "broker.line2", 1883},
        {"url = \"mqtts://10.0.0.5:9883/\"\nca_file = \"ca.pem\"\n", "", true, "10.0.0.5", 9883},
        {"url = \"mqtt://[::1]:1884\"\n", "", false, "::1", 1884},
        {"url = \"mqtts://broker\"\n", "no ca_file", true, "", 0},
        {"url = \"http://broker\"\n", ":2:7: publish.url must begin with mqtt://", false, "", 0},
        {"url = \"mqtt://broker:99999\"\n", "no port number", false, "", 0},
        {"url = \"mqtt://\"\n", "names no broker", false, "", 0},
        {"topic = \"t\"\n", "has no url", false, "", 0},
        {"url = \"mqtt://b\"\npassword_file = \"p\"\n", "no username", false, "", 0},
        {"url = \"mqtt://b\"\ntopic = \"k/{serial}\"\n", "{station}, {port}", false, "", 0},
        {"url = \"mqtt://b\"\ntopic = \"k/#\"\n", "no wildcard", false, "", 0},
        {"url = \"mqtt://b\"\nqos = 2\n", "publish.qos must be a string", false, "", 0},
        {"url = \"mqtt://b\"\nqos = \"2\"\n", "unknown key publish.qos", false, "", 0},
    };
    for (const Case& c : cases) {
        line::PublishSettings publish;
        const std::string problem = line::ReadPublishSettings(Station(c.table), &publish);
        if (std::string(c.problem).empty()) {
            EXPECT_EQ(problem, "") << c.table;
            EXPECT_EQ(publish.tls, c.tls) << c.table;
            EXPECT_EQ(publish.host, c.host) << c.table;
            EXPECT_EQ(publish.port, c.port) << c.table;
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.table << problem;
        }
    }
}

TEST(PublishSettings, RecordTopics) {
    const std::string usb =
        R"({"port":"/dev/ttyUSB0","port_id":"/dev/serial/by-id/usb-FTDI_A1-if00","target":"Stepper","slave":20})";
    const std::string pty = R"({"port":"/dev/pts/4","port_id":null,"target":"OD","slave":1})";
    struct Case {
        const char* topic;
        const std::string& record;
        const char* expected;
    };
    const Case cases[] = {
        {"korvane/{station}/{port}", usb, "korvane/st3/serial_by-id_usb-FTDI_A1-if00"},
        {"korvane/{station}/{port}", pty, "korvane/st3/pts_4"},
        {"l/{target}/{slave}", usb, "l/Stepper/20"},
        {"{port}", R"({"port":"/dev/a+b#c"})", "a_b_c"}, // never a wildcard
    };
    for (const Case& c : cases)
        EXPECT_EQ(line::RecordTopic(c.topic, "st3", c.record), c.expected) << c.topic;
}

} // namespace
