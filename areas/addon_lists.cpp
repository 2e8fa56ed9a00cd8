// The read-only lists of browser add-ons and settings that the reports show.
#include <string>

#include "addon_keys.h"
#include "catalogue.h"
#include "fileid.h"
#include "ie_helpers.h"
#include "registry.h"
#include "resource.h"
#include "strings.h"

namespace sentrel {
namespace {

constexpr const char* kMenuExtKey = "Software\\Microsoft\\Internet Explorer\\MenuExt";
constexpr const char* kPluginsKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Plugins\\Extension";
constexpr const char* kDistributionUnitsKey = "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units";
constexpr const char* kDelayLoadKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
constexpr const char* kSharedTaskSchedulerKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
constexpr const char* kAdvancedOptionsKey = "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions";
constexpr const char* kZoneDomainsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";

void Add(const std::string& title, const std::string& path, const std::string& data, const std::string& description,
         int type) {
  AddCatalogueEntry(title.c_str(), path.c_str(), data.c_str(), description.c_str(), type, 0);
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The first byte of a value ("" reads as none).
int FirstByte(HKEY key, const char* name) {
  StoredValue value;
  if (!ReadStoredValue(key, name, value) || value.bytes.empty()) return -1;
  return static_cast<unsigned char>(value.bytes[0]);
}

// Lists one Extensions key; suffix marks the user's entries.
void ListExtensionsOf(HKEY root, const char* suffix) {
  RegKey extensions;
  if (extensions.Open(root, kExtensionsKey, KEY_READ) != ERROR_SUCCESS) return;
  for (const std::string& name : SubkeyNames(extensions.get())) {
    RegKey key;
    if (key.Open(extensions.get(), name.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
    std::string path = KeyText(key.get(), "script");
    if (path.empty()) path = KeyText(key.get(), "exec");
    if (path.empty()) path = ResolveClass(name).file;
    if (path.empty()) continue;
    path += suffix;
    std::string title = KeyText(key.get(), "ButtonText");
    Add(title.empty() ? LoadText(IDS_NO_NAME) : title, path, name, "", 1);
    const std::string menu = KeyText(key.get(), "MenuText");
    if (!menu.empty()) Add(menu, path, name, "", 2);
  }
}

}  // namespace

int ListHelperObjects() {
  ClearCatalogueEntries();
  for (const std::string& id : SubkeyNames(HKEY_LOCAL_MACHINE, kBrowserHelpersKey)) {
    const ClassInfo info = ResolveClass(id);
    Add(info.name, info.file, id, "", kTypeBrowserHelper);
  }
  return CatalogueCount();
}

int ListToolbars() {
  ClearCatalogueEntries();
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kToolbarKey, KEY_READ) != ERROR_SUCCESS) return 0;
  for (const ListedValue& value : SnapshotValues(key.get())) {
    if (value.name.empty() || !value.exactName) continue;
    const ClassInfo info = ResolveClass(value.name);
    VersionFields fields;
    ReadVersionInfo(NormalizeFilePath(StripQuotes(info.file).c_str()).c_str(), fields);
    Add(info.name, info.file, value.name, fields.slot[kCompanyName], kTypeBrowserHelper);
  }
  return CatalogueCount();
}

int ListMenuExtensions() {
  ClearCatalogueEntries();
  RegKey menus;
  if (menus.Open(HKEY_CURRENT_USER, kMenuExtKey, KEY_READ) != ERROR_SUCCESS) return 0;
  for (const std::string& name : SubkeyNames(menus.get())) {
    const std::string target = SubkeyText(menus.get(), name, "");
    if (!target.empty()) Add(name, target, name, "", 0);
  }
  return CatalogueCount();
}

int ListExtensions() {
  ClearCatalogueEntries();
  ListExtensionsOf(HKEY_LOCAL_MACHINE, "");
  ListExtensionsOf(HKEY_CURRENT_USER, " (HKCU)");
  return CatalogueCount();
}

int ListPlugins() {
  ClearCatalogueEntries();
  RegKey plugins;
  if (plugins.Open(HKEY_LOCAL_MACHINE, kPluginsKey, KEY_READ) != ERROR_SUCCESS) return 0;
  for (const std::string& name : SubkeyNames(plugins.get())) {
    const std::string location = SubkeyText(plugins.get(), name, "Location");
    if (!location.empty()) Add(name, location, name, "", 0);
  }
  return CatalogueCount();
}

int ListDownloadedProgramFiles() {
  ClearCatalogueEntries();
  RegKey units;
  if (units.Open(HKEY_LOCAL_MACHINE, kDistributionUnitsKey, KEY_READ) != ERROR_SUCCESS) return 0;
  for (const std::string& name : SubkeyNames(units.get())) {
    const std::string codebase = SubkeyText(units.get(), name + "\\DownloadInformation", "CODEBASE");
    if (codebase.empty()) continue;
    const ClassInfo info = ResolveClass(name);
    Add(info.name, codebase, info.file, name, 0);
  }
  return CatalogueCount();
}

int ListDelayLoadObjects() {
  ClearCatalogueEntries();
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kDelayLoadKey, KEY_READ) != ERROR_SUCCESS) return 0;
  for (const ListedValue& value : SnapshotValues(key.get())) {
    if (!IsText(value.type)) continue;
    const ClassInfo info = ResolveClass(value.text);
    if (!info.file.empty()) Add(info.name, info.file, value.text, value.name, 0);
  }
  return CatalogueCount();
}

