// Registered devices and the mapping of COMn: onto host terminals.
#include "ce_namespace.h"
#include "conio.h"
#include "platform/host/host_roots.h"
#include "platform/host/port_open_reason.h"
#include "termios_device.h"
#include "wcrt.h"

#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <mutex>

namespace ce {
namespace {

std::mutex g_namesLock;

std::map<std::wstring, std::shared_ptr<CommDevice>>& Registered() {
    static std::map<std::wstring, std::shared_ptr<CommDevice>> devices;
    return devices;
}

// Host paths given for this process (a command's --port), with where each came from.
struct HOST_MAPPING {
    std::string path, origin;
};
std::map<std::wstring, HOST_MAPPING>& Mapped() {
    static std::map<std::wstring, HOST_MAPPING> mapped;
    return mapped;
}

std::wstring Normalised(const std::wstring& name) {
    std::wstring upper = name;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return upper;
}

// The n of "COMn:", or -1.
long PortNumberOf(const std::wstring& upper) {
    if (upper.size() < 5 || upper.compare(0, 3, L"COM") != 0 || upper.back() != L':')
        return -1;
    const std::wstring digits = upper.substr(3, upper.size() - 4);
    if (digits.size() > 3)
        return -1;
    long number = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return -1;
        number = number * 10 + (c - L'0');
    }
    return number;
}

// The reason a host port did not open goes to the console output, as the port's other
// messages do: the log while a dialog owns the screen, standard error otherwise. The caller
// still sees only the failure.
void TellWhyNotOpened(const std::wstring& port, const std::string& path, int err) {
    _cprintf("%s\n", PortOpenReason(WideToUtf8(port), path, err).c_str());
}

} // namespace

void RegisterDevice(const std::wstring& name, std::shared_ptr<CommDevice> device) {
    std::lock_guard<std::mutex> hold(g_namesLock);
    Registered()[Normalised(name)] = std::move(device);
}

void UnregisterDevice(const std::wstring& name) {
    std::lock_guard<std::mutex> hold(g_namesLock);
    Registered().erase(Normalised(name));
}

ScopedDevice::ScopedDevice(std::wstring name, std::shared_ptr<CommDevice> device)
    : m_name(std::move(name)) {
    RegisterDevice(m_name, std::move(device));
}

ScopedDevice::~ScopedDevice() {
    UnregisterDevice(m_name);
}

void MapHostPort(const std::wstring& name, const std::string& path, const std::string& origin) {
    std::lock_guard<std::mutex> hold(g_namesLock);
    Mapped()[Normalised(name)] = {path, origin};
}

std::string HostPathFor(const std::wstring& name) {
    return HostPathAndOrigin(name).first;
}

std::pair<std::string, std::string> HostPathAndOrigin(const std::wstring& name) {
    const std::wstring upper = Normalised(name);
    const long number = PortNumberOf(upper);
    if (number < 0)
        return {"", ""};
    {
        std::lock_guard<std::mutex> hold(g_namesLock);
        auto found = Mapped().find(upper);
        if (found != Mapped().end())
            return {found->second.path, found->second.origin};
    }
    const std::string variable = "CE_COM" + std::to_string(number);
    if (const char* mapped = std::getenv(variable.c_str()))
        return {mapped, variable};
    if (number == 0)
        return {"", ""};
    return {DevRoot() + "/ttyS" + std::to_string(number - 1), ""};
}

std::shared_ptr<CommDevice> OpenDevice(const std::wstring& name, bool exclusive, DWORD* error,
                                       std::string* description) {
    std::shared_ptr<CommDevice> registered;
    {
        std::lock_guard<std::mutex> hold(g_namesLock);
        auto found = Registered().find(Normalised(name));
        if (found != Registered().end())
            registered = found->second;
    }
    if (registered) {
        if (!registered->Attach(exclusive, error))
            return nullptr;
        *description = "memory";
        return registered;
    }
    const std::wstring upper = Normalised(name);
    const std::string path = HostPathFor(upper);
    if (path.empty()) {
        *error = ERROR_FILE_NOT_FOUND;
        if (PortNumberOf(upper) >= 0)
            TellWhyNotOpened(upper, path, ENOENT);
        return nullptr;
    }
    *description = path;
    int cause = 0;
    auto device = TermiosDevice::Open(path, exclusive, error, &cause);
    if (!device)
        TellWhyNotOpened(upper, path, cause);
    else if (!device->IsTerminal())
        TellWhyNotOpened(upper, path, cause); // the first serial call is the one that fails
    return device;
}

} // namespace ce
