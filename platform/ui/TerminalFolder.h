// A folder of the host's file system as the file chooser lists it.
#pragma once

#include <string>
#include <vector>

struct TERM_FOLDER_ENTRY {
    std::string name;
    bool bFolder;
};

// The entries of a folder: ".." first (but at "/"), then the folders, then the files, each by
// name ignoring case; names that begin with '.' are left out. False with `error` set when the
// folder cannot be read.
bool TermListFolder(const std::string& folder, std::vector<TERM_FOLDER_ENTRY>* entries,
                    std::string* error);

// The folder above ("/" stays "/"), and a name inside a folder.
std::string TermParentFolder(const std::string& folder);
std::string TermJoinPath(const std::string& folder, const std::string& name);

// The folder a chooser starts in: the one holding `file` when that exists, else the current
// folder, else "/".
std::string TermStartFolder(const std::string& file);
