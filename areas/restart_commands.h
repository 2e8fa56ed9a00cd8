// The restart commands of Windows 95/98/Me (wininit.ini in the Windows
// folder): files deleted or renamed at the next restart, and their viewer.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

// NT: registered with MoveFileEx; 95/98/Me: a "NUL=" line in wininit.ini.
// Returns 1 when the deletion was registered.
int DeleteFileOnReboot(const char* path);

// 1 when the system carries out restart commands (wininit.exe in the Windows
// folder) and wininit.ini holds some. With show set it opens the viewer
// then, or tells the user (message 59) that there are none.
int RestartCommands(HWND owner, bool show);

// wininit.ini as the viewer shows it: at most 16384 bytes, line ends as CR LF.
std::string RestartCommandsText();

}  // namespace sentrel
