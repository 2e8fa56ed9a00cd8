// Listing every startup entry into the catalogue entry list, in a fixed order.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "catalogue.h"
#include "fileid.h"
#include "registry.h"
#include "settings.h"
#include "startup.h"

namespace sentrel {

const char* const kRunKeyPaths[7] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
    "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
};

namespace {

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// Title of a program file from its version fields.
std::string DescriptionOrProduct(const std::string& file) {
  VersionFields fields;
  ReadVersionInfo(file.c_str(), fields);
  return !fields.slot[kFileDescription].empty() ? fields.slot[kFileDescription] : fields.slot[kProductName];
}

void ListRunKey(HKEY root, const std::string& path, int type, std::string& previousName, std::string& previousData,
                const RegKey& disabledStore) {
  RegKey key;
  if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS) return;
  DWORD count = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return;
  for (DWORD index = 0; index <= count; ++index) {
    char name[513];
    BYTE data[513];
    DWORD nameLength = 512, dataLength = 512, valueType = 0;
    LONG result = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &valueType, data, &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    // Too long for the buffers, or not text (a binary value runs nothing).
    if (result != ERROR_SUCCESS || !IsTextType(valueType)) continue;
    name[nameLength < 512 ? nameLength : 512] = '\0';
    data[dataLength < 512 ? dataLength : 512] = '\0';
    std::string command(reinterpret_cast<char*>(data), strnlen(reinterpret_cast<char*>(data), dataLength));

    if (lstrcmpiA(name, previousName.c_str()) == 0 && lstrcmpiA(command.c_str(), previousData.c_str()) == 0) continue;
    if (disabledStore &&
        RegQueryValueExA(disabledStore.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      // Disabled before and back again: disable it again at once.
      ToggleStartupEntry(name, command.c_str(), "", type);
      ToggleStartupEntry(name, command.c_str(), "", type);
      continue;
    }
    if (std::strlen(name) > 1 && command.size() > 4 && static_cast<unsigned char>(name[0]) < 0x80) {
      std::string target = RundllTarget(command);
      if (!target.empty() || ContainsText(command.c_str(), "RUNDLL32.EXE"))
        AddCatalogueEntry(name, target.c_str(), "", "", type, 1);
      else
        AddCatalogueEntry(name, command.c_str(), "", "", type, 0);
    }
    previousName = name;
    previousData = command;
  }
}

// A shortcut's target and description; false when the target is gone.
bool ResolveShortcut(const std::string& file, std::string& target, std::string& description) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  bool found = false;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
      UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
      HRESULT resolved = link->Resolve(nullptr, SLR_NO_UI | (8000 << 16));
      SetErrorMode(oldMode);
      if (resolved != S_FALSE) {
        char path[MAX_PATH] = "", text[MAX_PATH] = "";
        WIN32_FIND_DATAA findData;
        link->GetPath(path, sizeof path, &findData, 0);
        link->GetDescription(text, sizeof text);
        target = path;
        description = text;
        // Some shells resolve a dead target without complaint.
        found = target.empty() || FileExists(target.c_str());
      }
    }
    persist->Release();
  }
  link->Release();
  return found;
}

void ListFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  HRESULT com = CoInitialize(nullptr);
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string file = folder + "\\" + found.cFileName;
    const size_t length = std::strlen(found.cFileName);
    const char* last3 = length >= 3 ? found.cFileName + length - 3 : found.cFileName;
    if (lstrcmpiA(last3, "lnk") == 0) {
      std::string target, description;
      if (!ResolveShortcut(file, target, description)) continue;
      std::string title = !description.empty() ? description : DescriptionOrProduct(target);
      AddCatalogueEntry(title.c_str(), target.c_str(), file.c_str(), "", kTypeStartupFolder, 0);
    } else if (lstrcmpiA(last3, "exe") == 0) {
      AddCatalogueEntry(DescriptionOrProduct(file).c_str(), file.c_str(), file.c_str(), "", kTypeStartupFolder, 0);
    } else if (lstrcmpiA(last3, "ini") != 0) {
      AddCatalogueEntry("", file.c_str(), "", "", kTypeStartupFolder, 0);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  if (SUCCEEDED(com)) CoUninitialize();
}

