// The platform's serial API beneath CComPort: the time-out record's read modes, the bound on a
// write, handles that are not open, the COMn: mapping, _itow, debugger formatting and the
// CE_TRACE file.
#include "windows.h"
#include "conio.h"
#include "ce_clock.h"
#include "ce_memory_device.h"
#include "ce_namespace.h"
#include "ce_output.h"
#include "ce_trace.h"
#include "ComportSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

class CommPlatform : public ::testing::Test {
protected:
    void SetUp() override {
        m_handle = CreateFileW(L"com6:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        ASSERT_NE(m_handle, INVALID_HANDLE_VALUE);
    }
    void TearDown() override { CloseHandle(m_handle); }

    void SetTimeouts(DWORD interval, DWORD multiplier, DWORD constant, DWORD writeMultiplier = 0,
                     DWORD writeConstant = 0) {
        COMMTIMEOUTS t{interval, multiplier, constant, writeMultiplier, writeConstant};
        ASSERT_TRUE(SetCommTimeouts(m_handle, &t));
    }

    ce::ScopedVirtualClock m_clock;
    std::shared_ptr<ce::MemoryDevice> m_device = std::make_shared<ce::MemoryDevice>();
    ce::ScopedDevice m_name{L"COM6:", m_device};
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

struct Arrival {
    uint64_t atMs;
    BYTE value;
};

struct ReadCase {
    const char* name;
    COMMTIMEOUTS timeouts;
    DWORD asked;
    std::vector<Arrival> arrivals;
    DWORD expectedBytes;
    uint64_t expectedMs;
};

TEST_F(CommPlatform, ReadHonoursTheTimeoutRecord) {
    const ReadCase cases[] = {
        {"only what waits, nothing", {MAXDWORD, 0, 0, 0, 0}, 4, {{5, 1}}, 0, 0},
        {"only what waits", {MAXDWORD, 0, 0, 0, 0}, 4, {{0, 1}, {0, 2}, {5, 3}}, 2, 0},
        {"first byte within C",
         {MAXDWORD, MAXDWORD, 100, 0, 0},
         4,
         {{40, 1}, {40, 2}, {41, 3}},
         2,
         40},
        {"no first byte within C", {MAXDWORD, MAXDWORD, 100, 0, 0}, 1, {{101, 1}}, 0, 100},
        {"total only", {0, 0, 100, 0, 0}, 4, {{10, 1}, {20, 2}}, 2, 100},
        {"total done early", {0, 0, 100, 0, 0}, 2, {{10, 1}, {20, 2}}, 2, 20},
        {"interval after the first byte", {10, 0, 0, 0, 0}, 4, {{50, 1}, {58, 2}, {70, 3}}, 2, 68},
        {"multiplier and constant", {0, 10, 5, 0, 0}, 2, {{20, 1}, {30, 2}}, 1, 25},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const uint64_t start = m_clock.NowMs();
        for (const Arrival& a : c.arrivals)
            m_device->ArriveAt(start + a.atMs, {a.value});
        COMMTIMEOUTS t = c.timeouts;
        ASSERT_TRUE(SetCommTimeouts(m_handle, &t));
        Bytes buffer(c.asked);
        DWORD got = 99;
        EXPECT_TRUE(ReadFile(m_handle, buffer.data(), c.asked, &got, nullptr));
        EXPECT_EQ(got, c.expectedBytes);
        EXPECT_EQ(m_clock.NowMs() - start, c.expectedMs);
        for (DWORD i = 0; i < got; ++i)
            EXPECT_EQ(buffer[i], i + 1);
        // Clear the line for the next case.
        m_clock.Advance(1000);
        SetTimeouts(MAXDWORD, 0, 0);
        Bytes rest(16);
        ReadFile(m_handle, rest.data(), 16, &got, nullptr);
    }
}

TEST_F(CommPlatform, WriteIsBoundedByTheLineTimePlusTheConstant) {
    DCB dcb = m_device->State();
    dcb.BaudRate = CBR_9600; // 96 bytes of 8N1: 100 ms on the line
    ASSERT_TRUE(SetCommState(m_handle, &dcb));
    struct Case {
        DWORD multiplier, constant, expectedMs;
    };
    for (const Case& c : {Case{MAXDWORD, 300, 400}, Case{2, 10, 202}, Case{0, 0, 5100}}) {
        SetTimeouts(MAXDWORD, MAXDWORD, 100, c.multiplier, c.constant);
        m_device->ShortNextWrite(0); // the line stalls: nothing goes
        const Bytes block(96, 0x55);
        DWORD written = 99;
        const uint64_t start = m_clock.NowMs();
        EXPECT_TRUE(WriteFile(m_handle, block.data(), 96, &written, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(m_clock.NowMs() - start, c.expectedMs) << c.multiplier << "/" << c.constant;
    }
}

// A multiplier times a large count can outgrow the clock's microseconds. Such a bound is
// centuries away; it must not wrap round to a deadline that has already passed. These figures
// make multiplier x count + constant, in microseconds, wrap to 0.384 ms.
TEST_F(CommPlatform, TimeoutsBeyondTheClockNeverWrapToAnEarlyDeadline) {
    const DWORD count = 8u << 20;
    const DWORD multiplier = 2199023255u;
    const DWORD constant = 4630512u;
    Bytes block(count, 0x55);
    {
        ce::ScopedVirtualClock clock;
        m_device->ArriveAt(1, {0x01});
        SetTimeouts(0, multiplier, constant);
        DWORD got = 99;
        EXPECT_TRUE(ReadFile(m_handle, block.data(), count, &got, nullptr));
        EXPECT_EQ(got, 1u); // the byte at 1 ms came within the bound
        EXPECT_GT(clock.NowMs(), 1000000000000u);
    }
    {
        ce::ScopedVirtualClock clock;
        SetTimeouts(MAXDWORD, 0, 0, multiplier, constant);
        m_device->ShortNextWrite(0);
        DWORD written = 99;
        EXPECT_TRUE(WriteFile(m_handle, block.data(), count, &written, nullptr));
        EXPECT_EQ(written, 0u);
        EXPECT_GT(clock.NowMs(), 1000000000000u);
    }
}

TEST_F(CommPlatform, CallsOnHandlesThatAreNotOpenFail) {
    HANDLE stale = m_handle;
    ASSERT_TRUE(CloseHandle(m_handle));
    m_handle = INVALID_HANDLE_VALUE;
    for (HANDLE h : {stale, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        BYTE byte = 0;
        DWORD count = 0;
        DCB dcb{};
        COMMTIMEOUTS t{};
        COMSTAT stat{};
        DWORD errors = 0;
        EXPECT_FALSE(ReadFile(h, &byte, 1, &count, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(WriteFile(h, &byte, 1, &count, nullptr));
        EXPECT_FALSE(SetupComm(h, 1024, 1024));
        EXPECT_FALSE(GetCommState(h, &dcb));
        EXPECT_FALSE(SetCommState(h, &dcb));
        EXPECT_FALSE(GetCommTimeouts(h, &t));
        EXPECT_FALSE(SetCommTimeouts(h, &t));
        EXPECT_FALSE(ClearCommError(h, &errors, &stat));
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_FALSE(m_device->IsOpen());
}

TEST(CommNames, ComPortsMapToHostPaths) {
    comport_test::PortMapping six(6, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    unsetenv("CE_COM2");
    unsetenv("CE_COM0");
    EXPECT_EQ(ce::HostPathFor(L"COM6:"), "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(ce::HostPathFor(L"com6:"), "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(ce::HostPathFor(L"COM2:"), "/dev/ttyS1");
    EXPECT_EQ(ce::HostPathFor(L"COM1:"), "/dev/ttyS0");
    EXPECT_EQ(ce::HostPathFor(L"COM12:"), "/dev/ttyS11");
    for (const wchar_t* other : {L"COM0:", L"COM6", L"LPT1:", L"COM:", L"COMx:", L"", L"COM1234:"})
        EXPECT_EQ(ce::HostPathFor(other), "") << other;
    EXPECT_EQ(CreateFileW(L"LPT1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(CommRuntime, ItowWritesDigits) {
    struct Case {
        int value;
        int radix;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, 10, L"0"},    {6, 10, L"6"},     {9, 10, L"9"},
        {-1, 10, L"-1"},  {123, 10, L"123"}, {-2147483647 - 1, 10, L"-2147483648"},
        {255, 16, L"ff"}, {5, 2, L"101"},    {-1, 16, L"ffffffff"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[33];
        EXPECT_EQ(_itow(c.value, buffer, c.radix), buffer);
        EXPECT_STREQ(buffer, c.text) << c.value << " radix " << c.radix;
    }
}

TEST(CommOutput, DebuggerAndConsoleTextReachTheirSinks) {
    ce::ScopedOutputCapture output;
    NKDbgPrintfW(L"expected: %d bytes. Wrote %d!", 9, 4);
    OutputDebugStringW(L" more");
    _cprintf("Error %s\n", "SetupComm");
    EXPECT_EQ(output.Debug(), L"expected: 9 bytes. Wrote 4! more");
    EXPECT_EQ(output.Console(), "Error SetupComm\n");
}

TEST(CommTrace, TraceFileRecordsBytesAndTimeouts) {
    char path[] = "/tmp/korvane-trace-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        ce::ScopedVirtualClock clock(7000);
        auto device = std::make_shared<ce::MemoryDevice>();
        ce::ScopedDevice name(L"COM6:", device);
        ASSERT_TRUE(ce::SetTraceFile(path));
        HANDLE h = CreateFileW(L"COM6:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        COMMTIMEOUTS t{MAXDWORD, MAXDWORD, 10, MAXDWORD, 300};
        SetCommTimeouts(h, &t);
        const Bytes request = {0x7E, 0x01, 0xAB};
        DWORD count = 0;
        WriteFile(h, request.data(), 3, &count, nullptr);
        device->Arrive({0x7E});
        BYTE byte;
        ReadFile(h, &byte, 1, &count, nullptr);
        ReadFile(h, &byte, 1, &count, nullptr);
        CloseHandle(h);
        ce::SetTraceFile(nullptr);
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string trace = text.str();
    EXPECT_NE(trace.find("] COM6: open memory\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("[    7000.000] COM6: W 3 7E 01 AB\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("] COM6: R 1 7E\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("[    7010.000] COM6: read time-out after 10 ms, 0 of 1 bytes\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("] COM6: close\n"), std::string::npos) << trace;
    unlink(path);
}

} // namespace
