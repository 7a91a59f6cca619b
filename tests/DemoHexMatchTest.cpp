// scripts/hex-match, which tells the demo's operator whether a slave's memory (the simulator's
// dump) holds the image: every byte of the file, and nothing but 0xFF besides.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int status;
    std::string output;
};

Result Match(const std::string& arguments) {
    const std::string command = "'" KORVANE_SOURCE_DIR "/scripts/hex-match' " + arguments + " 2>&1";
    Result result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 512> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// One data record.
std::string Record(unsigned address, const std::string& hexData) {
    const unsigned count = static_cast<unsigned>(hexData.size() / 2);
    unsigned sum = count + (address >> 8) + (address & 0xFF);
    for (size_t i = 0; i < hexData.size(); i += 2)
        sum += static_cast<unsigned>(std::stoul(hexData.substr(i, 2), nullptr, 16));
    char head[16], tail[8];
    std::snprintf(head, sizeof head, ":%02X%04X00", count, address);
    std::snprintf(tail, sizeof tail, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return head + hexData + tail;
}

} // namespace

TEST(DemoHexMatch, TellsMatchingFromDifferingMemory) {
    char dir[] = "/tmp/korvane-hexmatch-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string folder = dir;
    // The image as objcopy makes it: 40 bytes of a binary at byte 0 (records of 16 bytes).
    {
        std::ofstream bin(folder + "/in.bin", std::ios::binary);
        for (int i = 0; i < 40; ++i)
            bin.put(static_cast<char>(i * 7));
    }
    ASSERT_EQ(
        std::system(("cd " + folder + " && objcopy -I binary -O ihex in.bin image.hex").c_str()),
        0);
    std::string data;
    char pair[3];
    for (int i = 0; i < 40; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", (i * 7) & 0xFF);
        data += pair;
    }
    const std::string end = ":00000001FF\n";
    const std::string ff(48, 'F');
    struct Case {
        const char* what;
        std::string dump;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"the same bytes, the last block padded with FF",
         Record(0, data.substr(0, 32)) + Record(16, data.substr(32, 32)) +
             Record(32, data.substr(64) + ff),
         0, "memory matches the file (40 bytes)"},
        {"one byte changed",
         Record(0, data.substr(0, 32)) + Record(16, "00" + data.substr(34, 30)) +
             Record(32, data.substr(64)),
         1, "1 byte, the first at byte 0x0010"},
        {"the last record missing", Record(0, data.substr(0, 32)) + Record(16, data.substr(32, 32)),
         1, "8 bytes, the first at byte 0x0020"},
        {"something but FF beyond the file",
         Record(0, data.substr(0, 32)) + Record(16, data.substr(32, 32)) +
             Record(32, data.substr(64) + "00"),
         1, "1 byte, the first at byte 0x0028"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(folder + "/dump.hex") << c.dump << end;
        const Result result = Match("1 " + folder + "/image.hex " + folder + "/dump.hex");
        EXPECT_EQ(result.status, c.status) << result.output;
        EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
    }
    // A Stepper dump counts words: the same bytes at half the addresses.
    std::ofstream(folder + "/words.hex")
        << Record(0, data.substr(0, 32)) + Record(8, data.substr(32, 32)) +
               Record(16, data.substr(64))
        << end;
    std::ofstream(folder + "/dump.hex")
        << Record(0, data.substr(0, 32)) + Record(8, data.substr(32, 32)) +
               Record(16, data.substr(64))
        << end;
    EXPECT_EQ(Match("2 " + folder + "/words.hex " + folder + "/dump.hex").status, 0);
    EXPECT_EQ(Match("1 " + folder + "/image.hex " + folder + "/dump.hex").status, 1);
    EXPECT_EQ(Match("3 " + folder + "/image.hex " + folder + "/dump.hex").status, 2);
    EXPECT_EQ(Match("1 " + folder + "/missing.hex " + folder + "/dump.hex").status, 2);
    std::system(("rm -rf " + folder).c_str());
}
