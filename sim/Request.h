// A request as the slaves understand it, and the check that turns a frame's bytes into one.
//
// A request is 7E, address, 13, 02, 00, block length L, exactly one parameter (identifier,
// length n, n value bytes) filling the block, FCS-16 low then high byte, 7E, escaped between
// the flags. What each command carries:
//   ReadData  0: nothing (the next block at the read cursor); or, as an extension of the
//                simulator, a 16-bit address, optionally followed by a byte count (1 to 253)
//   Reset     1: nothing
//   GetStatus 2: nothing
//   Erase     3: a 16-bit start address
//   Program   4: a 16-bit address and one block (64 bytes for OD, 128 for Stepper)
// Addresses are in the slave's unit (bytes for OD, words for Stepper), high byte first.
#pragma once

#include "protocol/Targets.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksim {

enum class Command : uint8_t { ReadData = 0, Reset = 1, GetStatus = 2, Erase = 3, Program = 4 };

const char* CommandName(Command command);

struct Request {
    uint8_t slave = 0;
    const TARGET_KIND* kind = nullptr;
    Command command = Command::GetStatus;
    bool hasAddress = false;   // Erase, Program, and ReadData given an address
    uint16_t address = 0;      // in the slave's unit
    uint16_t readCount = 0;    // ReadData: bytes asked for; 0 means one block
    std::vector<uint8_t> data; // Program: the block
};

struct DecodedRequest {
    bool valid = false;
    Request request;          // complete when valid
    std::string why;          // when not valid: why it gets no answer
    int slave = -1;           // the address byte, when the frame got that far
    int command = -1;         // the parameter identifier, when the frame got that far
    std::vector<uint8_t> raw; // the unescaped frame body (address up to the FCS)
};

// Checks one frame (the bytes between the flags, escaped) and decodes it.
DecodedRequest DecodeRequest(const std::vector<uint8_t>& escaped);

} // namespace ksim
