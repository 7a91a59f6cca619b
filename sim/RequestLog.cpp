#include "sim/RequestLog.h"

#include <cerrno>
#include <cstring>

namespace ksim {

JsonLine& JsonLine::Number(const char* key, long long value) {
    m_fields[key] = value;
    return *this;
}

JsonLine& JsonLine::Seconds(const char* key, int64_t nanoseconds) {
    m_fields[key] = static_cast<double>(nanoseconds / 1000) / 1e6; // to the microsecond
    return *this;
}

JsonLine& JsonLine::Bool(const char* key, bool value) {
    m_fields[key] = value;
    return *this;
}

JsonLine& JsonLine::String(const char* key, const std::string& value) {
    m_fields[key] = value;
    return *this;
}

JsonLine& JsonLine::Strings(const char* key, const std::vector<std::string>& values) {
    m_fields[key] = values;
    return *this;
}

JsonLine& JsonLine::HexBytes(const char* key, const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return String(key, text);
}

std::string JsonLine::Text() const {
    // A request's bytes are logged in hex; text that is no UTF-8 still makes a valid line.
    return m_fields.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool RequestLog::Open(const std::string& path, std::string* error) {
    if (path.empty())
        return true;
    m_name = path == "-" ? "standard error" : path;
    if (path == "-") {
        m_file = stderr;
        return true;
    }
    m_file = std::fopen(path.c_str(), "w");
    if (!m_file) {
        *error = "cannot write the log " + path + ": " + std::strerror(errno);
        return false;
    }
    m_own = true;
    return true;
}

RequestLog::~RequestLog() {
    if (m_own)
        std::fclose(m_file);
}

void RequestLog::Write(const JsonLine& line) {
    m_last = line.Text();
    if (!m_file || Failed())
        return;
    errno = 0;
    const bool written = std::fputs(m_last.c_str(), m_file) >= 0 &&
                         std::fputc('\n', m_file) != EOF && std::fflush(m_file) == 0;
    if (!written)
        m_error = "cannot write the log " + m_name + ": " +
                  (errno ? std::strerror(errno) : "write failed");
}

} // namespace ksim
