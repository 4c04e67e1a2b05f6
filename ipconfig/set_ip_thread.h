#pragma once
#include <windows.h>

// The change-IP worker, started by the IP Config dialog's OK with the dialog (CIpConfigDlg*) as its
// argument. Reads the address typed, queues the change-IP command unless the address is unchanged (or
// incomplete, should a field have been cleared since OK), waits up to 15 s for the reply receiver to
// confirm it, reports a failure in a message box, and posts WM_SETIP_DONE to the dialog on every path.
// Its exit code is always 1.
DWORD WINAPI SetIpThread(LPVOID param);
