// The HEX image loader: single records, whole files, and files made by GNU objcopy and srec_cat.
#include "update/HexImage.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// An image as the update hands it to the loader: the whole size, all 0xFF.
Bytes FreshImage() {
    return Bytes(HEX_IMAGE_SIZE, 0xFF);
}

// One record with its checksum (or that checksum plus one when `badSum`).
std::string Record(unsigned type, unsigned address, const Bytes& data, bool badSum = false) {
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address,
                  type);
    std::string line = text;
    for (BYTE b : data) {
        std::snprintf(text, sizeof text, "%02X", b);
        line += text;
        sum += b;
    }
    std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF) + (badSum ? 1 : 0)) & 0xFF);
    return line + text;
}

// `count` bytes counting up from `first`.
Bytes Run(BYTE first, size_t count) {
    Bytes data(count);
    for (size_t i = 0; i < count; ++i)
        data[i] = static_cast<BYTE>(first + i);
    return data;
}

// Records of 16 bytes at the given address fields, each filled with its address's low byte.
std::string Records16(std::initializer_list<unsigned> addresses) {
    std::string text;
    for (unsigned a : addresses)
        text += Record(0, a, Bytes(16, static_cast<BYTE>(a)));
    return text;
}

const std::string kEnd = ":00000001FF\n";

struct Written {
    DWORD position;
    Bytes bytes;
};

// The image is all 0xFF but for `written`.
::testing::AssertionResult ImageHolds(const Bytes& image, const std::vector<Written>& written) {
    Bytes expected = FreshImage();
    for (const Written& w : written)
        std::copy(w.bytes.begin(), w.bytes.end(), expected.begin() + w.position);
    for (size_t i = 0; i < expected.size(); ++i)
        if (image[i] != expected[i]) {
            char text[64];
            std::snprintf(text, sizeof text, "image byte 0x%zX is 0x%02X, expected 0x%02X", i,
                          image[i], expected[i]);
            return ::testing::AssertionFailure() << text;
        }
    return ::testing::AssertionSuccess();
}

// ---- ParseHexRecord, one line at a time ----

const WORD kUntouched = 0xBEEF;

struct LineCase {
    const char* what;
    std::string line;
    UINT multiplier;
    int result;
    std::vector<Written> written;
    WORD address; // kUntouched: the caller's variable is left alone
};

