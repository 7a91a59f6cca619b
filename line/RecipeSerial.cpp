#include "line/SerialTable.h"

#include "line/Sha256.h"
#include "platform/host/files.h"

#include <algorithm>
#include <set>

namespace line {

namespace {

// A list of MAC addresses for a year's production is well below this.
const size_t kMaxListBytes = 64u << 20;

bool IsHex(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
    return text;
}

// Whether number can be written in `bytes` bytes of the format.
bool Fits(uint64_t number, unsigned bytes, SerialFormat format) {
    if (format == SerialFormat::Ascii)
        return CounterText(number).size() <= bytes;
    return bytes >= 8 || number < (uint64_t(1) << (8 * bytes));
}

struct TableReader {
    const std::string& file;
    std::string problem; // "FILE:LINE:COLUMN: ..." once something is wrong

    bool Fail(const toml::node& node, const std::string& what) {
        if (problem.empty())
            problem = Place(file, node.source()) + what;
        return false;
    }
    bool String(const toml::node& node, const char* key, std::string* out) {
        if (!node.is_string())
            return Fail(node, std::string(key) + " must be a string");
        *out = node.value<std::string>().value_or("");
        return true;
    }
    bool Integer(const toml::node& node, const char* key, int64_t low, int64_t high,
                 uint64_t* out) {
        const std::optional<int64_t> value = node.value<int64_t>();
        if (!node.is_integer() || !value || *value < low || *value > high)
            return Fail(node, std::string(key) + " must be a whole number from " +
                                  std::to_string(low) + " to " + std::to_string(high));
        *out = static_cast<uint64_t>(*value);
        return true;
    }
};

} // namespace

std::string CounterText(uint64_t number) {
    return std::to_string(number);
}

Verdict ParseSerialTable(const std::string& file, const toml::node& node, RecipeSerial* serial) {
    *serial = RecipeSerial();
    TableReader read{file, ""};
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        read.Fail(node, "serial must be a table");
        return Verdict::Refuse(kUsageError, read.problem);
    }
    serial->present = true;
    uint64_t number = 0;
    std::string text;
    const toml::node* lastNode = nullptr;
    const toml::node* formatNode = nullptr;
    for (const auto& [key, value] : *table) {
        const std::string name(key.str());
        if (name == "pool") {
            if (read.String(value, "serial.pool", &serial->pool) &&
                (serial->pool.empty() ||
                 std::any_of(serial->pool.begin(), serial->pool.end(), [](char c) {
                     return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
                 })))
                read.Fail(value, "serial.pool must be a name without control characters");
        } else if (name == "address") {
            if (read.Integer(value, "serial.address", 0, 0xFFFF, &number))
                serial->address = static_cast<unsigned>(number);
            serial->addressPlace = Place(file, value.source());
        } else if (name == "bytes") {
            if (read.Integer(value, "serial.bytes", 1, 16, &number))
                serial->bytes = static_cast<unsigned>(number);
        } else if (name == "format") {
            formatNode = &value;
            if (read.String(value, "serial.format", &text)) {
                if (text == "le")
                    serial->format = SerialFormat::LittleEndian;
                else if (text == "be")
                    serial->format = SerialFormat::BigEndian;
                else if (text == "ascii")
                    serial->format = SerialFormat::Ascii;
                else
                    read.Fail(value, "serial.format must be \"le\", \"be\" or \"ascii\"");
            }
        } else if (name == "first") {
            read.Integer(value, "serial.first", 0, INT64_MAX, &serial->first);
        } else if (name == "last") {
            lastNode = &value;
            read.Integer(value, "serial.last", 0, INT64_MAX, &serial->last);
        } else if (name == "step") {
            read.Integer(value, "serial.step", 1, INT64_MAX, &serial->step);
        } else if (name == "list") {
            serial->isList = true;
            if (read.String(value, "serial.list", &serial->list) && serial->list.empty())
                read.Fail(value, "serial.list must name a file");
        } else if (name == "list_sha256") {
            if (read.String(value, "serial.list_sha256", &serial->listSha256) &&
                (serial->listSha256.size() != 64 || !IsHex(serial->listSha256)))
                read.Fail(value, "serial.list_sha256 must be 64 hex digits");
            serial->listSha256 = Lower(serial->listSha256);
        } else if (name == "on_failure") {
            if (read.String(value, "serial.on_failure", &text)) {
                if (text == "reuse" || text == "void")
                    serial->reuse = text == "reuse";
                else
                    read.Fail(value, "serial.on_failure must be \"void\" or \"reuse\"");
            }
        } else {
            read.problem = Place(file, key.source()) + "unknown key serial." + name;
        }
        if (!read.problem.empty())
            return Verdict::Refuse(kUsageError, read.problem);
    }

