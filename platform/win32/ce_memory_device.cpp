// The in-memory serial port and its scripted peer.
#include "ce_memory_device.h"
#include "ce_clock.h"

#include <algorithm>

namespace ce {

MemoryDevice::MemoryDevice() : m_state() {
    // What a freshly opened port of the device reports.
    m_state.DCBlength = sizeof(DCB);
    m_state.BaudRate = CBR_9600;
    m_state.fBinary = 1;
    m_state.fDtrControl = DTR_CONTROL_ENABLE;
    m_state.fRtsControl = RTS_CONTROL_ENABLE;
    m_state.fTXContinueOnXoff = 1;
    m_state.XonLim = 512;
    m_state.XoffLim = 128;
    m_state.ByteSize = 8;
    m_state.Parity = NOPARITY;
    m_state.StopBits = ONESTOPBIT;
    m_state.XonChar = 0x11;
    m_state.XoffChar = 0x13;
}

void MemoryDevice::ScheduleLocked(uint64_t atUs, const Bytes& bytes) {
    // After every arrival due at or before atUs, so that equal times keep their order.
    auto at = std::upper_bound(m_incoming.begin(), m_incoming.end(), atUs,
                               [](uint64_t t, const Arrival& a) { return t < a.atUs; });
    std::vector<Arrival> added;
    added.reserve(bytes.size());
    for (BYTE value : bytes)
        added.push_back({atUs, value});
    m_incoming.insert(at, added.begin(), added.end());
}

void MemoryDevice::Arrive(const Bytes& bytes) {
    const uint64_t now = NowUs();
    std::lock_guard<std::mutex> hold(m_lock);
    ScheduleLocked(now, bytes);
}

void MemoryDevice::ArriveAt(uint64_t timeMs, const Bytes& bytes) {
    std::lock_guard<std::mutex> hold(m_lock);
    ScheduleLocked(timeMs * 1000u, bytes);
}

void MemoryDevice::ArriveAfter(uint64_t delayMs, const Bytes& bytes) {
    const uint64_t now = NowUs();
    std::lock_guard<std::mutex> hold(m_lock);
    ScheduleLocked(now + delayMs * 1000u, bytes);
}

size_t MemoryDevice::WaitingLocked(uint64_t nowUs) const {
    size_t count = 0;
    while (count < m_incoming.size() && m_incoming[count].atUs <= nowUs)
        ++count;
    return count;
}

size_t MemoryDevice::Waiting() const {
    const uint64_t now = NowUs();
    std::lock_guard<std::mutex> hold(m_lock);
    return WaitingLocked(now);
}

size_t MemoryDevice::Due() const {
    const uint64_t now = NowUs();
    std::lock_guard<std::mutex> hold(m_lock);
    return m_incoming.size() - WaitingLocked(now);
}

void MemoryDevice::SetPeer(Peer peer) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_peer = std::move(peer);
}

MemoryDevice::Bytes MemoryDevice::Written() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_written;
}

size_t MemoryDevice::WriteCount() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_writeCount;
}

void MemoryDevice::ClearWritten() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_written.clear();
    m_writeCount = 0;
}

void MemoryDevice::FailNext(CommCall call, DWORD error, unsigned times) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (times == 0)
        m_failures.erase(call);
    else
        m_failures[call] = Failure{error, times};
}

void MemoryDevice::ShortNextWrite(DWORD accepted) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_shortArmed = true;
    m_shortAccepted = accepted;
}

DCB MemoryDevice::State() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state;
}

void MemoryDevice::SetDriverState(const DCB& dcb) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_state = dcb;
}

bool MemoryDevice::Dtr() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state.fDtrControl != DTR_CONTROL_DISABLE;
}

// Handshaking raises RTS while the device can take bytes, which it always can.
bool MemoryDevice::Rts() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state.fRtsControl == RTS_CONTROL_ENABLE ||
           m_state.fRtsControl == RTS_CONTROL_HANDSHAKE;
}

DWORD MemoryDevice::InQueueSize() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_inQueue;
}

DWORD MemoryDevice::OutQueueSize() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_outQueue;
}

bool MemoryDevice::IsOpen() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_openHandles > 0;
}

unsigned MemoryDevice::OpenCount() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_openCount;
}

