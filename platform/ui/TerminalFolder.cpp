#include "platform/ui/TerminalFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

bool TermListFolder(const std::string& folder, std::vector<TERM_FOLDER_ENTRY>* entries,
                    std::string* error) {
    entries->clear();
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        *error = "cannot open " + folder + ": " + std::strerror(errno);
        return false;
    }
    std::vector<TERM_FOLDER_ENTRY> found;
    while (const struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        found.push_back({entry->d_name, IsFolder(TermJoinPath(folder, entry->d_name))});
    }
    closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const TERM_FOLDER_ENTRY& a, const TERM_FOLDER_ENTRY& b) {
                  if (a.bFolder != b.bFolder)
                      return a.bFolder;
                  const int order = strcasecmp(a.name.c_str(), b.name.c_str());
                  return order != 0 ? order < 0 : a.name < b.name;
              });
    if (folder != "/")
        entries->push_back({"..", true});
    entries->insert(entries->end(), found.begin(), found.end());
    return true;
}

std::string TermParentFolder(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string TermJoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string TermStartFolder(const std::string& file) {
    if (!file.empty() && file.find('/') != std::string::npos) {
        const std::string parent = TermParentFolder(file);
        if (IsFolder(parent))
            return parent;
    }
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd))
        return cwd;
    return "/";
}