    // What must be there, and what must not be there together.
    std::vector<const char*> required = {"pool", "address", "bytes"};
    if (serial->isList)
        required.push_back("list_sha256");
    else
        required.insert(required.end(), {"format", "first", "last"});
    for (const char* key : required)
        if (!table->contains(key))
            return Verdict::Refuse(kUsageError, Place(file, table->source()) +
                                                    "missing key serial." + key +
                                                    (serial->isList ? " (a list)" : ""));
    if (serial->isList) {
        for (const char* key : {"first", "last", "step", "format"})
            if (const toml::node* other = table->get(key))
                return Verdict::Refuse(kUsageError, Place(file, other->source()) + "serial." + key +
                                                        " is for a counter, not a list");
        return Verdict::Pass();
    }
    if (table->contains("list_sha256"))
        return Verdict::Refuse(kUsageError, Place(file, table->get("list_sha256")->source()) +
                                                "serial.list_sha256 needs serial.list");
    if (serial->first > serial->last)
        return Verdict::Refuse(kUsageError, Place(file, lastNode->source()) +
                                                "serial.last is below serial.first");
    if (!Fits(serial->last, serial->bytes, serial->format))
        return Verdict::Refuse(
            kUsageError, Place(file, (formatNode ? formatNode : lastNode)->source()) +
                             "serial.last (" + CounterText(serial->last) + ") does not fit in " +
                             std::to_string(serial->bytes) + " bytes of this format");
    return Verdict::Pass();
}

Verdict ReadSerialList(RecipeSerial* serial) {
    if (!serial->present || !serial->isList)
        return Verdict::Pass();
    serial->values.clear();
    std::string text, error;
    host::FileFacts facts;
    if (host::ReadWholeFile(serial->listPath, kMaxListBytes, &text, &facts, &error) !=
        host::ReadStatus::Read)
        return Verdict::Refuse(kFileError,
                               "serial list " + serial->listPath + " cannot be read: " + error);
    const std::string hash = Sha256Hex(text);
    if (hash != serial->listSha256)
        return Verdict::Refuse(kNotApproved, "serial list " + serial->listPath +
                                                 " does not match its recipe: its SHA-256 is " +
                                                 hash);
    std::set<std::string> seen;
    size_t start = 0;
    for (unsigned lineNo = 1; start < text.size(); ++lineNo) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string value = text.substr(start, end - start);
        if (!value.empty() && value.back() == '\r')
            value.pop_back();
        const std::string place = serial->listPath + ":" + std::to_string(lineNo) + ":1: ";
        if (value.size() != 2 * serial->bytes || !IsHex(value))
            return Verdict::Refuse(kUsageError, place + "a value must be exactly " +
                                                    std::to_string(2 * serial->bytes) +
                                                    " hex digits (" +
                                                    std::to_string(serial->bytes) + " bytes)");
        value = Lower(value);
        if (!seen.insert(value).second)
            return Verdict::Refuse(kUsageError, place + "value " + value + " is listed twice");
        serial->values.push_back(value);
        start = end + 1;
    }
    if (serial->values.empty())
        return Verdict::Refuse(kUsageError, serial->listPath + ":1:1: the list holds no value");
    return Verdict::Pass();
}

std::string SerialBytes(const RecipeSerial& serial, const std::string& valueText) {
    std::string bytes;
    if (serial.isList) {
        for (size_t i = 0; i + 1 < valueText.size(); i += 2)
            bytes += static_cast<char>(std::stoul(valueText.substr(i, 2), nullptr, 16));
        return bytes;
    }
    const uint64_t number = std::stoull(valueText);
    if (serial.format == SerialFormat::Ascii) {
        const std::string digits = CounterText(number);
        return std::string(serial.bytes - std::min<size_t>(digits.size(), serial.bytes), '0') +
               digits;
    }
    bytes.assign(serial.bytes, '\0');
    for (unsigned i = 0; i < serial.bytes && i < 8; ++i) {
        const char byte = static_cast<char>((number >> (8 * i)) & 0xFF);
        if (serial.format == SerialFormat::LittleEndian)
            bytes[i] = byte;
        else
            bytes[serial.bytes - 1 - i] = byte;
    }
    return bytes;
}

} // namespace line
