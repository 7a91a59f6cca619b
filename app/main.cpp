// The program's entry. On the device the loader calls WinMain with the module's handle, and
// MFC's AfxWinMain runs theApp; here main does the same.
#include "app/Korvane.h"
#include "app/KorvaneRes.h"

int main() {
    // theApp is named here because nothing else in the program refers to it, and a linker
    // leaves out of a static library whatever nothing refers to.
    AFX_CHECK(AfxGetApp() == &theApp);
    return AfxWinMain(&g_korvaneModule, NULL, NULL, SW_SHOW);
}
