#include "cli/FlashRecord.h"
#include "cli/Json.h"

#include "korvane_version.h"

std::string RecordJson(const FLASH_RECORD& r) {
    JsonObject json;
    json.Add("time", r.time)
        .Add("host", r.host)
        .Add("korvane", KORVANE_VERSION)
        .Add("port", r.port)
        .Add("port_id", r.portId)
        .Add("target", r.target->name)
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