std::vector<LineCase> LineCases() {
    return {
        {"data, OD", ":0400100001020304E2", 1, 4, {{0x10, {1, 2, 3, 4}}}, 0x0010},
        {"data, Stepper doubles", ":0400100001020304E2", 2, 4, {{0x20, {1, 2, 3, 4}}}, 0x0020},
        {"bad checksum has written its data",
         ":0400100001020304E3",
         1,
         -1,
         {{0x10, {1, 2, 3, 4}}},
         0x0010},
        {"end of file", ":00000001FF", 2, 0, {}, 0x0000},
        {"end-of-file checksum is not tested", ":00000001AA", 1, 0, {}, 0x0000},
        {"end of file keeps its address undoubled", ":00123401B9", 2, 0, {}, 0x1234},
        {"empty line", "", 1, -1, {}, kUntouched},
        {"line beginning with a blank", " :0400100001020304E2", 2, -1, {}, kUntouched},
        {"lower-case digits, CRLF",
         ":04abc000deadbeef59\r\n",
         1,
         4,
         {{0xABC0, {0xDE, 0xAD, 0xBE, 0xEF}}},
         0xABC0},
        {"type 06 still loads as data", Record(6, 0x40, {9, 8}), 1, 2, {{0x40, {9, 8}}}, 0x0040},
        // Address records hold addresses, not memory: checksummed and counted, never written.
        {"type 04 writes nothing", ":020000040000FA", 1, 2, {}, 0x0000},
        {"type 02 writes nothing", ":020000021000EC", 2, 2, {}, 0x0000},
        {"type 03 writes nothing", ":0400000300001234B3", 1, 4, {}, 0x0000},
        {"type 05 writes nothing", ":0400000508001234A9", 1, 4, {}, 0x0000},
        {"type 04 with a bad checksum", ":020000040000FB", 1, -1, {}, 0x0000},
        // Lines that are not records leave no field undefined.
        {"header without digits", ":zz1000000102E2", 1, -1, {}, kUntouched},
        {"header cut short", ":0400", 1, -1, {}, kUntouched},
        {"signed count", ":-1001000010203E2", 1, -1, {}, kUntouched},
        {"ends inside its data", ":04001000010203\n", 1, -1, {}, 0x0010},
        {"ends before its checksum", ":0400100001020304", 2, -1, {}, 0x0020},
        {"pair without digits", ":0400100001zz0304E2", 1, -1, {}, 0x0010},
        {"signed pair", ":0400100001-10304E2", 1, -1, {}, 0x0010},
        {"multiplier other than 1 or 2", ":0400100001020304E2", 3, -1, {}, kUntouched},
        // Byte positions from 0x10000 on are refused before anything is written.
        {"OD record ending at 0x10000",
         Record(0, 0xFFF0, Run(1, 16)),
         1,
         16,
         {{0xFFF0, Run(1, 16)}},
         0xFFF0},
        {"OD record running past 0xFFFF", Record(0, 0xFFF8, Run(1, 16)), 1, -2, {}, 0xFFF8},
        {"Stepper record ending at 0x10000",
         Record(0, 0x7FF8, Run(1, 16)),
         2,
         16,
         {{0xFFF0, Run(1, 16)}},
         0xFFF0},
        {"Stepper word 0x8000", Record(0, 0x8000, {1}), 2, -2, {}, 0x0000},
        {"Stepper count 0 at word 0x8000", Record(0, 0x8000, {}), 2, -2, {}, 0x0000},
        {"Stepper record past the image", Record(0, 0xFFFF, Run(1, 255)), 2, -2, {}, 0xFFFE},
        {"out of range with a bad checksum", Record(0, 0xFFFF, Run(1, 4), true), 2, -1, {}, 0xFFFE},
        {"longest record", Record(0, 0x0100, Run(0, 255)), 1, 255, {{0x100, Run(0, 255)}}, 0x100},
    };
}

TEST(HexRecord, LinesAgainstAFreshImage) {
    for (const LineCase& c : LineCases()) {
        SCOPED_TRACE(c.what);
        Bytes image = FreshImage();
        WORD address = kUntouched;
        EXPECT_EQ(ParseHexRecord(image.data(), c.line.c_str(), &address, c.multiplier), c.result);
        EXPECT_TRUE(ImageHolds(image, c.written));
        EXPECT_EQ(address, c.address);
    }
}

// ---- LoadHexImage over whole files ----

FILE* FileWith(const std::string& text) {
    FILE* file = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    return file;
}

struct Load {
    int outcome;
    WORD start = 0x5A5A;
    WORD end = 0x5A5A;
    Bytes image = FreshImage();
};

Load LoadText(const std::string& text, UINT multiplier) {
    Load load;
    FILE* file = FileWith(text);
    load.outcome = LoadHexImage(file, load.image.data(), multiplier, &load.start, &load.end);
    std::fclose(file);
    return load;
}

struct FileCase {
    const char* what;
    std::string text;
    UINT multiplier;
    int outcome;
    WORD start, end; // looked at only with HEX_LOADED
};

std::string LongLine(char secondPiece) {
    // A valid record padded past 1023 characters: the rest arrives as a line of its own.
    std::string line = Record(0, 0x0010, Run(1, 4));
    line.pop_back();
    line += std::string(1023 - line.size(), ' ') + secondPiece;
    return line + Record(0, 0x0010, Run(1, 4)).substr(1);
}

