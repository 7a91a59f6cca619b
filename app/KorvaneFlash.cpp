// OnFlash, the whole firmware update behind "Flash!": from the HEX file to the slave's final
// status, reported in the status line, the progress bar and message boxes.
#include "app/FlashTexts.h"
#include "app/KorvaneDlg.h"
#include "protocol/ResultCodes.h"
#include "protocol/SlaveProtocol.h"
#include "protocol/Slaves.h"
#include "update/HexImage.h"

#include "wstdio.h"

#include <cstdlib>
#include <cstring>

// An OD slave is reset and given this time to start its loader before the file is read; every
// slave is given it again after its last block.
static const DWORD RESET_WAIT_MS = 2000;

// The status byte before GetStatus: what "Update failed! Error %d" shows when GetStatus itself
// failed. 255 is no status a slave reports for success, and tells the failed exchange apart.
static const BYTE STATUS_NOT_READ = 0xFF;

void CKorvaneDlg::OnFlash() {
    UpdateData(TRUE);

    // The port may have appeared since the dialog opened.
    if (m_pProtocol == NULL)
        m_pProtocol = CSlaveProtocol::GetProtocol();
    if (m_pProtocol == NULL) {
        ShowStatus(STATUS_PORT_ERROR);
        return;
    }

    BYTE bAddress;
    BYTE bBlockLength;
    UINT nMultiplier;
    if (m_bOdMode) {
        bAddress = OD_SLAVE_ADDRESS;
        bBlockLength = OD_BLOCK_LENGTH;
        nMultiplier = OD_ADDRESS_UNIT;
        m_pProtocol->Reset(bAddress);
        Sleep(RESET_WAIT_MS);
    } else {
        // With no entry selected this is the low byte of CB_ERR, 255, which no slave answers.
        bAddress = LOBYTE(m_cbSlaveAddress.GetItemData(m_cbSlaveAddress.GetCurSel()));
        bBlockLength = STEPPER_BLOCK_LENGTH;
        nMultiplier = STEPPER_ADDRESS_UNIT;
    }

    ShowStatus(STATUS_READING);
    FILE* pFile = _wfopen(m_strFileName, _T("r"));
    if (pFile == NULL) {
        ShowStatus(STATUS_OPEN_ERROR);
        return;
    }
    BYTE* pImage = static_cast<BYTE*>(malloc(HEX_IMAGE_SIZE));
    if (pImage != NULL) {
        memset(pImage, 0xFF, HEX_IMAGE_SIZE);
        FlashImage(pFile, pImage, bAddress, bBlockLength, nMultiplier);
        free(pImage);
    } else {
        // The run ends here; the status line must not go on saying it reads.
        ShowStatus(STATUS_READ_ERROR);
    }
    fclose(pFile);
}

void CKorvaneDlg::FlashImage(FILE* pFile, BYTE* pImage, BYTE bAddress, BYTE bBlockLength,
                             UINT nMultiplier) {
    WORD wStart = 0;
    WORD wEnd = 0;
    HEX_DATA_EXTENT extent = {FALSE, 0, 0};
    switch (LoadHexImage(pFile, pImage, nMultiplier, &wStart, &wEnd, &extent)) {
    case HEX_LOADED:
        break;
    case HEX_CHECKSUM_ERROR:
        ShowStatus(STATUS_CHECKSUM_ERROR);
        return;
    case HEX_RANGE_ERROR:
        ShowStatus(STATUS_RANGE_ERROR);
        return;
    default: // HEX_NO_LINE (an empty file), HEX_READ_ERROR
        ShowStatus(STATUS_READ_ERROR);
        return;
    }

    // A range whose end lies below its start wrapped at 65536, and its blocks would be taken
    // from outside what the file gave (or outside the image): nothing is sent for it. Nor for
    // a start inside a word (an end-of-file record first gives one): every block would pair
    // the halves of two different words. Nor when a record placed data outside the blocks
    // (records out of address order, or below the first line): part of the file would be
    // left out and the run would still report success.
    const WORD wLength = static_cast<WORD>(wEnd - wStart);
    const DWORD dwBlocks = (static_cast<DWORD>(wLength) + bBlockLength - 1) / bBlockLength;
    const DWORD dwProgrammedEnd = wStart + dwBlocks * bBlockLength;
    const BOOL bDataLeftOut =
        extent.bPlaced && (extent.dwLow < wStart || extent.dwEnd > dwProgrammedEnd);
    if (wEnd < wStart || wStart % nMultiplier != 0 || dwProgrammedEnd > HEX_IMAGE_SIZE ||
        bDataLeftOut) {
        ShowStatus(STATUS_RANGE_ERROR);
        return;
    }

    m_progress.SetRange32(0, wLength);
    m_progress.SetPos(0);

    ShowStatus(STATUS_ERASING);
    if (m_pProtocol->Erase(bAddress, static_cast<WORD>(wStart / nMultiplier)) != ERR_OK) {
        AfxMessageBox(BOX_ERASE_ERROR, MB_OK, 0);
        return;
    }

    ShowStatus(STATUS_PROGRAMMING);
    // Every block is a whole block, the last one too: behind the end it carries the image's
    // 0xFF (or whatever a record put there).
    for (DWORD dwPosition = 0; dwPosition < wLength; dwPosition += bBlockLength) {
        const WORD wTarget = static_cast<WORD>(wStart / nMultiplier + dwPosition / nMultiplier);
        if (m_pProtocol->Program(bAddress, wTarget, pImage + wStart + dwPosition, bBlockLength) !=
            ERR_OK) {
            AfxMessageBox(BOX_PROGRAM_ERROR, MB_OK, 0);
            ShowStatus(STATUS_PROGRAM_ERROR);
            return;
        }
        m_progress.OffsetPos(bBlockLength);
    }

    ShowStatus(STATUS_RESETTING);
    m_pProtocol->Reset(bAddress);
    Sleep(RESET_WAIT_MS);

    ShowStatus(STATUS_GETTING_STATUS);
    BYTE bStatus = STATUS_NOT_READ;
    const DWORD dwResult = m_pProtocol->GetStatus(bAddress, &bStatus);
    if (dwResult != ERR_OK || bStatus != 0) {
        CString strMessage;
        strMessage.Format(FORMAT_UPDATE_FAILED, bStatus);
        AfxMessageBox(strMessage, MB_ICONHAND, 0);
        ShowStatus(strMessage);
        return;
    }
    AfxMessageBox(BOX_UPDATE_SUCCEEDED, MB_OK, 0);
    ShowStatus(STATUS_UPDATE_DONE);
}
