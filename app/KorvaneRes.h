// Korvane's resources: the main dialog's template and its initialisation data.
#pragma once

#include "platform/ui/DialogResource.h"

extern const DLGRESOURCE g_dlgKorvane;
// The program's module: AfxWinMain is given it, and dialogs are built from its resources.
extern const RESOURCE_MODULE g_korvaneModule;

// The program's icon (IDR_MAINFRAME): packaging/korvane.svg drawn at 48 px, built in as a PNG.
extern const unsigned char g_korvaneIconPng[];
extern const unsigned int g_korvaneIconPngSize;
