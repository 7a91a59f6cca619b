#include "platform/ui/BackEndPlugin.h"
#include "platform/ui/WindowScale.h"
#include "platform/ui/WindowBackEnd.h"

#include "korvane_plugins.h"
#include "korvane_version.h"

#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <string>
#include <unistd.h>

namespace {

// The folder of the running program, as the kernel knows it (not argv[0], which a caller sets).
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "";
    const std::string exe(path, static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/'));
}

struct LOADED_PLUGIN {
    const UI_BACK_END_PLUGIN* pPlugin;
    std::string why;
};

LOADED_PLUGIN Load(const char* file) {
    const std::string folder = ProgramFolder();
    for (const std::string& dir : {folder, folder + "/" + KORVANE_PLUGIN_DIR}) {
        const std::string path = dir + "/" + file;
        if (access(path.c_str(), F_OK) != 0)
            continue;
        // RTLD_NOW: a symbol missing from the plugin is an error here, not a crash mid-dialog.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return {nullptr, std::string("cannot load it: ") + dlerror()};
        const auto entry =
            reinterpret_cast<UI_BACK_END_PLUGIN_ENTRY>(dlsym(handle, KORVANE_UI_PLUGIN_ENTRY));
        const UI_BACK_END_PLUGIN* pPlugin = entry ? entry() : nullptr;
        if (!pPlugin)
            return {nullptr, path + " is no dialog back end"};
        if (std::strcmp(pPlugin->version, KORVANE_VERSION) != 0)
            return {nullptr,
                    path + " belongs to korvane " + pPlugin->version + ", not " + KORVANE_VERSION};
        return {pPlugin, ""};
    }
    return {nullptr, std::string(file) +
                         " is not built or not installed, neither beside the program "
                         "nor in " +
                         folder + "/" + KORVANE_PLUGIN_DIR};
}

const char kWindowPlugin[] = "korvane-window.so";

} // namespace

const UI_BACK_END_PLUGIN* UiLoadBackEndPlugin(const char* file, std::string& why) {
    static std::map<std::string, LOADED_PLUGIN> s_loaded;
    auto found = s_loaded.find(file);
    if (found == s_loaded.end())
        found = s_loaded.emplace(file, Load(file)).first;
    why = found->second.why;
    return found->second.pPlugin;
}

// The window back end's three answers, from its plugin. Without the plugin the program has no
// window and uses the terminal.
BOOL UiWindowBuilt() {
    std::string why;
    return UiLoadBackEndPlugin(kWindowPlugin, why) != nullptr;
}

BOOL UiWindowAvailable(std::string* pWhy) {
    std::string why;
    const UI_BACK_END_PLUGIN* pPlugin = UiLoadBackEndPlugin(kWindowPlugin, why);
    if (!pPlugin) {
        if (pWhy)
            *pWhy = "the window back end (the package korvane-window) is missing: " + why;
        return FALSE;
    }
    const char* unavailable = pPlugin->unavailable();
    if (unavailable && pWhy)
        *pWhy = unavailable;
    return unavailable == nullptr;
}

CUiBackEnd* UiWindowBackEnd() {
    std::string why;
    const UI_BACK_END_PLUGIN* pPlugin = UiLoadBackEndPlugin(kWindowPlugin, why);
    return pPlugin ? pPlugin->make(WinFullScreen()) : nullptr;
}
