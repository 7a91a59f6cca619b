#include "platform/ui/WindowChooserRules.h"

#include "afxstr.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string WinChooserFilter(const std::wstring& filter) {
    std::string out;
    size_t at = 0;
    while (at < filter.size()) {
        const size_t bar = filter.find(L'|', at);
        if (bar == std::wstring::npos)
            break;
        const size_t end = filter.find(L'|', bar + 1);
        const std::wstring text = filter.substr(at, bar - at);
        const std::wstring pattern =
            filter.substr(bar + 1, end == std::wstring::npos ? std::wstring::npos : end - bar - 1);
        if (!pattern.empty()) {
            if (!out.empty())
                out += '\n';
            out += CString(text).ToUtf8() + "\t" + CString(pattern).ToUtf8();
        }
        if (end == std::wstring::npos)
            break;
        at = end + 1;
    }
    return out;
}

std::wstring WinWithDefaultExtension(const std::wstring& path, const std::wstring& defExt,
                                     const std::function<bool(const std::wstring&)>& exists) {
    std::wstring ext = defExt;
    while (!ext.empty() && ext.front() == L'.')
        ext.erase(ext.begin());
    const size_t slash = path.find_last_of(L'/');
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (ext.empty() || name.empty() || name.find(L'.') != std::wstring::npos || exists(path))
        return path;
    return path + L"." + ext;
}

std::string WinChooserFolder(const std::wstring& file) {
    const std::string path = CString(file).ToUtf8();
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) {
        const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        if (IsFolder(folder))
            return folder;
    }
    char cwd[4096];
    return getcwd(cwd, sizeof cwd) ? cwd : "/";
}
