#include "platform/ui/DialogResource.h"

const DLGRESOURCE* FindDialogResource(HINSTANCE hModule, UINT nIDTemplate) {
    if (!hModule)
        return nullptr;
    for (UINT i = 0; i < hModule->dialogCount; ++i) {
        if (hModule->dialogs[i] && hModule->dialogs[i]->id == nIDTemplate)
            return hModule->dialogs[i];
    }
    return nullptr;
}

HICON FindIconResource(HINSTANCE hModule, UINT nIDIcon) {
    if (!hModule)
        return nullptr;
    for (UINT i = 0; i < hModule->iconCount; ++i) {
        if (hModule->icons[i].id == nIDIcon)
            return &hModule->icons[i];
    }
    return nullptr;
}
