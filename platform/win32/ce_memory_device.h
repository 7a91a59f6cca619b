// An in-memory serial port with a scripted peer, for tests. Register it in the device
// namespace (ce_namespace.h) and CreateFileW, CComPort and everything above use it unchanged.
//
// Bytes from the peer arrive now or at a time on the platform's clock (ce_clock.h); a read
// waiting for them sleeps until the first one arrives or its deadline passes, so on a virtual
// clock such a wait costs no real time and a byte due after the deadline is not seen. A peer
// function runs on every write with the bytes written and schedules the answer: whole, split
// with pauses, late, or not at all. Every written byte can be read back, and the next write,
// or any other serial call, can be made to fail or to come out short.
//
//     auto device = std::make_shared<ce::MemoryDevice>();
//     ce::ScopedDevice com6(L"COM6:", device);
//     device->SetPeer([](ce::MemoryDevice& line, const std::vector<BYTE>& request) {
//         line.ArriveAfter(3, {0x7E, 0x01});      // the first part after 3 ms
//         line.ArriveAfter(8, {0x13, 0x7E});      // the rest 5 ms later
//     });
//
// Schedule arrivals after installing the clock the test runs on: times are the clock's. The
// device is meant for one thread; a wait on the real clock sleeps until the next scheduled
// arrival and does not notice bytes added meanwhile by another thread.
#pragma once

#include "ce_device.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace ce {

class MemoryDevice : public CommDevice {
public:
    using Bytes = std::vector<BYTE>;
    // Runs after each write with the bytes the device took; it may schedule arrivals.
    using Peer = std::function<void(MemoryDevice& device, const Bytes& written)>;

    MemoryDevice();

    // The peer's bytes: arriving now, at a time on the clock (ms), or after a delay (ms).
    // Bytes arrive in the order of their times, and in the order given at equal times.
    void Arrive(const Bytes& bytes);
    void ArriveAt(uint64_t timeMs, const Bytes& bytes);
    void ArriveAfter(uint64_t delayMs, const Bytes& bytes);
    // Bytes that have arrived and wait to be read (the input queue), and bytes still due.
    size_t Waiting() const;
    size_t Due() const;

    void SetPeer(Peer peer);

    // Every byte taken by writes so far, in order; the number of WriteFile calls that took
    // bytes; forgetting both.
    Bytes Written() const;
    size_t WriteCount() const;
    void ClearWritten();

    // The next `times` calls of `call` fail with `error` before reaching the device (times 0
    // stops a failure armed earlier).
    void FailNext(CommCall call, DWORD error = ERROR_GEN_FAILURE, unsigned times = 1);
    // The next WriteFile takes only `accepted` bytes and then the line stalls, so the write
    // runs into its time-out and reports fewer bytes written, successfully.
    void ShortNextWrite(DWORD accepted);

    // The DCB as the last SetCommState left it; before that, the driver's own, which a test may
    // set to see what a caller keeps of it.
    DCB State() const;
    void SetDriverState(const DCB& dcb);
    // The modem-control lines that the DCB sets.
    bool Dtr() const;
    bool Rts() const;
    // Queue sizes from the last SetupComm (0 before any).
    DWORD InQueueSize() const;
    DWORD OutQueueSize() const;
    // Whether a handle is open on the device, and how many opens it has seen.
    bool IsOpen() const;
    unsigned OpenCount() const;

    // CommDevice
    BOOL Attach(bool exclusive, DWORD* error) override;
    void Close() override;
    DWORD InjectedFailure(CommCall call) override;
    BOOL Setup(DWORD inQueue, DWORD outQueue, DWORD* error) override;
    BOOL GetState(DCB* dcb, DWORD* error) override;
    BOOL SetState(const DCB& dcb, DWORD* error) override;
    BOOL QueueStatus(DWORD* errors, COMSTAT* stat, DWORD* error) override;
    long ReadNow(BYTE* buffer, DWORD max, DWORD* error) override;
    long WriteNow(const BYTE* buffer, DWORD count, DWORD* error) override;
    bool WaitReadable(uint64_t deadlineUs) override;
    bool WaitWritable(uint64_t deadlineUs) override;
    DWORD BaudRate() override;
    DWORD BitsPerByte() override;

private:
    struct Arrival {
        uint64_t atUs;
        BYTE value;
    };
    struct Failure {
        DWORD error;
        unsigned times;
    };

    void ScheduleLocked(uint64_t atUs, const Bytes& bytes);
    size_t WaitingLocked(uint64_t nowUs) const;

    mutable std::mutex m_lock;
    std::deque<Arrival> m_incoming; // ordered by time
    Bytes m_written;
    size_t m_writeCount = 0;
    Peer m_peer;
    std::map<CommCall, Failure> m_failures;
    bool m_shortArmed = false;
    DWORD m_shortAccepted = 0;
    bool m_limited = false; // the current write may take only m_allowance more bytes
    DWORD m_allowance = 0;
    DCB m_state;
    DWORD m_inQueue = 0;
    DWORD m_outQueue = 0;
    unsigned m_openHandles = 0;
    bool m_openExclusive = false;
    unsigned m_openCount = 0;
};

} // namespace ce