BOOL MemoryDevice::Attach(bool exclusive, DWORD* error) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_openHandles > 0 && (exclusive || m_openExclusive)) {
        *error = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    ++m_openHandles;
    ++m_openCount;
    m_openExclusive = exclusive;
    return TRUE;
}

void MemoryDevice::Close() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_openHandles > 0)
        --m_openHandles;
    if (m_openHandles == 0)
        m_openExclusive = false;
}

DWORD MemoryDevice::InjectedFailure(CommCall call) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (call == CommCall::WriteFile) {
        // Each WriteFile starts here: a short write armed for it takes effect now.
        m_limited = m_shortArmed;
        m_allowance = m_shortAccepted;
        m_shortArmed = false;
    }
    auto found = m_failures.find(call);
    if (found == m_failures.end())
        return 0;
    const DWORD error = found->second.error;
    if (--found->second.times == 0)
        m_failures.erase(found);
    if (call == CommCall::WriteFile)
        m_limited = false;
    return error;
}

BOOL MemoryDevice::Setup(DWORD inQueue, DWORD outQueue, DWORD* error) {
    (void)error;
    std::lock_guard<std::mutex> hold(m_lock);
    m_inQueue = inQueue;
    m_outQueue = outQueue;
    return TRUE;
}

BOOL MemoryDevice::GetState(DCB* dcb, DWORD* error) {
    (void)error;
    std::lock_guard<std::mutex> hold(m_lock);
    *dcb = m_state;
    return TRUE;
}

BOOL MemoryDevice::SetState(const DCB& dcb, DWORD* error) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS) {
        *error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_state = dcb;
    return TRUE;
}

BOOL MemoryDevice::QueueStatus(DWORD* errors, COMSTAT* stat, DWORD* error) {
    (void)error;
    const uint64_t now = NowUs();
    std::lock_guard<std::mutex> hold(m_lock);
    *errors = 0;
    *stat = COMSTAT();
    stat->cbInQue = static_cast<DWORD>(WaitingLocked(now));
    return TRUE;
}

long MemoryDevice::ReadNow(BYTE* buffer, DWORD max, DWORD* error) {
    (void)error;
    const uint64_t now = NowUs();
    std::lock_guard<std::mutex> hold(m_lock);
    DWORD taken = 0;
    while (taken < max && !m_incoming.empty() && m_incoming.front().atUs <= now) {
        buffer[taken++] = m_incoming.front().value;
        m_incoming.pop_front();
    }
    return static_cast<long>(taken);
}

long MemoryDevice::WriteNow(const BYTE* buffer, DWORD count, DWORD* error) {
    (void)error;
    Bytes taken;
    Peer peer;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        DWORD take = count;
        if (m_limited) {
            take = std::min(count, m_allowance);
            m_allowance -= take;
        }
        if (take == 0)
            return 0;
        taken.assign(buffer, buffer + take);
        m_written.insert(m_written.end(), taken.begin(), taken.end());
        ++m_writeCount;
        peer = m_peer;
    }
    if (peer)
        peer(*this, taken);
    return static_cast<long>(taken.size());
}

bool MemoryDevice::WaitReadable(uint64_t deadlineUs) {
    Clock& clock = CurrentClock();
    const uint64_t now = clock.NowUs();
    uint64_t until = deadlineUs;
    bool arrives = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_incoming.empty() && m_incoming.front().atUs <= deadlineUs) {
            until = m_incoming.front().atUs;
            arrives = true;
        }
    }
    if (until > now)
        clock.SleepUntilUs(until);
    return arrives;
}

bool MemoryDevice::WaitWritable(uint64_t deadlineUs) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_limited || m_allowance > 0)
            return true;
    }
    CurrentClock().SleepUntilUs(deadlineUs); // the stalled line never takes another byte
    return false;
}

DWORD MemoryDevice::BaudRate() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_state.BaudRate;
}

DWORD MemoryDevice::BitsPerByte() {
    std::lock_guard<std::mutex> hold(m_lock);
    return 1 + m_state.ByteSize + (m_state.Parity == NOPARITY ? 0 : 1) +
           (m_state.StopBits == ONESTOPBIT ? 1 : 2);
}

} // namespace ce
