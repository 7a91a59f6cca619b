// The program's entry. On the device the loader calls WinMain with the module's handle, and
// MFC's AfxWinMain runs theApp; here main does the same when no command is given, and runs the
// command otherwise (cli/).
#include "app/Korvane.h"
#include "cli/KorvaneMain.h"

int main(int argc, char** argv) {
    // theApp is named here because nothing else in the program refers to it, and a linker
    // leaves out of a static library whatever nothing refers to.
    AFX_CHECK(AfxGetApp() == &theApp);
    return KorvaneMain(argc, argv);
}
