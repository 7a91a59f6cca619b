#include "cli/Json.h"

#include <cstdio>

namespace {

// Bytes of a valid UTF-8 sequence starting at text[i], or 0.
size_t Utf8Length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    if ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) > 0x9F) ||
        (lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) > 0x8F))
        return 0;
    return length;
}

} // namespace

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            json += "\\ufffd";
            ++i;
        } else if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
            ++i;
        } else {
            json.append(text, i, length);
            i += length;
        }
    }
    return json + "\"";
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
