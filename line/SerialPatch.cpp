#include "line/SerialPatch.h"

#include <cstdio>
#include <vector>

namespace line {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One well-formed record of the image: where its text stands and what it holds.
struct Record {
    size_t begin = 0;         // the offset of its ':'
    std::vector<uint8_t> raw; // count, address (2), type, data..., checksum
    bool lowerCase = false;   // its hex digits were written in lower case
    bool touched = false;     // it holds a byte of the value: its text is written again

    unsigned Count() const { return raw[0]; }
    unsigned Address() const { return (unsigned(raw[1]) << 8) | raw[2]; }
    unsigned Type() const { return raw[3]; }
    // Types 01 to 05 end the file or carry addresses; every other type places data.
    bool PlacesData() const { return Type() == 0 || Type() > 5; }
};

// The record on the line [begin, end) (without its line break); false for anything else,
// which the patch leaves alone (the loader refuses such a file anyway).
bool ReadRecord(const std::string& text, size_t begin, size_t end, Record* record) {
    if (end > begin && text[end - 1] == '\r')
        --end;
    if (end - begin < 11 || text[begin] != ':' || (end - begin - 1) % 2 != 0)
        return false;
    record->begin = begin;
    record->raw.clear();
    record->lowerCase = false;
    unsigned sum = 0;
    for (size_t i = begin + 1; i < end; i += 2) {
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        record->lowerCase |=
            (text[i] >= 'a' && text[i] <= 'f') || (text[i + 1] >= 'a' && text[i + 1] <= 'f');
        record->raw.push_back(static_cast<uint8_t>(high * 16 + low));
        sum += record->raw.back();
    }
    return record->raw.size() == record->Count() + 5u && (sum & 0xFF) == 0;
}

// Every record the loader reads, in file order, up to the end record after the first line.
std::vector<Record> Records(const std::string& text) {
    std::vector<Record> records;
    size_t begin = 0;
    for (bool first = true; begin < text.size(); first = false) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        Record record;
        if (ReadRecord(text, begin, end, &record)) {
            records.push_back(record);
            if (record.Type() == 1 && !first)
                break;
        }
        begin = end + 1;
    }
    return records;
}

// Applies value at byte position `position` to the records; which bytes were covered.
std::vector<bool> Place(std::vector<Record>* records, unsigned unit, size_t position,
                        const std::string& value) {
    std::vector<bool> covered(value.size(), false);
    for (Record& record : *records) {
        if (!record.PlacesData())
            continue;
        const size_t start = size_t(record.Address()) * unit;
        for (size_t i = 0; i < value.size(); ++i) {
            const size_t at = position + i;
            if (at < start || at >= start + record.Count())
                continue;
            record.raw[4 + (at - start)] = static_cast<uint8_t>(value[i]);
            record.touched = true;
            covered[i] = true;
        }
    }
    return covered;
}

Verdict Uncovered(const RecipeSerial& serial, unsigned unit, const std::vector<bool>& covered) {
    for (size_t i = 0; i < covered.size(); ++i) {
        if (covered[i])
            continue;
        char text[160];
        std::snprintf(text, sizeof text,
                      "serial.address 0x%04X: byte %zu of the value (byte position 0x%zX) is "
                      "not in the image's data records",
                      serial.address, i, size_t(serial.address) * unit + i);
        return Verdict::Refuse(kUsageError, serial.addressPlace + text);
    }
    return Verdict::Pass();
}

} // namespace

Verdict CheckSerialPlace(const std::string& image, unsigned unit, const RecipeSerial& serial) {
    std::vector<Record> records = Records(image);
    return Uncovered(
        serial, unit,
        Place(&records, unit, size_t(serial.address) * unit, std::string(serial.bytes, '\0')));
}

Verdict PatchSerial(const std::string& image, unsigned unit, const RecipeSerial& serial,
                    const std::string& value, std::string* patched) {
    patched->clear();
    std::vector<Record> records = Records(image);
    const std::vector<bool> covered = Place(&records, unit, size_t(serial.address) * unit, value);
    const Verdict verdict = Uncovered(serial, unit, covered);
    if (!verdict.Passed())
        return verdict;

    *patched = image;
    for (Record& record : records) {
        if (!record.touched)
            continue;
        unsigned sum = 0;
        for (size_t i = 0; i + 1 < record.raw.size(); ++i)
            sum += record.raw[i];
        record.raw.back() = static_cast<uint8_t>(-sum & 0xFF);
        const char* digits = record.lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
        for (size_t i = 0; i < record.raw.size(); ++i) {
            (*patched)[record.begin + 1 + 2 * i] = digits[record.raw[i] >> 4];
            (*patched)[record.begin + 2 + 2 * i] = digits[record.raw[i] & 0xF];
        }
    }
    return Verdict::Pass();
}

} // namespace line
