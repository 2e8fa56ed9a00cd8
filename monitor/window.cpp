// The monitor's hidden main window: commands, icon callback and exit.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "companion_changes.h"
#include "fileid.h"
#include "initialization.h"
#include "library.h"
#include "monitor.h"
#include "patrol.h"
#include "resource.h"
#include "restart_commands.h"
#include "sentrelx.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

constexpr UINT_PTR kPatrolTimer = 1;
constexpr UINT kPatrolPeriodMs = 2000;

struct DisplayCommand {
  UINT command;
  const char* switchText;
};
constexpr DisplayCommand kDisplayCommands[] = {
    {IDC_CMD_SHOW_STARTUP, "-START"},        {IDC_CMD_SHOW_OMNI, "-OMNI"},
    {IDC_CMD_SHOW_COOKIES, "-NUTS"},         {IDC_CMD_SHOW_ACTIVE_TASKS, "-TASK"},
    {IDC_CMD_SHOW_OPTIONS, "-OPTIONS"},      {IDC_CMD_SHOW_SERVICES, "-SERVICE"},
    {IDC_CMD_SHOW_TASKS, "-SCHEDULE"},       {IDC_CMD_SHOW_IE_HELPERS, "-BHO"},
    {IDC_CMD_SHOW_FILE_TYPES, "-FILETYPES"}, {IDC_CMD_SHOW_MONITOR, "-MONITOR"},
    {IDC_CMD_SHOW_BLACKLIST, "-BLACKLIST"},  {IDC_CMD_SHOW_HIDDEN, "-HIDDEN"},
    {IDC_CMD_SHOW_DELAY, "-DELAY"},          {IDC_CMD_SHOW_ACTIVEX, "-ACTIVEX"},
};

void OnProgramStart(HWND window) {
  MonitorState& monitor = Monitor();
  monitor.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  // An elevated program (SentrelUac) does not receive messages from the
  // lower-rights Explorer unless it lets this one through; without it the
  // icon would not come back when Explorer restarts. Vista and later only.
  using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
  if (auto filter = FunctionOf<FilterFn>("user32.dll", "ChangeWindowMessageFilter"))
    filter(monitor.taskbarCreated, 1);  // MSGFLT_ADD
  monitor.menuBusy = false;
  UpdateTrayIcon(NIM_ADD, 0, IDS_TIP_ON_PATROL);
  monitor.timerCreated = SetTimer(window, kPatrolTimer, kPatrolPeriodMs, nullptr) != 0;
}

void ToggleAlwaysRun() { SetRunAtStart(!Process().runAtStart); }

void OnCommand(HWND window, UINT command, LPARAM lParam) {
  for (const DisplayCommand& display : kDisplayCommands)
    if (display.command == command) {
      StartExplorer(display.switchText);
      return;
    }
  MonitorState& monitor = Monitor();
  switch (command) {
    case IDC_CMD_PROGRAM_START:
      OnProgramStart(window);
      break;
    case IDC_CMD_EXIT:
      PostMessageA(window, WM_DESTROY, 0, 0);
      break;
    case IDC_CMD_TOGGLE_ALWAYS_RUN:
      ToggleAlwaysRun();
      break;
    case IDC_CMD_HIDE_ICON:
      if (lParam != 0) {
        if (!monitor.hideIcon) UpdateTrayIcon(NIM_DELETE, 0, IDS_TIP_ON_PATROL);
        monitor.hideIcon = true;
      } else {
        monitor.hideIcon = false;
        UpdateTrayIcon(NIM_ADD, 0, IDS_TIP_ON_PATROL);
      }
      break;
    case IDC_CMD_SHOW_RESTART_COMMANDS:
      RestartCommands(nullptr, true);
      break;
    default:
      break;
  }
}

}  // namespace

bool ConfirmMonitorExit() {
  if (ReadOption("ConfirmExit", 0) == 0) return true;
  if (ShowMessageId(nullptr, IDS_CONFIRM_EXIT, MB_YESNO | MB_ICONQUESTION) == IDYES) return true;
  // Declined: the explorer opens on its Options page, where exit
  // confirmation can be turned off.
  const std::string explorer = FileBesideProgram("SentrelEx.exe");
  if (!explorer.empty()) WinExec(("\"" + explorer + "\" -RESTART").c_str(), SW_SHOWNORMAL);
  return false;
}

void RunExitRoutine() {
  MonitorState& monitor = Monitor();
  if (monitor.exiting) return;
  monitor.exiting = true;
  CompanionStop();
  UpdateTrayIcon(NIM_DELETE, 0, IDS_TIP_ON_PATROL);
  if (monitor.timerCreated) KillTimer(monitor.window, kPatrolTimer);
  monitor.timerCreated = false;
  DeleteMonitorFonts();
  CoUninitialize();
  PostQuitMessage(0);
}

LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MonitorState& monitor = Monitor();
  switch (message) {
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam), lParam);
      break;
    case WM_TIMER:
      if (wParam == kPatrolTimer) PatrolTick();
      break;
    case WM_SENTREL_ICON_CALLBACK:
      OnTrayCallback(wParam, lParam);
      break;
    case WM_SENTREL_PROCESSES_CHANGED:
      // 0: programs started or ended; else the areas whose keys or folders
      // changed, gathered until a tick serves them.
      if (wParam == 0)
        monitor.checkRequested = true;
      else
        monitor.changedAreas |= static_cast<unsigned>(wParam) & kAllCompanionChanges;
      break;
    case WM_CLOSE:
      // Ask before the window goes: a monitor whose window was destroyed
      // after the user declined would run on with no window at all.
      if (!monitor.exitConfirmed && !ConfirmMonitorExit()) return 0;
      monitor.exitConfirmed = true;
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      // Also posted by the exit command: the window may still stand.
      if (!monitor.exitConfirmed && !ConfirmMonitorExit()) return 0;
      monitor.exitConfirmed = true;
      RunExitRoutine();
      return 0;
    default:
      if (message == monitor.taskbarCreated && message != 0) UpdateTrayIcon(NIM_ADD, 0, IDS_TIP_ON_PATROL);
      break;
  }
  return IsWindow(window) ? DefWindowProcA(window, message, wParam, lParam) : 0;
}

int RegisterMonitorClass(HINSTANCE instance, const char* className) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = MonitorWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TAVVY));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = className;
  return RegisterClassA(&windowClass) != 0;
}

}  // namespace sentrel
