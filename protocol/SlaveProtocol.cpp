#include "protocol/SlaveProtocol.h"

#include "protocol/Frame.h"
#include "protocol/FrameTransport.h"
#include "protocol/ResultCodes.h"
#include "protocol/Slaves.h"

#include <new>

CSlaveProtocol* g_slaveProtocol = NULL;

namespace {

const BYTE REQUEST_TYPE = 2;
const BYTE REQUEST_SUBTYPE = 0;

const BYTE PARAM_READ_DATA = 0;
const BYTE PARAM_RESET = 1;
const BYTE PARAM_GET_STATUS = 2;
const BYTE PARAM_ERASE = 3;
const BYTE PARAM_PROGRAM = 4;

// The reply of one Transact, deleted on every path out of the command.
class CReplyHolder {
public:
    CReplyHolder() : m_pReply(NULL) {}
    ~CReplyHolder() { delete m_pReply; }
    CReplyHolder(const CReplyHolder&) = delete;
    CReplyHolder& operator=(const CReplyHolder&) = delete;
    CFrame** Slot() { return &m_pReply; }
    const CFrame* operator->() const { return m_pReply; }

private:
    CFrame* m_pReply;
};

} // namespace

CSlaveProtocol::CSlaveProtocol() : m_pTransport(NULL), m_dwLastStatusResult(ERR_NO_REPLY) {}

CSlaveProtocol::~CSlaveProtocol() {}

CSlaveProtocol* CSlaveProtocol::GetProtocol() {
    if (g_slaveProtocol != NULL)
        return g_slaveProtocol;
    g_slaveProtocol = new (std::nothrow) CSlaveProtocol();
    if (g_slaveProtocol == NULL)
        return NULL;
    if (g_slaveProtocol->Init() != ERR_OK) {
        delete g_slaveProtocol;
        g_slaveProtocol = NULL;
    }
    return g_slaveProtocol;
}

DWORD CSlaveProtocol::Init() {
    m_pTransport = CFrameTransport::GetTransport();
    return m_pTransport != NULL ? ERR_OK : ERR_NO_LAYER;
}

DWORD CSlaveProtocol::ReadData(BYTE address, BYTE* buffer, BYTE capacity) {
    CFrame request(REQUEST_TYPE, address, REQUEST_SUBTYPE);
    request.AddParam(PARAM_READ_DATA);
    CReplyHolder reply;
    DWORD result = m_pTransport->Transact(&request, reply.Slot());
    if (result != ERR_OK)
        return result;
    return reply->GetParamData(PARAM_READ_DATA, buffer, capacity);
}

// The slave does not answer a reset.
DWORD CSlaveProtocol::Reset(BYTE address) {
    CFrame request(REQUEST_TYPE, address, REQUEST_SUBTYPE);
    request.AddParam(PARAM_RESET);
    return m_pTransport->Send(&request);
}

DWORD CSlaveProtocol::GetStatus(BYTE address, BYTE* status) {
    m_dwLastStatusResult = ReadStatus(address, status);
    return m_dwLastStatusResult;
}

DWORD CSlaveProtocol::ReadStatus(BYTE address, BYTE* status) {
    CFrame request(REQUEST_TYPE, address, REQUEST_SUBTYPE);
    request.AddParam(PARAM_GET_STATUS, 0, 0);
    CReplyHolder reply;
    DWORD result = m_pTransport->Transact(&request, reply.Slot());
    if (result != ERR_OK)
        return result;
    return reply->GetParamByte(PARAM_GET_STATUS, 1, status);
}

// The slave answers the word 0 when it erased; anything else is a refusal. An answer of one
// byte is no word: the word reader would take the FCS byte behind it as the low byte, and an
// FCS byte of 0 would pass for an erase.
DWORD CSlaveProtocol::Erase(BYTE address, WORD start) {
    CFrame request(REQUEST_TYPE, address, REQUEST_SUBTYPE);
    request.AddParam(PARAM_ERASE, 2, start);
    CReplyHolder reply;
    DWORD result = m_pTransport->Transact(&request, reply.Slot());
    if (result != ERR_OK)
        return result;
    BYTE length = 0;
    result = reply->GetParamLength(PARAM_ERASE, &length);
    if (result != ERR_OK)
        return result;
    if (length == 1)
        return ERR_BAD_REPLY;
    WORD answer = 0;
    result = reply->GetParamWord(PARAM_ERASE, 2, &answer);
    if (result != ERR_OK)
        return result;
    return answer == 0 ? ERR_OK : ERR_NO_REPLY;
}

// Any answer value will do, of any length from one byte, as long as the reply carries
// parameter 4 with one.
DWORD CSlaveProtocol::Program(BYTE address, WORD target, const BYTE* data, BYTE count) {
    CFrame request(REQUEST_TYPE, address, REQUEST_SUBTYPE);
    // The length byte follows the slave address alone: a 64-byte block for the OD slave, a
    // 128-byte block for every other slave.
    BYTE length = address == OD_SLAVE_ADDRESS ? OD_PROGRAM_LENGTH : STEPPER_PROGRAM_LENGTH;
    request.AddDataParam(PARAM_PROGRAM, length, target, count, data);
    CReplyHolder reply;
    DWORD result = m_pTransport->Transact(&request, reply.Slot());
    if (result != ERR_OK)
        return result;
    WORD answer = 0;
    return reply->GetParamWord(PARAM_PROGRAM, 2, &answer);
}
