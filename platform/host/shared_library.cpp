#include "platform/host/shared_library.h"

#include <dlfcn.h>

namespace host {

void* OpenSharedLibrary(const char* soname, std::string* why) {
    // RTLD_NOW: a missing symbol of the library's own is an error here, not a crash later.
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = dlerror();
        *why = error ? error : std::string(soname) + " cannot be loaded";
    }
    return library;
}

void* SharedLibrarySymbol(void* library, const char* soname, const char* symbol, std::string* why) {
    dlerror();
    void* address = dlsym(library, symbol);
    if (address == nullptr)
        *why = std::string(soname) + " has no " + symbol + " (another version than built against?)";
    return address;
}

} // namespace host
