// The image a run flashes: FILE read once, hashed, and handed to the dialog as a sealed copy in
// memory. The record then describes exactly the bytes the update loaded, even when FILE is
// replaced while the run waits (OD's 2 s before the file is read) or between two slaves.
#pragma once

#include "cli/FlashRecord.h"
#include "platform/host/sealed_copy.h"

#include <string>
#include <vector>

class CFlashImage {
public:
    // More than any HEX file of a 128 KiB image needs, and a bound on what a run holds.
    static const size_t MAX_BYTES = 64u << 20;

    enum READ { READ_OK, READ_FAILED, READ_TOO_LARGE };

    // Reads FILE as the dialog's file field takes it (a path that begins with \ lies in the
    // device file system). *why says what went wrong.
    READ Read(const std::string& file, std::string* why);
    // Holds bytes already read (an approved recipe's image), named by file, as Read would
    // have held them.
    READ Hold(const std::string& file, const std::vector<uint8_t>& bytes, std::string* why);
    // What the dialog's file field gets: the sealed copy, or FILE itself when it could not be
    // read, so that the dialog says what it finds ("Error opening file").
    std::string DialogPath() const;
    // Fills the record's file fields: size, SHA-256, and the range the loader gives in the
    // target's mode. They stay empty where the file could not be read or loaded.
    void Describe(const TARGET_KIND& target, FLASH_RECORD* record) const;
    const std::string& Sha256() const { return m_sha256; }

private:
    std::string m_file;
    host::SealedCopy m_copy;
    bool m_read = false;
    int64_t m_bytes = 0;
    std::string m_sha256;
};
