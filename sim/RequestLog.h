// The log of everything the slaves heard, one JSON object a line, flushed line by line so that
// a test or an engineer can follow it while the simulator runs.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ksim {

// Builds one JSON object in the order its fields are added.
class JsonLine {
public:
    JsonLine& Number(const char* key, long long value);
    JsonLine& Seconds(const char* key, int64_t nanoseconds); // as seconds, to the microsecond
    JsonLine& Bool(const char* key, bool value);
    JsonLine& String(const char* key, const std::string& value);
    JsonLine& Strings(const char* key, const std::vector<std::string>& values);
    JsonLine& HexBytes(const char* key, const uint8_t* bytes, size_t count);
    std::string Text() const;

private:
    nlohmann::ordered_json m_fields = nlohmann::ordered_json::object();
};

class RequestLog {
public:
    // Opens the log at `path` ("-" for standard error); an empty path logs nothing.
    bool Open(const std::string& path, std::string* error);
    ~RequestLog();

    // A line that cannot be written whole ends the log: nothing more is written, and Error()
    // says why. A log with lines missing would tell a test that they never came, so the
    // simulator ends rather than run on without it.
    void Write(const JsonLine& line);
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }
    // The last line written, for tests of the library.
    const std::string& LastLine() const { return m_last; }

private:
    FILE* m_file = nullptr;
    bool m_own = false;
    std::string m_name;
    std::string m_error;
    std::string m_last;
};

} // namespace ksim
