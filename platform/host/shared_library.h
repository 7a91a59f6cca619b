// A system library the program loads only when it first needs it, such as the PostgreSQL or the
// MQTT client, so that a flash never maps, binds or pays for libraries it does not use: a gang
// of 32 ports starts 32 programs at once, each on a small host.
#pragma once

#include <mutex>
#include <string>

namespace host {

// Opens the library by its file name (its soname, as the dynamic loader finds it) and keeps it
// until the program exits; null with *why (the loader's words) when it is not there.
// LoadFunctionTable below calls it once a table.
void* OpenSharedLibrary(const char* soname, std::string* why);

// The address of `symbol` in a library from OpenSharedLibrary; null with *why when it has none.
void* SharedLibrarySymbol(void* library, const char* soname, const char* symbol, std::string* why);

} // namespace host

namespace host {

// Resolves `symbol` into the function pointer *slot; false with *why when it is missing.
template <typename Function>
bool ResolveSharedLibrarySymbol(void* library, const char* soname, const char* symbol,
                                Function* slot, std::string* why) {
    void* address = SharedLibrarySymbol(library, soname, symbol, why);
    *slot = reinterpret_cast<Function>(address);
    return address != nullptr;
}

// The table of a library's functions, Table, loaded once on the first call: `fill(library,
// table, why)` resolves each of them. Null with *why when the library or a function is missing.
template <typename Table, typename Fill>
const Table* LoadFunctionTable(const char* soname, Fill fill, std::string* why) {
    static Table s_table;
    static bool s_loaded = false;
    static std::string s_why;
    static std::once_flag s_once;
    std::call_once(s_once, [&] {
        void* library = OpenSharedLibrary(soname, &s_why);
        s_loaded = library != nullptr && fill(library, &s_table, &s_why);
    });
    if (!s_loaded)
        *why = s_why;
    return s_loaded ? &s_table : nullptr;
}

} // namespace host
