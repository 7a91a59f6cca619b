#include "platform/ui/UiBackEnd.h"

namespace {

CUiBackEnd* g_pBackEnd = nullptr;

} // namespace

CUiBackEnd* UiGetBackEnd() {
    return g_pBackEnd;
}

CUiBackEnd* UiSetBackEnd(CUiBackEnd* pBackEnd) {
    CUiBackEnd* pOld = g_pBackEnd;
    g_pBackEnd = pBackEnd;
    return pOld;
}
