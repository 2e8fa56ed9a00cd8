// Actions on startup entries, the startup baseline and the first-seen store.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"

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
std::string LiveValueName(int type, const char* title, const char* command) {
  RegKey key;
  if (std::strlen(title) < kTitleWidth || key.Open(LiveRoot(type), LiveKey(type).c_str(), KEY_READ) != ERROR_SUCCESS ||
      RegQueryValueExA(key.get(), title, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    return title;
  for (DWORD index = 0;; ++index) {
    char name[513];
    BYTE data[513];
    DWORD nameLength = 512, dataLength = 512, valueType = 0;
    LONG result = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &valueType, data, &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || (valueType != REG_SZ && valueType != REG_EXPAND_SZ)) continue;
    name[nameLength] = '\0';
    data[dataLength < 512 ? dataLength : 512] = '\0';
    if (nameLength > kTitleWidth &&
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name, kTitleWidth, title, kTitleWidth) == CSTR_EQUAL &&
        lstrcmpiA(reinterpret_cast<char*>(data), command ? command : "") == 0)
      return name;
  }
  return title;
}

std::string DisabledCopyKey(int type) {
  if (type == kTypeWinLoad) return std::string(kDisabledKey) + "\\WinLoad";
  if (type == kTypeWinRun) return std::string(kDisabledKey) + "\\WinRun";
  if (type == kTypeWinlogonNotify) return std::string(kDisabledKey) + "\\WinNotify";
  return std::string(kDisabledKey) + "\\" + kDisabledSubKeys[(type % 10) - 1];
}

std::string TypeText(int type) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", type);
  return text;
}

int WriteMarker(const char* title, int type) {
  return WriteStringValue(HKEY_LOCAL_MACHINE, kDisabledKey, title, TypeText(type).c_str());
}

const char* WinIniKey(int type) { return type == kTypeWinLoad ? "load" : "run"; }

std::string ReadWinIniLine(int type) {
  char line[1024];
  GetProfileStringA("windows", WinIniKey(type), "", line, sizeof line);
  return line;
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

int MoveNotifyDll(const char* title, bool disable) {
  std::string package = std::string(kWinlogonKey) + "\\Notify\\" + title;
  if (disable) {
    std::string dll = ReadString(HKEY_LOCAL_MACHINE, package.c_str(), "DllName");
    WriteStringValue(HKEY_LOCAL_MACHINE, package.c_str(), "OldName", dll.c_str());
    return WriteStringValue(HKEY_LOCAL_MACHINE, package.c_str(), "DllName", "");
  }
  std::string old = ReadString(HKEY_LOCAL_MACHINE, package.c_str(), "OldName");
  WriteStringValue(HKEY_LOCAL_MACHINE, package.c_str(), "DllName", old.c_str());
  return WriteStringValue(HKEY_LOCAL_MACHINE, package.c_str(), "OldName", "");
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
      wchar_t wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
      result = SUCCEEDED(persist->Save(wide, TRUE)) ? 1 : 0;
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
  return WriteStringValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                          "AppInit_DLLs", list.c_str());
}

}  // namespace

std::string ParkingFolder() { return FolderOfProgram() + "\\Disabled"; }

std::string BaselineName(const std::string& command) {
  std::string name = command;
  for (char& c : name)
    if (c == '=') c = ':';
  return name;
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

int IsEntryDisabledIn(HKEY disabledStore, const char* title) {
  char marker[256];
  return ReadStringValueFrom(disabledStore, title, marker, sizeof marker) > 0 ? 1 : 0;
}

int ToggleStartupEntry(const char* title, const char* command, const char* file, int type) {
  const bool disabled = IsEntryDisabled(title) != 0;
  if (IsRunKeyType(type)) {
    std::string copyKey = DisabledCopyKey(type);
    if (!disabled) {
      // The copy and the marker are written before the live value goes, so a
      // failed write never loses the entry.
      if (!WriteStringValue(HKEY_LOCAL_MACHINE, copyKey.c_str(), title, command)) return 0;
      if (!WriteMarker(title, type)) return 0;
      DeleteValue(LiveRoot(type), LiveKey(type).c_str(), LiveValueName(type, title, command).c_str());
      return 1;
    }
    if (!WriteStringValue(LiveRoot(type), LiveKey(type).c_str(), title, command)) return 0;
    DeleteValue(HKEY_LOCAL_MACHINE, copyKey.c_str(), title);
    DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, title);
    return 1;
  }
  if (type == kTypeWinLoad || type == kTypeWinRun) {
    if (!disabled) {
      if (!WriteStringValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), title, command)) return 0;
      if (!WriteMarker(title, type)) return 0;
      return WriteWinIniLine(type, WinIniLineWithout(ReadWinIniLine(type), command));
    }
    if (!AppendToWinIni(type, command)) return 0;
    DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, title);
    DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), title);
    return 1;
  }
  if (type == kTypeStartupFolder) {
    std::string parked = ParkingFolder() + "\\" + FileNamePart(file ? file : "");
    if (!disabled) {
      CreateDirectoryA(ParkingFolder().c_str(), nullptr);
      if (!MoveFileA(file, parked.c_str())) return 0;
      return WriteMarker(title, type);
    }
    std::string folder = FirstStartupFolder();
    if (folder.empty()) return 0;
    if (!MoveFileA(parked.c_str(), (folder + "\\" + FileNamePart(parked)).c_str())) return 0;
    DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, title);
    return 1;
  }
  if (type == kTypeWinlogonNotify) {
    if (!disabled) {
      if (!WriteStringValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), title, command)) return 0;
      WriteMarker(title, type);
      WriteBaseline(command, type);
      return MoveNotifyDll(title, true);
    }
    MoveNotifyDll(title, false);
    DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, title);
    DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), title);
    return 1;
  }
  return 0;  // Winlogon and shell extension locations are removed, not disabled
}

