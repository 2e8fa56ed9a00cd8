// ActiveX controls: listing, the kill bit, and the baseline.
#include "activex.h"

#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "addon_keys.h"
#include "fileid.h"
#include "ie_helpers.h"
#include "registry.h"
#include "settings.h"

namespace sentrel {
namespace {

constexpr const char* kFlagsName = "Compatibility Flags";

// The compatibility key of a class id; "" when the text cannot name one key.
std::string CompatibilityKey(const char* classId) {
  const std::string id = classId ? classId : "";
  if (id.empty() || id.size() > 255 || id.find('\\') != std::string::npos) return {};
  return std::string(kActiveXCompatibilityKey) + "\\" + id;
}

// The compatibility keys a control's kill bit is read from: on 64-bit
// Windows the 32-bit browser (the default one) reads its own view's copy.
std::vector<std::string> BrowserViews(const std::string& path) {
  std::vector<std::string> views = {path};
  if (IsWow64()) views.push_back("SOFTWARE\\Wow6432Node" + path.substr(std::strlen("SOFTWARE")));
  return views;
}

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};

DWORD FlagsOf(HKEY key) {
  DWORD type = 0, flags = 0, size = sizeof flags;
  if (!key ||
      RegQueryValueExA(key, kFlagsName, nullptr, &type, reinterpret_cast<BYTE*>(&flags), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof flags)
    return 0;
  return flags;
}

// What one listing needs more than once: the open keys it reads per control
// and the version fields of each file.
struct ListingContext {
  RegKey stats;
  RegKey compatibility;
  std::set<std::string, NoCase> compatible;      // names of the compatibility keys
  std::map<std::string, std::string> programOf;  // server text -> program file
  std::map<std::string, const VersionFields*> versions;
  bool hideMicrosoft = false;

  // Most controls have no compatibility key: one walk over the names spares
  // a failing open per control.
  void OpenCompatibility() {
    if (compatibility.Open(HKEY_LOCAL_MACHINE, kActiveXCompatibilityKey, KEY_READ) != ERROR_SUCCESS) return;
    for (std::string& name : SubkeyNames(compatibility.get())) compatible.insert(std::move(name));
  }
  const std::string& ProgramOf(const std::string& server) {
    auto found = programOf.find(server);
    if (found != programOf.end()) return found->second;
    return programOf.emplace(server, NormalizeFilePath(StripQuotes(server).c_str())).first->second;
  }

  const VersionFields& VersionOf(const std::string& file) {
    auto found = versions.find(file);
    if (found != versions.end()) return *found->second;
    return *versions.emplace(file, &AddOnVersionOf(file)).first->second;
  }
};

// Steps common to both listings: resolve, title, skip a control without a
// file, leave out Microsoft's when asked, and add with its flags.
void AddControl(const std::string& classId, ListingContext& context) {
  const ClassInfo info = ResolveClass(classId);
  if (info.file.empty()) return;
  const std::string file = context.ProgramOf(info.file);
  const VersionFields& fields = context.VersionOf(file);
  if (context.hideMicrosoft && ContainsText(fields.slot[kCompanyName].c_str(), "Microsoft")) return;
  std::string title = info.name;
  if (title.empty()) title = fields.slot[kFileDescription];
  if (title.empty()) title = fields.slot[kProductName];
  if (title.empty()) title = FileNamePart(file);
  DWORD flags = 0;
  if (context.compatibility && context.compatible.count(classId) && !CompatibilityKey(classId.c_str()).empty()) {
    RegKey key;
    if (key.Open(context.compatibility.get(), classId.c_str(), KEY_READ) == ERROR_SUCCESS) flags = FlagsOf(key.get());
  }
  AddCatalogueEntry(title.c_str(), file.c_str(), classId.c_str(), fields.slot[kProductVersion].c_str(), kTypeActiveX,
                    static_cast<int>(flags));
}

// The browser's own record of a control: kept when its Type is 1 or less.
bool UsedByBrowser(HKEY stats, const std::string& classId) {
  RegKey key;
  if (key.Open(stats, (classId + "\\iexplore").c_str(), KEY_READ) != ERROR_SUCCESS) return true;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key.get(), "Type", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return true;  // missing counts as 0
  return value <= 1;
}

void ListUsedControls(ListingContext& context) {
  if (context.stats.Open(HKEY_CURRENT_USER, kActiveXStatsKey, KEY_READ) != ERROR_SUCCESS) return;
  for (const std::string& classId : SubkeyNames(context.stats.get()))
    if (UsedByBrowser(context.stats.get(), classId)) AddControl(classId, context);
}

}  // namespace

DWORD ReadCompatibilityFlags(const char* classId) {
  const std::string path = CompatibilityKey(classId);
  RegKey key;
  if (path.empty() || key.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ) != ERROR_SUCCESS) return 0;
  return FlagsOf(key.get());
}

