// The platform's side of an open handle: the device behind it and the time-out record, which
// the platform keeps and honours itself (comm_io.cpp).
#pragma once

#include "ce_device.h"

#include <memory>
#include <string>

namespace ce {

struct CommHandle {
    std::shared_ptr<CommDevice> device;
    std::string name; // as opened, for the trace
    COMMTIMEOUTS timeouts{};
};

// The open handle behind h, or null with the last error set to ERROR_INVALID_HANDLE.
std::shared_ptr<CommHandle> FindHandle(HANDLE h);

} // namespace ce
