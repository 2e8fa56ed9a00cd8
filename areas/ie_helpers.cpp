// Listing and removing the IE helpers, and their baseline.
#include "ie_helpers.h"

#include <cstring>
#include <map>
#include <vector>

#include "addon_keys.h"
#include "fileid.h"
#include "first_seen.h"
#include "history.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

// Per listing: the files of this listing, each looked at once.
class VersionCache {
 public:
  const VersionFields& Of(const std::string& file) {
    auto found = fields_.find(file);
    if (found != fields_.end()) return *found->second;
    return *fields_.emplace(file, &AddOnVersionOf(file)).first->second;
  }

 private:
  std::map<std::string, const VersionFields*> fields_;
};

struct KnownVersion {
  bool found = false;
  FILETIME written{};
  DWORD sizeHigh = 0, sizeLow = 0;
  VersionFields fields;
};

bool HasVersionInfo(const VersionFields& fields) {
  for (const std::string& slot : fields.slot)
    if (!slot.empty()) return true;
  return false;
}

// The file a registered path names, for its version information.
std::string ProgramFile(const std::string& path) { return NormalizeFilePath(StripQuotes(path).c_str()); }

// An entry's value: 0 for a helper registered in the machine's own view, 1
// for one in the 32-bit view of 64-bit Windows (the 32-bit browser's).
constexpr int kThirtyTwoBitView = 1;

std::vector<int> BrowserViews() {
  if (IsWow64()) return {0, kThirtyTwoBitView};
  return {0};
}

// A machine key ("SOFTWARE\\...") in the view of an entry.
std::string InView(const char* key, int view) {
  if (view != kThirtyTwoBitView) return key;
  return "SOFTWARE\\Wow6432Node" + std::string(key).substr(std::strlen("SOFTWARE"));
}

// A helper object or toolbar: titled by its file's product name, else by the
// file's name, else (no file at all) by its class id, so that it is never
// listed, nor remembered, under an empty name.
void AddClassEntry(const std::string& classId, const ClassInfo& info, int type, int view, VersionCache& versions) {
  const VersionFields& fields = versions.Of(StripQuotes(info.file));
  CatalogueEntry entry;
  entry.title = fields.slot[kProductName];
  if (entry.title.empty()) entry.title = FileNamePart(StripQuotes(info.file));
  if (entry.title.empty()) entry.title = classId;
  entry.path = entry.command = info.file;
  entry.data = classId;
  entry.description = fields.slot[kProductVersion];
  entry.type = type;
  entry.value = view;
  AddCatalogueEntry(std::move(entry));
}

void ListBrowserHelpers(VersionCache& versions, int view) {
  for (const std::string& classId : SubkeyNames(HKEY_LOCAL_MACHINE, InView(kBrowserHelpersKey, view).c_str())) {
    const ClassInfo info = ResolveClass(classId, view == kThirtyTwoBitView);
    if (info.file.empty()) continue;  // nothing the browser could load
    AddClassEntry(classId, info, kTypeBrowserHelper, view, versions);
  }
}

void ListToolbarEntries(VersionCache& versions, int view) {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, InView(kToolbarKey, view).c_str(), KEY_READ) != ERROR_SUCCESS) return;
  for (const ListedValue& value : SnapshotValues(key.get())) {
    // The browser reads each name as a class id; these two never name one.
    if (value.name.empty() || !value.exactName) continue;
    AddClassEntry(value.name, ResolveClass(value.name, view == kThirtyTwoBitView), kTypeToolbar, view, versions);
  }
}

