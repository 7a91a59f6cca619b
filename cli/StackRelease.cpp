#include "cli/StackRelease.h"

#include "link/SlaveLink.h"
#include "protocol/FrameTransport.h"
#include "protocol/SlaveProtocol.h"

void ReleaseProtocolStack() {
    delete g_slaveProtocol;
    g_slaveProtocol = nullptr;
    delete g_frameTransport;
    g_frameTransport = nullptr;
    delete g_slaveLink; // closes the port
    g_slaveLink = nullptr;
}