// Class name and server file of a class id.
void LookUpClass(const std::string& id, std::string& name, std::string& server) {
  std::string braced = !id.empty() && id[0] == '{' ? id : "{" + id + "}";
  std::string key = "CLSID\\" + braced;
  char text[512];
  ReadStringValue(HKEY_CLASSES_ROOT, key.c_str(), "", text, sizeof text);
  name = text;
  ReadStringValue(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "", text, sizeof text);
  server = text;
}

std::string ProductVersionOf(const std::string& file) {
  VersionFields fields;
  ReadVersionInfo(file.c_str(), fields);
  return fields.slot[kProductVersion];
}

// Values of a key as (name, text data) pairs; text capacity as given.
template <typename Fn>
void ForEachValue(HKEY root, const char* path, Fn fn) {
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    char name[256];
    BYTE data[256];
    DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
    LONG result = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, data, &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    data[dataLength] = '\0';
    std::string text = IsTextType(type) ? std::string(reinterpret_cast<char*>(data),
                                                      strnlen(reinterpret_cast<char*>(data), dataLength))
                                        : std::string();
    fn(std::string(name, nameLength), text);
  }
}

}  // namespace

std::string RundllTarget(const std::string& command) {
  if (!ContainsText(command.c_str(), "RUNDLL32.EXE")) return {};
  auto is = [&](size_t at, char c) { return at < command.size() && (command[at] == c || command[at] == c + 32); };
  for (size_t i = 0; i + 6 < command.size(); ++i)
    if (is(i, 'R') && is(i + 2, 'N') && is(i + 4, 'L') && command[i + 6] == '3')
      return i + 13 <= command.size() ? command.substr(i + 13) : std::string();
  return {};
}

std::string ReadAppInitList() {
  char text[256];
  ReadStringValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs", text,
                  sizeof text);
  return text;
}

std::vector<std::string> SplitAppInitList(const std::string& list) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : list + " ") {
    if (c == ',' || c == ' ') {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  return pieces;
}

int UserinitProgram(const std::string& value, std::string& program) {
  size_t comma = value.find(',');
  if (comma == std::string::npos) return 0;
  program = comma + 1 == value.size() ? value.substr(0, comma) : TrimLeadingBlanks(value.substr(comma + 1));
  return 1;
}

int ShellProgram(const std::string& value, std::string& program) {
  if (value.empty()) return 0;
  size_t blank = value.find(' ');
  if (blank == std::string::npos)
    program = value;
  else
    program = blank + 1 == value.size() ? value.substr(0, blank) : TrimLeadingBlanks(value.substr(blank + 1));
  return 1;
}

int ReadUserinit(std::string& program) {
  char text[260];
  ReadStringValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit", text, sizeof text);
  return UserinitProgram(text, program);
}

int ReadShell(std::string& program) {
  char text[kMaxValueBytes];
  ReadStringValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", text, sizeof text);
  return ShellProgram(text, program);
}

void ListRunKeyEntries() {
  std::string previousName, previousData;
  RegKey disabledStore;  // opened once: every value is looked up in it
  disabledStore.Open(HKEY_LOCAL_MACHINE, kDisabledKey, KEY_READ);
  struct Root {
    HKEY root;
    int base;
    const char* prefix;
  };
  const Root roots[] = {
      {HKEY_LOCAL_MACHINE, 0, ""}, {HKEY_CURRENT_USER, 10, ""}, {HKEY_LOCAL_MACHINE, 20, "Wow6432Node"}};
  for (const Root& root : roots) {
    if (root.base == 20 && !Process().is64BitWindows) continue;
    for (int index = 0; index < 7; ++index) {
      std::string path = kRunKeyPaths[index];
      if (*root.prefix) path.insert(std::strlen("Software\\"), std::string(root.prefix) + "\\");
      ListRunKey(root.root, path, root.base + index + 1, previousName, previousData, disabledStore);
    }
  }
}

void ListStartupFolderEntries() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    for (const char* name : {"Startup", "Common Startup"}) {
      char folder[260];
      if (ReadStringValue(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name, folder,
                          sizeof folder) > 0)
        ListFolder(folder);
    }
}

