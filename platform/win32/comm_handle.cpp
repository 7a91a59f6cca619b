// The handle table, CreateFileW, CloseHandle and the last error.
//
// A handle is a small number that the table maps to an open device; a stale, zero or
// INVALID_HANDLE_VALUE handle is refused with ERROR_INVALID_HANDLE rather than followed.
#include "winbase.h"
#include "ce_namespace.h"
#include "ce_trace.h"
#include "comm_handle.h"

#include <mutex>
#include <unordered_map>

namespace ce {
namespace {

std::mutex g_handlesLock;
uintptr_t g_nextHandle = 0x100;

std::unordered_map<uintptr_t, std::shared_ptr<CommHandle>>& Handles() {
    static std::unordered_map<uintptr_t, std::shared_ptr<CommHandle>> handles;
    return handles;
}

std::string Narrow(LPCWSTR text) {
    std::string out;
    for (; *text; ++text)
        out += (*text >= 0x20 && *text < 0x7f) ? static_cast<char>(*text) : '?';
    return out;
}

} // namespace

std::shared_ptr<CommHandle> FindHandle(HANDLE h) {
    {
        std::lock_guard<std::mutex> hold(g_handlesLock);
        auto found = Handles().find(reinterpret_cast<uintptr_t>(h));
        if (found != Handles().end())
            return found->second;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

} // namespace ce

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

// Devices only: the name is looked up in the device namespace (ce_namespace.h). Access,
// disposition and flags are accepted as the device's serial driver accepts them.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)dwDesiredAccess;
    (void)lpSecurityAttributes;
    (void)dwCreationDisposition;
    (void)dwFlagsAndAttributes;
    (void)hTemplateFile;
    ce::TraceStart();
    if (lpFileName == nullptr) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    auto handle = std::make_shared<ce::CommHandle>();
    handle->name = ce::Narrow(lpFileName);
    DWORD error = ERROR_GEN_FAILURE;
    std::string description;
    handle->device = ce::OpenDevice(lpFileName, dwShareMode == 0, &error, &description);
    if (!handle->device) {
        if (ce::TraceOn())
            ce::TraceLine(handle->name, "open failed, error %lu",
                          static_cast<unsigned long>(error));
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    if (ce::TraceOn())
        ce::TraceLine(handle->name, "open %s", description.c_str());
    uintptr_t key;
    {
        std::lock_guard<std::mutex> hold(ce::g_handlesLock);
        key = ce::g_nextHandle;
        ce::g_nextHandle += 4;
        ce::Handles()[key] = handle;
    }
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(key);
}

BOOL CloseHandle(HANDLE hObject) {
    std::shared_ptr<ce::CommHandle> handle;
    {
        std::lock_guard<std::mutex> hold(ce::g_handlesLock);
        auto found = ce::Handles().find(reinterpret_cast<uintptr_t>(hObject));
        if (found != ce::Handles().end()) {
            handle = found->second;
            ce::Handles().erase(found);
        }
    }
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    handle->device->Close();
    if (ce::TraceOn())
        ce::TraceLine(handle->name, "close");
    return TRUE;
}
