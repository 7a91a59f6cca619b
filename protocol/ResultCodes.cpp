#include "protocol/ResultCodes.h"

namespace {

struct RESULT_CODE_NAME {
    DWORD code;
    LPCWSTR name;
};

const RESULT_CODE_NAME s_names[] = {
    {ERR_OK, L"ERR_OK"},
    {ERR_BAD_ARGUMENT, L"ERR_BAD_ARGUMENT"},
    {ERR_NO_LAYER, L"ERR_NO_LAYER"},
    {ERR_PARAM_NOT_FOUND, L"ERR_PARAM_NOT_FOUND"},
    {ERR_BAD_REPLY, L"ERR_BAD_REPLY"},
    {ERR_EMPTY_REPLY, L"ERR_EMPTY_REPLY"},
    {ERR_FCS, L"ERR_FCS"},
    {ERR_PORT_OPEN, L"ERR_PORT_OPEN"},
    {ERR_NO_REPLY, L"ERR_NO_REPLY"},
    {ERR_WRITE, L"ERR_WRITE"},
    {ERR_REPLY_TIMEOUT, L"ERR_REPLY_TIMEOUT"},
};

} // namespace

LPCWSTR ResultCodeName(DWORD code) {
    for (const RESULT_CODE_NAME& entry : s_names) {
        if (entry.code == code)
            return entry.name;
    }
    return L"ERR_UNKNOWN";
}
