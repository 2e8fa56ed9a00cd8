// Readings, baselines and restores of the watched system settings.
#include "system_settings.h"

#include <cstring>
#include <string>

#include "fileid.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

const BrowserPage kPages[] = {
    {"StartPage", kIEMainKey, "Start Page", IDS_START_PAGE_CHANGED},
    {"SearchPage", kIEMainKey, "Search Page", IDS_SEARCH_PAGE_CHANGED},
    {"SourcePage", kDesktopComponentKey, "Source", IDS_CHANGE_DETECTED_BACKGROUND_PAGE},
};

// The -1 the initialisation stores for a system value that was missing.
constexpr DWORD kMissingMark = 0xFFFFFFFF;

std::string ReadWholeText(HKEY root, const char* key, const char* name) {
  RegKey opened;
  if (opened.Open(root, key, KEY_READ) != ERROR_SUCCESS) return "";
  // Most pages fit a small buffer; a longer one is read whole.
  char data[1024];
  DWORD size = sizeof data - 1, type = 0;
  const LONG result = RegQueryValueExA(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  if (result == ERROR_SUCCESS) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return "";
    return std::string(data, strnlen(data, size < sizeof data ? size : sizeof data - 1));
  }
  if (result != ERROR_MORE_DATA) return "";
  StoredValue value;
  if (!ReadStoredValue(opened.get(), name, value)) return "";
  return TextOfValue(value);  // "" for anything but text
}

// The stored DWORD, or missing (also for any other type).
bool ReadRawDword(HKEY root, const char* key, const char* name, DWORD& value) {
  value = 0;
  RegKey opened;
  if (opened.Open(root, key, KEY_READ) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = sizeof value;
  if (RegQueryValueExA(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    value = 0;
    return false;
  }
  return true;
}

}  // namespace

const char* const kUacValueNames[3] = {"ConsentPromptBehaviorAdmin", "EnableLUA", "PromptOnSecureDesktop"};

const BrowserPage* BrowserPages(size_t* count) {
  if (count) *count = sizeof kPages / sizeof kPages[0];
  return kPages;
}

std::string ReadPage(const BrowserPage& page) { return ReadWholeText(HKEY_CURRENT_USER, page.key, page.value); }
std::string ReadPageBaseline(const BrowserPage& page) {
  return ReadWholeText(HKEY_CURRENT_USER, kSentrelKey, page.baseline);
}
int WritePage(const BrowserPage& page, const std::string& text) {
  return WriteStringValue(HKEY_CURRENT_USER, page.key, page.value, text.c_str());
}
int WritePageBaseline(const BrowserPage& page, const std::string& text) {
  return WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, page.baseline, text.c_str());
}

bool SamePage(const std::string& a, const std::string& b) {
  auto trimmed = [](const std::string& text) {
    return !text.empty() && text.back() == '/' ? text.substr(0, text.size() - 1) : text;
  };
  return lstrcmpiA(trimmed(a).c_str(), trimmed(b).c_str()) == 0;
}

DWORD ReadSettingDword(HKEY root, const char* key, const char* name) {
  DWORD value = 0;
  if (!ReadRawDword(root, key, name, value) || value == kMissingMark) return 0;
  return value & 0xFFFF;
}

