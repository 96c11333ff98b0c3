// Resource identifiers of Ferrodin.
#pragma once

#define IDD_USBDRIVER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_PICTURE 129
#define IDC_STATUS_TEXT 1000
