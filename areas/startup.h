// The startup catalogue: every place programs start from, the actions on
// its entries (disable, enable, remove, restore), the startup baseline and
// the first-seen store.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "catalogue.h"
#include "command_text.h"
#include "first_seen.h"

namespace sentrel {

// ---- Enumeration -------------------------------------------------------------

// The seven Run keys in their order (type code = root base + index + 1).
extern const char* const kRunKeyPaths[7];
constexpr const char* kWinlogonKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kAppInitKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kDelayLoadKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";

// restricted = 1: the explorer's view, where ShowAllStartup decides on the
// Winlogon and shell extension locations. Returns the number of entries.
int EnumerateStartupEntries(int restricted);
void ListRunKeyEntries();
void ListStartupFolderEntries();
void ListWinIniEntries();
void ListDisabledEntries();
void ListShellExtensionEntries();
int ReadUserinit(std::string& program);
int ReadShell(std::string& program);
// Pure cores of the two above.
int UserinitProgram(const std::string& value, std::string& program);
int ShellProgram(const std::string& value, std::string& program);
// The path of a Run command that starts a DLL through RUNDLL32.EXE (the text
// after the program), or "" when it does not.
std::string RundllTarget(const std::string& command);
// The AppInit_DLLs value, and its pieces (split at "," and at blanks).
std::string ReadAppInitList();
// The same, 0 when the value exists but is not text: a list that cannot be
// read must never be written back as if it were empty.
int ReadAppInitList(std::string& list);
// The line of a WIN.INI run/load key without a command, and whether it has it.
bool WinIniHasToken(const std::string& line, const std::string& command);
std::string WinIniLineWithout(const std::string& line, const std::string& command);

// ---- Actions -----------------------------------------------------------------

constexpr const char* kDisabledKey = "Software\\Orvane Works\\Sentrel\\Disabled";
constexpr const char* kStartupBaselineKey = "Software\\Orvane Works\\Sentrel\\Run";

int IsEntryDisabled(const char* title);
int IsEntryDisabled(const CatalogueEntry& entry);
int ToggleStartupEntry(const char* title, const char* command, const char* file, int type);
int RemoveStartupEntry(const char* title, const char* command, const char* file, int type);
int RestoreRemovedEntry(const char* title, const char* command, const char* file, int type);
// The same for a listed entry: it is found by the name it is stored under,
// and what is disabled, removed and recorded is its value exactly as found.
// Remove returns 0, and records nothing, when nothing was removed.
int ToggleStartupEntry(const CatalogueEntry& entry);
int RemoveStartupEntry(const CatalogueEntry& entry);
// A Run value that was disabled and has come back goes into the Disabled
// store again, as it is now; 0 when that cannot be done here.
int DisableReturnedRunValue(const std::string& name, int type);

// Removing a key location asks first; the program supplies the question.
using RemovalConfirmation = bool (*)(HWND owner, const char* title, const char* command, int type);
void SetRemovalConfirmation(RemovalConfirmation confirm);
int RemoveShellExtensionEntry(HWND owner, const char* title, const char* command, const char* data, int type);
int RemoveShellExtensionEntry(HWND owner, const CatalogueEntry& entry);
int ResetUserinit();
int ResetShell();

// The folder beside the program where disabled Startup-folder files are parked.
std::string ParkingFolder();

// The vault of the data folder, where removed files are kept for the history:
// a free name there for a file (a number in front when the name is taken),
// and whether a path names a file directly in it.
std::string VaultFolder();
std::string FreeVaultSlot(const std::string& file);
bool InVault(const std::string& path);

// ---- Baselines and first-seen dates --------------------------------------------

// The baseline value name of a command: every "=" becomes ":".
std::string BaselineName(const std::string& command);
int InitRegStartups();
int CleanupRunRegistry();
int StartupBaselineChanged();

int InitFirstSeenStore();

// Hooks for the settings initialisation and run-at-start.
int FindOwnStartupEntries(bool remove);
int RemoveEarlierEditionEntry();

}  // namespace sentrel
