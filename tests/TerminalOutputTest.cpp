// What the progress line and the station write for the terminal TERM names: its own sequences
// where terminfo has them, colour only where it has colours and NO_COLOR is not set, and plain
// text (no escape at all) where it has neither.
#include "cli/ProgressLine.h"
#include "cli/StationView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// Sets an environment variable (nullptr: unsets it) while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old, m_had = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_had)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

std::string ReadAll(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text.push_back(static_cast<char>(c));
    return text;
}

std::string ProgressText() {
    std::FILE* file = std::tmpfile();
    {
        CProgressLine progress(file, true);
        progress.Update(100, 400);
        progress.Update(400, 400);
        progress.Clear();
    }
    const std::string text = ReadAll(file);
    std::fclose(file);
    return text;
}

// What the station writes to standard output, as on a terminal, for one board that passed.
std::string StationText() {
    std::FILE* file = std::tmpfile();
    std::fflush(stdout);
    const int saved = dup(1);
    dup2(fileno(file), 1);
    {
        CStationView view("Stepper 0x14", {"/dev/ttyUSB0"}, true);
        view.SetImage("image.hex", "0123456789abcdef");
        STATION_COUNTS counts;
        counts.boards = counts.passed = 1;
        view.BoardStarted(counts);
        view.BoardEnded(counts, true);
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    const std::string text = ReadAll(file);
    std::fclose(file);
    return text;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(TerminalOutput, FollowsTermAndNoColor) {
    struct Case {
        const char* term;    // nullptr: unset
        const char* noColor; // nullptr: unset
        bool escapes;        // erases lines and clears the screen
        bool colour;
    };
    const Case cases[] = {
        {"xterm-256color", nullptr, true, true},
        {"xterm-256color", "1", true, false},
        {"xterm-256color", "", true, true}, // set but empty: as if not set
        {"vt100", nullptr, true, false},    // no colours
        {"dumb", nullptr, false, false},
        {nullptr, nullptr, false, false},
        {"no-such-terminal", nullptr, false, false},
    };
    for (const Case& c : cases) {
        const ScopedEnv term("TERM", c.term);
        const ScopedEnv noColor("NO_COLOR", c.noColor);
        const std::string what = std::string(c.term ? c.term : "(unset)") +
                                 (c.noColor ? std::string(" NO_COLOR=") + c.noColor : "");
        const std::string progress = ProgressText();
        const std::string station = StationText();
        EXPECT_EQ(Has(progress, "\033[K"), c.escapes) << what;
        EXPECT_EQ(Has(station, "\033[H\033[J") || Has(station, "\033[H\033[2J"), c.escapes) << what;
        EXPECT_EQ(Has(station, "\033[32m"), c.colour) << what; // green for PASS
        EXPECT_TRUE(Has(station, "Board 1: PASS")) << what;
        EXPECT_FALSE(Has(progress + station, "$<")) << what; // padding is no text
        if (!c.escapes) {
            EXPECT_FALSE(Has(progress + station, "\033")) << what;
        }
    }
    // A dumb terminal still goes back to the line's start and writes over the last figures.
    const ScopedEnv dumb("TERM", "dumb");
    const std::string first = "\r 25%  100 of 400 bytes  0 B/s  --:-- left";
    const std::string progress = ProgressText();
    EXPECT_EQ(progress.substr(0, first.size() * 2 + 1),
              first + "\r" + std::string(first.size() - 1, ' ') + "\r")
        << progress;
    EXPECT_EQ(progress.back(), '\r');
}

} // namespace
