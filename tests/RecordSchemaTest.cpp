// The records a real flash writes hold an id and the station's name, and fit the published
// JSON Schema (docs/record.schema.json), checked by a validator of the schema words it uses.
#include "FlashRig.h"
#include "tests/support/KorvaneRun.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sys/stat.h>

namespace flashtest {
namespace {

using nlohmann::json;

bool HasType(const json& value, const std::string& type) {
    if (type == "null")
        return value.is_null();
    if (type == "string")
        return value.is_string();
    if (type == "integer")
        return value.is_number_integer();
    if (type == "number")
        return value.is_number();
    if (type == "object")
        return value.is_object();
    return false;
}

// What is wrong with value against schema ("" when it fits): type, enum, pattern, minimum,
// maximum, minLength, required, properties, additionalProperties.
std::string Check(const json& schema, const json& value, const std::string& where) {
    if (schema.contains("type")) {
        const json types =
            schema["type"].is_array() ? schema["type"] : json::array({schema["type"]});
        bool fits = false;
        for (const json& type : types)
            fits = fits || HasType(value, type.get<std::string>());
        if (!fits)
            return where + ": not of type " + schema["type"].dump();
    }
    if (schema.contains("enum") &&
        std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end())
        return where + ": not one of " + schema["enum"].dump();
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (schema.contains("pattern") &&
            !std::regex_search(text, std::regex(schema["pattern"].get<std::string>())))
            return where + ": does not match " + schema["pattern"].get<std::string>();
        if (schema.contains("minLength") && text.size() < schema["minLength"].get<size_t>())
            return where + ": too short";
    }
    if (value.is_number()) {
        if (schema.contains("minimum") && value.get<double>() < schema["minimum"].get<double>())
            return where + ": below the minimum";
        if (schema.contains("maximum") && value.get<double>() > schema["maximum"].get<double>())
            return where + ": above the maximum";
    }
    if (value.is_object()) {
        for (const json& key : schema.value("required", json::array())) {
            if (!value.contains(key.get<std::string>()))
                return where + ": " + key.get<std::string>() + " is missing";
        }
        const json properties = schema.value("properties", json::object());
        for (const auto& [key, member] : value.items()) {
            if (properties.contains(key)) {
                const std::string wrong = Check(properties[key], member, where + "." + key);
                if (!wrong.empty())
                    return wrong;
            } else if (!schema.value("additionalProperties", true)) {
                return where + ": " + key + " is not allowed";
            }
        }
    }
    return "";
}

json Schema() {
    std::ifstream in(KORVANE_SOURCE_DIR "/docs/record.schema.json");
    return json::parse(in);
}

TEST(RecordSchema, RealRecordsFitAndCarryIdAndStation) {
    FlashRig rig;
    ASSERT_TRUE(rig.Ok());
    const std::string station = rig.Dir() + "/station.toml";
    std::ofstream(station) << "name = \"line9-st4\"\n";
    chmod(station.c_str(), 0644);
    const std::string image =
        CString(rig.WriteFile("image.hex", HexFile(0, Pattern(256), 2))).ToUtf8();
    const std::string record = rig.Dir() + "/records.jsonl";
    const runtest::Finished run =
        runtest::RunKorvane({"flash", "--stepper", "0x14,0x15,0x18", "--port", rig.Sim().Path(),
                             "--record", record, "--quiet", image},
                            {"KORVANE_STATION_FILE=" + station});
    ASSERT_EQ(run.exit, 0) << run.err;

    const json schema = Schema();
    std::set<std::string> ids;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) {
        const json value = json::parse(line);
        EXPECT_EQ(Check(schema, value, "record"), "") << line;
        EXPECT_EQ(value["station"], "line9-st4");
        ids.insert(value["id"].get<std::string>());
    }
    EXPECT_EQ(ids.size(), 3u); // three records, three ids
}

// The schema is strict enough to catch a record gone wrong.
TEST(RecordSchema, RefusesBrokenRecords) {
    const json schema = Schema();
    const json good = json::parse(
        R"({"time":"2026-03-02T09:14:07.215Z","host":"jig","korvane":"1.0.0","port":"/dev/ttyUSB0",
        "port_id":null,"target":"Stepper","slave":20,"file":"a.hex","file_bytes":10,
        "file_sha256":")" +
        std::string(64, 'a') + R"(","start":0,"end":16,"blocks":1,
        "exchanges":4,"retries":0,"status":0,"result":"Update sucessfully completed","exit":0,
        "seconds":1.5,"recipe":null,"serial":null,"id":"5b0c8a7e-2f4d-4c1a-9e8b-3d6f1a2b4c5d","station":"jig"})");
    ASSERT_EQ(Check(schema, good, "record"), "");
    const std::pair<const char*, json> broken[] = {
        {"id", "not-a-uuid"},
        {"id", nullptr},
        {"slave", 7},
        {"target", "od"},
        {"time", "yesterday"},
        {"station", ""},
        {"retries", -1},
        {"exit", 2},
        {"file_sha256", "ABC"},
        {"seconds", "1.5"},
        {"recipe", "r.toml"},
        {"recipe", {{"name", "n"}, {"revision", "1"}, {"sha256", "x"}, {"signer", nullptr}}},
    };
    for (const auto& [key, value] : broken) {
        json record = good;
        record[key] = value;
        EXPECT_NE(Check(schema, record, "record"), "") << key << " = " << value;
    }
    json missing = good;
    missing.erase("station");
    EXPECT_NE(Check(schema, missing, "record"), "");
}

} // namespace
} // namespace flashtest
