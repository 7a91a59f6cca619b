#include "line/LibPq.h"

#include "platform/host/shared_library.h"

namespace line {

namespace {
const char kSoname[] = "libpq.so.5"; // the library's interface version, as Debian's libpq5
} // namespace

const LibPq* LoadLibPq(std::string* why) {
    std::string error;
    const LibPq* table = host::LoadFunctionTable<LibPq>(
        kSoname,
        [](void* library, LibPq* slots, std::string* failed) {
            bool ok = true;
#define KORVANE_LIBPQ_RESOLVE(name)                                                                \
    ok = ok && host::ResolveSharedLibrarySymbol(library, kSoname, #name, &slots->name, failed);
            KORVANE_LIBPQ_FUNCTIONS(KORVANE_LIBPQ_RESOLVE)
#undef KORVANE_LIBPQ_RESOLVE
            return ok;
        },
        &error);
    if (!table)
        *why = "the PostgreSQL client library (libpq5) cannot be loaded: " + error;
    return table;
}

} // namespace line
