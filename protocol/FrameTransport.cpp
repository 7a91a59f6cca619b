#include "protocol/FrameTransport.h"

#include "link/SlaveLink.h"
#include "protocol/Frame.h"
#include "protocol/ResultCodes.h"

#include <new>

CFrameTransport* g_frameTransport = NULL;

namespace {

const int ATTEMPTS = 3;

} // namespace

CFrameTransport::CFrameTransport() : m_pLink(NULL) {}

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

DWORD CFrameTransport::Transact(CFrame* request, CFrame** reply) {
    *reply = NULL;
    Finish(request);
    DWORD result = ERR_NO_REPLY;
    for (int attempt = 0; attempt < ATTEMPTS && result != ERR_OK; ++attempt) {
        delete *reply;
        *reply = NULL;
        result = m_pLink->Exchange(request, reply);
        if (result == ERR_OK)
            result = (*reply)->CheckFcs();
        if (result == ERR_OK)
            result = (*reply)->CheckStructure();
    }
    return result;
}

DWORD CFrameTransport::Send(CFrame* request) {
    Finish(request);
    return m_pLink->Write(request);
}