void ListWinIniEntries() {
  for (const char* key : {"run", "load"}) {
    char line[512];
    GetProfileStringA("windows", key, "", line, sizeof line);
    std::string text = line;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(';', start);
      std::string token = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!token.empty()) {
        VersionFields fields;
        ReadVersionInfo(token.c_str(), fields);
        std::string title = fields.slot[kProductName].empty() ? key : fields.slot[kProductName];
        AddCatalogueEntry(title.c_str(), token.c_str(), "", "", key[0] == 'r' ? kTypeWinRun : kTypeWinLoad, 0);
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
}

void ListDisabledEntries() {
  for (const char* sub :
       {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "RunSetup", "Policy", "WinLoad", "WinRun"}) {
    std::string path = std::string(kDisabledKey) + "\\" + sub;
    ForEachValue(HKEY_LOCAL_MACHINE, path.c_str(), [](const std::string& name, const std::string& command) {
      if (name.empty()) return;
      char marker[256];
      if (ReadStringValue(HKEY_LOCAL_MACHINE, kDisabledKey, name.c_str(), marker, sizeof marker) == 0) return;
      int type = ParseLeadingInt(marker);
      if (type > 0) AddCatalogueEntry(name.c_str(), command.c_str(), "", "", type, 0);
    });
  }
  ListFolder(ParkingFolder());
}

void ListShellExtensionEntries() {
  const char* explorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  ForEachValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad",
               [](const std::string& name, const std::string& id) {
                 std::string className, server;
                 LookUpClass(id, className, server);
                 AddCatalogueEntry(name.c_str(), server.c_str(), id.c_str(), ProductVersionOf(server).c_str(),
                                   kTypeDelayLoad, 0);
               });
  for (int type : {kTypeSharedTaskScheduler, kTypeShellExecuteHook}) {
    std::string path =
        std::string(explorer) + (type == kTypeSharedTaskScheduler ? "SharedTaskScheduler" : "ShellExecuteHooks");
    ForEachValue(HKEY_LOCAL_MACHINE, path.c_str(), [type](const std::string& id, const std::string& text) {
      std::string className, server;
      LookUpClass(id, className, server);
      std::string title = text.empty() ? className : text;
      AddCatalogueEntry(title.c_str(), server.c_str(), id.c_str(), ProductVersionOf(server).c_str(), type, 0);
    });
  }
  for (const std::string& piece : SplitAppInitList(ReadAppInitList())) {
    VersionFields fields;
    ReadVersionInfo(piece.c_str(), fields);
    AddCatalogueEntry(fields.slot[kProductName].c_str(), piece.c_str(), fields.slot[kCompanyName].c_str(),
                      fields.slot[kProductVersion].c_str(), kTypeAppInitDlls, 0);
  }
  RegKey notify;
  std::string notifyPath = std::string(kWinlogonKey) + "\\Notify";
  if (notify.Open(HKEY_LOCAL_MACHINE, notifyPath.c_str(), KEY_READ) == ERROR_SUCCESS) {
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD length = sizeof name;
      if (RegEnumKeyExA(notify.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      char dll[260];
      if (ReadStringValue(HKEY_LOCAL_MACHINE, (notifyPath + "\\" + name).c_str(), "DllName", dll, sizeof dll) == 0)
        continue;
      VersionFields fields;
      ReadVersionInfo(dll, fields);
      AddCatalogueEntry(name, dll, fields.slot[kFileDescription].c_str(), fields.slot[kProductVersion].c_str(),
                        kTypeWinlogonNotify, 0);
    }
  }
}

int EnumerateStartupEntries(int restricted) {
  ClearCatalogueEntries();
  ListRunKeyEntries();
  ListStartupFolderEntries();
  ListWinIniEntries();
  ListDisabledEntries();
  const bool all = restricted == 0 || Option(kOptShowAllStartup) > 0;
  if (IsNtFamily() && all) {
    std::string program;
    if (ReadUserinit(program)) AddCatalogueEntry("Winlogon Userinit", program.c_str(), "", "", kTypeUserinit, 0);
    if (ReadShell(program)) AddCatalogueEntry("Winlogon Shell", program.c_str(), "", "", kTypeShell, 0);
  }
  if (all) ListShellExtensionEntries();
  return CatalogueCount();
}

}  // namespace sentrel
