// The single system settings the monitor guards: the browser's start, search
// and desktop pages, the automatic-update setting, the default URL prefix and
// the user account control values; their readings, baselines and restores,
// and the default browser.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace sentrel {

constexpr const char* kIEMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kDesktopComponentKey = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0";
constexpr const char* kAutoUpdateKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
constexpr const char* kUrlPrefixesKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
constexpr const char* kDefaultPrefixKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";
constexpr const char* kPoliciesSystemKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kHttpCommandKey = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";
constexpr const char* kIEAppPathKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

// Characters of a page shown in a question (the page itself is compared and
// written whole).
constexpr size_t kShownPageChars = 511;

// One watched browser page: the baseline value under the settings key and
// the watched value under HKEY_CURRENT_USER.
struct BrowserPage {
  const char* baseline;
  const char* key;
  const char* value;
  UINT message;  // the question, filled with the new page and the approved one
};
const BrowserPage* BrowserPages(size_t* count);

// The text of a page value of any length; "" when missing or not text.
std::string ReadPage(const BrowserPage& page);
std::string ReadPageBaseline(const BrowserPage& page);
int WritePage(const BrowserPage& page, const std::string& text);
int WritePageBaseline(const BrowserPage& page, const std::string& text);
// Equal once one trailing "/" is dropped from each, case-insensitively.
bool SamePage(const std::string& a, const std::string& b);

// A mirrored DWORD setting through its low 16 bits; missing, or not a DWORD,
// reads as 0, and so does the "missing" mark (-1) the initialisation stores.
DWORD ReadSettingDword(HKEY root, const char* key, const char* name);
DWORD AutoUpdateBaseline();
DWORD AutoUpdateSystemValue();
int StoreAutoUpdateBaseline(DWORD value);
// Writes the baseline into the system value (older Windows: the monitor's
// own rights suffice).
int RestoreAutoUpdateDirectly();
// The text for an automatic-update value (string 1050 + value).
std::string AutoUpdateText(DWORD value);

// The approved prefix ("http://" when the baseline is empty) and the current.
std::string PrefixBaseline();
std::string CurrentPrefix();
int StorePrefixBaseline(const std::string& prefix);
// Writes the approved prefix into the Prefixes value and DefaultPrefix.
int RestorePrefixDirectly();

// The three user account control values, system and baseline.
extern const char* const kUacValueNames[3];
DWORD UacSystemSum();
DWORD UacBaselineSum();
std::string UacLevelText(DWORD sum);
int StoreUacBaselines();  // the system values become the baselines
int RestoreUacValues();   // the baselines are written into the system values

// The default browser's program ("" when unknown), its kind (1 Internet
// Explorer, 2 Netscape, 3 Firefox, 4 Maxthon, 5 Avant, 6 Mozilla) and
// Internet Explorer's program.
std::string DefaultBrowserCommand();
std::string DefaultBrowserCommandOf(const std::string& registered, const std::string& iePath);
int DefaultBrowserKind();
int BrowserKindOf(const std::string& command);
std::string InternetExplorerPath();

}  // namespace sentrel
