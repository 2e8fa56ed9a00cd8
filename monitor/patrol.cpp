// The patrol tick, the patrol, the immediate check and the startup check.
#include "patrol.h"

#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "addon_checks.h"
#include "alerts.h"
#include "catalogue.h"
#include "companion_changes.h"
#include "cookie_tasks.h"
#include "delayed_start.h"
#include "file_type_check.h"
#include "fileid.h"
#include "monitor.h"
#include "processes.h"
#include "registry.h"
#include "resource.h"
#include "services_check.h"
#include "settings_watch.h"
#include "startup.h"
#include "strings.h"
#include "system_files_check.h"
#include "task_check.h"
#include "trace.h"

namespace sentrel {
namespace {

bool OldWindows() { return WindowsMajorVersion() <= 5; }
bool NineXFamily() { return !IsNtFamily(); }

// The patrol order. Areas without a check yet still count down.
const PatrolArea kAreas[] = {
    {"Startup Programs", 0, kOptStart, kOptRealtimeStartup, nullptr, CheckStartupPrograms},
    {"IE Helpers", 0, kOptIEHelpers, kOptRealtimeIEHelper, nullptr, CheckIEHelpers},
    {"Hidden Files", 0, kOptHidden, kOptRealtimeHidden, nullptr, CheckHiddenFiles},
    {"ActiveX Files", 0, kOptActiveX, kOptRealtimeActiveX, nullptr, CheckActiveX},
    {"Verify System Files", 0, kOptHostFile, kOptRealtimeSysFiles, OldWindows, CheckSystemFiles},
    {"IE Start/Search Page", 0, kOptStartPage, kOptRealtimeStartPage, nullptr, CheckBrowserPages},
    {"File Types", 0, kOptFileType, kOptRealtimeFileType, nullptr, CheckFileTypes},
    {"Scheduled Tasks", 1, kOptTasks, -1, nullptr, CheckScheduledTasks},
    {"Win INIT file", 1, kOptWinInit, -1, NineXFamily, CheckRestartCommands},
    {"Check for change to Services", 1, kOptServices, kOptRealtimeServices, nullptr, CheckForNewServices},
    {"Filter Cookies", 1, kOptNuts, -1, nullptr, FilterCookies},
    {"Filter Mozilla Cookies", 1, -1, -1, nullptr, CommitMozillaCookies},
    {"Check for New Cookies", 1, kOptCookies, -1, nullptr, CheckForNewCookies},
};

const PatrolArea* g_areas = kAreas;
size_t g_areaCount = sizeof kAreas / sizeof kAreas[0];
DWORD TickCount() { return GetTickCount(); }
PatrolClock g_clock = TickCount;
ProcessWatch g_watch = WatchProcessCount;
DelayedLauncher g_launcher = nullptr;  // comes with the delayed-start programs
SettingsWatch g_settingsWatch = nullptr;
PatrolState g_patrol;
// While not 0, the patrol checks only these areas (bit = table index), for
// changes the companion saw.
unsigned g_onlyAreas = 0;

void SetIcon(UINT icon, UINT tip) { UpdateTrayIcon(NIM_MODIFY, icon, tip); }

// The countdown rule: true when the area comes due now.
bool CountDown(size_t index) {
  int& countdown = g_patrol.countdown[index];
  if (countdown <= 0) return false;
  if (--countdown > 0) return false;
  countdown = g_patrol.reload[index];
  return true;
}

// Checks the due areas of one half; false when a check ended the patrol.
bool RunHalf(int half) {
  for (size_t i = 0; i < g_areaCount; ++i) {
    if (Monitor().exiting) return false;  // exit asked for inside an alert
    const PatrolArea& area = g_areas[i];
    if (area.half != half) continue;
    if (area.condition && !area.condition()) continue;
    const bool due = area.patrolTimeOption < 0 ? true : CountDown(i);
    if (!due) continue;
    TraceStep("VERIFY", area.label);
    int result = area.check ? area.check() : 1;
    TraceTiming();
    if (result == 0) return false;
  }
  return true;
}

// Checks the given areas whatever their countdowns; false when a check
// ended the patrol.
bool RunAreas(unsigned areas) {
  for (size_t i = 0; i < g_areaCount && i < 16; ++i) {
    if (Monitor().exiting) return false;
    if (!(areas & (1u << i))) continue;
    TraceStep("VERIFY", g_areas[i].label);
    const int result = g_areas[i].check ? g_areas[i].check() : 1;
    TraceTiming();
    if (result == 0) return false;
  }
  return true;
}

}  // namespace

const PatrolArea* PatrolAreas(size_t* count) {
  if (count) *count = g_areaCount;
  return g_areas;
}

PatrolState& Patrol() { return g_patrol; }

void SetPatrolAreas(const PatrolArea* areas, size_t count) {
  g_areas = areas ? areas : kAreas;
  g_areaCount = areas ? count : sizeof kAreas / sizeof kAreas[0];
}
void SetPatrolClock(PatrolClock clock) { g_clock = clock ? clock : TickCount; }
void SetProcessWatch(ProcessWatch watch) { g_watch = watch ? watch : WatchProcessCount; }
void SetDelayedLauncher(DelayedLauncher launcher) { g_launcher = launcher; }
void SetSettingsWatch(SettingsWatch watch) { g_settingsWatch = watch; }

void LoadAreaCountdowns() {
  for (size_t i = 0; i < g_areaCount && i < 16; ++i) {
    const int option = g_areas[i].patrolTimeOption;
    if (option < 0) continue;
    const int value = Option(static_cast<OptionId>(option));
    // The restart commands' countdown is only ever raised by a load.
    if (g_areas[i].patrolTimeOption == kOptWinInit && value < g_patrol.countdown[i]) {
      g_patrol.reload[i] = value;
      continue;
    }
    g_patrol.countdown[i] = g_patrol.reload[i] = value;
  }
}

void RunImmediateCheck() {
  TraceStep("* * * VERIFY TASKS", "Check for Task Change");
  bool changed = false;
  const bool reloads = ReadOption("Update", 0) != 0;  // the watch reloads the options then
  g_watch(&changed);
  TraceTiming();
  if (!changed) return;
  if (reloads) LoadAreaCountdowns();
  for (size_t i = 0; i < g_areaCount && i < 16; ++i)
    if (g_areas[i].realtimeOption >= 0 && Option(static_cast<OptionId>(g_areas[i].realtimeOption)) != 0)
      g_patrol.countdown[i] = 1;
  g_patrol.tickCounter = 16;
  g_patrol.half = 0;
  TraceStep("* * * * VERIFY TASKS", "NEW TASK DETECTED");
}

namespace {

// The companion's change bit of an area, by its Realtime option; 0 for an
// area the companion does not watch.
unsigned ChangeBitOf(int realtimeOption) {
  switch (realtimeOption) {
    case kOptRealtimeStartup:
      return kChangedStartup;
    case kOptRealtimeIEHelper:
      return kChangedIEHelpers;
    case kOptRealtimeActiveX:
      return kChangedActiveX;
    case kOptRealtimeSysFiles:
      return kChangedSystemFiles;
    case kOptRealtimeStartPage:
      return kChangedStartPage;
    case kOptRealtimeFileType:
      return kChangedFileTypes;
    case kOptRealtimeServices:
      return kChangedServices;
    default:
      return 0;
  }
}

// How long an area checked for a change rests before a change brings it
// forward again, in ticks. A key written without end would otherwise have
// its area checked on nearly every tick for as long as the writer likes:
// after two checks in a row the rest doubles up to about half a minute (a
// run ends when the area stays quiet a tick past its rest), and
// a check that takes long rests twenty times its own time.
int ChangeRest(int run, DWORD checkMs) {
  int rest = run <= 2 ? 0 : 1 << std::min(run - 2, 4);
  return std::max(rest, static_cast<int>(std::min<DWORD>(checkMs / 100, 300)));
}

// Gives back to the tick the held changes of the areas whose rest is over.
void ReleaseHeldChanges() {
  for (size_t i = 0; i < g_areaCount && i < 16 && g_patrol.heldChanges; ++i) {
    const unsigned bit = g_areas[i].realtimeOption < 0 ? 0 : ChangeBitOf(g_areas[i].realtimeOption);
    if (!(g_patrol.heldChanges & bit) || g_patrol.ticks < g_patrol.changeDue[i]) continue;
    g_patrol.heldChanges &= ~bit;
    Monitor().changedAreas |= bit;
  }
}

}  // namespace

void RunChangedAreasCheck() {
  MonitorState& monitor = Monitor();
  const unsigned changed = monitor.changedAreas;
  monitor.changedAreas = 0;
  TraceStep("* * * VERIFY CHANGES", "Check for Area Change");
  if (ReadOption("Update", 0) != 0) {
    LoadOptions();
    WriteStringValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
    LoadAreaCountdowns();
  }
  // Only the areas whose Realtime option is on are checked, at once, and
  // only they: the others' countdowns and the halves' turns stay as they were.
  unsigned areas = 0;
  for (size_t i = 0; i < g_areaCount && i < 16; ++i) {
    const PatrolArea& area = g_areas[i];
    if (area.realtimeOption < 0 || !(changed & ChangeBitOf(area.realtimeOption))) continue;
    if (Option(static_cast<OptionId>(area.realtimeOption)) == 0) continue;
    if (area.condition && !area.condition()) continue;
    if (g_patrol.ticks < g_patrol.changeDue[i]) {
      g_patrol.heldChanges |= ChangeBitOf(area.realtimeOption);  // checked when its rest is over
      continue;
    }
    areas |= 1u << i;
  }
  TraceTiming();
  if (areas == 0) return;
  TraceStep("* * * * VERIFY CHANGES", "AREA CHANGE DETECTED");
  g_onlyAreas = areas;
  const DWORD start = g_clock();
  const int ran = RunPatrol();
  const DWORD took = g_clock() - start;
  g_onlyAreas = 0;
  // Too soon after the last patrol: the next tick tries again.
  if (ran == 0) {
    monitor.changedAreas |= changed & ~g_patrol.heldChanges;
    return;
  }
  for (size_t i = 0; i < g_areaCount && i < 16; ++i) {
    if (!(areas & (1u << i))) continue;
    // In a row: changed again as soon as it was free to be checked.
    const bool inARow = g_patrol.changeRun[i] > 0 && g_patrol.ticks - g_patrol.changeDue[i] <= 1;
    g_patrol.changeRun[i] = inARow ? g_patrol.changeRun[i] + 1 : 1;
    g_patrol.changeDue[i] = g_patrol.ticks + 1 + ChangeRest(g_patrol.changeRun[i], took);
  }
}

void PatrolTick() {
  MonitorState& monitor = Monitor();
  ++g_patrol.ticks;
  ReleaseHeldChanges();
  // Delayed programs start in steps of 10 seconds, one step every sixth tick,
  // whatever the start delay.
  if (g_patrol.launched < g_patrol.delayedTotal && g_patrol.delayTicks++ > 4) {
    ++g_patrol.delaySteps;
    if (g_launcher) g_patrol.launched += g_launcher(10 * g_patrol.delaySteps);
    g_patrol.delayTicks = 0;
  }
  const int delay = monitor.startDelay;
  monitor.startDelay = delay > 0 ? delay - 1 : 0;
  const int delayLeft = monitor.startDelay;

  if (g_patrol.tickCounter++ > 15) {
    if (delayLeft > 0) return;
    RunPatrol();
    g_patrol.tickCounter = 0;
    monitor.checkRequested = false;
    g_patrol.consecutiveRequests = 0;
    g_patrol.consecutiveChanges = 0;
    return;
  }
  // The changed areas and the programs each have their own count of
  // requests in a row, so that changes never use up the programs' requests.
  if (!monitor.checkRequested) g_patrol.consecutiveRequests = 0;
  if (monitor.changedAreas == 0) g_patrol.consecutiveChanges = 0;
  if (!monitor.checkRequested && monitor.changedAreas == 0) return;
  if (monitor.alertOpen || g_patrol.running || delayLeft > 0) return;
  // The changed areas are checked now; a change in the programs then still
  // brings the first half forward to the next tick. A fourth request for
  // changes in a row is not forgotten, only put off to the next tick: left
  // to the patrol, the change could wait for hours.
  if (monitor.changedAreas != 0) {
    if (g_patrol.consecutiveChanges++ < 3)
      RunChangedAreasCheck();
    else
      g_patrol.consecutiveChanges = 0;
  }
  if (!monitor.checkRequested) return;
  if (g_patrol.consecutiveRequests++ < 3) {
    RunImmediateCheck();
  } else {
    TraceStep("RID", "Possible System Conflict");
    Sleep(50);
    g_patrol.consecutiveRequests = 0;
    TraceTiming();
  }
  monitor.checkRequested = false;
}

int RunPatrol() {
  MonitorState& monitor = Monitor();
  TraceStep("VERIFY", "Enter Verify function");
  TraceTiming();
  if (monitor.alertOpen || g_patrol.running) return 1;
  SetTraceDialogFlag();
  g_patrol.running = true;
  if (g_patrol.iconRefresh++ > 60) {
    UpdateTrayIcon(NIM_DELETE, 0, IDS_TIP_ON_PATROL);
    UpdateTrayIcon(NIM_ADD, 0, IDS_TIP_ON_PATROL);
    g_patrol.iconRefresh = 0;
  }
  DWORD now = g_clock();
  if (now - g_patrol.referenceTime < 1000) {
    g_patrol.referenceTime = now;
    g_patrol.running = false;
    TraceStep("VERIFY", "Exit Early because we recently did a verify");
    TraceTiming();
    return 0;
  }
  g_patrol.referenceTime = now;
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  // A settings change handed over to the elevated monitor: this one is
  // going, and checks nothing more. A patrol for changes the companion saw
  // leaves the settings watch and the halves' turns to the regular patrols.
  const bool targeted = g_onlyAreas != 0;
  const bool handedOver = !targeted && Option(kOptWindowSettings) != 0 && g_settingsWatch && g_settingsWatch() != 0;
  bool completed = false;
  if (!handedOver) {
    if (targeted || g_patrol.half == 0)
      SetIcon(IDI_TAVVY_FIRST_HALF, IDS_TIP_STARTUP);
    else
      SetIcon(IDI_TAVVY_SECOND_HALF, IDS_TIP_UNAUTHORIZED);
    completed = targeted ? RunAreas(g_onlyAreas) : RunHalf(g_patrol.half);
  }
  if (completed) {
    ClearCatalogueEntries();
    if (monitor.checkRequested) RecordRunningPrograms();
    if (!targeted) g_patrol.half ^= 1;
    SetIcon(NormalTrayIcon(), IDS_TIP_ON_PATROL);
    DWORD end = g_clock();
    if (end - g_patrol.referenceTime > 1000) {
      TraceStep("CATCH", "MonitorTimer > 1000");
      TraceTiming();
      g_patrol.referenceTime = end;
    }
  }
  monitor.alertOpen = false;
  g_patrol.running = false;
  SetErrorMode(oldMode);
  TraceStep("VERIFY", "Exit Normal Verify");
  TraceTiming();
  return 1;
}

int ElevationHandOver() {
  if (WindowsMajorVersion() <= 5) return 0;
  if (ReadDwordValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                     "EnableLUA") == 0)
    return 0;
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  path[sizeof path - 1] = '\0';  // a cut name is not terminated on older Windows
  if (ContainsText(FileNamePart(path).c_str(), "sentreluac")) return 0;
  ShowMessage(nullptr, LoadText(IDS_NEEDS_ELEVATION).c_str(), MB_OK | MB_ICONINFORMATION);
  // By its full path only: a bare name would be looked for elsewhere too.
  const std::string elevated = FileBesideProgram("sentreluac.exe");
  if (!elevated.empty() && reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", elevated.c_str(), nullptr, nullptr,
                                                                   SW_SHOWNORMAL)) <= 32) {
    const std::string command = "\"" + elevated + "\"";
    WinExec(command.c_str(), SW_SHOWNORMAL);
  }
  SendMessageA(Monitor().window, WM_DESTROY, 0, 0);
  return 1;
}

