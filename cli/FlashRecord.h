// The record of one slave's update: what the board got and how it ended, one JSON object on
// one line (JSON Lines), made by the command layer from what the dialog showed, what the
// loader gives for the file and what the transport counted.
#pragma once

#include "protocol/Targets.h"

#include <cstdint>
#include <optional>
#include <string>

// The approved recipe a slave was flashed from.
struct RECIPE_RECORD {
    std::string name;
    std::string revision;
    std::string sha256;                // of the recipe file
    std::optional<std::string> signer; // the key id in hex; none when run with --unsigned
};

// The serial number a slave was given, and its state in the journal once its outcome was
// committed: "used", "void" or "returned".
struct SERIAL_RECORD {
    std::string pool;
    std::string value;  // a counter's decimal number, a list's hex
    bool number = true; // a counter's: the record writes it as a number
    std::string state;
};

struct FLASH_RECORD {
    std::string time; // the start, UTC, ISO 8601 with milliseconds
    std::string host;
    std::string port;                  // the device path opened
    std::optional<std::string> portId; // its /dev/serial/by-path or by-id name
    const TARGET_KIND* target = &g_odTarget;
    uint8_t slave = 0;
    std::string file; // as given, or the recipe's image
    std::optional<int64_t> fileBytes;
    std::optional<std::string> fileSha256;
    std::optional<int64_t> start, end, blocks; // the loader's range and the blocks it needs
    int64_t exchanges = 0;                     // requests written, every attempt counted
    int64_t retries = 0;                       // attempts beyond the first
    std::optional<int64_t> status;             // the slave's status byte, when it gave one
    std::string result; // the text that decided the exit status, or "interrupted"
    int exit = 0;
    double seconds = 0;
    std::optional<RECIPE_RECORD> recipe; // none for a free flash
    std::optional<SERIAL_RECORD> serial; // none without a recipe's [serial]
    std::string id;      // a UUID of its own, so that a copy forwarded twice can be dropped
    std::string station; // the station file's name, else the host's
};

std::string RecordJson(const FLASH_RECORD& record);
