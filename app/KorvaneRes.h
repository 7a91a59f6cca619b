// Korvane's resources: the main dialog's template and its initialisation data.
#pragma once

#include "platform/ui/DialogResource.h"

extern const DLGRESOURCE g_dlgKorvane;
// The program's module: AfxWinMain is given it, and dialogs are built from its resources.
extern const RESOURCE_MODULE g_korvaneModule;
