#include "cli/FlashRecord.h"
#include "cli/Json.h"
#include "cli/Sha256.h"

#include "afxstr.h"
#include "korvane_version.h"
#include "protocol/Slaves.h"
#include "update/HexImage.h"
#include "wstdio.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

// The file as the dialog's file field takes it (a path that begins with \ lies in the device
// file system).
FILE* OpenAsTheDialogDoes(const std::string& file, const wchar_t* mode) {
    return _wfopen(CString(file.c_str()), mode);
}

} // namespace

std::string RecordJson(const FLASH_RECORD& r) {
    JsonObject json;
    json.Add("time", r.time)
        .Add("host", r.host)
        .Add("korvane", KORVANE_VERSION)
        .Add("port", r.port)
        .Add("port_id", r.portId)
        .Add("target", r.od ? "OD" : "Stepper")
        .Add("slave", static_cast<int64_t>(r.slave))
        .Add("file", r.file)
        .Add("file_bytes", r.fileBytes)
        .Add("file_sha256", r.fileSha256)
        .Add("start", r.start)
        .Add("end", r.end)
        .Add("blocks", r.blocks)
        .Add("exchanges", r.exchanges)
        .Add("retries", r.retries)
        .Add("status", r.status)
        .Add("result", r.result)
        .Add("exit", r.exit)
        .Add("seconds", r.seconds);
    return json.Text();
}

void DescribeFile(const std::string& file, bool od, FLASH_RECORD* record) {
    FILE* stream = OpenAsTheDialogDoes(file, L"rb");
    if (!stream)
        return;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool readWhole = !std::ferror(stream);
    std::fclose(stream);
    if (!readWhole)
        return;
    record->fileBytes = static_cast<int64_t>(bytes.size());
    record->fileSha256 = Sha256Hex(bytes.data(), bytes.size());

    stream = OpenAsTheDialogDoes(file, L"r");
    if (!stream)
        return;
    std::unique_ptr<BYTE[]> image(new BYTE[HEX_IMAGE_SIZE]);
    std::memset(image.get(), 0xFF, HEX_IMAGE_SIZE);
    WORD start = 0, end = 0;
    const int outcome = LoadHexImage(stream, image.get(),
                                     od ? OD_ADDRESS_UNIT : STEPPER_ADDRESS_UNIT, &start, &end);
    std::fclose(stream);
    if (outcome != HEX_LOADED)
        return;
    const unsigned blockLength = od ? OD_BLOCK_LENGTH : STEPPER_BLOCK_LENGTH;
    const unsigned length = static_cast<WORD>(end - start);
    record->start = start;
    record->end = end;
    record->blocks = (length + blockLength - 1) / blockLength;
}
