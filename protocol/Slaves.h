// The slaves behind the port, as the host addresses them: OD slave 1, which counts its memory
// in bytes and takes 64-byte blocks, and the Stepper slaves, which count their memory in 16-bit
// words and take 128-byte blocks. The update, the command layer, the simulator and the tests all
// take these values from here.
#pragma once

#include "windows.h"

const BYTE OD_SLAVE_ADDRESS = 1;

// The Stepper slaves, in the order in which the dialog's sorted list shows their texts
// ("0x14" ... "0x1D"): the list's item data follow it by index.
const BYTE STEPPER_SLAVE_ADDRESSES[] = {0x14, 0x15, 0x18, 0x1C, 0x1D};
const int STEPPER_SLAVE_COUNT =
    sizeof(STEPPER_SLAVE_ADDRESSES) / sizeof(STEPPER_SLAVE_ADDRESSES[0]);

// Bytes of the image per address step of the slave's memory.
const UINT OD_ADDRESS_UNIT = 1;
const UINT STEPPER_ADDRESS_UNIT = 2;

// Data bytes in one Program.
const BYTE OD_BLOCK_LENGTH = 64;
const BYTE STEPPER_BLOCK_LENGTH = 128;

// The Program parameter's length byte: the two bytes of the block's address and the block.
const BYTE PROGRAM_ADDRESS_BYTES = 2;
const BYTE OD_PROGRAM_LENGTH = PROGRAM_ADDRESS_BYTES + OD_BLOCK_LENGTH;           // 66
const BYTE STEPPER_PROGRAM_LENGTH = PROGRAM_ADDRESS_BYTES + STEPPER_BLOCK_LENGTH; // 130