std::vector<FileCase> FileCases() {
    const std::string three = Records16({0x0000, 0x0010, 0x0020});
    std::string full;
    for (unsigned a = 0; a < 0x10000; a += 16)
        full += Record(0, a, Bytes(16, 0x11));
    const std::string almostFull = full.substr(0, full.size() - Record(0, 0, Bytes(16)).size());
    return {
        {"three records, OD", three + kEnd, 1, HEX_LOADED, 0x0000, 0x0030},
        {"three records, Stepper", three + kEnd, 2, HEX_LOADED, 0x0000, 0x0050},
        {"end follows the last record in file order", Records16({0x20, 0x10, 0x00}) + kEnd, 1,
         HEX_LOADED, 0x0020, 0x0020},
        {"first line of type 04 gives start 0",
         ":020000040000FA\n" + Records16({0x40, 0x50}) + kEnd, 1, HEX_LOADED, 0x0000, 0x0060},
        {"count 0 ends the reading", three + Record(0, 0x0030, {}) + "garbage\n", 1, HEX_LOADED,
         0x0000, 0x0030},
        {"end record with an address moves the end, undoubled", three + ":00003401CB\n", 2,
         HEX_LOADED, 0x0000, 0x0034},
        {"long line, second piece begins with a blank", LongLine(' ') + kEnd, 1, HEX_CHECKSUM_ERROR,
         0, 0},
        {"long line, second piece without ':'", Records16({0}) + LongLine('x') + kEnd, 1,
         HEX_CHECKSUM_ERROR, 0, 0},
        {"long line, second piece begins with ':'", LongLine(':') + kEnd, 1, HEX_LOADED, 0x0010,
         0x0014},
        {"first line bad", Record(0, 0, Run(1, 4), true) + three + kEnd, 1, HEX_CHECKSUM_ERROR, 0,
         0},
        {"later line bad", three + ":0400\n" + kEnd, 1, HEX_CHECKSUM_ERROR, 0, 0},
        {"no end record, last line with a break", three, 1, HEX_READ_ERROR, 0, 0},
        {"empty file", "", 1, HEX_NO_LINE, 0, 0},
        // What 16-bit start and end cannot describe.
        {"a single data record never sets the end", Records16({0x40}) + kEnd, 1, HEX_RANGE_ERROR, 0,
         0},
        {"later records all at address 0", Records16({0x40, 0x00}) + kEnd, 2, HEX_RANGE_ERROR, 0,
         0},
        {"full 64 KiB ends at 0x10000", full + kEnd, 1, HEX_RANGE_ERROR, 0, 0},
        {"64 KiB less one record", almostFull + kEnd, 1, HEX_LOADED, 0x0000, 0xFFF0},
        {"end at 0x10000 moved back by a later record", Records16({0x0000, 0xFFF0, 0x0100}) + kEnd,
         1, HEX_LOADED, 0x0000, 0x0110},
        {"OD record past 0xFFFF", Records16({0x0000, 0xFFF8}) + kEnd, 1, HEX_RANGE_ERROR, 0, 0},
        {"Stepper word 0x8000 in the first line", Records16({0x8000, 0x0010}) + kEnd, 2,
         HEX_RANGE_ERROR, 0, 0},
        {"extended address moved after data",
         Records16({0x0000, 0x0010}) + ":020000040001F9\n" + Records16({0x0000}) + kEnd, 1,
         HEX_RANGE_ERROR, 0, 0},
        {"segment address moved after data",
         Records16({0x0000, 0x0010}) + ":020000021000EC\n" + Records16({0x0000}) + kEnd, 2,
         HEX_RANGE_ERROR, 0, 0},
        {"one fixed base before the data",
         ":020000040800F2\n" + Records16({0x0000, 0x0010}) + ":020000040800F2\n" + kEnd, 1,
         HEX_LOADED, 0x0000, 0x0020},
        {"Stepper record past the image", three + Record(0, 0xFFFF, Run(0, 255)) + kEnd, 2,
         HEX_RANGE_ERROR, 0, 0},
    };
}

TEST(HexFile, OutcomesAndRanges) {
    for (const FileCase& c : FileCases()) {
        SCOPED_TRACE(c.what);
        Load load = LoadText(c.text, c.multiplier);
        EXPECT_EQ(load.outcome, c.outcome);
        if (c.outcome == HEX_LOADED) {
            EXPECT_EQ(load.start, c.start);
            EXPECT_EQ(load.end, c.end);
        } else {
            EXPECT_EQ(load.start, 0x5A5A) << "start written without HEX_LOADED";
            EXPECT_EQ(load.end, 0x5A5A) << "end written without HEX_LOADED";
        }
    }
}

