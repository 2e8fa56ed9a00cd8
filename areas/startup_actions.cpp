// Actions on startup entries, the startup baseline and the first-seen store.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "activex.h"
#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "ie_helpers.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"
#include "tasks.h"

namespace sentrel {
namespace {

constexpr const char* kDisabledSubKeys[] = {"Run",      "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce",
                                            "RunSetup", "Policy"};
constexpr const char* kMachineBaselineKey = "Software\\Orvane Works\\Sentrel\\Run";

RemovalConfirmation g_confirm = nullptr;

bool IsRunKeyType(int type) {
  return (type >= 1 && type <= 7) || (type >= 11 && type <= 17) || (type >= 21 && type <= 25);
}

// Live root and key of a Run-key type.
HKEY LiveRoot(int type) { return type >= 11 && type <= 17 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
std::string LiveKey(int type) {
  std::string key = kRunKeyPaths[(type % 10) - 1];
  if (type >= 21) key.insert(std::strlen("Software\\"), "Wow6432Node\\");
  return key;
}
// The live value an entry was listed from. Titles are cut to kTitleWidth, so
// a longer value name is found by its first characters and its command;
// without this such an entry could be neither removed nor disabled.
std::string LiveValueName(int type, const std::string& title, const std::string& command) {
  RegKey key;
  if (title.size() < kTitleWidth || key.Open(LiveRoot(type), LiveKey(type).c_str(), KEY_READ) != ERROR_SUCCESS ||
      RegQueryValueExA(key.get(), title.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    return title;
  for (const ListedValue& value : SnapshotValues(key.get()))
    if (value.exactName && value.name.size() > kTitleWidth &&
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, value.name.data(), kTitleWidth, title.data(),
                       kTitleWidth) == CSTR_EQUAL &&
        lstrcmpiA(value.text.c_str(), command.c_str()) == 0)
      return value.name;
  return title;
}

std::string DisabledCopyKey(int type) {
  if (type == kTypeWinLoad) return std::string(kDisabledKey) + "\\WinLoad";
  if (type == kTypeWinRun) return std::string(kDisabledKey) + "\\WinRun";
  if (type == kTypeWinlogonNotify) return std::string(kDisabledKey) + "\\WinNotify";
  return std::string(kDisabledKey) + "\\" + kDisabledSubKeys[(type % 10) - 1];
}

// Where a removed Run value is kept whole for its restore.
std::string RemovedCopyKey(int type) {
  return std::string(kSentrelKey) + "\\Removed\\" + kDisabledSubKeys[(type % 10) - 1];
}

std::string TypeText(int type) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", type);
  return text;
}

int WriteMarker(const std::string& name, int type) {
  return WriteStringValue(HKEY_LOCAL_MACHINE, kDisabledKey, name.c_str(), TypeText(type).c_str());
}

const char* WinIniKey(int type) { return type == kTypeWinLoad ? "load" : "run"; }

std::string ReadWinIniLine(int type) {
  std::string line(1024, '\0');
  for (;;) {
    DWORD length = GetProfileStringA("windows", WinIniKey(type), "", &line[0], static_cast<DWORD>(line.size()));
    if (length + 2 < line.size() || line.size() >= (1u << 20)) {
      line.resize(length);
      return line;
    }
    line.resize(line.size() * 4);
  }
}

int WriteWinIniLine(int type, const std::string& line) {
  std::string winIni = WindowsFolder() + "\\win.ini";
  DWORD attributes = GetFileAttributesA(winIni.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(winIni.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  return WriteProfileStringA("windows", WinIniKey(type), line.c_str()) != 0;
}

int AppendToWinIni(int type, const std::string& command) {
  std::string line = ReadWinIniLine(type);
  // A line that already ends with the separator needs no second one.
  if (!line.empty() && line.back() != ';') line += ";";
  return WriteWinIniLine(type, line + command);
}

std::string FirstStartupFolder() {
  const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  char folder[260];
  if (ReadStringValue(HKEY_CURRENT_USER, shellFolders, "Startup", folder, sizeof folder) > 0) return folder;
  if (ReadStringValue(HKEY_LOCAL_MACHINE, shellFolders, "Startup", folder, sizeof folder) > 0) return folder;
  if (ReadStringValue(HKEY_LOCAL_MACHINE, shellFolders, "Common Startup", folder, sizeof folder) > 0) return folder;
  return {};
}

// Winlogon stops loading a package whose DllName is empty. Only a package
// that exists is changed: a name that names none must not create one.
int MoveNotifyDll(const std::string& package, bool disable) {
  RegKey key;
  std::string path = std::string(kWinlogonKey) + "\\Notify\\" + package;
  if (package.empty() || key.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return 0;
  const StoredValue empty = TextValue("");
  StoredValue from;
  ReadStoredValue(key.get(), disable ? "DllName" : "OldName", from);
  if (from.type == REG_NONE) from = empty;
  if (!SetStoredValue(key.get(), disable ? "OldName" : "DllName", from)) return 0;
  return SetStoredValue(key.get(), disable ? "DllName" : "OldName", empty);
}

// The folder of a command for a recreated shortcut.
std::string WorkingFolderOf(const std::string& command) {
  size_t slash = command.rfind('\\');
  if (slash != std::string::npos)
    return slash == 2 && command[1] == ':' ? command.substr(0, 3) : command.substr(0, slash);
  if (command.size() < 32) {
    if (GetFileAttributesA((WindowsFolder() + "\\" + command).c_str()) != INVALID_FILE_ATTRIBUTES)
      return WindowsFolder();
    if (GetFileAttributesA((SystemFolder() + "\\" + command).c_str()) != INVALID_FILE_ATTRIBUTES) return SystemFolder();
  }
  return {};
}

int CreateShortcut(const std::string& file, const std::string& target, const std::string& title) {
  HRESULT com = CoInitialize(nullptr);
  int result = 0;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    link->SetPath(target.c_str());
    link->SetDescription(title.c_str());
    link->SetIconLocation(target.c_str(), 0);
    link->SetWorkingDirectory(WorkingFolderOf(target).c_str());
    link->SetArguments("");
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      const std::wstring wide = WidePath(file);
      result = !wide.empty() && SUCCEEDED(persist->Save(wide.c_str(), TRUE)) ? 1 : 0;
      persist->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}

void WriteBaseline(const std::string& command, int type) {
  WriteStringValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(command).c_str(), TypeText(type).c_str());
}

int WriteAppInitList(const std::string& list) {
  return WriteStringValue(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs", list.c_str());
}

}  // namespace

std::string ParkingFolder() { return FileBesideProgram("Disabled"); }

std::string BaselineName(const std::string& command) {
  std::string name = command;
  for (char& c : name)
    if (c == '=') c = ':';
  return name;
}

bool WinIniHasToken(const std::string& line, const std::string& command) {
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = line.find(';', start);
    if (lstrcmpiA(line.substr(start, end == std::string::npos ? std::string::npos : end - start).c_str(),
                  command.c_str()) == 0)
      return !command.empty();
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

std::string WinIniLineWithout(const std::string& line, const std::string& command) {
  std::string result;
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = line.find(';', start);
    std::string token = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!token.empty() && lstrcmpiA(token.c_str(), command.c_str()) != 0) result += token + ";";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return result;
}

int IsEntryDisabled(const char* title) {
  char marker[256];
  return ReadStringValue(HKEY_LOCAL_MACHINE, kDisabledKey, title, marker, sizeof marker) > 0 ? 1 : 0;
}

namespace {

// A startup entry named by the four texts the history file and older callers
// hold: the title is also the name it is stored under.
CatalogueEntry EntryOf(const char* title, const char* command, const char* file, int type) {
  CatalogueEntry entry;
  entry.title = entry.name = title ? title : "";
  entry.path = entry.command = command ? command : "";
  entry.data = file ? file : "";
  entry.type = type;
  return entry;
}

std::string CommandOf(const CatalogueEntry& entry) { return entry.command.empty() ? entry.path : entry.command; }

// Moves a live Run value into the Disabled store, its type and bytes
// unchanged; the live value goes only once the copy and the marker exist.
int MoveRunValueToStore(const std::string& name, int type) {
  if (!IsRunKeyType(type) || name.empty()) return 0;
  RegKey live;
  if (live.Open(LiveRoot(type), LiveKey(type).c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return 0;
  StoredValue raw;
  if (!ReadStoredValue(live.get(), name.c_str(), raw)) return 0;
  if (!WriteStoredValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), name.c_str(), raw)) return 0;
  if (!WriteMarker(name, type)) return 0;
  return RegDeleteValueA(live.get(), name.c_str()) == ERROR_SUCCESS ? 1 : 0;
}

// Puts a disabled Run value back as it was stored (older copies: the command).
int MoveRunValueBack(const std::string& name, const std::string& command, int type) {
  const std::string copyKey = DisabledCopyKey(type);
  StoredValue raw;
  if (!ReadStoredValue(HKEY_LOCAL_MACHINE, copyKey.c_str(), name.c_str(), raw)) raw = TextValue(command);
  if (!WriteStoredValue(LiveRoot(type), LiveKey(type).c_str(), name.c_str(), raw)) return 0;
  DeleteValue(HKEY_LOCAL_MACHINE, copyKey.c_str(), name.c_str());
  DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, name.c_str());
  return 1;
}

}  // namespace

// Where removed files of the Startup folders are kept, so that the history
// can bring them back (a shortcut is made anew instead): a name of their own
// in the vault, never another removed file's.
std::string VaultFolder() { return DataFolder() + "\\vault"; }
std::string FreeVaultSlot(const std::string& file) {
  const std::string name = FileNamePart(file);
  for (int n = 0; n < 10000 && !name.empty(); ++n) {
    const std::string slot = VaultFolder() + "\\" + (n ? std::to_string(n) + "-" : "") + name;
    if (GetFileAttributesA(slot.c_str()) == INVALID_FILE_ATTRIBUTES) return slot;
  }
  return {};
}
bool InVault(const std::string& path) {
  const std::string vault = VaultFolder() + "\\";
  return path.size() > vault.size() && path.find("..") == std::string::npos && path.find('/') == std::string::npos &&
         CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path.data(), static_cast<int>(vault.size()),
                        vault.data(), static_cast<int>(vault.size())) == CSTR_EQUAL &&
         path.find('\\', vault.size()) == std::string::npos;
}

namespace {
bool IsShortcut(const std::string& file) { return lstrcmpiA(ExtensionOf(FileNamePart(file)).c_str(), "lnk") == 0; }

// Moves a file, replacing what is at the destination; across drives, or
// where MoveFileEx is not there to do it (95/98/Me), by copying.
bool MoveOrCopy(const std::string& from, const std::string& to) {
  SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(to.c_str());
  if (MoveFileA(from.c_str(), to.c_str())) return true;
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) return false;
  SetFileAttributesA(from.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(from.c_str()) != 0;
}

// Removes a Startup-folder file: a program, batch file or script is kept in
// the vault first (*kept names its copy). Returns whether the file is gone.
// A removed shortcut is kept too, with its arguments, folder and icon; the
// history names it by where it was, so the way back is noted here.
constexpr const char* kKeptShortcutsKey = "Software\\Orvane Works\\Sentrel\\Removed\\Startup";

bool RemoveFolderFile(const std::string& file, std::string* kept) {
  if (file.empty() || GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  CreateDirectoryA(DataFolder().c_str(), nullptr);
  CreateDirectoryA(VaultFolder().c_str(), nullptr);
  const std::string slot = FreeVaultSlot(file);
  if (!slot.empty() && MoveOrCopy(file, slot)) {
    if (IsShortcut(file))
      WriteStringValue(HKEY_CURRENT_USER, kKeptShortcutsKey, file.c_str(), slot.c_str());
    else
      *kept = slot;
    return true;
  }
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(file.c_str()) != 0;
}

}  // namespace

int DisableReturnedRunValue(const std::string& name, int type) { return MoveRunValueToStore(name, type); }

int IsEntryDisabled(const CatalogueEntry& entry) {
  // A listed row says itself where it came from; a marker of its name may
  // belong to another entry (another key, a shortcut of the same title).
  if (entry.listed) return entry.fromDisabledStore ? 1 : 0;
  return entry.wideName.empty() && !entry.name.empty() && IsEntryDisabled(entry.name.c_str()) ? 1 : 0;
}

int ToggleStartupEntry(const char* title, const char* command, const char* file, int type) {
  return ToggleStartupEntry(EntryOf(title, command, file, type));
}

int ToggleStartupEntry(const CatalogueEntry& entry) {
  // A name the ANSI calls cannot write, or none (a key's unnamed value),
  // cannot have a disabled copy.
  if (!entry.wideName.empty() || entry.name.empty()) return 0;
  const int type = entry.type;
  const std::string command = CommandOf(entry);
  const bool disabled = IsEntryDisabled(entry) != 0;
  // Disabled copies are known by name alone: another entry's copy of the
  // same name is never written over.
  if (!disabled && IsEntryDisabled(entry.name.c_str())) return 0;
  if (IsRunKeyType(type)) {
    if (!disabled) return MoveRunValueToStore(LiveValueName(type, entry.name, command), type);
    return MoveRunValueBack(entry.name, command, type);
  }
  if (type == kTypeWinLoad || type == kTypeWinRun) {
    if (!disabled) {
      const std::string line = ReadWinIniLine(type), rest = WinIniLineWithout(line, command);
      if (!WinIniHasToken(line, command)) return 0;
      if (!WriteStringValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str(), command.c_str()))
        return 0;
      if (!WriteMarker(entry.name, type)) return 0;
      return WriteWinIniLine(type, rest);
    }
    std::string stored = ReadString(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str());
    if (!AppendToWinIni(type, stored.empty() ? command : stored)) return 0;
    DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, entry.name.c_str());
    DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str());
    return 1;
  }
  if (type == kTypeStartupFolder) {
    const std::string file = entry.data;
    if (ParkingFolder().empty()) return 0;  // never a folder at the drive root
    std::string parked = ParkingFolder() + "\\" + FileNamePart(file);
    if (!disabled) {
      CreateDirectoryA(ParkingFolder().c_str(), nullptr);
      if (file.empty() || !MoveFileA(file.c_str(), parked.c_str())) return 0;
      return WriteMarker(entry.name, type);
    }
    std::string folder = FirstStartupFolder();
    if (folder.empty()) return 0;
    if (!MoveFileA(parked.c_str(), (folder + "\\" + FileNamePart(parked)).c_str())) return 0;
    DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, entry.name.c_str());
    return 1;
  }
  if (type == kTypeWinlogonNotify) {
    if (!disabled) {
      if (!MoveNotifyDll(entry.name, true)) return 0;
      WriteStringValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str(), command.c_str());
      WriteMarker(entry.name, type);
      WriteBaseline(command, type);
      return 1;
    }
    if (!MoveNotifyDll(entry.name, false)) return 0;
    DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, entry.name.c_str());
    DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str());
    return 1;
  }
  return 0;  // Winlogon and shell extension locations are removed, not disabled
}

