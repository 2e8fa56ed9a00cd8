// The settings store: the key tree under Software\Orvane Works, the process's
// identity, and the options with their defaults and saving order.
#pragma once

#include <windows.h>

namespace sentrel {

constexpr const char* kVendorKey = "Software\\Orvane Works";
constexpr const char* kSentrelKey = "Software\\Orvane Works\\Sentrel";
constexpr const char* kOptionsKey = "Software\\Orvane Works\\Sentrel\\Options";
constexpr const char* kDetectedKey = "Software\\Orvane Works\\Detected";
constexpr const char* kMachineRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWow64RunKey = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kVersionText = "16.0.2009.0";

enum class ProgramKind { Monitor, Explorer };

// Process-wide facts fixed at start-up.
struct ProcessState {
  ProgramKind kind = ProgramKind::Monitor;
  WORD languageId = 0;          // primary language id from string 634
  bool is64BitWindows = false;  // the 32-bit view of the Run keys exists
  bool runAtStart = false;      // the machine Run key holds the monitor
};
ProcessState& Process();

// Every option the programs read from the Options key. The order of the
// saved ones is the order in which the Options page writes them back.
enum OptionId : int {
  kOptSendHistory,
  kOptHideTavvy,
  kOptHideStartup,
  kOptHideIEHelper,
  kOptHideActiveX,
  kOptHideServices,
  kOptHideFileType,
  kOptHideTasks,
  kOptHideHidden,
  kOptHideSystemFiles,
  kOptHideHomePage,
  kOptFormat,
  kOptConfirmExit,
  kOptSound,
  kOptHistory,
  kOptHideMicrosoftServices,
  kOptHideMicrosoftActiveX,
  kOptIncludeKillBit,
  kOptActiveXListAll,
  kOptOmniFormat,
  kOptLockFileTypes,
  kOptShowAllStartup,
  kOptNoMicrosoftStartup,
  kOptStart,
  kOptCookies,
  kOptNuts,
  kOptTasks,
  kOptIEHelpers,
  kOptFileType,
  kOptStartPage,
  kOptHostFile,
  kOptWinInit,
  kOptServices,
  kOptHidden,
  kOptViewCookies,
  kOptActiveX,
  kOptRealtimeStartup,
  kOptRealtimeIEHelper,
  kOptRealtimeSysFiles,
  kOptRealtimeFileType,
  kOptRealtimeStartPage,
  kOptRealtimeHidden,
  kOptRealtimeActiveX,
  kOptRealtimeServices,
  kOptExplorerMenu,
  kOptShowAlerts,
  kOptHideRunOnce,
  // Read with the others but written one at a time by their owners.
  kOptMaxCookie,
  kOptWindowSettings,
  kOptStartTab,
  kOptTrayIcon,
  kOptBrowser,
  kOptBrowserFailure,
  kOptNoteSize,
  kOptSortStartup,
  kOptSortPrograms,
  kOptSortActiveTask,
  kOptSortScheduledTask,
  kOptSortIEHelper,
  kOptSortService,
  kOptSortFileType,
  kOptSortHidden,
  kOptSortActiveX,
  kOptSortCookie,
  kOptSortHistory,
  kOptSortRecent,
  kOptionCount
};

struct OptionDef {
  OptionId id;
  const char* name;
  int defaultValue;
  bool saved;  // written back as a whole by the Options page
};

const OptionDef& OptionDefinition(OptionId id);
int OptionDefault(OptionId id);  // MaxCookie's depends on the program
int Option(OptionId id);
void SetOption(OptionId id, int value);

// Leading decimal digits (with an optional sign) of text; 0 when none.
int ParseLeadingInt(const char* text);

int ReadOption(const char* name, int defaultValue);
int WriteOption(const char* name, int value);
void LoadOptions();
void SaveOptions();

}  // namespace sentrel