TEST(HexFile, StepperPlacesWordsAtTwiceTheirAddress) {
    Load load = LoadText(Records16({0x0000, 0x0010, 0x0020}) + kEnd, 2);
    ASSERT_EQ(load.outcome, HEX_LOADED);
    EXPECT_TRUE(ImageHolds(
        load.image, {{0x00, Bytes(16, 0x00)}, {0x20, Bytes(16, 0x10)}, {0x40, Bytes(16, 0x20)}}));
}

// An objcopy program with an entry point ends with a type 05 record at address 0000, and
// srec_cat begins with a type 04 record: neither may touch the image.
TEST(HexFile, AddressRecordsLeaveTheImageAlone) {
    Load load = LoadText(
        ":020000040000FA\n" + Records16({0x0200, 0x0210}) + ":0400000508001234A9\n" + kEnd, 1);
    ASSERT_EQ(load.outcome, HEX_LOADED);
    EXPECT_EQ(load.start, 0x0000);
    EXPECT_EQ(load.end, 0x0220);
    EXPECT_TRUE(ImageHolds(load.image, {{0x200, Bytes(16, 0x00)}, {0x210, Bytes(16, 0x10)}}));
}

// A last line without a line break reads as the same line with one: the record with result 0
// still ends the load, and without one the next read fails just the same.
TEST(HexFile, LastLineWithoutBreakLoadsLikeWithOne) {
    const std::string three = Records16({0x0000, 0x0010, 0x0020});
    const std::vector<std::pair<std::string, UINT>> files = {
        {three + kEnd, 1},
        {three + kEnd, 2},
        {three, 1},
        {Records16({0x40}), 2},
        {three + ":00003401CB\n", 1},
        {three + Record(0, 0x0030, {}), 2},
        {three + ":0400100001020304E3\n", 1},
    };
    for (const auto& [text, multiplier] : files) {
        SCOPED_TRACE(text);
        std::string unbroken = text;
        unbroken.pop_back();
        Load with = LoadText(text, multiplier), without = LoadText(unbroken, multiplier);
        EXPECT_EQ(without.outcome, with.outcome);
        EXPECT_EQ(without.start, with.start);
        EXPECT_EQ(without.end, with.end);
        EXPECT_EQ(without.image, with.image);
    }
    EXPECT_EQ(LoadText(three, 1).outcome, HEX_READ_ERROR);
}

// ---- Files made by the real tools ----

// objcopy ends its lines with CRLF and srec_cat with LF; every file is loaded both ways.
std::string WithLf(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r')
            out += c;
    return out;
}

