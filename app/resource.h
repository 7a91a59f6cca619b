// Identifiers of Korvane's resources. They stay #define, unlike the system's other constants:
// this is the header the resource script shares with the code, and a resource compiler reads
// only the preprocessor's definitions, not C++ constants.
#pragma once

#define IDD_KORVANE_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_FILENAME 1000
#define IDC_FLASH 1001
#define IDC_PROGRESS 1002
#define IDC_BROWSE 1004
#define IDC_FILENAME_LABEL 1005
#define IDC_SLAVE_ADDRESS 1006
#define IDC_SLAVE_ADDRESS_LABEL 1007
#define IDC_STATUS 1008
#define IDC_OD 1009
#define IDC_STEPPER 1010