int ListSharedTaskSchedulers() {
  ClearCatalogueEntries();
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kSharedTaskSchedulerKey, KEY_READ) != ERROR_SUCCESS) return 0;
  for (const ListedValue& value : SnapshotValues(key.get())) {
    if (!value.exactName) continue;
    const ClassInfo info = ResolveClass(value.name);
    if (!info.file.empty()) Add(info.name, info.file, value.name, IsText(value.type) ? value.text : "", 0);
  }
  return CatalogueCount();
}

int ListAdvancedOptions() {
  ClearCatalogueEntries();
  RegKey options;
  if (options.Open(HKEY_LOCAL_MACHINE, kAdvancedOptionsKey, KEY_READ) != ERROR_SUCCESS) return 0;
  for (const std::string& name : SubkeyNames(options.get())) {
    RegKey key;
    if (key.Open(options.get(), name.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
    const std::string help = KeyText(key.get(), "HelpID");
    if (ContainsText(help.c_str(), "iexplore.hlp")) continue;
    const std::string bitmap = KeyText(key.get(), "Bitmap");
    Add(KeyText(key.get(), "Text"), help, bitmap.substr(NamePosition(bitmap)), "", 0);
  }
  return CatalogueCount();
}

int ListZoneDomains() {
  ClearCatalogueEntries();
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegKey domains;
    if (domains.Open(root, kZoneDomainsKey, KEY_READ) != ERROR_SUCCESS) continue;
    for (const std::string& domain : SubkeyNames(domains.get())) {
      RegKey key;
      if (key.Open(domains.get(), domain.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
      int zone = -1;
      for (const std::string& host : SubkeyNames(key.get())) {
        RegKey sub;
        if (sub.Open(key.get(), host.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
        zone = FirstByte(sub.get(), "*");
        if (zone == 4 || zone == 5) break;
      }
      if (zone == 5) Add(domain, "", "", "", 0);
    }
  }
  return CatalogueCount();
}

bool IsKnownShellClass(const char* classId) {
  static const char* const kKnown[] = {
      "{7849596a-48ea-486e-8937-a2a3009f31a9}", "{fbeb8a05-beee-4442-804e-409d6c4515e9}",
      "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}", "{35CEC8A3-2BE6-11D2-8773-92E220524153}"};
  if (!classId) return false;
  for (const char* known : kKnown)
    if (lstrcmpiA(known, classId) == 0) return true;
  return false;
}

}  // namespace sentrel
