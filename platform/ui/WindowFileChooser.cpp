#include "platform/ui/WindowFileChooser.h"

#include "afxdlgs.h"
#include "afxstr.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::wstring& path) {
    struct stat st;
    return stat(CString(path).ToUtf8().c_str(), &st) == 0;
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

#ifdef KORVANE_HAVE_FLTK

#include <FL/Fl_Native_File_Chooser.H>

#include <cstdio>

BOOL WinRunFileChooser(UI_FILE_REQUEST& request) {
    Fl_Native_File_Chooser chooser;
    chooser.title(request.bOpen ? "Open" : "Save As");
    chooser.type(request.bOpen ? Fl_Native_File_Chooser::BROWSE_FILE
                               : Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    if (!request.bOpen && (request.flags & OFN_OVERWRITEPROMPT))
        chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM);
    const std::string filter = WinChooserFilter(request.filter);
    if (!filter.empty())
        chooser.filter(filter.c_str());
    const std::string folder = WinChooserFolder(request.fileName);
    chooser.directory(folder.c_str());
    const size_t slash = request.fileName.find_last_of(L'/');
    const std::wstring name =
        slash == std::wstring::npos ? request.fileName : request.fileName.substr(slash + 1);
    const std::string preset = CString(name).ToUtf8();
    if (!preset.empty())
        chooser.preset_file(preset.c_str());
    switch (chooser.show()) {
    case 0:
        break;
    case -1:
        std::fprintf(stderr, "korvane: the file dialog failed: %s\n", chooser.errmsg());
        return FALSE;
    default:
        return FALSE; // cancelled
    }
    const char* chosen = chooser.filename();
    if (!chosen || !*chosen)
        return FALSE;
    request.fileName = WinWithDefaultExtension(CString(chosen).GetString(), request.defExt, Exists);
    return TRUE;
}

#endif
