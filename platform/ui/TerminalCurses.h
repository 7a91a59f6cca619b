// ncurses with its wide-character calls, for the terminal back end's sources only.
#pragma once

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>

// curses.h defines these as macros, and the platform's headers use the names.
#undef MessageBox
#undef OK
