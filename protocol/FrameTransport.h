// Finishes request frames for the wire and carries them over the slave link: Transact with up
// to three attempts for a command that expects a reply, Send once for one that does not.
#pragma once

#include "windows.h"

class CFrame;
class CSlaveLink;

// What the transport has carried since it was made, for a record of an update: every request
// written (each attempt of a Transact and each Send) and the attempts beyond a Transact's first.
struct TRANSPORT_COUNTS {
    DWORD dwRequests;
    DWORD dwRetries;
};

class CFrameTransport {
public:
    // The one transport of the process, made on first use with the link below it; null when
    // the link cannot be had (the next call tries again).
    static CFrameTransport* GetTransport();

    virtual ~CFrameTransport();

    DWORD Init();
    DWORD PostInit();

    // The reply of the last attempt is left in *reply for the caller to delete, whatever the
    // result; *reply is null when the last exchange brought no frame.
    DWORD Transact(CFrame* request, CFrame** reply);
    DWORD Send(CFrame* request);

    const TRANSPORT_COUNTS& GetCounts() const { return m_counts; }

private:
    CFrameTransport();
    static void Finish(CFrame* request);
    DWORD Count(DWORD linkResult);

    CSlaveLink* m_pLink;
    TRANSPORT_COUNTS m_counts;
};

extern CFrameTransport* g_frameTransport;
