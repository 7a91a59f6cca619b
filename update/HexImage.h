// The HEX image loader: reads a firmware file of Intel HEX records, line by line through the
// runtime's buffered stream, into the memory image of the slave's program memory, and finds the
// range of that image which the update erases and programs.
//
// It reads the files this tool's operators make, not every Intel HEX file: addresses are the
// records' 16-bit address fields (no extended address is applied, but a file whose extended
// address changes once data were placed is refused: its data lie beyond 64 KiB), only the
// end-of-file record (type 01) ends the reading, the range starts at the first line's address and
// ends behind the last record in file order whose address field is not 0, and in Stepper mode the
// file's addresses count 16-bit words and are doubled into byte positions.
#pragma once

#include <cstdio>

#include "windows.h"

// The memory image: byte i stands for byte position i of the slave's program memory. The caller
// allocates it and fills it with 0xFF; bytes that no record writes keep 0xFF.
const UINT HEX_IMAGE_SIZE = 131072;

// One read of the line reader: at most 1023 characters and the terminating zero. A longer line
// arrives in pieces, and each piece is taken as a line of its own.
const int HEX_LINE_SIZE = 1024;

// Outcomes of LoadHexImage.
enum : int {
    HEX_LOADED = 0,         // an end record was read: start and end hold the range
    HEX_NO_LINE = 1,        // not even a first line could be read
    HEX_READ_ERROR = 2,     // the file ended (or failed) before an end record
    HEX_CHECKSUM_ERROR = 3, // a line is not a valid record
    HEX_RANGE_ERROR = 4,    // the data or the range do not fit the 16-bit byte positions
};

// Results of ParseHexRecord besides a record's count (0 to 255).
enum : int {
    HEX_RECORD_INVALID = -1,      // not a valid record; nothing written unless only the sum is bad
    HEX_RECORD_OUT_OF_RANGE = -2, // a valid record that would lie at byte position 0x10000 or on
};

// Decodes one zero-terminated line. Returns the count of a valid record (0 to 255; 0 also for
// the end-of-file record, whose data and checksum are not looked at), HEX_RECORD_INVALID or
// HEX_RECORD_OUT_OF_RANGE. *pwAddress receives the line's address field once the count, address
// and type have been read; for a record other than end-of-file it is then multiplied by
// nMultiplier (1 for OD, 2 for Stepper), so it holds a byte position. The data of a record of
// type 00 or 06 to FF are written at that byte position before the checksum is tested, so a
// record with a bad checksum has written them; records of types 02 to 05 carry addresses and
// write nothing.
int ParseHexRecord(BYTE* pImage, const char* pszLine, WORD* pwAddress, UINT nMultiplier);

// Where the data records of a file put bytes into the image, in byte positions. The range that
// start and end give follows the file's order, not its addresses, so data can lie outside it;
// the update compares the two before it sends anything.
struct HEX_DATA_EXTENT {
    BOOL bPlaced; // some record put at least one byte into the image
    DWORD dwLow;  // the lowest byte position written
    DWORD dwEnd;  // the byte position just behind the highest one written
};

// Reads the file from its current position into pImage (HEX_IMAGE_SIZE bytes, filled with 0xFF
// by the caller). With HEX_LOADED, *pwStart and *pwEnd hold the range to program, in bytes, and
// *pExtent (when given) where the data lie; with any other outcome all three are left as they
// were. The caller opens and closes the file.
int LoadHexImage(FILE* pFile, BYTE* pImage, UINT nMultiplier, WORD* pwStart, WORD* pwEnd,
                 HEX_DATA_EXTENT* pExtent = NULL);
