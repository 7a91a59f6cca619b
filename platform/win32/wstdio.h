// The C runtime's wide-path file open, with the device's file system mapped onto the host.
#pragma once

#include <cstdio>

// Opens a file as fopen does, with the path and the mode as wide strings. A path that begins
// with '\' names a file of the device's file system: it opens below the directory in CE_ROOT
// (default "/"), with every '\' read as '/'. Any other path is used as it is. A path that names
// anything but a regular file (a folder, a FIFO, a device) is refused: NULL.
FILE* _wfopen(const wchar_t* path, const wchar_t* mode);