void ListExtensionEntries(VersionCache& versions, int view) {
  RegKey extensions;
  if (extensions.Open(HKEY_LOCAL_MACHINE, InView(kExtensionsKey, view).c_str(), KEY_READ) != ERROR_SUCCESS) return;
  for (const std::string& name : SubkeyNames(extensions.get())) {
    RegKey key;
    if (key.Open(extensions.get(), name.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
    CatalogueEntry entry;
    entry.title = KeyText(key.get(), "ButtonText");
    // An extension without a button can still be an item of the Tools menu.
    if (entry.title.empty()) entry.title = KeyText(key.get(), "MenuText");
    if (entry.title.empty()) continue;
    if (ContainsText(entry.title.c_str(), "shdoclc.dll")) entry.title = LoadText(IDS_RELATED_EXTENSION);
    entry.path = KeyText(key.get(), "Exec");
    if (entry.path.empty()) entry.path = KeyText(key.get(), "script");
    const std::string file = ProgramFile(entry.path);
    const VersionFields& fields = versions.Of(file);
    if (HasVersionInfo(fields))
      entry.title = !fields.slot[kProductName].empty() ? fields.slot[kProductName] : FileNamePart(file);
    entry.command = entry.path;
    entry.data = name;
    entry.description = KeyText(key.get(), "HotIcon");
    if (entry.description.empty()) entry.description = entry.path;
    entry.type = kTypeExtension;
    entry.value = view;
    AddCatalogueEntry(std::move(entry));
  }
}

// A key or value name the removal may use: one name, never the parent key.
bool IsSingleName(const std::string& name) { return !name.empty() && name.find('\\') == std::string::npos; }

// Deletes one helper's registration; the key it was registered in, or "".
std::string DeleteRegistration(int type, const std::string& data, int view) {
  switch (type) {
    case kTypeExtension:
    case kTypeBrowserHelper: {
      if (!IsSingleName(data)) return {};  // would name the parent key, or another below it
      const std::string key = InView(type == kTypeExtension ? kExtensionsKey : kBrowserHelpersKey, view) + "\\" + data;
      if (!KeyExists(HKEY_LOCAL_MACHINE, key.c_str()) || !DeleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str())) return {};
      return key;
    }
    case kTypeToolbar: {  // a value's name is only itself, whatever it holds
      const std::string key = InView(kToolbarKey, view);
      if (data.empty() || !DeleteValue(HKEY_LOCAL_MACHINE, key.c_str(), data.c_str())) return {};
      return key + "\\" + data;
    }
    default:
      return {};
  }
}

// Starts the unregistration and does not wait for it.
void StartUnregistration(const std::string& path) {
  std::string command = UnregisterCommand(path);
  if (command.empty()) return;
  const std::string program = SystemFolder() + "\\regsvr32.exe";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

}  // namespace

const VersionFields& AddOnVersionOf(const std::string& file) {
  static std::map<std::string, KnownVersion> known;
  KnownVersion& entry = known[file];
  WIN32_FILE_ATTRIBUTE_DATA now{};
  const bool found =
      !file.empty() && GetFileAttributesExA(NativeFilePath(file).c_str(), GetFileExInfoStandard, &now) != 0;
  if (found && entry.found && now.ftLastWriteTime.dwLowDateTime == entry.written.dwLowDateTime &&
      now.ftLastWriteTime.dwHighDateTime == entry.written.dwHighDateTime && now.nFileSizeHigh == entry.sizeHigh &&
      now.nFileSizeLow == entry.sizeLow)
    return entry.fields;
  entry.found = found;
  entry.written = now.ftLastWriteTime;
  entry.sizeHigh = now.nFileSizeHigh;
  entry.sizeLow = now.nFileSizeLow;
  ReadVersionInfo(file.c_str(), entry.fields);
  return entry.fields;
}

std::string ClassKeyPath(const std::string& classId) {
  if (!IsSingleName(classId)) return {};
  const std::string braced = classId[0] == '{' ? classId : "{" + classId + "}";
  if (braced.size() > 255) return {};  // no key name is longer
  return "CLSID\\" + braced;
}

ClassInfo ResolveClass(const std::string& classId, bool thirtyTwoBitFirst) {
  ClassInfo info;
  const std::string path = ClassKeyPath(classId);
  if (path.empty()) return info;
  // On 64-bit Windows a class the 32-bit browser loads is registered in the
  // 32-bit view: read there when the view asked first has no server.
  const std::string thirtyTwo = IsWow64() ? "Wow6432Node\\" + path : std::string();
  for (const std::string& view : {thirtyTwoBitFirst ? thirtyTwo : path, thirtyTwoBitFirst ? path : thirtyTwo}) {
    RegKey key;
    if (view.empty() || key.Open(HKEY_CLASSES_ROOT, view.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
    ClassInfo found;
    found.name = KeyText(key.get(), "");
    if (found.name.size() > kClassNameWidth) found.name.resize(kClassNameWidth);
    found.file = SubkeyText(key.get(), "InprocServer32", "");
    if (info.name.empty() && info.file.empty()) info = found;
    if (!found.file.empty()) return found;
  }
  return info;
}

int EnumerateIEHelpers() {
  ClearCatalogueEntries();
  VersionCache versions;
  for (int view : BrowserViews()) ListBrowserHelpers(versions, view);
  for (int view : BrowserViews()) ListToolbarEntries(versions, view);
  for (int view : BrowserViews()) ListExtensionEntries(versions, view);
  return CatalogueCount();
}

std::string UnregisterCommand(const std::string& path) {
  const std::string folder = SystemFolder();
  // A quote would end ours and add arguments of its own; a closing backslash
  // would make our closing quote part of the path.
  if (folder.empty() || path.empty() || path.find('"') != std::string::npos || path.back() == '\\') return {};
  return "\"" + folder + "\\regsvr32.exe\" /u /s \"" + path + "\"";
}

namespace {

// Whether the machine's own class registrations name file as the server of
// the class. Per-user classes are left out on purpose: any program of the
// user may write them, and the elevated monitor must not load a library of
// its choosing through regsvr32.
bool MachineClassServes(const std::string& classId, const std::string& file) {
  const std::string path = ClassKeyPath(classId);
  if (path.empty() || file.empty()) return false;
  for (const char* classes : {"Software\\Classes\\", "Software\\Classes\\Wow6432Node\\"}) {
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, (classes + path).c_str(), KEY_READ) != ERROR_SUCCESS) continue;
    if (lstrcmpiA(SubkeyText(key.get(), "InprocServer32", "").c_str(), file.c_str()) == 0) return true;
  }
  return false;
}

}  // namespace

int RemoveIEHelper(const char* path, int index) {
  const std::string file = path ? path : "";
  struct Target {
    int type;
    std::string data;
    int view;
  };
  std::vector<Target> targets;
  for (int i = 0; i < CatalogueCount(); ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    // A file registered as helper object and toolbar goes both ways; an entry
    // without a file is only itself.
    const bool match = file.empty() ? i == index : lstrcmpiA(entry.path.c_str(), file.c_str()) == 0;
    if (match && entry.type >= kTypeBrowserHelper && entry.type <= kTypeExtension)
      targets.push_back({entry.type, entry.data, entry.value});
  }
  if (targets.empty()) return 0;
  int removed = 0;
  for (const Target& target : targets) {
    const std::string key = DeleteRegistration(target.type, target.data, target.view);
    if (key.empty()) continue;
    ++removed;
    AppendHistory(FileNamePart(file).c_str(), file.c_str(), key.c_str(), kTypeBrowserHelper, kActionIEHelperRemove);
  }
  bool machineServer = false;
  for (const Target& target : targets) machineServer = machineServer || MachineClassServes(target.data, file);
  if (machineServer) StartUnregistration(file);
  return removed;
}

int RecordListedFirstSeen(int (*enumerate)(), const char* area) {
  const int count = enumerate ? enumerate() : 0;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (!CatalogueAt(i).path.empty()) RecordFirstSeen(CatalogueAt(i).path.c_str(), area);
  ClearCatalogueEntries();
  return count;
}

int IsKnownIEHelper(HKEY baseline, const std::string& title) {
  char text[32];
  return ReadStringValueFrom(baseline, title.c_str(), text, sizeof text) > 0 && ParseLeadingInt(text) != 0 ? 1 : 0;
}

int InitIEHelperBaseline() {
  EnumerateIEHelpers();
  RegKey baseline;
  if (baseline.Create(HKEY_CURRENT_USER, kIEHelperBaselineKey, KEY_ALL_ACCESS) == ERROR_SUCCESS)
    for (int i = 0; i < CatalogueCount(); ++i) {
      const std::string type = std::to_string(CatalogueAt(i).type);
      RegSetValueExA(baseline.get(), CatalogueAt(i).title.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(type.c_str()), static_cast<DWORD>(type.size() + 1));
    }
  ClearCatalogueEntries();
  return 1;
}

}  // namespace sentrel