DWORD AutoUpdateBaseline() { return ReadSettingDword(HKEY_CURRENT_USER, kSentrelKey, "AUOptions"); }
DWORD AutoUpdateSystemValue() { return ReadSettingDword(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUOptions"); }
int StoreAutoUpdateBaseline(DWORD value) { return WriteDwordValue(HKEY_CURRENT_USER, kSentrelKey, "AUOptions", value); }
int RestoreAutoUpdateDirectly() {
  return WriteDwordValue(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUOptions", AutoUpdateBaseline());
}

std::string AutoUpdateText(DWORD value) {
  // Values outside 1 to 4 have no text of their own: the number stands.
  if (value < 1 || value > 4) return std::to_string(value);
  return LoadText(IDS_WINDOWS_AUTO_UPDATE_SETTINGS + value);
}

std::string PrefixBaseline() {
  std::string prefix = ReadWholeText(HKEY_CURRENT_USER, kSentrelKey, "wwwPrefix");
  return prefix.empty() ? LoadText(IDS_HTTP) : prefix;
}
std::string CurrentPrefix() { return ReadWholeText(HKEY_LOCAL_MACHINE, kUrlPrefixesKey, "www"); }
int StorePrefixBaseline(const std::string& prefix) {
  return WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, "wwwPrefix", prefix.c_str());
}
int RestorePrefixDirectly() {
  const std::string prefix = PrefixBaseline();
  const int prefixes = WriteStringValue(HKEY_LOCAL_MACHINE, kUrlPrefixesKey, "www", prefix.c_str());
  const int fallback = WriteStringValue(HKEY_LOCAL_MACHINE, kDefaultPrefixKey, "", prefix.c_str());
  return prefixes && fallback;
}

DWORD UacSystemSum() {
  DWORD sum = 0;
  for (const char* name : kUacValueNames) sum += ReadSettingDword(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, name);
  return sum;
}
DWORD UacBaselineSum() {
  DWORD sum = 0;
  for (const char* name : kUacValueNames) sum += ReadSettingDword(HKEY_CURRENT_USER, kSentrelKey, name);
  return sum;
}

std::string UacLevelText(DWORD sum) {
  switch (sum) {
    case 4:
      return LoadText(IDS_3_ALWAYS_NOTIFY_DIM);
    case 6:
      return LoadText(IDS_1_NOTIFY_ONLY_WHEN);
    case 7:
      return LoadText(IDS_2_ALWAYS_NOTIFY);
    default:
      return LoadText(IDS_0_USER_ACCOUNT_CONTROL);
  }
}

int StoreUacBaselines() {
  int stored = 1;
  for (const char* name : kUacValueNames) {
    DWORD value = 0;
    if (!ReadRawDword(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, name, value)) value = kMissingMark;
    stored &= WriteDwordValue(HKEY_CURRENT_USER, kSentrelKey, name, value);
  }
  return stored;
}

int RestoreUacValues() {
  int restored = 1;
  for (const char* name : kUacValueNames) {
    DWORD value = 0;
    // A value that was missing when approved is made missing again.
    if (!ReadRawDword(HKEY_CURRENT_USER, kSentrelKey, name, value) || value == kMissingMark)
      DeleteValue(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, name);
    else
      restored &= WriteDwordValue(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, name, value);
  }
  return restored;
}

std::string InternetExplorerPath() {
  std::string folder = ReadString(HKEY_LOCAL_MACHINE, kIEAppPathKey, "Path");
  if (!folder.empty() && folder.back() == ';') folder.pop_back();
  return folder + "\\iexplore.exe";
}

std::string DefaultBrowserCommandOf(const std::string& registered, const std::string& iePath) {
  std::string copy;
  for (char c : registered)
    if (c != '"') copy += c;
  const size_t dash = copy.find('-');
  if (dash != std::string::npos)
    copy.resize(dash >= 1 ? dash - 1 : 0);
  else if (!copy.empty())
    copy.pop_back();
  if (copy.empty()) copy = iePath;
  if (copy.size() > 260) copy.resize(260);
  return copy;
}

std::string DefaultBrowserCommand() {
  char registered[512];
  if (ReadStringValue(HKEY_LOCAL_MACHINE, kHttpCommandKey, "", registered, sizeof registered) <= 0 &&
      !ValueExists(HKEY_LOCAL_MACHINE, kHttpCommandKey, ""))
    return "";
  std::string folder = ReadString(HKEY_LOCAL_MACHINE, kIEAppPathKey, "Path");
  if (!folder.empty() && folder.back() == ';') folder.pop_back();
  return DefaultBrowserCommandOf(registered, folder + "\\IExplore.exe");
}

int BrowserKindOf(const std::string& command) {
  struct Kind {
    const char* part;
    int kind;
  };
  static const Kind kKinds[] = {{"iexplore", 1}, {"netscp", 2},  {"maxthon", 4},
                                {"avant", 5},    {"mozilla", 6}, {"firefox", 3}};
  for (const Kind& kind : kKinds)
    if (ContainsText(command.c_str(), kind.part)) return kind.kind;
  return 1;
}

int DefaultBrowserKind() { return BrowserKindOf(DefaultBrowserCommand()); }

}  // namespace sentrel
