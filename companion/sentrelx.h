// SENTRELX.DLL, the monitor's companion: it watches the set of running
// processes and asks the monitor for an immediate check (message 9024) when a
// program starts or ends. The monitor imports both entries by ordinal.
#pragma once

#include <windows.h>

extern "C" {
// Ordinal 2: start watching on behalf of this window. Returns non-zero when
// the watcher runs.
__declspec(dllimport) int __cdecl CompanionStart(HWND monitor);
// Ordinal 3: stop watching and wait for the watcher to end.
__declspec(dllimport) int __cdecl CompanionStop();
}
