#include "link/SlaveLink.h"

#include "link/Comport.h"
#include "protocol/Frame.h"
#include "protocol/ResultCodes.h"

#include <new>

CSlaveLink* g_slaveLink = NULL;
CComPort* g_comPort = NULL;

namespace {

const UINT MAX_REPLY = 255;
// A line that only ever brings bytes other than a flag, or flag after flag (a babbling slave),
// must not hold the exchange forever: after this many skipped bytes it counts as no reply.
const UINT MAX_SKIPPED_BEFORE_FLAG = 4096;
// Nor may stray bytes that come just often enough to restart the wait each time: however many
// were skipped, the opening flag must come within the time of three silent waits.
const DWORD MAX_WAIT_FOR_FLAG_MS = 3 * SLAVE_REPLY_TIMEOUT_MS;

// Holds the link's lock for one scope, so that every path out leaves it.
class CLockHolder {
public:
    explicit CLockHolder(CRITICAL_SECTION* lock) : m_pLock(lock) { EnterCriticalSection(m_pLock); }
    ~CLockHolder() { LeaveCriticalSection(m_pLock); }
    CLockHolder(const CLockHolder&) = delete;
    CLockHolder& operator=(const CLockHolder&) = delete;

private:
    CRITICAL_SECTION* m_pLock;
};

} // namespace

CSlaveLink::CSlaveLink() : m_bLockReady(false) {}

CSlaveLink::~CSlaveLink() {
    if (g_comPort != NULL) {
        g_comPort->Close();
        delete g_comPort;
        g_comPort = NULL;
    }
    if (m_bLockReady)
        DeleteCriticalSection(&m_lock);
}

CSlaveLink* CSlaveLink::GetLink() {
    if (g_slaveLink != NULL)
        return g_slaveLink;
    g_slaveLink = new (std::nothrow) CSlaveLink();
    if (g_slaveLink == NULL)
        return NULL;
    if (g_slaveLink->Init() != ERR_OK) {
        delete g_slaveLink;
        g_slaveLink = NULL;
    }
    return g_slaveLink;
}

DWORD CSlaveLink::Init() {
    InitializeCriticalSection(&m_lock);
    m_bLockReady = true;
    g_comPort = new (std::nothrow) CComPort();
    if (g_comPort == NULL)
        return ERR_PORT_OPEN;
    if (!g_comPort->Open(SLAVE_PORT))
        return ERR_PORT_OPEN;
    return ERR_OK;
}

// The transmit buffer is sized to the request, so a block whose escaping made the frame longer
// than usual goes out whole.
void CSlaveLink::CopyOut(const CFrame* request, CByteArray* transmit) {
    UINT count = 0;
    request->GetByteCount(&count);
    transmit->SetSize(count, -1);
    request->CopyBytes(transmit->GetData());
}

// Called with the lock held. A drain that had to give up leaves the line unusable for a reply.
DWORD CSlaveLink::DrainAndWrite(CByteArray& transmit) {
    if (!g_comPort->FlushInput())
        return ERR_NO_REPLY;
    if (!g_comPort->Write(transmit.GetData(), static_cast<int>(transmit.GetSize())))
        return ERR_WRITE;
    return ERR_OK;
}

DWORD CSlaveLink::Exchange(CFrame* request, CFrame** reply) {
    CByteArray transmit;
    CopyOut(request, &transmit);
    *reply = NULL;
    char receive[MAX_REPLY + 1];
    UINT received = 0;
    bool cutOff = false;
    {
        CLockHolder hold(&m_lock);
        DWORD result = DrainAndWrite(transmit);
        if (result != ERR_OK)
            return result;

        UINT skipped = 0;
        const DWORD waitStarted = GetTickCount();
        for (;;) {
            if (!g_comPort->Read(&receive[0], 1, SLAVE_REPLY_TIMEOUT_MS))
                return ERR_REPLY_TIMEOUT;
            if (static_cast<BYTE>(receive[0]) == FRAME_FLAG)
                break;
            if (++skipped >= MAX_SKIPPED_BEFORE_FLAG ||
                GetTickCount() - waitStarted >= MAX_WAIT_FOR_FLAG_MS)
                return ERR_REPLY_TIMEOUT;
        }

        received = 1;
        bool closed = false;
        while (received < MAX_REPLY && !closed) {
            if (!g_comPort->Read(&receive[received], 1, SLAVE_NEXT_BYTE_TIMEOUT_MS)) {
                cutOff = true;
                break;
            }
            const bool flag = static_cast<BYTE>(receive[received]) == FRAME_FLAG;
            // Two flags in a row hold no frame: the first closed something stale (the tail of
            // a reply cut off in an earlier attempt), the second opens this reply.
            if (flag && received == 1) {
                if (++skipped >= MAX_SKIPPED_BEFORE_FLAG)
                    return ERR_REPLY_TIMEOUT;
                continue;
            }
            closed = flag;
            ++received;
        }
    }
    if (cutOff)
        return ERR_NO_REPLY;
    *reply = new CFrame(reinterpret_cast<const BYTE*>(receive), received);
    return ERR_OK;
}

DWORD CSlaveLink::Write(CFrame* request) {
    CByteArray transmit;
    CopyOut(request, &transmit);
    CLockHolder hold(&m_lock);
    return DrainAndWrite(transmit);
}