std::string WithCrlf(const std::string& text) {
    std::string out;
    for (char c : WithLf(text)) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string WithLowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct ToolCase {
    const char* what;
    const char* command; // makes out.hex from in.bin
    size_t size;         // of in.bin
    DWORD position;      // byte position of in.bin in the image
    UINT multiplier;
    int outcome;
    WORD start; // with HEX_LOADED; the end is always position + size
};

// A Stepper file counts words: srec_cat writes S-records with word addresses, one 16-byte
// block each, and objcopy turns each into an Intel HEX record.
#define STEPPER_FILE(offset)                                                                       \
    "srec_cat in.bin -binary -offset " offset " -o words.s19 -Motorola 2 -Output_Block_Size 16"    \
    " && objcopy -I srec -O ihex words.s19 out.hex"

const ToolCase kToolCases[] = {
    {"objcopy", "objcopy -I binary -O ihex in.bin out.hex", 1000, 0, 1, HEX_LOADED, 0},
    {"objcopy at 0x200", "objcopy -I binary -O ihex --change-addresses 0x200 in.bin out.hex", 1000,
     0x200, 1, HEX_LOADED, 0x200},
    {"objcopy, entry point in a type 05 record",
     "objcopy -I binary -O ihex --set-start 0x08001234 in.bin out.hex", 1000, 0, 1, HEX_LOADED, 0},
    {"objcopy, entry point in a type 03 record",
     "objcopy -I binary -O ihex --set-start 0x1234 in.bin out.hex", 1000, 0, 1, HEX_LOADED, 0},
    {"srec_cat at 0x200, type 04 first", "srec_cat in.bin -binary -offset 0x200 -o out.hex -Intel",
     1000, 0x200, 1, HEX_LOADED, 0},
    {"srec_cat, records of 255 bytes",
     "srec_cat in.bin -binary -offset 0x10 -o out.hex -Intel -Output_Block_Size 255", 3000, 0x10, 1,
     HEX_LOADED, 0},
    {"objcopy, 64 KiB less 16 bytes", "objcopy -I binary -O ihex in.bin out.hex", 0xFFF0, 0, 1,
     HEX_LOADED, 0},
    {"objcopy, full 64 KiB", "objcopy -I binary -O ihex in.bin out.hex", 0x10000, 0, 1,
     HEX_RANGE_ERROR, 0},
    {"Stepper", STEPPER_FILE("0x200"), 1000, 0x200, 2, HEX_LOADED, 0x200},
    {"Stepper from 0", STEPPER_FILE("0"), 4000, 0, 2, HEX_LOADED, 0},
    {"Stepper, 64 KiB less 16 bytes", STEPPER_FILE("0"), 0xFFF0, 0, 2, HEX_LOADED, 0},
    {"Stepper, full 64 KiB", STEPPER_FILE("0"), 0x10000, 0, 2, HEX_RANGE_ERROR, 0},
    {"Stepper, past word 0x8000", STEPPER_FILE("0xFE00"), 0x400, 0, 2, HEX_RANGE_ERROR, 0},
};

void PrintTo(const ToolCase& c, std::ostream* out) {
    *out << c.what;
}

class HexToolFile : public ::testing::TestWithParam<ToolCase> {};

TEST_P(HexToolFile, LoadsAsTheBinary) {
    const ToolCase& c = GetParam();
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::filesystem::path dir =
        std::filesystem::path(KORVANE_BINARY_DIR) / "hex-files" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    Bytes binary(c.size);
    std::mt19937 random(static_cast<unsigned>(c.size));
    for (BYTE& b : binary)
        b = static_cast<BYTE>(random());
    std::ofstream(dir / "in.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(binary.data()), binary.size());

    const std::string command = "cd '" + dir.string() + "' && " + c.command;
    ASSERT_EQ(std::system(command.c_str()), 0)
        << command << "\n(objcopy is in binutils and srec_cat in srecord: scripts/install-deps)";
    const std::string made = testsupport::Slurp((dir / "out.hex").string());
    ASSERT_FALSE(made.empty());

    const std::pair<const char*, std::string> forms[] = {{"as made", made},
                                                         {"LF", WithLf(made)},
                                                         {"CRLF", WithCrlf(made)},
                                                         {"lower case", WithLowerCase(made)}};
    for (const auto& [form, text] : forms) {
        SCOPED_TRACE(form);
        std::ofstream(dir / "load.hex", std::ios::binary) << text;
        FILE* file = std::fopen((dir / "load.hex").c_str(), "r");
        ASSERT_NE(file, nullptr);
        Load load;
        load.outcome = LoadHexImage(file, load.image.data(), c.multiplier, &load.start, &load.end);
        std::fclose(file);
        ASSERT_EQ(load.outcome, c.outcome);
        if (c.outcome != HEX_LOADED)
            continue;
        EXPECT_EQ(load.start, c.start);
        EXPECT_EQ(load.end, static_cast<WORD>(c.position + c.size));
        EXPECT_TRUE(ImageHolds(load.image, {{c.position, binary}}));
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, HexToolFile, ::testing::ValuesIn(kToolCases),
                         [](const ::testing::TestParamInfo<ToolCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

} // namespace
