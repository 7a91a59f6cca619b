#include "tests/support/Stack.h"

#include "link/SlaveLink.h"
#include "protocol/FrameTransport.h"
#include "protocol/SlaveProtocol.h"

void TearDownStack() {
    delete g_slaveProtocol;
    g_slaveProtocol = nullptr;
    delete g_frameTransport;
    g_frameTransport = nullptr;
    delete g_slaveLink; // closes and deletes the port
    g_slaveLink = nullptr;
}
