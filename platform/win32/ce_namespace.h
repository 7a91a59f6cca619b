// The device namespace: which device stands behind a name given to CreateFileW.
//
// A name registered here opens the registered device (a test's in-memory device, so CComPort
// and everything above it run unchanged). Otherwise "COMn:" (any case) opens a host terminal:
// the path in the environment variable CE_COMn when it is set, e.g.
// CE_COM6=/dev/serial/by-id/usb-FTDI_..., else /dev/ttyS<n-1> (COM1: is /dev/ttyS0; COM0:
// has no default and needs CE_COM0; /dev is DevRoot(), host_roots.h). A path given with
// MapHostPort comes before CE_COMn. Any other name is
// missing (ERROR_FILE_NOT_FOUND). A host terminal that does not open, or opens but is no
// terminal, has its reason written to the console output (port_open_reason.h).
//
//     auto device = std::make_shared<ce::MemoryDevice>();
//     ce::ScopedDevice com6(L"COM6:", device);   // CreateFileW(L"COM6:") now opens it
//     ...                                        // gone again at the end of the scope
#pragma once

#include "ce_device.h"

#include <memory>
#include <string>
#include <utility>

namespace ce {

// Registers device under name (compared without regard to case), replacing an earlier one.
// Handles already open keep the device they opened.
void RegisterDevice(const std::wstring& name, std::shared_ptr<CommDevice> device);
// Makes the name missing again (or mapped to the host again, for COMn:).
void UnregisterDevice(const std::wstring& name);

class ScopedDevice {
public:
    ScopedDevice(std::wstring name, std::shared_ptr<CommDevice> device);
    ~ScopedDevice();
    ScopedDevice(const ScopedDevice&) = delete;
    ScopedDevice& operator=(const ScopedDevice&) = delete;

private:
    std::wstring m_name;
};

// Maps "COMn:" to a host path for this process, ahead of CE_COMn. `origin` says where the path
// came from ("--port"), for the reason the port does not open.
void MapHostPort(const std::wstring& name, const std::string& path, const std::string& origin);

// The host path that "COMn:" maps to ("" for a name that is not COMn: or has no default).
std::string HostPathFor(const std::wstring& name);
// The same, with where the path came from: MapHostPort's origin, "CE_COMn", or "" for the
// default.
std::pair<std::string, std::string> HostPathAndOrigin(const std::wstring& name);

// Opens what stands behind name for CreateFileW. On failure returns null with *error set.
// *description receives what was opened, for the trace (the host path, or "memory").
std::shared_ptr<CommDevice> OpenDevice(const std::wstring& name, bool exclusive, DWORD* error,
                                       std::string* description);

} // namespace ce
