// Firmware files for the benchmark programs, made as operators make them (GNU objcopy for OD,
// srec_cat with word addresses and objcopy for Stepper), loaded with the system's own loader,
// and the simulator's memory dump compared with what was flashed.
#pragma once

#include "protocol/Slaves.h"
#include "update/HexImage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace benchsim {

struct FlashImage {
    bool ok = false;
    bool od = true;
    std::vector<BYTE> image = std::vector<BYTE>(HEX_IMAGE_SIZE, 0xFF);
    WORD start = 0;
    WORD end = 0;
    int outcome = -1;
    std::string path;

    UINT Multiplier() const { return od ? OD_ADDRESS_UNIT : STEPPER_ADDRESS_UNIT; }
    UINT BlockLength() const { return od ? OD_BLOCK_LENGTH : STEPPER_BLOCK_LENGTH; }
    UINT Length() const { return WORD(end - start); }
    UINT Blocks() const { return (Length() + BlockLength() - 1) / BlockLength(); }
};

// Writes `size` random bytes (from `seed`) as a HEX file at byte position `offset` in `dir`
// and loads it as the update would. OD files count bytes, Stepper files words.
inline FlashImage MakeImage(const std::string& dir, bool od, size_t size, unsigned offset,
                            unsigned seed) {
    FlashImage made;
    made.od = od;
    const std::string bin = dir + "/in.bin";
    made.path = dir + (od ? "/od.hex" : "/stepper.hex");
    {
        std::vector<char> bytes(size);
        std::mt19937 random(seed);
        for (char& b : bytes)
            b = char(random());
        std::ofstream(bin, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    char offsetText[32];
    std::snprintf(offsetText, sizeof offsetText, "0x%x", od ? offset : offset / 2);
    const std::string command =
        od ? "objcopy -I binary -O ihex --change-addresses " + std::string(offsetText) + " '" +
                 bin + "' '" + made.path + "'"
           : "cd '" + dir + "' && srec_cat in.bin -binary -offset " + offsetText +
                 " -o words.s19 -Motorola 2 -Output_Block_Size 16 && objcopy -I srec -O ihex " +
                 "words.s19 '" + made.path + "'";
    if (std::system(command.c_str()) != 0)
        return made;
    FILE* file = std::fopen(made.path.c_str(), "r");
    if (!file)
        return made;
    made.outcome = LoadHexImage(file, made.image.data(), made.Multiplier(), &made.start, &made.end);
    std::fclose(file);
    made.ok = made.outcome == HEX_LOADED;
    return made;
}

// The sim's dump: byte position (address times unit) to byte. False when it cannot be read.
inline bool LoadDump(const std::string& path, unsigned unit, std::map<uint32_t, BYTE>* memory) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line.size() < 11 || line[0] != ':')
            return false;
        std::vector<unsigned> rec;
        for (size_t i = 1; i + 1 < line.size(); i += 2)
            rec.push_back(unsigned(std::strtoul(line.substr(i, 2).c_str(), nullptr, 16)));
        if (rec.size() < 5)
            return false;
        const uint32_t address = rec[1] << 8 | rec[2];
        if (rec[3] == 1) {
            ended = true;
            break;
        }
        for (unsigned i = 0; i < rec[0] && 4 + i < rec.size(); ++i)
            (*memory)[address * unit + i] = BYTE(rec[4 + i]);
    }
    return ended;
}

// Whether the slave holds exactly the blocks the update sends: every byte from start through the
// last whole block as in the image, and nothing programmed anywhere else.
inline bool DumpMatches(const std::string& dumpPath, const FlashImage& flashed,
                        std::string* why = nullptr) {
    std::map<uint32_t, BYTE> memory;
    if (!LoadDump(dumpPath, flashed.Multiplier(), &memory)) {
        if (why)
            *why = "no readable dump";
        return false;
    }
    const uint32_t first = flashed.start;
    const uint32_t last = first + flashed.Blocks() * flashed.BlockLength();
    for (uint32_t at = first; at < last; ++at) {
        auto found = memory.find(at);
        const BYTE held = found == memory.end() ? 0xFF : found->second;
        if (held != flashed.image[at]) {
            if (why)
                *why = "byte " + std::to_string(at) + " differs";
            return false;
        }
    }
    for (const auto& [at, value] : memory) {
        (void)value;
        if (at < first || at >= last) {
            if (why)
                *why = "byte " + std::to_string(at) + " programmed outside the range";
            return false;
        }
    }
    return true;
}

} // namespace benchsim
