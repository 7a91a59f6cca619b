#include "line/LibMosquitto.h"

#include "platform/host/shared_library.h"

namespace line {

namespace {
const char kSoname[] = "libmosquitto.so.1"; // the interface version, as Debian's libmosquitto1
} // namespace

const LibMosquitto* LoadLibMosquitto(std::string* why) {
    std::string error;
    const LibMosquitto* table = host::LoadFunctionTable<LibMosquitto>(
        kSoname,
        [](void* library, LibMosquitto* slots, std::string* failed) {
            bool ok = true;
#define KORVANE_LIBMOSQUITTO_RESOLVE(name)                                                         \
    ok = ok && host::ResolveSharedLibrarySymbol(library, kSoname, #name, &slots->name, failed);
            KORVANE_LIBMOSQUITTO_FUNCTIONS(KORVANE_LIBMOSQUITTO_RESOLVE)
#undef KORVANE_LIBMOSQUITTO_RESOLVE
            return ok;
        },
        &error);
    if (!table)
        *why = "the MQTT client library (libmosquitto1) cannot be loaded: " + error;
    return table;
}

} // namespace line
