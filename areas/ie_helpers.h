// The add-ons Internet Explorer loads (helper objects, toolbars, toolbar
// buttons and menu extensions): listing, removing, their baseline, and the
// read-only lists of browser add-ons the reports show.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue.h"

namespace sentrel {

constexpr int kTypeBrowserHelper = 900;
constexpr int kTypeToolbar = 901;
constexpr int kTypeExtension = 902;

constexpr const char* kBrowserHelpersKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr const char* kToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* kExtensionsKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
constexpr const char* kIEHelperBaselineKey = "Software\\Orvane Works\\Sentrel\\IEHelpers";

// ---- Class identifiers --------------------------------------------------------

// Characters of a class's name that are read.
constexpr size_t kClassNameWidth = 511;

// What HKEY_CLASSES_ROOT\CLSID says of a class: its name and its server file
// (InprocServer32, expanded). Both empty when the class or the value is
// missing, and for a text that cannot name a class key (empty, too long, or
// holding a backslash, which would reach into another key). On 64-bit
// Windows a class without a server in the machine's own view is read in the
// 32-bit view, where the 32-bit browser's classes live.
struct ClassInfo {
  std::string name;
  std::string file;
};
// thirtyTwoBitFirst: the 32-bit view is read first (a registration of the
// 32-bit browser).
ClassInfo ResolveClass(const std::string& classId, bool thirtyTwoBitFirst = false);
// The key path "CLSID\{...}" of a class id (braces added when missing); ""
// when the text cannot name a class key.
std::string ClassKeyPath(const std::string& classId);

// ---- The IE helpers -----------------------------------------------------------

// Clears the catalogue entry list and lists the helper objects (900),
// toolbars (901) and extensions (902), in that order. Returns the count. On
// 64-bit Windows each kind is listed from the machine's own view, then from
// the 32-bit browser's (those entries have the value 1, and are removed in
// their view).
int EnumerateIEHelpers();

// Removes the registration of every listed helper whose path is the given
// one (each by its own type and key); with an empty path only the entry at
// index. Unregisters the file with the system's regsvr32 (started, not
// waited for) and records each removal. Returns the registrations deleted.
int RemoveIEHelper(const char* path, int index);

// Writes every listed helper into the IE helper baseline (title = type).
int InitIEHelperBaseline();
// 1 when the baseline holds a non-zero number for the title.
int IsKnownIEHelper(HKEY baseline, const std::string& title);

// Lists an area and records the first-seen date of every listed path under
// the area's Detected key; the list is emptied afterwards.
int RecordListedFirstSeen(int (*enumerate)(), const char* area);

// The command that unregisters a library: the system folder's regsvr32 with
// the path quoted; "" when the path is empty or holds a double quote.
std::string UnregisterCommand(const std::string& path);

// ---- Report lists (read only; each clears the list and returns the count) ----

int ListHelperObjects();
int ListToolbars();
int ListMenuExtensions();
int ListExtensions();  // type 1 per button, type 2 per menu item
int ListPlugins();
int ListDownloadedProgramFiles();
int ListDelayLoadObjects();
int ListSharedTaskSchedulers();
int ListAdvancedOptions();
int ListZoneDomains();
// The four shell classes that every Windows carries: the report leaves them
// out of its delay-loaded objects.
bool IsKnownShellClass(const char* classId);

}  // namespace sentrel
