// Just enough JSON for the records: one object on one line, keys in the order written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A JSON string literal, quotes included; control characters are escaped and bytes that are
// no UTF-8 (a device's own strings, a file name, may hold anything) become U+FFFD, so a line
// of JSON never breaks.
std::string JsonString(const std::string& text);

class JsonObject {
public:
    JsonObject& Add(const char* key, const std::string& value);
    JsonObject& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    JsonObject& Add(const char* key, int64_t value);
    JsonObject& Add(const char* key, int value) { return Add(key, static_cast<int64_t>(value)); }
    JsonObject& Add(const char* key, double value);
    JsonObject& Add(const char* key, bool value);
    // null when the value is missing.
    JsonObject& Add(const char* key, const std::optional<int64_t>& value);
    JsonObject& Add(const char* key, const std::optional<std::string>& value);
    // A value already in JSON (a list, an object).
    JsonObject& AddRaw(const char* key, const std::string& json);
    std::string Text() const { return "{" + m_body + "}"; }

private:
    void Key(const char* key);
    std::string m_body;
};
