// The exit codes stand once in the code (cli/ExitCodes.h); the manual page lists them for the
// reader and `korvane --help` prints them. These tests keep the three saying the same.
#include "cli/ExitCodes.h"
#include "tests/support/Files.h"
#include "tests/support/KorvaneRun.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Words separated by single spaces, so that wrapping and indentation do not count.
std::string Collapse(const std::string& text) {
    std::istringstream in(text);
    std::string word, out;
    while (in >> word)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

// "CODE NAME MEANING" of each code, in the table's order.
std::vector<std::string> TableRows() {
    std::vector<std::string> rows;
    for (const EXIT_CODE& row : EXIT_CODES)
        rows.push_back(std::to_string(row.code) + " " + row.name + " " + Collapse(row.meaning));
    return rows;
}

// The entries of the page's EXIT STATUS section: a line "*CODE* NAME", then the meaning on
// tab-indented lines. scdoc's emphasis marks are dropped.
std::vector<std::string> ManPageRows(const std::string& page) {
    const size_t begin = page.find("\n# EXIT STATUS\n");
    if (begin == std::string::npos)
        return {};
    const size_t end = page.find("\n# ", begin + 1);
    std::istringstream section(page.substr(begin, end - begin));
    const std::regex head(R"(\*([0-9]+)\* ([a-z-]+))");
    std::vector<std::string> rows;
    std::string line;
    bool inEntry = false;
    while (std::getline(section, line)) {
        std::smatch m;
        if (std::regex_match(line, m, head)) {
            rows.push_back(m[1].str() + " " + m[2].str());
            inEntry = true;
        } else if (inEntry && !line.empty() && line[0] == '\t') {
            std::string text;
            for (char c : line)
                if (c != '*' && c != '_')
                    text += c;
            rows.back() = Collapse(rows.back() + " " + text);
        } else {
            inEntry = false;
        }
    }
    return rows;
}

TEST(ExitCodes, ManPageListsTheTable) {
    const std::string page = testsupport::Slurp(KORVANE_SOURCE_DIR "/man/korvane.1.scd");
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(ManPageRows(page), TableRows());
}

TEST(ExitCodes, HelpPrintsTheTableWithinEightyColumns) {
    const runtest::Finished run = runtest::RunKorvane({"--help"});
    ASSERT_EQ(run.exit, EXIT_UPDATED) << run.err;
    const size_t at = run.out.find("Exit status:\n");
    ASSERT_NE(at, std::string::npos) << run.out;
    std::string expected = "Exit status:";
    for (const std::string& row : TableRows())
        expected += " " + row;
    EXPECT_EQ(Collapse(run.out.substr(at)), expected);
    for (const std::string& line : runtest::Lines(run.out.substr(at)))
        EXPECT_LE(line.size(), 80u) << line;
}

} // namespace