int RemoveStartupEntry(const char* title, const char* command, const char* file, int type) {
  return RemoveStartupEntry(EntryOf(title, command, file, type));
}

int RemoveStartupEntry(const CatalogueEntry& entry) {
  const int type = entry.type;
  std::string command = CommandOf(entry);
  const bool disabled = IsEntryDisabled(entry) != 0;
  bool removed = false;
  std::string recordedData = entry.data;
  if (IsRunKeyType(type) || (type >= 26 && type <= 27)) {
    StoredValue raw;
    if (disabled) {
      // What was disabled is what the history keeps.
      if (ReadStoredValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str(), raw) &&
          !TextOfValue(raw).empty())
        command = TextOfValue(raw);
      removed = DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str()) != 0;
      removed = DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, entry.name.c_str()) != 0 || removed;
    } else {
      RegKey live;
      if (live.Open(LiveRoot(type), LiveKey(type).c_str(), KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        ListedValue value;
        value.name = entry.wideName.empty() ? LiveValueName(type, entry.name, command) : entry.name;
        value.wideName = entry.wideName;
        value.exactName = entry.wideName.empty();
        if (value.exactName && ReadStoredValue(live.get(), value.name.c_str(), raw) && !TextOfValue(raw).empty())
          command = TextOfValue(raw);
        removed = DeleteListedValue(live.get(), value) != 0;
      }
    }
    // The history line holds text only, and at most a line's worth: the
    // value itself (its type, all of it) is kept for the restore.
    if (removed && raw.type != REG_NONE && entry.wideName.empty() && !entry.name.empty())
      WriteStoredValue(HKEY_CURRENT_USER, RemovedCopyKey(type).c_str(), entry.name.c_str(), raw);
  } else if (type == kTypeWinLoad || type == kTypeWinRun) {
    if (disabled) {
      std::string stored = ReadString(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str());
      if (!stored.empty()) command = stored;
      removed = DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, entry.name.c_str()) != 0;
      DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), entry.name.c_str());
    }
    const std::string line = ReadWinIniLine(type), rest = WinIniLineWithout(line, command);
    if (WinIniHasToken(line, command) && WriteWinIniLine(type, rest)) removed = true;
  } else if (type == kTypeStartupFolder) {
    if (disabled) DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, entry.name.c_str());
    // The command names the shortcut's target: it is only the file itself
    // when no file was given.
    const std::string file = !entry.data.empty() ? entry.data : command;
    std::string kept;
    removed = RemoveFolderFile(file, &kept) || disabled;
    if (!kept.empty()) {
      // The history brings the file back from its copy to where it was.
      command = file;
      recordedData = kept;
    }
  } else if (type >= kTypeUserinit && type <= kTypeAppInitDlls) {
    return RemoveShellExtensionEntry(nullptr, entry);
  }
  // Only what happened is recorded.
  if (removed && !ContainsText(command.c_str(), "Sentrel"))
    AppendHistory(entry.title.c_str(), command.c_str(), recordedData.c_str(), type, kActionStartRemove);
  DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(command).c_str());
  DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(entry.path).c_str());
  DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, entry.title.c_str());
  return removed ? 1 : 0;
}

