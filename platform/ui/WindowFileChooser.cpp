#include "platform/ui/WindowFileChooser.h"

#include "afxdlgs.h"
#include "afxstr.h"

#include <FL/Fl_Native_File_Chooser.H>

#include <cstdio>
#include <sys/stat.h>

namespace {

bool Exists(const std::wstring& path) {
    struct stat st;
    return stat(CString(path).ToUtf8().c_str(), &st) == 0;
}

} // namespace

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
