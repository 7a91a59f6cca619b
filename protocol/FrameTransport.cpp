#include "protocol/FrameTransport.h"

#include "link/SlaveLink.h"
#include "protocol/Frame.h"
#include "protocol/ResultCodes.h"

#include <new>

CFrameTransport* g_frameTransport = NULL;

namespace {

const int ATTEMPTS = 3;

} // namespace

CFrameTransport::CFrameTransport() : m_pLink(NULL), m_counts() {}

CFrameTransport::~CFrameTransport() {}

CFrameTransport* CFrameTransport::GetTransport() {
    if (g_frameTransport != NULL)
        return g_frameTransport;
    g_frameTransport = new (std::nothrow) CFrameTransport();
    if (g_frameTransport == NULL)
        return NULL;
    if (g_frameTransport->Init() != ERR_OK || g_frameTransport->PostInit() != ERR_OK) {
        delete g_frameTransport;
        g_frameTransport = NULL;
    }
    return g_frameTransport;
}

DWORD CFrameTransport::Init() {
    m_pLink = CSlaveLink::GetLink();
    return m_pLink != NULL ? ERR_OK : ERR_NO_LAYER;
}

DWORD CFrameTransport::PostInit() {
    return ERR_OK;
}

// Control byte, FCS and escaping, once: every attempt sends the same bytes.
void CFrameTransport::Finish(CFrame* request) {
    request->SetControl(FRAME_CONTROL);
    request->AppendFcs();
    request->Escape();
}

// A request the link could not write was not sent.
DWORD CFrameTransport::Count(DWORD linkResult) {
    if (linkResult != ERR_WRITE)
        ++m_counts.dwRequests;
    return linkResult;
}

DWORD CFrameTransport::Transact(CFrame* request, CFrame** reply) {
    *reply = NULL;
    Finish(request);
    DWORD result = ERR_NO_REPLY;
    for (int attempt = 0; attempt < ATTEMPTS && result != ERR_OK; ++attempt) {
        delete *reply;
        *reply = NULL;
        result = m_pLink->Exchange(request, reply);
        if (attempt > 0 && result != ERR_WRITE)
            ++m_counts.dwRetries; // an attempt that could not be written was none
        Count(result);
        if (result == ERR_OK)
            result = (*reply)->CheckFcs();
        if (result == ERR_OK)
            result = (*reply)->CheckStructure();
        // Only the last attempt's code goes up; the log tells a time-out from a bad FCS or a
        // bad structure in every attempt.
        if (result != ERR_OK)
            NKDbgPrintfW(L"Transact: attempt %d of %d failed: %ls (%u)", attempt + 1, ATTEMPTS,
                         ResultCodeName(result), result);
    }
    return result;
}

DWORD CFrameTransport::Send(CFrame* request) {
    Finish(request);
    return Count(m_pLink->Write(request));
}