int RestoreRemovedEntry(const char* title, const char* command, const char* file, int type) {
  int result = 0;
  if (IsRunKeyType(type)) {
    // The removed value itself when it is kept and is the one recorded.
    StoredValue raw;
    const std::string kept = RemovedCopyKey(type);
    if (ReadStoredValue(HKEY_CURRENT_USER, kept.c_str(), title, raw) &&
        TextOfValue(raw).compare(0, std::strlen(command), command) == 0) {
      result = WriteStoredValue(LiveRoot(type), LiveKey(type).c_str(), title, raw);
      if (result) DeleteValue(HKEY_CURRENT_USER, kept.c_str(), title);
    } else {
      result = WriteStringValue(LiveRoot(type), LiveKey(type).c_str(), title, command);
    }
  } else if (type == kTypeWinLoad || type == kTypeWinRun) {
    result = AppendToWinIni(type, command);
  } else if (type == kTypeStartupFolder) {
    const std::string kept = file ? file : "";
    if (InVault(kept)) {
      // A kept file goes back where it was, never over another file.
      result = GetFileAttributesA(kept.c_str()) != INVALID_FILE_ATTRIBUTES &&
                       GetFileAttributesA(command) == INVALID_FILE_ATTRIBUTES && MoveOrCopy(kept, command)
                   ? 1
                   : 0;
    } else {
      // The shortcut itself when it was kept, else one made anew.
      const std::string slot = ReadString(HKEY_CURRENT_USER, kKeptShortcutsKey, kept.c_str());
      if (InVault(slot) && GetFileAttributesA(slot.c_str()) != INVALID_FILE_ATTRIBUTES &&
          GetFileAttributesA(kept.c_str()) == INVALID_FILE_ATTRIBUTES && MoveOrCopy(slot, kept)) {
        DeleteValue(HKEY_CURRENT_USER, kKeptShortcutsKey, kept.c_str());
        result = 1;
      } else {
        result = CreateShortcut(kept, command, title);
      }
    }
  } else if (type == kTypeDelayLoad) {
    result = WriteStringValue(HKEY_LOCAL_MACHINE, kDelayLoadKey, title, file);
  } else if (type == kTypeSharedTaskScheduler || type == kTypeShellExecuteHook) {
    std::string key = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") +
                      (type == kTypeSharedTaskScheduler ? "SharedTaskScheduler" : "ShellExecuteHooks");
    result = WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), file, title);
  } else if (type == kTypeAppInitDlls) {
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(command, shortPath, sizeof shortPath);
    std::string piece = length > 0 && length < sizeof shortPath ? shortPath : command;
    std::string list;
    if (!ReadAppInitList(list)) return 0;  // never overwrite what cannot be read
    result = WriteAppInitList(list.empty() ? piece : list + "," + piece);
  } else if (type == kTypeWinlogonNotify) {
    return MoveNotifyDll(title ? title : "", false);
  }
  if (result) WriteBaseline(command, type);
  return result;
}

