// The monitor's entry: command line, single instance, window, start-up
// sequence and message loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "delayed_start.h"
#include "fileid.h"
#include "initialization.h"
#include "lookup.h"
#include "monitor.h"
#include "patrol.h"
#include "resource.h"
#include "sentrelx.h"
#include "settings.h"
#include "settings_watch.h"
#include "startup.h"
#include "strings.h"
#include "trace.h"
#include "ui.h"

namespace sentrel {

MonitorState& Monitor() {
  static MonitorState state;
  return state;
}

namespace {

std::string LoadShortText(UINT id) {
  char text[32];  // class name and caption: at most 31 characters
  int length = LoadText(id, text, sizeof text);
  return length > 0 ? std::string(text) : std::string();
}

// A second start never makes a second window: it forwards an exit request
// or opens the explorer. Returns true when a monitor was already running.
bool ForwardToRunningMonitor(const MonitorCommandLine& commandLine) {
  HWND running = FindWindowA(Monitor().className.c_str(), nullptr);
  if (!running) return false;
  if (commandLine.quit) {
    PostMessageA(running, WM_COMMAND, IDC_CMD_EXIT, 0);
  } else if (!commandLine.noOpen) {
    Monitor().window = running;
    StartExplorer("-START");
    Monitor().window = nullptr;
  }
  return true;
}

// Removing a key location of Windows: the monitor asks with a plain box,
// unless the startup alerts answer by themselves.
bool ConfirmKeyLocationRemoval(HWND owner, const char*, const char*, int) {
  if (Option(kOptHideStartup) != 0) return true;
  return ShowMessage(owner, LoadText(IDS_KEY_LOCATION_REMOVAL).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

int RunMonitor(HINSTANCE instance, const char* commandLineText) {
  MonitorState& monitor = Monitor();
  monitor.instance = instance;
  Process().kind = ProgramKind::Monitor;
  const MonitorCommandLine commandLine = ParseMonitorCommandLine(commandLineText);
  if (commandLine.kind != MonitorCommandLine::kRun) {
    // A program file handed over by the context-menu verb: it is looked up
    // online, never a reason to start a monitor.
    InitLanguageId();
    LoadOptions();
    LookUpProgramOnline(commandLine.kind == MonitorCommandLine::kLookUpProgram ? 460 : 470, commandLineText);
    return 0;
  }

  monitor.className = LoadShortText(IDS_CLASS_NAME);
  monitor.caption = LoadShortText(IDS_CAPTION);
  if (monitor.className.empty() || monitor.caption.empty()) return 0;
  if (ForwardToRunningMonitor(commandLine)) return 0;
  if (commandLine.quit) return 0;

  if (!RegisterMonitorClass(instance, monitor.className.c_str())) return 0;
  monitor.window = CreateWindowExA(0, monitor.className.c_str(), monitor.caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 0,
                                   0, nullptr, nullptr, instance, nullptr);
  if (!monitor.window) return 0;
  ShowWindow(monitor.window, SW_HIDE);
  UpdateWindow(monitor.window);

  // Start-up sequence.
  monitor.startDelay = commandLine.expressBoot ? 45 : 0;
  CoInitialize(nullptr);
  InitCommonControlsOfAnyVersion(ICC_WIN95_CLASSES);
  monitor.alertOpen = false;
  monitor.referenceTime = GetTickCount();
  SetRemovalConfirmation(ConfirmKeyLocationRemoval);
  InitializeSettings();
  monitor.hideIcon = Option(kOptHideTavvy) != 0;
  LoadAreaCountdowns();
  SetSettingsWatch(WatchWindowsSettings);
  Patrol().referenceTime = monitor.referenceTime;
  CreateMonitorFonts();
  TraceStep("START", "From Initialize to Post");
  monitor.checkRequested = false;
  CompanionStart(monitor.window);
  TraceTiming();
  // The delayed programs are counted once; the launcher steps until that
  // many have been handled.
  PatrolState& patrol = Patrol();
  patrol.delayTicks = patrol.delaySteps = patrol.launched = 0;
  patrol.delayedTotal = CountDelayedEntries();
  SetDelayedLauncher(LaunchDelayedEntries);

  PostMessageA(monitor.window, WM_COMMAND, IDC_CMD_PROGRAM_START, 0);
  return RunMessageLoop();
}

}  // namespace sentrel