int RemoveStartupEntry(const char* title, const char* command, const char* file, int type) {
  const bool disabled = IsEntryDisabled(title) != 0;
  if (IsRunKeyType(type)) {
    if (disabled) {
      DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), title);
      DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, title);
    } else {
      DeleteValue(LiveRoot(type), LiveKey(type).c_str(), LiveValueName(type, title, command).c_str());
    }
  } else if (type == kTypeWinLoad || type == kTypeWinRun) {
    if (disabled) {
      DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, title);
      DeleteValue(HKEY_LOCAL_MACHINE, DisabledCopyKey(type).c_str(), title);
    }
    WriteWinIniLine(type, WinIniLineWithout(ReadWinIniLine(type), command));
  } else if (type == kTypeStartupFolder) {
    if (disabled) DeleteValue(HKEY_LOCAL_MACHINE, kDisabledKey, title);
    if (file && *file && GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES)
      DeleteFileA(file);
    else
      DeleteFileA(command);
  } else if (type >= kTypeUserinit && type <= kTypeAppInitDlls) {
    return RemoveShellExtensionEntry(nullptr, title, command, file, type);
  }
  if (!ContainsText(command, "Sentrel")) AppendHistory(title, command, file, type, kActionStartRemove);
  DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(command ? command : "").c_str());
  DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, title);
  return 1;
}

int RestoreRemovedEntry(const char* title, const char* command, const char* file, int type) {
  int result = 0;
  if (IsRunKeyType(type)) {
    result = WriteStringValue(LiveRoot(type), LiveKey(type).c_str(), title, command);
  } else if (type == kTypeWinLoad || type == kTypeWinRun) {
    result = AppendToWinIni(type, command);
  } else if (type == kTypeStartupFolder) {
    result = CreateShortcut(file, command, title);
  } else if (type == kTypeDelayLoad) {
    result = WriteStringValue(HKEY_LOCAL_MACHINE,
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", title, file);
  } else if (type == kTypeSharedTaskScheduler || type == kTypeShellExecuteHook) {
    std::string key = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") +
                      (type == kTypeSharedTaskScheduler ? "SharedTaskScheduler" : "ShellExecuteHooks");
    result = WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), file, title);
  } else if (type == kTypeAppInitDlls) {
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(command, shortPath, sizeof shortPath);
    std::string piece = length > 0 && length < sizeof shortPath ? shortPath : command;
    std::string list = ReadAppInitList();
    result = WriteAppInitList(list.empty() ? piece : list + "," + piece);
  } else if (type == kTypeWinlogonNotify) {
    return MoveNotifyDll(title, false);
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
  if (type == kTypeUserinit) return ResetUserinit();
  if (type == kTypeShell) return ResetShell();
  if (type < kTypeDelayLoad || type > kTypeAppInitDlls) return 0;
  if (!g_confirm || !g_confirm(owner, title, command, type)) return 0;
  DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(command).c_str());
  const char* explorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  switch (type) {
    case kTypeDelayLoad:
      if (!DeleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad",
                       title))
        return 0;  // nothing removed: nothing to record
      AppendHistory(title, command, data, type, kActionRemoveDelayLoad);
      return 1;
    case kTypeSharedTaskScheduler:
    case kTypeShellExecuteHook: {
      std::string key =
          std::string(explorer) + (type == kTypeSharedTaskScheduler ? "SharedTaskScheduler" : "ShellExecuteHooks");
      if (!DeleteValue(HKEY_LOCAL_MACHINE, key.c_str(), data)) return 0;
      AppendHistory(title, command, data, type,
                    type == kTypeSharedTaskScheduler ? kActionRemoveTaskScheduler : kActionRemoveShellExecuteHook);
      return 1;
    }
    default: {  // AppInit_DLLs
      std::string kept;
      for (const std::string& piece : SplitAppInitList(ReadAppInitList()))
        if (lstrcmpiA(LongPathOf(piece).c_str(), command) != 0) kept += (kept.empty() ? "" : ",") + piece;
      if (!WriteAppInitList(kept)) return 0;
      AppendHistory(title, command, data, type, kActionStartRemove);
      return 1;
    }
  }
}

int InitRegStartups() {
  EnumerateStartupEntries(0);
  for (int i = 0; i < CatalogueCount(); ++i) WriteBaseline(CatalogueAt(i).path, CatalogueAt(i).type);
  ClearCatalogueEntries();
  // The IE helper and task baselines are written by their areas.
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
    ClearCatalogueEntries();
    // The other areas record their items as they join.
  }
  std::string activeX = std::string(kDetectedKey) + "\\ActiveX";
  if (ReadString(HKEY_CURRENT_USER, activeX.c_str(), "").empty())
    WriteStringValue(HKEY_CURRENT_USER, activeX.c_str(), "", "P");
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
