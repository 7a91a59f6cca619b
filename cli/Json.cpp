#include "cli/Json.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence that starts at text[at], or 0 when none does.
size_t Utf8Length(const std::string& text, size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = Utf8Length(text, at);
        char escaped[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || length == 0) {
            // A byte that is no UTF-8 stands as the code point of the same number.
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            at += 1;
            continue;
        } else {
            out.append(text, at, length);
            at += length;
            continue;
        }
        ++at;
    }
    return out + "\"";
}

void JsonObject::Key(const char* key) {
    if (!m_body.empty())
        m_body += ",";
    m_body += JsonString(key) + ":";
}

JsonObject& JsonObject::Add(const char* key, const std::string& value) {
    Key(key);
    m_body += JsonString(value);
    return *this;
}

JsonObject& JsonObject::Add(const char* key, int64_t value) {
    Key(key);
    m_body += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Add(const char* key, double value) {
    Key(key);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    m_body += text;
    return *this;
}

JsonObject& JsonObject::Add(const char* key, bool value) {
    Key(key);
    m_body += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Add(const char* key, const std::optional<int64_t>& value) {
    if (!value)
        return AddRaw(key, "null");
    return Add(key, *value);
}

JsonObject& JsonObject::Add(const char* key, const std::optional<std::string>& value) {
    if (!value)
        return AddRaw(key, "null");
    return Add(key, *value);
}

JsonObject& JsonObject::AddRaw(const char* key, const std::string& json) {
    Key(key);
    m_body += json;
    return *this;
}
