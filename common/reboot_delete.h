// Files deleted at the next restart of Windows.
#pragma once

namespace sentrel {

// NT: registered with MoveFileEx; 95/98/Me: a "NUL=" line in wininit.ini.
// Returns 1 when the deletion was registered.
int DeleteFileOnReboot(const char* path);

}  // namespace sentrel
