// Options: one table with names, defaults and the saving order.
#include "settings.h"

#include <climits>
#include <cstdio>

#include "fileid.h"
#include "registry.h"

namespace sentrel {
namespace {

// MaxCookie's default differs between the programs, TrayIcon's between the
// Windows families; see OptionDefault.
constexpr int kProgramDependent = INT_MIN;
constexpr int kFamilyDependent = INT_MIN + 1;

constexpr OptionDef kOptions[kOptionCount] = {
    {kOptSendHistory, "SendHistory", 0, true},
    {kOptHideTavvy, "HideTavvy", 0, true},
    {kOptHideStartup, "HideStartup", 0, true},
    {kOptHideIEHelper, "HideIEHelper", 0, true},
    {kOptHideActiveX, "HideActiveX", 0, true},
    {kOptHideServices, "HideServices", 0, true},
    {kOptHideFileType, "HideFileType", 0, true},
    {kOptHideTasks, "HideTasks", 0, true},
    {kOptHideHidden, "HideHidden", 0, true},
    {kOptHideSystemFiles, "HideSystemFiles", 0, true},
    {kOptHideHomePage, "HideHomePage", 0, true},
    {kOptFormat, "Format", 0, true},
    {kOptConfirmExit, "ConfirmExit", 0, true},
    {kOptSound, "Sound", 1, true},
    {kOptHistory, "History", 1, true},
    {kOptHideMicrosoftServices, "HideMicrosoftServices", 1, true},
    {kOptHideMicrosoftActiveX, "HideMicrosoftActiveX", 0, true},
    {kOptIncludeKillBit, "IncludeKillBit", 0, true},
    {kOptActiveXListAll, "ActiveXListAll", 0, true},
    {kOptOmniFormat, "OmniFormat", 0, true},
    {kOptLockFileTypes, "LockFileTypes", 0, true},
    {kOptShowAllStartup, "ShowAllStartup", 0, true},
    {kOptNoMicrosoftStartup, "NoMicrosoftStartup", 0, true},
    {kOptStart, "Start", 2, true},
    {kOptCookies, "Cookies", 0, true},
    {kOptNuts, "Nuts", 0, true},
    {kOptTasks, "Tasks", 11, true},
    {kOptIEHelpers, "IEHelpers", 2, true},
    {kOptFileType, "FileType", 10, true},
    {kOptStartPage, "StartPage", 2, true},
    // The Options page has always spelled it this way; value names ignore case.
    {kOptHostFile, "HOSTFile", 3, true},
    {kOptWinInit, "WinInit", 5, true},
    {kOptServices, "Services", 7, true},
    {kOptHidden, "Hidden", 0, true},
    {kOptViewCookies, "ViewCookies", 0, true},
    {kOptActiveX, "ActiveX", 4, true},
    {kOptRealtimeStartup, "RealtimeStartup", 1, true},
    {kOptRealtimeIEHelper, "RealtimeIEHelper", 1, true},
    {kOptRealtimeSysFiles, "RealtimeSysFiles", 1, true},
    {kOptRealtimeFileType, "RealtimeFileType", 0, true},
    {kOptRealtimeStartPage, "RealtimeStartPage", 1, true},
    {kOptRealtimeHidden, "RealtimeHidden", 0, true},
    {kOptRealtimeActiveX, "RealtimeActiveX", 1, true},
    {kOptRealtimeServices, "RealtimeServices", 1, true},
    {kOptExplorerMenu, "ExplorerMenu", 1, true},
    {kOptShowAlerts, "ShowAlerts", 1, true},
    {kOptHideRunOnce, "HideRunOnce", 0, true},
    {kOptMaxCookie, "MaxCookie", kProgramDependent, false},
    {kOptWindowSettings, "WindowSettings", 1, false},
    {kOptStartTab, "StartTab", 6026, false},
    {kOptTrayIcon, "TrayIcon", kFamilyDependent, false},
    {kOptBrowser, "Browser", 1, false},
    {kOptBrowserFailure, "BrowserFailure", 0, false},
    {kOptNoteSize, "NoteSize", 14, false},
    {kOptSortStartup, "SortStartup", 0, false},
    {kOptSortPrograms, "SortPrograms", 0, false},
    {kOptSortActiveTask, "SortActiveTask", 0, false},
    {kOptSortScheduledTask, "SortScheduledTask", 0, false},
    {kOptSortIEHelper, "SortIEHelper", 0, false},
    {kOptSortService, "SortService", 0, false},
    {kOptSortFileType, "SortFileType", 0, false},
    {kOptSortHidden, "SortHidden", 0, false},
    {kOptSortActiveX, "SortActiveX", 0, false},
    {kOptSortCookie, "SortCookie", 0, false},
    {kOptSortHistory, "SortHistory", 0, false},
    {kOptSortRecent, "SortRecent", 0, false},
};

constexpr bool TableInIdOrder() {
  for (int i = 0; i < kOptionCount; ++i)
    if (kOptions[i].id != i) return false;
  return true;
}
static_assert(TableInIdOrder(), "option table rows must follow OptionId");

ProcessState g_process;
int g_values[kOptionCount];
bool g_loaded = false;

}  // namespace

ProcessState& Process() { return g_process; }

const OptionDef& OptionDefinition(OptionId id) { return kOptions[id]; }

int OptionDefault(OptionId id) {
  if (kOptions[id].defaultValue == kFamilyDependent) return IsNtFamily() ? 101 : 159;
  if (kOptions[id].defaultValue != kProgramDependent) return kOptions[id].defaultValue;
  return g_process.kind == ProgramKind::Explorer ? 4096 : 315;
}

int Option(OptionId id) { return g_loaded ? g_values[id] : OptionDefault(id); }

void SetOption(OptionId id, int value) {
  if (!g_loaded) {
    for (int i = 0; i < kOptionCount; ++i) g_values[i] = OptionDefault(static_cast<OptionId>(i));
    g_loaded = true;
  }
  g_values[id] = value;
}

int ParseLeadingInt(const char* text) {
  if (!text) return 0;
  bool negative = false;
  if (*text == '-' || *text == '+') negative = *text++ == '-';
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text)
    if (value <= INT_MAX) value = value * 10 + (*text - '0');  // saturates below
  if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int ReadOption(const char* name, int defaultValue) {
  char text[128];
  if (ReadStringValue(HKEY_CURRENT_USER, kOptionsKey, name, text, sizeof text) == 0) return defaultValue;
  return ParseLeadingInt(text);
}

int WriteOption(const char* name, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  WriteStringValue(HKEY_CURRENT_USER, kOptionsKey, name, text);
  return WriteStringValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "1");
}

void LoadOptions() {
  for (int i = 0; i < kOptionCount; ++i) {
    const auto id = static_cast<OptionId>(i);
    g_values[i] = ReadOption(kOptions[i].name, OptionDefault(id));
  }
  g_loaded = true;
}

void SaveOptions() {
  for (const OptionDef& option : kOptions)
    if (option.saved) WriteOption(option.name, Option(option.id));
}

}  // namespace sentrel
