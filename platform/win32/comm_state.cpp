// The serial port's set-up calls: queue sizes, the DCB, the time-out record, queue status.
#include "winbase.h"
#include "comm_handle.h"

namespace {

// The handle's device, unless the handle is bad or the device was told to fail this call.
std::shared_ptr<ce::CommHandle> Prepare(HANDLE h, ce::CommCall call) {
    std::shared_ptr<ce::CommHandle> handle = ce::FindHandle(h);
    if (!handle)
        return nullptr;
    if (const DWORD error = handle->device->InjectedFailure(call)) {
        SetLastError(error);
        return nullptr;
    }
    return handle;
}

BOOL Done(BOOL result, DWORD error) {
    SetLastError(result ? ERROR_SUCCESS : error);
    return result;
}

} // namespace

BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue) {
    auto handle = Prepare(hFile, ce::CommCall::SetupComm);
    if (!handle)
        return FALSE;
    DWORD error = ERROR_GEN_FAILURE;
    return Done(handle->device->Setup(dwInQueue, dwOutQueue, &error), error);
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto handle = Prepare(hFile, ce::CommCall::GetCommState);
    if (!handle)
        return FALSE;
    if (!lpDCB)
        return Done(FALSE, ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_GEN_FAILURE;
    return Done(handle->device->GetState(lpDCB, &error), error);
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto handle = Prepare(hFile, ce::CommCall::SetCommState);
    if (!handle)
        return FALSE;
    if (!lpDCB)
        return Done(FALSE, ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_GEN_FAILURE;
    return Done(handle->device->SetState(*lpDCB, &error), error);
}

// The record is the platform's own: reading and writing it costs no system call, so a caller
// may set it before every read.
BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto handle = Prepare(hFile, ce::CommCall::GetCommTimeouts);
    if (!handle)
        return FALSE;
    if (!lpCommTimeouts)
        return Done(FALSE, ERROR_INVALID_PARAMETER);
    *lpCommTimeouts = handle->timeouts;
    return Done(TRUE, ERROR_SUCCESS);
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto handle = Prepare(hFile, ce::CommCall::SetCommTimeouts);
    if (!handle)
        return FALSE;
    if (!lpCommTimeouts)
        return Done(FALSE, ERROR_INVALID_PARAMETER);
    handle->timeouts = *lpCommTimeouts;
    return Done(TRUE, ERROR_SUCCESS);
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    auto handle = Prepare(hFile, ce::CommCall::ClearCommError);
    if (!handle)
        return FALSE;
    DWORD errors = 0;
    COMSTAT stat{};
    DWORD error = ERROR_GEN_FAILURE;
    if (!handle->device->QueueStatus(&errors, &stat, &error))
        return Done(FALSE, error);
    if (lpErrors)
        *lpErrors = errors;
    if (lpStat)
        *lpStat = stat;
    return Done(TRUE, ERROR_SUCCESS);
}
