// `korvane report` over record files: the figures a line lead reads, the sick port told, and
// the page drawn by a real browser.
#include "tests/support/Files.h"
#include "tests/support/KorvaneRun.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

using nlohmann::json;

// A record of one board: which image, which port, passed or not, its exchanges and retries,
// its seconds, and the minute (of hour 9 or 10) it started.
std::string Record(const std::string& sha, const std::string& port, bool passed, int retries,
                   double seconds, int minute) {
    char time[32];
    std::snprintf(time, sizeof time, "2026-03-02T%02d:%02d:00.000Z", 9 + minute / 60, minute % 60);
    return json({{"time", time},
                 {"host", "jig"},
                 {"korvane", "1.0.0"},
                 {"port", port},
                 {"port_id", nullptr},
                 {"target", "Stepper"},
                 {"slave", 20},
                 {"file", "/images/" + sha + ".hex"},
                 {"file_bytes", 10},
                 {"file_sha256", sha + std::string(64 - sha.size(), '0')},
                 {"start", 0},
                 {"end", 16},
                 {"blocks", 1},
                 {"exchanges", 100},
                 {"retries", retries},
                 {"status", passed ? 0 : 5},
                 {"result", passed ? "Update sucessfully completed" : "Update failed! Error 5"},
                 {"exit", passed ? 0 : 1},
                 {"seconds", seconds},
                 {"id", "x"},
                 {"station", "st"}})
        .dump();
}

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::MakeTempDir("korvane-report");
        // Image aaaa: 10 boards on ttyUSB0..3, 2 failed; ttyUSB3 retries 60 per thousand, the
        // others 1 or 2. Image bbbb: 2 boards, one an hour later. A line that is no record.
        std::ofstream out(dir + "/a.jsonl");
        for (int i = 0; i < 10; ++i)
            out << Record("aaaa", "/dev/ttyUSB" + std::to_string(i % 4), i != 3 && i != 7,
                          i % 4 == 3 ? 6 : 1 + i % 2, 10 + i, i)
                << "\n";
        out << "garbage\n";
        std::ofstream(dir + "/b.jsonl") << Record("bbbb", "/dev/ttyUSB0", true, 0, 30, 20) << "\n"
                                        << Record("bbbb", "/dev/ttyUSB1", false, 0, 40, 80) << "\n";
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir;
};

TEST_F(Report, FiguresPerImageAndPortAndTheSickPort) {
    const runtest::Finished run =
        runtest::RunKorvane({"report", "--json", dir + "/a.jsonl", dir + "/b.jsonl"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const json report = json::parse(run.out);
    EXPECT_EQ(report["boards"], 12);
    EXPECT_EQ(report["passed"], 9);
    EXPECT_EQ(report["skipped"], 1);
    // 12 boards from 09:00:00 to 10:20:40.
    EXPECT_NEAR(report["boards_per_hour"].get<double>(), 12 * 3600.0 / (80 * 60 + 40), 0.01);
    ASSERT_EQ(report["images"].size(), 2u);
    const json& a = report["images"][0];
    EXPECT_EQ(a["file"], "aaaa.hex");
    EXPECT_EQ(a["sha256"], "aaaa00000000");
    EXPECT_EQ(a["boards"], 10);
    EXPECT_EQ(a["failed"], 2);
    EXPECT_DOUBLE_EQ(a["yield"].get<double>(), 0.8);
    EXPECT_DOUBLE_EQ(a["median_seconds"].get<double>(), 14); // nearest rank of 10..19
    EXPECT_DOUBLE_EQ(a["p90_seconds"].get<double>(), 18);
    for (const json& port : report["ports"]) {
        SCOPED_TRACE(port.dump());
        EXPECT_EQ(port["flagged"], port["port"] == "/dev/ttyUSB3");
    }
    EXPECT_DOUBLE_EQ(report["ports"][3]["retries_per_1000"].get<double>(), 60);
    EXPECT_EQ(report["hours"].size(), 2u);

    const runtest::Finished text = runtest::RunKorvane({"report", dir + "/a.jsonl"});
    EXPECT_NE(text.out.find("/dev/ttyUSB3   SICK?"), std::string::npos) << text.out;
    EXPECT_EQ(runtest::RunKorvane({"report", dir + "/missing.jsonl"}).exit, 1);
    EXPECT_EQ(runtest::RunKorvane({"report", "--html"}).exit, 2);
}

// The page holds no script, and Chromium draws it: the screenshot is not one blank colour.
TEST_F(Report, PageIsSelfContainedAndDraws) {
    const std::string page = dir + "/report.html";
    ASSERT_EQ(runtest::RunKorvane({"report", "--html", page, dir + "/a.jsonl"}).exit, 0);
    const std::string html = testsupport::Slurp(page);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http://"), html.find("http://www.w3.org/2000/svg"));
    EXPECT_EQ(html.find("<svg"), html.find("<svg xmlns"));
    if (std::system("command -v chromium >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "chromium is not installed";
    const std::string shot = dir + "/shot.png";
    const std::string command = "cd '" + dir +
                                "' && timeout 60 chromium --headless --no-sandbox "
                                "--disable-gpu --user-data-dir='" +
                                dir +
                                "/profile' "
                                "--window-size=900,900 --screenshot='" +
                                shot + "' 'file://" + page + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // ImageMagick: the number of colours; a blank page has one.
    const std::string colours = "convert '" + shot + "' -format %k info: > '" + dir + "/k'";
    ASSERT_EQ(std::system(colours.c_str()), 0);
    EXPECT_GT(std::atoi(testsupport::Slurp(dir + "/k").c_str()), 10);
}

} // namespace
