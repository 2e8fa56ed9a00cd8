// The settings export: the watchdog's own keys written as a registry script
// beside the explorer, for the registry editor to merge back.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

// "<explorer folder>\<user name>-Sentrel.reg".
std::string SettingsExportPath();
// The script's whole text as it stands in the registry now.
std::string SettingsExportText();
// Writes the script (replacing an earlier one only once the new one is
// complete) and tells the user where it is; 0 with nothing shown when the
// file cannot be written.
int ExportSettings(HWND owner);

}  // namespace sentrel
