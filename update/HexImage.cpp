// The HEX image loader. Each line is one record in fixed columns:
//   0      ':'
//   1-2    count of data bytes      } converted together with "%2x%4x%2x" from column 1
//   3-6    address                  }
//   7-8    type (01 = end of file)  }
//   9+2k   data byte k, each pair converted with "%2x" at its own column
//   9+2n   checksum: the 8-bit sum of every byte from the count to the checksum is 0
// What follows the checksum, the line break included, is not looked at.
#include "update/HexImage.h"

#include <cstring>

namespace {

// The 16-bit byte positions that start and end can describe: records must lie below this.
const DWORD HEX_POSITION_LIMIT = 0x10000;

const UINT HEX_TYPE_END_OF_FILE = 1;

// Extended segment and linear addresses and start addresses: their data are addresses, not
// memory contents.
BOOL IsAddressRecord(UINT nType) {
    return nType >= 2 && nType <= 5;
}

// The value of a hexadecimal digit, or -1.
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads nDigits hexadecimal digits at psz, FALSE (having looked no further than the first
// non-digit, so never past the string's end) when one is not a digit. Where every digit is
// there, this is what "%2x" or "%4x" gives, without sscanf's cost: a line of digits is the
// common case, and sscanf was most of the host's CPU for a flash (each of the file's bytes
// converted twice, for the record and for the update). Anything else still goes to sscanf.
BOOL ReadDigits(const char* psz, int nDigits, unsigned int* pValue) {
    unsigned int nValue = 0;
    for (int i = 0; i < nDigits; ++i) {
        const int nDigit = HexDigit(psz[i]);
        if (nDigit < 0)
            return FALSE;
        nValue = nValue << 4 | static_cast<unsigned int>(nDigit);
    }
    *pValue = nValue;
    return TRUE;
}

// One "%2x" conversion at pszField. A field without a hexadecimal digit fails; so does a signed
// one ("-1") whose value does not fit a byte.
BOOL ScanPair(const char* pszField, BYTE* pValue) {
    unsigned int nValue = 0;
    if (!ReadDigits(pszField, 2, &nValue) &&
        (sscanf(pszField, "%2x", &nValue) != 1 || nValue > 0xFF))
        return FALSE;
    *pValue = static_cast<BYTE>(nValue);
    return TRUE;
}

// What the records read so far placed: the extended address in force and where the data lie.
// Extended addresses are not applied, but data placed under one base and then more under
// another would land on top of each other: the later data belong 64 KiB or more further up,
// where no 16-bit position reaches.
struct CPlacedData {
    DWORD dwBase = 0;
    HEX_DATA_EXTENT extent = {FALSE, 0, 0};
};

// Follows one valid record, which ParseHexRecord placed at byte position wPosition. FALSE when
// it moves the base after data were placed.
BOOL FollowRecord(const char* pszLine, WORD wPosition, CPlacedData* pPlaced) {
    unsigned int nCount = 0, nAddress = 0, nType = 0, nValue = 0;
    const BOOL bDigits = ReadDigits(pszLine + 1, 2, &nCount) &&
                         ReadDigits(pszLine + 3, 4, &nAddress) &&
                         ReadDigits(pszLine + 7, 2, &nType);
    if (!bDigits && sscanf(pszLine + 1, "%2x%4x%2x", &nCount, &nAddress, &nType) != 3)
        return TRUE;
    HEX_DATA_EXTENT& extent = pPlaced->extent;
    if ((nType == 2 || nType == 4) && nCount == 2) {
        if (sscanf(pszLine + 9, "%4x", &nValue) != 1)
            return TRUE;
        const DWORD dwBase = nType == 2 ? nValue << 4 : nValue << 16;
        if (extent.bPlaced && dwBase != pPlaced->dwBase)
            return FALSE;
        pPlaced->dwBase = dwBase;
    } else if (nType != HEX_TYPE_END_OF_FILE && !IsAddressRecord(nType) && nCount > 0) {
        // A valid record never reaches past 0x10000, so its position did not wrap.
        const DWORD dwEnd = static_cast<DWORD>(wPosition) + nCount;
        if (!extent.bPlaced || wPosition < extent.dwLow)
            extent.dwLow = wPosition;
        if (!extent.bPlaced || dwEnd > extent.dwEnd)
            extent.dwEnd = dwEnd;
        extent.bPlaced = TRUE;
    }
    return TRUE;
}

} // namespace

int ParseHexRecord(BYTE* pImage, const char* pszLine, WORD* pwAddress, UINT nMultiplier) {
    if (pImage == NULL || pszLine == NULL || pwAddress == NULL)
        return HEX_RECORD_INVALID;
    if (nMultiplier != 1 && nMultiplier != 2)
        return HEX_RECORD_INVALID;
    if (pszLine[0] != ':')
        return HEX_RECORD_INVALID;

    unsigned int nCount = 0, nAddress = 0, nType = 0;
    const BOOL bDigits = ReadDigits(pszLine + 1, 2, &nCount) &&
                         ReadDigits(pszLine + 3, 4, &nAddress) &&
                         ReadDigits(pszLine + 7, 2, &nType);
    if (!bDigits && sscanf(pszLine + 1, "%2x%4x%2x", &nCount, &nAddress, &nType) != 3)
        return HEX_RECORD_INVALID;
    if (nCount > 0xFF || nAddress > 0xFFFF || nType > 0xFF)
        return HEX_RECORD_INVALID;

    *pwAddress = static_cast<WORD>(nAddress);
    if (nType == HEX_TYPE_END_OF_FILE)
        return 0;

    const DWORD dwPosition = static_cast<DWORD>(nAddress) * nMultiplier;
    BYTE bySum = static_cast<BYTE>(nCount + HIBYTE(nAddress) + LOBYTE(nAddress) + nType);
    *pwAddress = static_cast<WORD>(dwPosition);

    // The data are converted in full before anything is written, so that a line which ends
    // early or holds no digits where a pair belongs writes nothing. The data always begin at
    // column 9, whatever the first conversion consumed.
    const size_t nLength = strlen(pszLine);
    BYTE abyData[255];
    for (UINT k = 0; k <= nCount; ++k) {
        const size_t nColumn = 9 + 2 * static_cast<size_t>(k);
        BYTE byValue = 0;
        if (nColumn >= nLength || !ScanPair(pszLine + nColumn, &byValue))
            return HEX_RECORD_INVALID;
        if (k < nCount)
            abyData[k] = byValue;
        bySum = static_cast<BYTE>(bySum + byValue);
    }

    // Start and end are 16-bit byte positions: a record reaching 0x10000 or beyond could not be
    // programmed where it belongs, and a Stepper record there could even reach past the image.
    if (dwPosition >= HEX_POSITION_LIMIT || dwPosition + nCount > HEX_POSITION_LIMIT)
        return bySum == 0 ? HEX_RECORD_OUT_OF_RANGE : HEX_RECORD_INVALID;

    // The data go into the image before the checksum is tested, as they always have.
    if (!IsAddressRecord(nType))
        memcpy(pImage + dwPosition, abyData, nCount);
    return bySum == 0 ? static_cast<int>(nCount) : HEX_RECORD_INVALID;
}

int LoadHexImage(FILE* pFile, BYTE* pImage, UINT nMultiplier, WORD* pwStart, WORD* pwEnd,
                 HEX_DATA_EXTENT* pExtent) {
    if (pFile == NULL || pImage == NULL || pwStart == NULL || pwEnd == NULL)
        return HEX_NO_LINE;

    char szLine[HEX_LINE_SIZE];
    if (fgets(szLine, HEX_LINE_SIZE, pFile) == NULL)
        return HEX_NO_LINE;

    // The first line gives the start and never moves the end; a result of 0 there (even an
    // end-of-file record) does not end the reading.
    WORD wStart = 0;
    int nResult = ParseHexRecord(pImage, szLine, &wStart, nMultiplier);
    if (nResult == HEX_RECORD_INVALID)
        return HEX_CHECKSUM_ERROR;
    if (nResult == HEX_RECORD_OUT_OF_RANGE)
        return HEX_RANGE_ERROR;
    CPlacedData placed;
    FollowRecord(szLine, wStart, &placed);

    // The end follows the last record in file order whose address field is not 0. It is kept
    // unwrapped, so that a record ending exactly at 0x10000 is seen rather than giving end 0.
    DWORD dwEnd = 0;
    BOOL bEndSet = FALSE;
    WORD wAddress = 0;
    for (;;) {
        if (fgets(szLine, HEX_LINE_SIZE, pFile) == NULL)
            return HEX_READ_ERROR;
        nResult = ParseHexRecord(pImage, szLine, &wAddress, nMultiplier);
        if (nResult == HEX_RECORD_INVALID)
            return HEX_CHECKSUM_ERROR;
        if (nResult == HEX_RECORD_OUT_OF_RANGE || !FollowRecord(szLine, wAddress, &placed))
            return HEX_RANGE_ERROR;
        if (wAddress != 0) {
            dwEnd = static_cast<DWORD>(wAddress) + static_cast<DWORD>(nResult);
            bEndSet = TRUE;
        }
        if (nResult == 0)
            break;
    }

    // A range that no later line set, or that ends at 0x10000 (a full 64 KiB would become
    // length 0), cannot be told to the update.
    if (!bEndSet || dwEnd >= HEX_POSITION_LIMIT)
        return HEX_RANGE_ERROR;
    *pwStart = wStart;
    *pwEnd = static_cast<WORD>(dwEnd);
    if (pExtent != NULL)
        *pExtent = placed.extent;
    return HEX_LOADED;
}
