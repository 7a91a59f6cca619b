// A protocol stack over an in-memory COM6: on a virtual clock, so that five-second time-outs
// and three attempts cost no real time. Each test starts and ends with no stack in the process.
#pragma once

#include "ce_clock.h"
#include "ce_memory_device.h"
#include "ce_namespace.h"
#include "link/SlaveLink.h"
#include "protocol/Frame.h"
#include "protocol/FrameTransport.h"
#include "protocol/SlaveProtocol.h"
#include "tests/WireSupport.h"
#include "tests/support/Stack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

// A request frame as it leaves the transport.
inline wire::Bytes FinishedBytes(const CFrame& frame) {
    UINT count = 0;
    frame.GetByteCount(&count);
    wire::Bytes out(count);
    frame.CopyBytes(out.data());
    return out;
}

class StackTest : public ::testing::Test {
protected:
    void SetUp() override {
        // COM6: is this device and nothing on the host, whatever the machine has.
        setenv("CE_COM6", "/nonexistent/korvane-test-com6", 1);
        TearDownStack();
        com6 = std::make_unique<ce::ScopedDevice>(L"COM6:", device);
    }
    void TearDown() override {
        TearDownStack();
        com6.reset();
        unsetenv("CE_COM6");
    }

    // Answers every request with `reply`, `times` times (0: always), after `delayMs`.
    void AnswerWith(const wire::Bytes& reply, unsigned delayMs = 1) {
        device->SetPeer([reply, delayMs](ce::MemoryDevice& line, const wire::Bytes&) {
            line.ArriveAfter(delayMs, reply);
        });
    }

    ce::ScopedVirtualClock clock;
    std::shared_ptr<ce::MemoryDevice> device = std::make_shared<ce::MemoryDevice>();
    std::unique_ptr<ce::ScopedDevice> com6;
};
