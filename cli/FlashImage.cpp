#include "cli/FlashImage.h"

#include "afxstr.h"
#include "line/Sha256.h"
#include "update/HexImage.h"
#include "wstdio.h"

#include <cstring>
#include <memory>
#include <vector>

CFlashImage::READ CFlashImage::Read(const std::string& file, std::string* why) {
    m_file = file;
    m_read = false;
    m_sha256.clear();
    FILE* stream = _wfopen(CString(file.c_str()), L"rb");
    if (!stream) {
        *why = "cannot be opened";
        return READ_FAILED;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) {
        if (bytes.size() + got > MAX_BYTES) {
            std::fclose(stream);
            *why = "larger than 64 MiB; no HEX image of a slave is";
            return READ_TOO_LARGE;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool whole = !std::ferror(stream);
    std::fclose(stream);
    if (!whole) {
        *why = "cannot be read";
        return READ_FAILED;
    }
    return Hold(file, bytes, why);
}

CFlashImage::READ CFlashImage::Hold(const std::string& file, const std::vector<uint8_t>& bytes,
                                    std::string* why) {
    m_file = file;
    m_read = false;
    m_sha256.clear();
    if (bytes.size() > MAX_BYTES) {
        *why = "larger than 64 MiB; no HEX image of a slave is";
        return READ_TOO_LARGE;
    }
    if (!m_copy.Make(bytes, why))
        return READ_FAILED;
    m_bytes = static_cast<int64_t>(bytes.size());
    m_sha256 = line::Sha256Hex(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    m_read = true;
    return READ_OK;
}

std::string CFlashImage::DialogPath() const {
    return m_read ? m_copy.Path() : m_file;
}

void CFlashImage::Describe(const TARGET_KIND& target, FLASH_RECORD* record) const {
    if (!m_read)
        return;
    record->fileBytes = m_bytes;
    record->fileSha256 = m_sha256;
    // The loader reads the copy as the update will: text mode, from its start.
    FILE* stream = _wfopen(CString(m_copy.Path().c_str()), L"r");
    if (!stream)
        return;
    std::unique_ptr<BYTE[]> image(new BYTE[HEX_IMAGE_SIZE]);
    std::memset(image.get(), 0xFF, HEX_IMAGE_SIZE);
    WORD start = 0, end = 0;
    const int outcome = LoadHexImage(stream, image.get(), target.addressUnit, &start, &end);
    std::fclose(stream);
    if (outcome != HEX_LOADED)
        return;
    const unsigned blockLength = target.blockLength;
    const unsigned length = static_cast<WORD>(end - start);
    record->start = start;
    record->end = end;
    record->blocks = (length + blockLength - 1) / blockLength;
}
