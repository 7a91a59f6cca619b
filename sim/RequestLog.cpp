#include "sim/RequestLog.h"

#include <cerrno>
#include <cstring>

namespace ksim {

void JsonLine::Key(const char* key) {
    if (!m_fields.empty())
        m_fields += ",";
    m_fields += "\"";
    m_fields += key;
    m_fields += "\":";
}

JsonLine& JsonLine::Number(const char* key, long long value) {
    Key(key);
    m_fields += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Seconds(const char* key, int64_t nanoseconds) {
    Key(key);
    char text[32];
    int64_t us = nanoseconds / 1000;
    std::snprintf(text, sizeof text, "%s%lld.%06lld", us < 0 ? "-" : "",
                  static_cast<long long>((us < 0 ? -us : us) / 1000000),
                  static_cast<long long>((us < 0 ? -us : us) % 1000000));
    m_fields += text;
    return *this;
}

JsonLine& JsonLine::Bool(const char* key, bool value) {
    Key(key);
    m_fields += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::String(const char* key, const std::string& value) {
    Key(key);
    m_fields += "\"";
    for (unsigned char c : value) {
        if (c == '"' || c == '\\') {
            m_fields += '\\';
            m_fields += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            m_fields += esc;
        } else {
            m_fields += static_cast<char>(c);
        }
    }
    m_fields += "\"";
    return *this;
}

JsonLine& JsonLine::Strings(const char* key, const std::vector<std::string>& values) {
    Key(key);
    m_fields += "[";
    for (size_t i = 0; i < values.size(); ++i) {
        JsonLine item;
        item.String("x", values[i]);
        if (i)
            m_fields += ",";
        m_fields += item.m_fields.substr(4); // the value without its key
    }
    m_fields += "]";
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
