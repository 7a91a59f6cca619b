// JSON as the commands write it: objects whose keys keep the order they were set in (the
// documented order of the record), one line each.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

using Json = nlohmann::ordered_json;

// One line of JSON. Bytes that are no UTF-8 (a device's own strings, a file name, may hold
// anything) become U+FFFD, so that a line is always valid JSON.
inline std::string JsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The value, or null when it is missing.
template <typename T> Json JsonOrNull(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}
