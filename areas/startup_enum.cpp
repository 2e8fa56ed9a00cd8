// Listing every startup entry into the catalogue entry list, in a fixed order.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "library.h"
#include "registry.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"

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

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The type a disabled marker names; 0 when there is none.
int MarkerType(const RegKey& store, const std::string& name) {
  StoredValue marker;
  if (!store || !ReadStoredValue(store.get(), name.c_str(), marker)) return 0;
  return ParseLeadingInt(TextOfValue(marker).c_str());
}

bool HasVisibleText(const std::string& text) { return text.find_first_not_of(" \t") != std::string::npos; }

// A Run-key entry with the fields the actions need.
CatalogueEntry RunEntry(const ListedValue& value, int type) {
  CatalogueEntry entry;
  entry.title = value.name.c_str();  // a name that starts with a NUL shows its program's name instead
  entry.name = value.name;
  entry.named = true;
  if (!value.exactName) entry.wideName = value.wideName;
  entry.command = value.text;
  entry.type = type;
  std::string target = RundllTarget(value.text);
  if (!target.empty() || ContainsText(value.text.c_str(), "RUNDLL32.EXE")) {
    entry.path = target;
    entry.value = 1;
  } else {
    entry.path = value.text;
  }
  return entry;
}

void ListRunKey(HKEY root, const std::string& path, int type, std::string& previousName, std::string& previousData,
                const RegKey& disabledStore) {
  RegKey key;
  if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS) return;
  // Read every value first: disabling one again below deletes it, and a walk
  // by index would then skip its neighbour.
  for (const ListedValue& value : SnapshotValues(key.get())) {
    if (!IsTextType(value.type)) continue;  // a binary value runs nothing
    if (EqualNoCase(value.name, previousName) && EqualNoCase(value.text, previousData)) continue;
    if (value.exactName && !value.name.empty() && MarkerType(disabledStore, value.name) == type) {
      // Disabled here before and back again: disable it again at once. Where
      // that cannot be done (the store is not writable here, or the location
      // has no disabled copy) it still runs, so it is listed. A value of the
      // same name in another key is another entry and stays as it is.
      DisableReturnedRunValue(value.name, type);
      if (RegQueryValueExA(key.get(), value.name.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        continue;
    }
    // Everything Windows would run is listed, whatever its name.
    if (HasVisibleText(value.text)) AddCatalogueEntry(RunEntry(value, type));
    previousName = value.name;
    previousData = value.text;
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
    const std::wstring wide = WidePath(file);
    if (!wide.empty() && SUCCEEDED(persist->Load(wide.c_str(), STGM_READ))) {
      UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
      HRESULT resolved = link->Resolve(nullptr, SLR_NO_UI | (8000 << 16));
      SetErrorMode(oldMode);
      if (resolved != S_FALSE) {
        char path[MAX_PATH] = "", text[MAX_PATH] = "";
        WIN32_FIND_DATAA findData;
        link->GetPath(path, sizeof path, &findData, 0);
        if (std::strchr(path, '?')) link->GetPath(path, sizeof path, &findData, SLGP_SHORTPATH);
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

// An entry of the Startup folders or the key locations; name: the file, value
// or key it lives in, uncut (empty: its title).
void AddEntry(const std::string& name, const std::string& title, const std::string& path, const std::string& data,
              const std::string& description, int type, bool parked) {
  CatalogueEntry entry;
  entry.name = name;
  entry.title = title;
  entry.path = entry.command = path;
  entry.data = data;
  entry.description = description;
  entry.type = type;
  entry.fromDisabledStore = parked;
  AddCatalogueEntry(std::move(entry));
}

// The files of a folder by names the ANSI calls can use: on the NT family a
// name the ANSI code page cannot hold is given by its short name (it would
// come as "?" marks, naming no file).
std::vector<std::string> FolderFiles(const std::string& folder) {
  std::vector<std::string> files;
  using FindFirstWFn = HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW);
  using FindNextWFn = BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAW);
  using ShortPathWFn = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto findFirst = FunctionOf<FindFirstWFn>(kernel, "FindFirstFileW");
  auto findNext = FunctionOf<FindNextWFn>(kernel, "FindNextFileW");
  auto shortPath = FunctionOf<ShortPathWFn>(kernel, "GetShortPathNameW");
  const std::wstring wideFolder = WidePath(folder);
  if (IsNtFamily() && findFirst && findNext && shortPath && !wideFolder.empty()) {
    WIN32_FIND_DATAW found;
    HANDLE search = findFirst((wideFolder + L"\\*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const std::wstring name = found.cFileName;
      BOOL lossy = FALSE;
      char ansi[MAX_PATH * 2] = "";
      int length = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
      if (length > 0 && !lossy) {
        files.push_back(folder + "\\" + ansi);
        continue;
      }
      wchar_t shortened[MAX_PATH] = L"";
      DWORD got = shortPath((wideFolder + L"\\" + name).c_str(), shortened, MAX_PATH);
      char shortAnsi[MAX_PATH * 2] = "";
      lossy = TRUE;
      if (got > 0 && got < MAX_PATH)
        WideCharToMultiByte(CP_ACP, 0, shortened, -1, shortAnsi, sizeof shortAnsi, nullptr, &lossy);
      // Without a short name it is still shown, by its name as the code
      // page renders it: hidden it would run unseen.
      files.push_back(!lossy ? std::string(shortAnsi) : folder + "\\" + ansi);
    } while (findNext(search, &found));
    FindClose(search);
    return files;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + "\\" + found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

// Lists a folder's files; parked: the folder of disabled files.
void ListFolder(const std::string& folder, bool parked) {
  const std::vector<std::string> files = FolderFiles(folder);
  if (files.empty()) return;
  HRESULT com = CoInitialize(nullptr);
  for (const std::string& file : files) {
    const std::string name = FileNamePart(file);
    const char* last3 = name.size() >= 3 ? name.c_str() + name.size() - 3 : name.c_str();
    if (lstrcmpiA(last3, "lnk") == 0) {
      std::string target, description;
      if (!ResolveShortcut(file, target, description)) continue;
      std::string title = !description.empty() ? description : DescriptionOrProduct(target);
      AddEntry("", title, target, file, "", kTypeStartupFolder, parked);
    } else if (lstrcmpiA(last3, "exe") == 0) {
      AddEntry("", DescriptionOrProduct(file), file, file, "", kTypeStartupFolder, parked);
    } else if (lstrcmpiA(last3, "ini") != 0) {
      // Batch files, scripts, PIFs, Internet shortcuts: the file itself is
      // the entry, as for a program.
      AddEntry("", "", file, file, "", kTypeStartupFolder, parked);
    }
  }
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

// Values of a key as (name, text data) pairs, whatever their length.
template <typename Fn>
void ForEachValue(HKEY root, const char* path, Fn fn) {
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return;
  for (const ListedValue& value : SnapshotValues(key.get()))
    if (value.exactName) fn(value.name, IsTextType(value.type) ? value.text : std::string());
}

// A WIN.INI [windows] line of any length.
std::string ReadWinIniLine(const char* key) {
  std::string line(512, '\0');
  for (;;) {
    DWORD length = GetProfileStringA("windows", key, "", &line[0], static_cast<DWORD>(line.size()));
    if (length + 2 < line.size() || line.size() >= (1u << 20)) {
      line.resize(length);
      return line;
    }
    line.resize(line.size() * 4);
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

int ReadAppInitList(std::string& list) {
  list.clear();
  StoredValue value;
  if (!ReadStoredValue(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs", value)) return 1;  // none: an empty list
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return 0;
  list = TextOfValue(value);
  return 1;
}

std::string ReadAppInitList() {
  std::string list;
  ReadAppInitList(list);
  return list;
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
  StoredValue value;  // any length: a long value must not hide its second program
  ReadStoredValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit", value);
  return UserinitProgram(TextOfValue(value), program);
}

int ReadShell(std::string& program) {
  StoredValue value;
  ReadStoredValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", value);
  return ShellProgram(TextOfValue(value), program);
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
        ListFolder(folder, false);
    }
}

std::string WinIniIdentity(const char* key, const std::string& token) {
  // The title (the product name, or the key's name without one) is shared by
  // many programs; the token makes each entry its own.
  return std::string(key) + ":" + token;
}

void ListWinIniEntries() {
  for (const char* key : {"run", "load"}) {
    std::string text = ReadWinIniLine(key);
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(';', start);
      std::string token = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!token.empty()) {
        VersionFields fields;
        ReadVersionInfo(token.c_str(), fields);
        CatalogueEntry entry;
        entry.title = fields.slot[kProductName].empty() ? key : fields.slot[kProductName];
        entry.name = WinIniIdentity(key, token);
        entry.path = entry.command = token;
        entry.type = key[0] == 'r' ? kTypeWinRun : kTypeWinLoad;
        AddCatalogueEntry(std::move(entry));
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
}

void ListDisabledEntries() {
  RegKey store;
  store.Open(HKEY_LOCAL_MACHINE, kDisabledKey, KEY_READ);
  for (const char* sub :
       {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "RunSetup", "Policy", "WinLoad", "WinRun"}) {
    std::string path = std::string(kDisabledKey) + "\\" + sub;
    ForEachValue(HKEY_LOCAL_MACHINE, path.c_str(), [&store](const std::string& name, const std::string& command) {
      if (name.empty() || !store) return;
      StoredValue marker;
      if (!ReadStoredValue(store.get(), name.c_str(), marker)) return;
      int type = ParseLeadingInt(TextOfValue(marker).c_str());
      if (type <= 0) return;
      CatalogueEntry entry;
      entry.name = name;
      entry.title = name;
      for (const char* key : {"run:", "load:"})
        if (name.compare(0, std::strlen(key), key) == 0) {
          // Titled as the line lists it: by its product name, else the key.
          VersionFields fields;
          ReadVersionInfo(command.c_str(), fields);
          entry.title =
              fields.slot[kProductName].empty() ? std::string(key, std::strlen(key) - 1) : fields.slot[kProductName];
        }
      entry.command = command;
      entry.path = command;
      if ((type < 100) && (!RundllTarget(command).empty() || ContainsText(command.c_str(), "RUNDLL32.EXE"))) {
        entry.path = RundllTarget(command);
        entry.value = 1;
      }
      entry.type = type;
      entry.fromDisabledStore = true;
      AddCatalogueEntry(std::move(entry));
    });
  }
  if (!ParkingFolder().empty()) ListFolder(ParkingFolder(), true);
}

// The subkey names of an open key as Windows holds them: on the NT family in
// full Unicode (a name outside the ANSI code page, or longer than the ANSI
// buffer, still names its key exactly), elsewhere the ANSI names.
struct SubkeyName {
  std::string ansi;  // the exact ANSI form ("?XXXX" for a character it lacks)
  std::wstring wide;
};
std::vector<SubkeyName> ExactSubkeyNames(HKEY key) {
  using EnumKeyW = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME);
  static const auto enumKeyW = IsNtFamily() ? FunctionOf<EnumKeyW>("advapi32.dll", "RegEnumKeyExW") : nullptr;
  std::vector<SubkeyName> names;
  // Bounded by the count: a key deleted under the open handle answers every
  // index with an error, never with the end of the list.
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS)
    return names;
  for (DWORD index = 0; index <= count; ++index) {
    LONG result;
    SubkeyName name;
    if (enumKeyW) {
      wchar_t wide[512];
      DWORD length = sizeof wide / sizeof wide[0];
      result = enumKeyW(key, index, wide, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_SUCCESS) name.wide.assign(wide, length), name.ansi = ExactAnsiForm(name.wide);
    } else {
      char ansi[512];
      DWORD length = sizeof ansi;
      result = RegEnumKeyExA(key, index, ansi, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_SUCCESS) name.ansi.assign(ansi, length);
    }
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.push_back(std::move(name));
  }
  return names;
}

// Opens the subkey a walk named, by its Unicode name where it has one.
LONG OpenSubkey(HKEY parent, const SubkeyName& name, REGSAM access, RegKey& key) {
  using OpenKeyW = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
  static const auto openKeyW = IsNtFamily() ? FunctionOf<OpenKeyW>("advapi32.dll", "RegOpenKeyExW") : nullptr;
  if (name.wide.empty() || !openKeyW) return key.Open(parent, name.ansi.c_str(), access);
  HKEY opened = nullptr;
  const LONG result = openKeyW(parent, name.wide.c_str(), 0, access, &opened);
  if (result != ERROR_SUCCESS) return result;
  // Handed to a RegKey through its own open of the same key, so that it is closed.
  const LONG again = key.Open(opened, "", access);
  RegCloseKey(opened);
  return again;
}

// Windows loads the DllName of every Notify subkey, whatever the subkey is
// called: a name outside the ANSI code page is listed too (under its exact
// ANSI form).
void ListWinlogonNotifications() {
  RegKey notify;
  const std::string notifyPath = std::string(kWinlogonKey) + "\\Notify";
  if (notify.Open(HKEY_LOCAL_MACHINE, notifyPath.c_str(), KEY_READ) != ERROR_SUCCESS) return;
  for (const SubkeyName& name : ExactSubkeyNames(notify.get())) {
    RegKey sub;
    StoredValue value;
    if (OpenSubkey(notify.get(), name, KEY_READ, sub) != ERROR_SUCCESS || !ReadStoredValue(sub.get(), "DllName", value))
      continue;
    const std::string dll = TextOfValue(value);
    if (dll.empty()) continue;
    VersionFields fields;
    ReadVersionInfo(dll.c_str(), fields);
    AddEntry(name.ansi, name.ansi, dll, fields.slot[kFileDescription], fields.slot[kProductVersion],
             kTypeWinlogonNotify, false);
  }
}

void ListShellExtensionEntries() {
  const char* explorer = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  // Windows loads these by their data, whatever the name: a name only
  // Unicode holds is listed too, and removed by that name.
  RegKey delayLoad;
  if (delayLoad.Open(HKEY_LOCAL_MACHINE, kDelayLoadKey, KEY_READ) == ERROR_SUCCESS)
    for (const ListedValue& value : SnapshotValues(delayLoad.get())) {
      const std::string id = IsTextType(value.type) ? value.text : std::string();
      std::string className, server;
      LookUpClass(id, className, server);
      CatalogueEntry entry;
      entry.name = entry.title = value.name;
      entry.named = true;
      if (!value.exactName) entry.wideName = value.wideName;
      entry.path = entry.command = server;
      entry.data = id;
      entry.description = ProductVersionOf(server);
      entry.type = kTypeDelayLoad;
      AddCatalogueEntry(std::move(entry));
    }
  for (int type : {kTypeSharedTaskScheduler, kTypeShellExecuteHook}) {
    std::string path =
        std::string(explorer) + (type == kTypeSharedTaskScheduler ? "SharedTaskScheduler" : "ShellExecuteHooks");
    // Windows loads these by the class id in the name: long data must not hide one.
    ForEachValue(HKEY_LOCAL_MACHINE, path.c_str(), [type](const std::string& id, const std::string& text) {
      std::string className, server;
      LookUpClass(id, className, server);
      AddEntry(id, text.empty() ? className : text, server, id, ProductVersionOf(server), type, false);
    });
  }
  for (const std::string& piece : SplitAppInitList(ReadAppInitList())) {
    VersionFields fields;
    ReadVersionInfo(piece.c_str(), fields);
    AddCatalogueEntry(fields.slot[kProductName].c_str(), piece.c_str(), fields.slot[kCompanyName].c_str(),
                      fields.slot[kProductVersion].c_str(), kTypeAppInitDlls, 0);
  }
  ListWinlogonNotifications();
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
