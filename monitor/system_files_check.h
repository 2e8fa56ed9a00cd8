// The patrol's checks of the system files, the hidden files and the restart
// commands of Windows 95/98/Me.
#pragma once

namespace sentrel {

// Each returns 0 when the patrol must end at once (hand-over or exit).
// A changed registered file is put to the user in the file change alert.
int CheckSystemFiles();
// A hidden file the baseline does not know is put to the user; its Delete
// deletes it into the vault.
int CheckHiddenFiles();
// Commands in wininit.ini are asked about once (question 28); the check
// then stays off while the monitor runs.
int CheckRestartCommands();

}  // namespace sentrel