void SetRemovalConfirmation(RemovalConfirmation confirm) { g_confirm = confirm; }

int ResetUserinit() {
  std::string value = SystemFolder() + "\\Userinit.exe,";
  // Recorded only when the reset happened: the history must not claim it.
  if (!WriteStringValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit", value.c_str())) return 0;
  WriteStringValue(HKEY_LOCAL_MACHINE, kMachineBaselineKey, value.c_str(), "250");
  AppendHistory("Winlogon Userinit", value.c_str(), "", kTypeUserinit, kActionResetUserinit);
  return 1;
}

int ResetShell() {
  if (!WriteStringValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", "Explorer.exe")) return 0;
  WriteStringValue(HKEY_LOCAL_MACHINE, kMachineBaselineKey, "Explorer.exe", "251");
  AppendHistory("Winlogon Shell", "Explorer.exe", "", kTypeShell, kActionResetShell);
  return 1;
}

int RemoveShellExtensionEntry(HWND owner, const char* title, const char* command, const char* data, int type) {
  CatalogueEntry entry = EntryOf(title, command, data, type);
  // The class-id locations are named by their class id.
  if (type == kTypeSharedTaskScheduler || type == kTypeShellExecuteHook) entry.name = entry.data;
  return RemoveShellExtensionEntry(owner, entry);
}

int RemoveShellExtensionEntry(HWND owner, const CatalogueEntry& entry) {
  const int type = entry.type;
  const std::string command = CommandOf(entry);
  if (type == kTypeUserinit) return ResetUserinit();
  if (type == kTypeShell) return ResetShell();
  if (type < kTypeDelayLoad || type > kTypeAppInitDlls) return 0;
  if (!g_confirm || !g_confirm(owner, entry.title.c_str(), command.c_str(), type)) return 0;
  const char* explorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  int action = kActionStartRemove;
  switch (type) {
    case kTypeDelayLoad: {
      RegKey key;
      ListedValue value;
      value.name = entry.name;
      value.wideName = entry.wideName;
      value.exactName = entry.wideName.empty();
      if (key.Open(HKEY_LOCAL_MACHINE, kDelayLoadKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS ||
          !DeleteListedValue(key.get(), value))
        return 0;  // nothing removed: nothing to record
      action = kActionRemoveDelayLoad;
      break;
    }
    case kTypeSharedTaskScheduler:
    case kTypeShellExecuteHook: {
      std::string key =
          std::string(explorer) + (type == kTypeSharedTaskScheduler ? "SharedTaskScheduler" : "ShellExecuteHooks");
      if (!DeleteValue(HKEY_LOCAL_MACHINE, key.c_str(), entry.name.c_str())) return 0;
      action = type == kTypeSharedTaskScheduler ? kActionRemoveTaskScheduler : kActionRemoveShellExecuteHook;
      break;
    }
    default: {  // AppInit_DLLs
      std::string list, kept;
      if (!ReadAppInitList(list)) return 0;  // never overwrite what cannot be read
      bool found = false;
      for (const std::string& piece : SplitAppInitList(list)) {
        if (lstrcmpiA(LongPathOf(piece).c_str(), command.c_str()) == 0)
          found = true;
        else
          kept += (kept.empty() ? "" : ",") + piece;
      }
      if (!found || !WriteAppInitList(kept)) return 0;
      break;
    }
  }
  DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(command).c_str());
  AppendHistory(entry.title.c_str(), command.c_str(), entry.data.c_str(), type, action);
  return 1;
}

int InitRegStartups() {
  EnumerateStartupEntries(0);
  for (int i = 0; i < CatalogueCount(); ++i)
    if (!CatalogueAt(i).fromDisabledStore) WriteBaseline(CatalogueAt(i).path, CatalogueAt(i).type);
  ClearCatalogueEntries();
  // The IE helper and task baselines are written by their areas.
  InitIEHelperBaseline();
  InitTaskBaseline();
  return 1;
}

int CleanupRunRegistry() {
  for (const char* key : {"\\Run", "\\IEHelpers", "\\Tasks"}) {
    std::string path = std::string(kSentrelKey) + key;
    DeleteKeyTree(HKEY_CURRENT_USER, path.c_str());
    CreateSettingsKey(HKEY_CURRENT_USER, path.c_str());
  }
  return InitRegStartups();
}

int StartupBaselineChanged() {
  EnumerateStartupEntries(0);
  RegKey baseline;  // opened once for the whole walk
  baseline.Open(HKEY_CURRENT_USER, kStartupBaselineKey, KEY_READ);
  auto known = [&baseline](const std::string& name, int& number) {
    char text[33];
    DWORD type = 0, size = 32;
    if (!baseline ||
        RegQueryValueExA(baseline.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
      return false;
    text[size < 32 ? size : 32] = '\0';
    if (text[0] == '\0') return false;  // empty reads as missing
    number = ParseLeadingInt(text);
    return true;
  };
  for (int i = 0; i < CatalogueCount(); ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    // A disabled copy starts nothing, and must not be known by its command:
    // the same command written anywhere else is new.
    if (entry.fromDisabledStore) continue;
    int number = 0;
    if (!known(BaselineName(entry.path), number) || number == 0) {
      if (!known(entry.title, number)) return 1;
      if (number == 0) return 1;
    }
    if (number == 1103) return 1;  // moved to delayed start, and back
  }
  return 0;
}

int InitFirstSeenStore() {
  if (ReadString(HKEY_CURRENT_USER, kDetectedKey, "").empty()) {
    for (const char* area :
         {"", "\\Startup", "\\IEHelper", "\\Services", "\\Tasks", "\\ActiveTasks", "\\FileTypes", "\\Hidden"})
      CreateSettingsKey(HKEY_CURRENT_USER, (std::string(kDetectedKey) + area).c_str());
    WriteStringValue(HKEY_CURRENT_USER, kDetectedKey, "", NowText().c_str());
    EnumerateStartupEntries(0);
    for (int i = 0; i < CatalogueCount(); ++i)
      if (!CatalogueAt(i).path.empty()) RecordFirstSeen(CatalogueAt(i).path.c_str(), "Startup");
    RecordListedFirstSeen(EnumerateIEHelpers, "IEHelper");
    ClearCatalogueEntries();
    // The other areas record their items as they join.
    RecordTaskFirstSeen();
  }
  std::string activeX = std::string(kDetectedKey) + "\\ActiveX";
  if (ReadString(HKEY_CURRENT_USER, activeX.c_str(), "").empty()) {
    WriteStringValue(HKEY_CURRENT_USER, activeX.c_str(), "", "P");
    RecordListedFirstSeen([] { return EnumerateActiveX(false); }, "ActiveX");
  }
  return 1;
}

int FindOwnStartupEntries(bool remove) {
  EnumerateStartupEntries(0);
  struct Own {
    std::string title, path, data;
    int type;
    bool monitor;
  };
  std::vector<Own> own;
  for (int i = 0; i < CatalogueCount(); ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    if (ContainsText(entry.path.c_str(), "SentrelEx.exe"))
      own.push_back({entry.title, entry.path, entry.data, entry.type, false});
    else if (ContainsText(entry.path.c_str(), "Sentrel.exe"))
      own.push_back({entry.title, entry.path, entry.data, entry.type, true});
  }
  ClearCatalogueEntries();
  int monitors = 0;
  for (const Own& entry : own) {
    if (entry.monitor) ++monitors;
    if (!remove) continue;
    // Only the values the programs write themselves, wherever they stand.
    const char* names[] = {entry.monitor ? "Sentrel" : "Sentrel Explorer",
                           entry.monitor ? "Sentrel System Monitor" : nullptr};
    for (const char* name : names)
      if (name) RemoveStartupEntry(name, entry.path.c_str(), entry.data.c_str(), entry.type);
  }
  return monitors;
}

int RemoveEarlierEditionEntry() {
  std::string name = LoadText(IDS_SENTREL_OMNI);
  std::string command = ReadString(HKEY_LOCAL_MACHINE, kRunKeyPaths[0], name.c_str());
  if (command.empty() || !ContainsText(command.c_str(), "sentrel.exe")) return 0;
  return RemoveStartupEntry(name.c_str(), command.c_str(), "", kTypeMachineRun);
}

}  // namespace sentrel
