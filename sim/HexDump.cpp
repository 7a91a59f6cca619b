#include "sim/HexDump.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ksim {

namespace {

void Record(std::string& out, unsigned address, const uint8_t* data, size_t size) {
    char text[16];
    unsigned sum = unsigned(size) + (address >> 8) + (address & 0xff);
    std::snprintf(text, sizeof text, ":%02X%04X00", unsigned(size), address);
    out += text;
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(text, sizeof text, "%02X", data[i]);
        out += text;
        sum += data[i];
    }
    std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xff)) & 0xff);
    out += text;
}

} // namespace

std::string IntelHex(const SlaveMemory& memory) {
    std::string out;
    const size_t unit = memory.Kind().addressUnit;
    // A unit (byte or word) is written when any of its bytes was programmed.
    auto programmed = [&](size_t offset) {
        for (size_t i = 0; i < unit; ++i)
            if (memory.IsProgrammed(offset + i))
                return true;
        return false;
    };
    size_t offset = memory.EverProgrammed() ? 0 : memory.Size();
    while (offset < memory.Size()) {
        if (!programmed(offset)) {
            offset += unit;
            continue;
        }
        // A record runs to the end of the programmed run or to a 16-byte boundary.
        size_t end = offset + unit;
        while (end < memory.Size() && end % 16 != 0 && programmed(end))
            end += unit;
        uint8_t data[16];
        for (size_t i = offset; i < end; ++i)
            data[i - offset] = memory.At(i);
        Record(out, unsigned(offset / unit), data, end - offset);
        offset = end;
    }
    out += ":00000001FF\n";
    return out;
}

std::string DumpName(uint8_t address) {
    char name[32];
    std::snprintf(name, sizeof name, "slave-%02x.hex", address);
    return name;
}

bool WriteHexDumps(const std::string& dir, const SlaveSet& slaves,
                   std::vector<std::string>* written, std::string* error) {
    for (const SlaveMemory& slave : slaves.Slaves()) {
        if (!slave.Changed())
            continue;
        std::string path = dir + "/" + DumpName(slave.Address());
        std::string temp = path + ".tmp";
        std::string text = IntelHex(slave);
        FILE* f = std::fopen(temp.c_str(), "w");
        bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (f && std::fclose(f) != 0)
            ok = false;
        if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            std::remove(temp.c_str());
            return false;
        }
        written->push_back(path);
    }
    return true;
}

} // namespace ksim
