// A recipe's [serial] table, its list, and the value written into the approved image: the
// patched image loads (as the update loads it) to the approved one with only the value's bytes
// changed.
#include "line/Recipe.h"
#include "line/SerialPatch.h"
#include "line/Sha256.h"
#include "protocol/Targets.h"
#include "tests/support/Files.h"
#include "update/HexImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

const std::string kHead = "name = \"N\"\nrevision = \"1\"\ntarget = \"OD\"\nimage = \"i.hex\"\n"
                          "image_sha256 = \"" +
                          std::string(64, 'a') + "\"\n[serial]\npool = \"p\"\naddress = 0x10\n";

line::Verdict Parse(const std::string& text, line::Recipe* recipe) {
    return line::ParseRecipe("/r/recipe.toml", text, recipe);
}

TEST(SerialRecipe, TableRulesPointAtTheirPlace) {
    struct Case {
        std::string table; // after kHead (line 9 on)
        std::string says;  // "" when it is taken
    } cases[] = {
        {"bytes = 4\nformat = \"le\"\nfirst = 1\nlast = 99\n", ""},
        {"bytes = 4\nformat = \"ascii\"\nfirst = 1\nlast = 9999\nstep = 3\non_failure = "
         "\"reuse\"\n",
         ""},
        {"bytes = 6\nlist = \"macs.txt\"\nlist_sha256 = \"" + std::string(64, 'B') + "\"\n", ""},
        {"bytes = 0\nformat = \"le\"\nfirst = 1\nlast = 9\n",
         "9:9: serial.bytes must be a whole number from 1 to 16"},
        {"bytes = 17\nformat = \"le\"\nfirst = 1\nlast = 9\n", "9:9: serial.bytes"},
        {"bytes = 4\nformat = \"bcd\"\nfirst = 1\nlast = 9\n",
         "10:10: serial.format must be \"le\", \"be\" or \"ascii\""},
        {"bytes = 2\nformat = \"le\"\nfirst = 1\nlast = 65536\n",
         "10:10: serial.last (65536) does not fit in 2 bytes"},
        {"bytes = 4\nformat = \"ascii\"\nfirst = 1\nlast = 10000\n",
         "10:10: serial.last (10000) does not fit in 4 bytes"},
        {"bytes = 4\nformat = \"le\"\nfirst = 9\nlast = 1\n",
         "12:8: serial.last is below serial.first"},
        {"bytes = 4\nformat = \"le\"\nfirst = -1\nlast = 1\n", "11:9: serial.first"},
        {"bytes = 4\nformat = \"le\"\nfirst = 1\nlast = 9\nstep = 0\n", "13:8: serial.step"},
        {"bytes = 4\nformat = \"le\"\nfirst = 1\n", "6:1: missing key serial.last"},
        {"bytes = 4\nformat = \"le\"\nfirst = 1\nlast = 9\ncolour = 1\n",
         "13:1: unknown key serial.colour"},
        {"bytes = 4\nlist = \"m.txt\"\n", "6:1: missing key serial.list_sha256 (a list)"},
        {"bytes = 4\nlist = \"m.txt\"\nlist_sha256 = \"" + std::string(64, 'b') + "\"\nfirst = 1\n",
         "12:9: serial.first is for a counter, not a list"},
        {"bytes = 4\nformat = \"le\"\nfirst = 1\nlast = 9\non_failure = \"retry\"\n",
         "13:14: serial.on_failure must be \"void\" or \"reuse\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        line::Recipe recipe;
        const line::Verdict verdict = Parse(kHead + c.table, &recipe);
        if (c.says.empty()) {
            ASSERT_TRUE(verdict.Passed()) << verdict.message;
            EXPECT_TRUE(recipe.serial.present);
            EXPECT_EQ(recipe.serial.address, 0x10u);
            continue;
        }
        EXPECT_EQ(verdict.exitClass, line::kUsageError);
        EXPECT_NE(verdict.message.find("/r/recipe.toml:" + c.says), std::string::npos)
            << verdict.message;
    }
    line::Recipe recipe;
    ASSERT_TRUE(Parse(kHead.substr(0, kHead.find("[serial]")), &recipe).Passed());
    EXPECT_FALSE(recipe.serial.present);
}

TEST(SerialRecipe, ListIsPinnedAndEachLineOneNewValue) {
    const std::string dir = testsupport::MakeTempDir("korvane-serial-list");
    struct Case {
        std::string list;
        bool pin; // list_sha256 is the list's hash
        int exitClass;
        std::string says;
    } cases[] = {
        {"0A0B\n0c0d\r\n", true, 0, ""},
        {"0A0B\n0A0\n", true, 2, "macs.txt:2:1: a value must be exactly 4 hex digits"},
        {"0A0B\n0a0b\n", true, 2, "macs.txt:2:1: value 0a0b is listed twice"},
        {"0A0B\n\n", true, 2, "macs.txt:2:1:"},
        {"0G0B\n", true, 2, "macs.txt:1:1:"},
        {"0A0B\n", false, 7, "does not match its recipe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::ofstream(dir + "/macs.txt", std::ios::trunc) << c.list;
        line::Recipe recipe;
        const std::string hash = c.pin ? line::Sha256Hex(c.list) : std::string(64, '0');
        ASSERT_TRUE(line::ParseRecipe(dir + "/r.toml",
                                      kHead + "bytes = 2\nlist = \"macs.txt\"\nlist_sha256 = \"" +
                                          hash + "\"\n",
                                      &recipe)
                        .Passed());
        const line::Verdict verdict = line::ReadSerialList(&recipe.serial);
        EXPECT_EQ(verdict.exitClass, c.exitClass) << verdict.message;
        EXPECT_NE(verdict.message.find(c.says), std::string::npos) << verdict.message;
        if (c.exitClass == 0) {
            EXPECT_EQ(recipe.serial.values, (std::vector<std::string>{"0a0b", "0c0d"}));
        }
    }
    std::filesystem::remove(dir + "/macs.txt");
    line::Recipe recipe;
    ASSERT_TRUE(line::ParseRecipe(dir + "/r.toml",
                                  kHead + "bytes = 2\nlist = \"macs.txt\"\nlist_sha256 = \"" +
                                      std::string(64, '0') + "\"\n",
                                  &recipe)
                    .Passed());
    EXPECT_EQ(line::ReadSerialList(&recipe.serial).exitClass, line::kFileError);
    std::filesystem::remove_all(dir);
}

TEST(SerialRecipe, ValueBytesFollowTheFormat) {
    line::RecipeSerial serial;
    serial.bytes = 4;
    serial.format = line::SerialFormat::LittleEndian;
    EXPECT_EQ(line::SerialBytes(serial, "100000"), std::string("\xA0\x86\x01\x00", 4));
    serial.format = line::SerialFormat::BigEndian;
    EXPECT_EQ(line::SerialBytes(serial, "100000"), std::string("\x00\x01\x86\xA0", 4));
    serial.format = line::SerialFormat::Ascii;
    EXPECT_EQ(line::SerialBytes(serial, "42"), "0042");
    serial.isList = true;
    EXPECT_EQ(line::SerialBytes(serial, "00a1b2ff"), std::string("\x00\xA1\xB2\xFF", 4));
}

// An Intel HEX record of type 00 at a 16-bit address, in upper or lower case.
std::string Record(unsigned address, const std::vector<unsigned>& data, bool lower = false) {
    unsigned sum = unsigned(data.size()) + (address >> 8) + (address & 0xFF);
    char text[600];
    int n = std::snprintf(text, sizeof text, lower ? ":%02x%04x00" : ":%02X%04X00",
                          unsigned(data.size()), address);
    for (unsigned byte : data) {
        n += std::snprintf(text + n, sizeof text - n, lower ? "%02x" : "%02X", byte);
        sum += byte;
    }
    std::snprintf(text + n, sizeof text - n, lower ? "%02x\r\n" : "%02X\r\n", (-sum) & 0xFF);
    return text;
}

std::vector<BYTE> Load(const std::string& hex, UINT unit) {
    std::vector<BYTE> image(HEX_IMAGE_SIZE, 0xFF);
    FILE* file = std::tmpfile();
    std::fwrite(hex.data(), 1, hex.size(), file);
    std::rewind(file);
    WORD start = 0, end = 0;
    EXPECT_EQ(LoadHexImage(file, image.data(), unit, &start, &end), HEX_LOADED);
    std::fclose(file);
    return image;
}

TEST(SerialRecipe, PatchChangesOnlyTheValueInTheLoadedImage) {
    // Three records: the value spans the end of the first (upper case) and the start of the
    // second (lower case); the third holds nothing of it.
    const std::string approved = Record(0x0000, {1, 2, 3, 4, 5, 6, 7, 8}) +
                                 Record(0x0008, {9, 10, 11, 12}, true) +
                                 Record(0x0010, {0xEE, 0xEE}) + ":00000001FF\r\n";
    struct Case {
        const TARGET_KIND& target;
        unsigned address; // in the target's unit
    } cases[] = {{g_odTarget, 0x0006}, {g_stepperTarget, 0x0003}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.name);
        line::RecipeSerial serial;
        serial.present = true;
        serial.address = c.address;
        serial.bytes = 4;
        serial.format = line::SerialFormat::BigEndian;
        const unsigned unit = c.target.addressUnit;
        // Stepper counts words in the file: its records' addresses are doubled.
        std::string image = approved;
        if (unit == 2)
            image = Record(0x0000, {1, 2, 3, 4, 5, 6, 7, 8}) +
                    Record(0x0004, {9, 10, 11, 12}, true) + Record(0x0008, {0xEE, 0xEE}) +
                    ":00000001FF\r\n";
        ASSERT_TRUE(line::CheckSerialPlace(image, unit, serial).Passed());
        std::string patched;
        const line::Verdict verdict = line::PatchSerial(
            image, unit, serial, line::SerialBytes(serial, "3735928559"), &patched);
        ASSERT_TRUE(verdict.Passed()) << verdict.message;

        const std::vector<BYTE> before = Load(image, unit), after = Load(patched, unit);
        const size_t at = size_t(c.address) * unit;
        for (size_t i = 0; i < before.size(); ++i) {
            if (i >= at && i < at + 4)
                EXPECT_EQ(after[i], (std::vector<BYTE>{0xDE, 0xAD, 0xBE, 0xEF})[i - at]) << i;
            else
                ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
        // The third record and the end record are the same text; the lower-case one stays so.
        EXPECT_EQ(patched.substr(patched.size() - 28), image.substr(image.size() - 28));
        EXPECT_NE(patched.find(":04"), std::string::npos);
        EXPECT_EQ(patched.size(), image.size());
        EXPECT_NE(patched.find("DEAD"), std::string::npos) << patched;
        EXPECT_NE(patched.find("beef"), std::string::npos) << patched;
    }
}

TEST(SerialRecipe, PlaceOutsideTheDataRecordsIsRefused) {
    const std::string image = Record(0x0000, {1, 2, 3, 4}) + Record(0x0006, {7, 8}) +
                              ":0200000400017F\r\n:00000001FF\r\n";
    line::RecipeSerial serial;
    serial.present = true;
    serial.bytes = 2;
    serial.addressPlace = "r.toml:8:11: ";
    for (unsigned address : {0x0003u, 0x0005u, 0x0100u, 0xFFFFu}) {
        SCOPED_TRACE(address);
        serial.address = address;
        std::string patched = "x";
        const line::Verdict verdict =
            line::PatchSerial(image, 1, serial, std::string("\xAA\xBB", 2), &patched);
        EXPECT_EQ(verdict.exitClass, line::kUsageError);
        EXPECT_EQ(verdict.message.rfind("r.toml:8:11: serial.address", 0), 0u) << verdict.message;
        EXPECT_TRUE(patched.empty());
        EXPECT_EQ(line::CheckSerialPlace(image, 1, serial).exitClass, line::kUsageError);
    }
    serial.address = 0x0006;
    EXPECT_TRUE(line::CheckSerialPlace(image, 1, serial).Passed());
}

} // namespace