int IsActiveXEnabled(const char* classId) { return (ReadCompatibilityFlags(classId) & kKillBit) == 0 ? 1 : 0; }

int DisableActiveX(const char* classId) {
  const std::string path = CompatibilityKey(classId);
  if (path.empty()) return 0;
  for (const std::string& view : BrowserViews(path)) {
    RegKey key;
    key.Open(HKEY_LOCAL_MACHINE, view.c_str(), KEY_QUERY_VALUE);
    const DWORD flags = FlagsOf(key.get());
    key.Close();
    WriteDwordValue(HKEY_LOCAL_MACHINE, view.c_str(), kFlagsName, flags | kKillBit);
  }
  return 1;
}

int EnableActiveX(const char* classId) {
  const std::string path = CompatibilityKey(classId);
  if (path.empty()) return 0;
  for (const std::string& view : BrowserViews(path)) {
    RegKey key;  // a control without a compatibility key is enabled already
    if (key.Open(HKEY_LOCAL_MACHINE, view.c_str(), KEY_SET_VALUE | KEY_QUERY_VALUE) != ERROR_SUCCESS) continue;
    const DWORD flags = FlagsOf(key.get()) & ~kKillBit;
    RegSetValueExA(key.get(), kFlagsName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof flags);
  }
  return 1;
}

int EnumerateActiveX(bool append, bool everyCompany) {
  if (!append) ClearCatalogueEntries();
  ListingContext context;
  context.hideMicrosoft = !everyCompany && Option(kOptHideMicrosoftActiveX) > 0;
  context.OpenCompatibility();
  ListUsedControls(context);
  return CatalogueCount();
}

int EnumerateAllActiveX() {
  ClearCatalogueEntries();
  EnumerateActiveX(true);
  ListingContext context;
  context.hideMicrosoft = Option(kOptHideMicrosoftActiveX) > 0;
  context.OpenCompatibility();
  if (!context.compatibility) return CatalogueCount();
  for (const std::string& name : SubkeyNames(context.compatibility.get())) {
    std::string classId = SubkeyText(context.compatibility.get(), name, "AlternateCLSID");
    if (classId.size() > 127) classId.resize(127);
    AddControl(classId.empty() ? name : classId, context);
  }
  return CatalogueCount();
}

int CreateActiveXBaseline() {
  const std::string marker = ReadString(HKEY_CURRENT_USER, kActiveXBaselineKey, "");
  if (!marker.empty() && marker[0] == 'P') return 1;
  if (!marker.empty()) DeleteKeyTree(HKEY_CURRENT_USER, kActiveXBaselineKey);
  RegKey baseline;
  if (baseline.Create(HKEY_CURRENT_USER, kActiveXBaselineKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return 0;
  RegSetValueExA(baseline.get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>("P"), 2);
  EnumerateActiveX(false, true);
  for (int i = 0; i < CatalogueCount(); ++i) {
    const std::string type = std::to_string(CatalogueAt(i).type);
    RegSetValueExA(baseline.get(), CatalogueAt(i).data.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(type.c_str()),
                   static_cast<DWORD>(type.size() + 1));
  }
  ClearCatalogueEntries();
  return 1;
}

}  // namespace sentrel