namespace {

// The baseline number of an entry: by its key text, else by its name.
int BaselineNumber(const CatalogueEntry& entry) {
  char text[32];
  int number = 0;
  if (ReadStringValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(entry.path).c_str(), text, sizeof text) > 0)
    number = ParseLeadingInt(text);
  if (number == 0 &&
      ReadStringValue(HKEY_CURRENT_USER, kStartupBaselineKey, entry.title.c_str(), text, sizeof text) > 0)
    number = ParseLeadingInt(text);
  return number;
}

void WriteBaselineValue(const CatalogueEntry& entry) {
  WriteStringValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(entry.path).c_str(),
                   std::to_string(entry.type).c_str());
}

int Decide(AlertKind kind) {
  if (Option(kOptHideStartup) != 0 && Option(kOptShowAlerts) == 0)
    return Option(kOptHideStartup) == 1 ? kAnswerYes : kAnswerNo;
  return ShowAlert(Monitor().window, kind);
}

}  // namespace

int CheckStartupPrograms() {
  const WholeCatalogue whole;  // a flood of known entries must not push a new one out of the list
  if (!StartupBaselineChanged()) return 1;
  // The list changes as entries are acted on: work on a copy.
  std::vector<CatalogueEntry> entries;
  for (int i = 0; i < CatalogueCount(); ++i) entries.push_back(CatalogueAt(i));
  MonitorState& monitor = Monitor();
  for (const CatalogueEntry& entry : entries) {
    // An exit asked for inside an alert ends the walk: no alert after it.
    if (monitor.exiting) return 0;
    // A disabled copy starts nothing; raising it would ask on every patrol.
    if (entry.fromDisabledStore) continue;
    const int number = BaselineNumber(entry);
    if (number != 0 && number != 1103) continue;
    CurrentItem& item = CurrentAlertItem();
    if (number == 0) {
      if (ContainsText(entry.title.c_str(), "McAfee Application Installer Cleanup")) continue;
      const int t = entry.type;
      if (Option(kOptHideRunOnce) != 0 && (t == 2 || t == 3 || t == 12 || t == 13 || t == 22)) continue;
      item.text = entry.path;
      item.name = entry.title;
      item.type = entry.type;
      RecordFirstSeen(entry.path.c_str(), "Startup");
      SetIcon(IDI_TAVVY_ALERT, IDS_TIP_STARTUP);
      monitor.alertOpen = true;
      SetTraceDialogFlag();
      if (ElevationHandOver()) return 0;
      const int answer = Decide(AlertKind::NewStartup);
      monitor.alertOpen = false;
      if (answer == kAnswerYes) {
        WriteBaselineValue(entry);
      } else if (answer == kAnswerNo) {
        KillProgram(nullptr, entry.path.c_str(), entry.title.c_str(), false);
        RemoveStartupEntry(entry);
        DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(entry.path).c_str());
        DeleteValue(HKEY_CURRENT_USER, kStartupBaselineKey, entry.title.c_str());
      } else if (answer == kAnswerDisable) {
        KillProgram(nullptr, entry.path.c_str(), entry.title.c_str(), false);
        // The baseline is not told: the same command written again anywhere
        // else must be raised. The disabled copy is passed over above.
        if (!IsEntryDisabled(entry)) ToggleStartupEntry(entry);
      }
    } else {  // moved to delayed start, and back
      item.text = entry.path;
      item.name = entry.title;
      item.type = entry.type;
      monitor.alertOpen = true;
      SetTraceDialogFlag();
      const int answer = Decide(AlertKind::CameBack);
      monitor.alertOpen = false;
      if (answer == kAnswerYes) {
        WriteBaselineValue(entry);
        // The delayed record is named by the program, not by the command.
        std::string program, arguments;
        SplitCommand(entry.path, program, arguments);
        DeleteDelayedValues(entry.type <= 10 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, program.c_str());
      } else if (answer == kAnswerNo) {
        WriteBaselineValue(entry);
        if (!IsEntryDisabled(entry)) ToggleStartupEntry(entry);
      }
    }
  }
  TraceTiming();
  return 1;
}

}  // namespace sentrel
