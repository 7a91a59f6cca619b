#include "cli/FlashRecord.h"
#include "cli/Json.h"

#include "korvane_version.h"

#include <cmath>

std::string RecordJson(const FLASH_RECORD& r) {
    Json json;
    json["time"] = r.time;
    json["host"] = r.host;
    json["korvane"] = KORVANE_VERSION;
    json["port"] = r.port;
    json["port_id"] = JsonOrNull(r.portId);
    json["target"] = r.target->name;
    json["slave"] = r.slave;
    json["file"] = r.file;
    json["file_bytes"] = JsonOrNull(r.fileBytes);
    json["file_sha256"] = JsonOrNull(r.fileSha256);
    json["start"] = JsonOrNull(r.start);
    json["end"] = JsonOrNull(r.end);
    json["blocks"] = JsonOrNull(r.blocks);
    json["exchanges"] = r.exchanges;
    json["retries"] = r.retries;
    json["status"] = JsonOrNull(r.status);
    json["result"] = r.result;
    json["exit"] = r.exit;
    json["seconds"] = std::round(r.seconds * 1000) / 1000; // to the millisecond
    if (r.recipe)
        json["recipe"] = {{"name", r.recipe->name},
                          {"revision", r.recipe->revision},
                          {"sha256", r.recipe->sha256},
                          {"signer", JsonOrNull(r.recipe->signer)}};
    else
        json["recipe"] = nullptr;
    if (r.serial) {
        Json value = r.serial->value;
        if (r.serial->number)
            value = std::stoull(r.serial->value);
        json["serial"] = {{"pool", r.serial->pool}, {"value", value}, {"state", r.serial->state}};
    } else {
        json["serial"] = nullptr;
    }
    json["id"] = r.id;
    json["station"] = r.station;
    return JsonText(json);
}
