#include "app/FlashTexts.h"

const TCHAR STATUS_PORT_ERROR[] = _T("Error opening port");
const TCHAR STATUS_READING[] = _T("Reading file");
const TCHAR STATUS_OPEN_ERROR[] = _T("Error opening file");
const TCHAR STATUS_READ_ERROR[] = _T("Error reading file");
const TCHAR STATUS_CHECKSUM_ERROR[] = _T("Checksum error");
const TCHAR STATUS_RANGE_ERROR[] = _T("Address out of range");
const TCHAR STATUS_ERASING[] = _T("Erasing");
const TCHAR STATUS_PROGRAMMING[] = _T("Programming...");
const TCHAR STATUS_PROGRAM_ERROR[] = _T("Programming error");
const TCHAR STATUS_RESETTING[] = _T("Resetting slave");
const TCHAR STATUS_GETTING_STATUS[] = _T("Getting status");
const TCHAR STATUS_UPDATE_DONE[] = _T("Update sucessfully completed");
const TCHAR FORMAT_UPDATE_FAILED[] = _T("Update failed! Error %d");

const TCHAR BOX_ERASE_ERROR[] = _T("Error Erasing");
const TCHAR BOX_PROGRAM_ERROR[] = _T("Error while programming");
const TCHAR BOX_UPDATE_SUCCEEDED[] = _T("Update succeeded!");
