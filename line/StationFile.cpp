#include "line/StationFile.h"

#include "line/TomlPlace.h"
#include "line/TrustRule.h"
#include "platform/host/files.h"

#include <filesystem>

namespace line {

const char kSystemStationFile[] = "/etc/korvane/station.toml";
const char kStationFileVariable[] = "KORVANE_STATION_FILE";
const char kDefaultKeyFolder[] = "/etc/korvane/keys";
const char kDefaultRecordFile[] = "/var/lib/korvane/records.jsonl";

namespace {

const size_t kMaxStationFileBytes = 1 << 20;

Verdict Refuse(const std::string& what) {
    return Verdict::Refuse(kNotApproved, what);
}

// Takes a string value into *out; an error line otherwise.
std::string TakeString(const std::string& file, const toml::node& node, const std::string& key,
                       std::string* out) {
    if (!node.is_string())
        return Place(file, node.source()) + key + " must be a string";
    *out = node.value<std::string>().value_or("");
    return "";
}

std::string TakeSettings(const std::string& file, const toml::table& table,
                         StationSettings* settings) {
    for (const auto& [key, node] : table) {
        const std::string name(key.str());
        std::string problem;
        if (name == "keys") {
            problem = TakeString(file, node, name, &settings->keys);
            if (problem.empty() && settings->keys.empty())
                problem = Place(file, node.source()) + "keys must name a folder";
        } else if (name == "require_recipe") {
            if (!node.is_boolean())
                problem = Place(file, node.source()) + "require_recipe must be true or false";
            else
                settings->requireRecipe = node.value<bool>().value_or(false);
        } else if (name == "name") {
            problem = TakeString(file, node, name, &settings->name);
        } else if (name == "record") {
            problem = TakeString(file, node, name, &settings->record);
        } else if (name == "serial_journal") {
            problem = TakeString(file, node, name, &settings->serialJournal);
        } else if (name == "publish") {
            if (!node.is_table())
                problem = Place(file, node.source()) + "publish must be a table";
            settings->hasPublish = true;
        } else {
            problem = Place(file, key.source()) + "unknown key " + name +
                      " (known: keys, require_recipe, name, record, serial_journal, [publish])";
        }
        if (!problem.empty())
            return problem;
    }
    return "";
}

} // namespace

std::string RecordFileOf(const StationSettings& station) {
    return station.record.empty() ? kDefaultRecordFile : station.record;
}

std::string ChooseStationFile(const std::string& systemFile, const char* variableValue) {
    if (host::NameExists(systemFile))
        return systemFile;
    if (variableValue != nullptr && variableValue[0] != '\0')
        return variableValue;
    return "";
}

Verdict ReadStationFile(const std::string& path, unsigned user, StationSettings* settings) {
    *settings = StationSettings();
    settings->file = path;
    host::FileFacts facts;
    std::string error;
    if (host::ReadWholeFile(path, kMaxStationFileBytes, &settings->text, &facts, &error) !=
        host::ReadStatus::Read)
        return Refuse("station file " + path + " cannot be read: " + error);
    const std::string why = Untrusted(facts, user);
    if (!why.empty())
        return Refuse("station file " + path + " is not trusted: " + why);

    toml::table table;
    try {
        table = toml::parse(settings->text, path);
    } catch (const toml::parse_error& failure) {
        return Refuse(Place(path, failure.source()) + std::string(failure.description()));
    }
    const std::string problem = TakeSettings(path, table, settings);
    if (!problem.empty())
        return Refuse(problem);
    const std::filesystem::path keys(settings->keys);
    if (keys.is_relative())
        settings->keys = (std::filesystem::path(path).parent_path() / keys).string();
    return Verdict::Pass();
}

Verdict LoadStation(const std::string& systemFile, const char* variableValue, unsigned user,
                    StationSettings* settings) {
    *settings = StationSettings();
    const std::string file = ChooseStationFile(systemFile, variableValue);
    if (file.empty())
        return Verdict::Pass();
    return ReadStationFile(file, user, settings);
}

Verdict RefuseUnapproved(const StationSettings& settings, const std::string& what) {
    if (!settings.requireRecipe)
        return Verdict::Pass();
    return Refuse("this station runs approved recipes only (" + settings.file + "): " + what +
                  " is refused");
}

} // namespace line
