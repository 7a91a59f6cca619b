#include "line/PublishSettings.h"

#include "line/TomlPlace.h"
#include "platform/host/file_tail.h"
#include "platform/host/files.h"

#include <nlohmann/json.hpp>

namespace line {

namespace {

// "mqtt://host[:port]" or "mqtts://host[:port]".
std::string TakeUrl(const std::string& url, PublishSettings* publish) {
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        publish->tls = true;
        publish->port = 8883;
    } else {
        return "url must begin with mqtt:// or mqtts://";
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    const size_t colon = rest.rfind(':');
    if (colon != std::string::npos && rest.find(']', colon) == std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        rest.resize(colon);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != port.npos ||
            std::stoi(port) == 0 || std::stoi(port) > 65535)
            return "url has no port number after its colon";
        publish->port = std::stoi(port);
    }
    if (rest.size() > 2 && rest.front() == '[' && rest.back() == ']')
        rest = rest.substr(1, rest.size() - 2); // [::1]
    if (rest.empty() || rest.find('/') != std::string::npos)
        return "url names no broker";
    publish->host = rest;
    return "";
}

// A topic template: not empty, no wildcard, and only the names it knows in braces.
std::string CheckTopic(const std::string& topic) {
    if (topic.empty())
        return "topic must not be empty";
    if (topic.find_first_of("+#") != std::string::npos)
        return "topic must hold no wildcard (+ or #)";
    for (size_t open = topic.find('{'); open != std::string::npos;
         open = topic.find('{', open + 1)) {
        const size_t close = topic.find('}', open);
        const std::string name = topic.substr(open + 1, close - open - 1);
        if (close == std::string::npos ||
            (name != "station" && name != "port" && name != "target" && name != "slave"))
            return "topic knows {station}, {port}, {target} and {slave} only";
    }
    return "";
}

} // namespace

std::string ReadPublishSettings(const StationSettings& station, PublishSettings* publish) {
    *publish = PublishSettings();
    const std::string& file = station.file;
    if (!station.hasPublish)
        return (file.empty() ? std::string("no station file") : file) +
               ": no [publish] table says where the records go";
    toml::table table;
    try {
        table = toml::parse(station.text, file);
    } catch (const toml::parse_error& failure) {
        return Place(file, failure.source()) + std::string(failure.description());
    }
    const toml::table& settings = *table["publish"].as_table();
    bool hasUrl = false;
    for (const auto& [key, node] : settings) {
        const std::string name(key.str());
        const std::string place = Place(file, node.source());
        if (!node.is_string())
            return place + "publish." + name + " must be a string";
        const std::string value = node.value<std::string>().value_or("");
        std::string problem;
        if (name == "url") {
            problem = TakeUrl(value, publish);
            hasUrl = true;
        } else if (name == "topic") {
            publish->topic = value;
            problem = CheckTopic(value);
        } else if (name == "username") {
            publish->username = value;
        } else if (name == "password_file") {
            publish->passwordFile = value;
        } else if (name == "ca_file") {
            publish->caFile = value;
        } else {
            return Place(file, key.source()) + "unknown key publish." + name +
                   " (known: url, topic, username, password_file, ca_file)";
        }
        if (!problem.empty())
            return place + "publish." + problem;
    }
    if (!hasUrl)
        return file + ": [publish] has no url";
    if (publish->tls && publish->caFile.empty())
        return file + ": [publish] url is mqtts:// but no ca_file says whom to trust";
    if (!publish->passwordFile.empty() && publish->username.empty())
        return file + ": [publish] has a password_file but no username";
    return "";
}

std::string ReadPassword(const std::string& file, std::string* password) {
    bool othersRead = false;
    std::string error;
    if (!host::OthersCanRead(file, &othersRead, &error))
        return "password file " + file + " cannot be read: " + error;
    if (othersRead)
        return "password file " + file +
               " is refused: the group or others can read it (chmod 600 or 400)";
    std::string bytes;
    host::FileFacts facts;
    if (host::ReadWholeFile(file, 4096, &bytes, &facts, &error) != host::ReadStatus::Read)
        return "password file " + file + " cannot be read: " + error;
    *password = bytes.substr(0, bytes.find('\n'));
    if (!password->empty() && password->back() == '\r')
        password->pop_back();
    return "";
}

std::string RecordTopic(const std::string& topicTemplate, const std::string& station,
                        const std::string& recordJson) {
    const nlohmann::json record = nlohmann::json::parse(recordJson, nullptr, false);
    auto text = [&record](const char* key) -> std::string {
        if (!record.is_object() || !record.contains(key))
            return "";
        const nlohmann::json& value = record[key];
        return value.is_string() ? value.get<std::string>() : value.is_null() ? "" : value.dump();
    };
    std::string port = text("port_id");
    if (port.empty())
        port = text("port");
    if (port.rfind("/dev/", 0) == 0)
        port = port.substr(5);
    for (char& c : port) {
        if (c == '/' || c == '+' || c == '#')
            c = '_'; // a topic level of its own, never a wildcard
    }
    std::string topic;
    for (size_t at = 0; at < topicTemplate.size();) {
        const size_t open = topicTemplate.find('{', at);
        const size_t close = open == std::string::npos ? open : topicTemplate.find('}', open);
        if (close == std::string::npos) {
            topic += topicTemplate.substr(at);
            break;
        }
        topic += topicTemplate.substr(at, open - at);
        const std::string name = topicTemplate.substr(open + 1, close - open - 1);
        if (name == "station")
            topic += station;
        else if (name == "port")
            topic += port;
        else if (name == "target")
            topic += text("target");
        else if (name == "slave")
            topic += text("slave");
        else
            topic += topicTemplate.substr(open, close - open + 1);
        at = close + 1;
    }
    return topic;
}

} // namespace line
