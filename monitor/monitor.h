// The resident monitor: its process-wide state, start-up, main window, and
// the notification icon. One thread; everything runs in the window procedure.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

// The alert dialogs' fonts. Slot 0 is shared: the Arial 14 font was created
// over the MS Sans Serif 14 one, and the dialogs have always used Arial there.
enum MonitorFont {
  kFontArial14,
  kFontVerdana14Underlined,
  kFontVerdana18Underlined,
  kFontArial18,
  kFontSansSerif14Bold,
  kFontVerdana10Bold,
  kFontSansSerif12,
  kMonitorFontCount
};

struct MonitorState {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  std::string className;  // string 1, at most 31 characters
  std::string caption;    // string 2, at most 31 characters
  int startDelay = 0;     // ticks before the first patrol may run
  bool hideIcon = false;
  bool menuBusy = false;
  bool timerCreated = false;
  bool exitConfirmed = false;
  bool exiting = false;
  UINT taskbarCreated = 0;  // registered "TaskbarCreated" message
  bool checkRequested = false;
  unsigned changedAreas = 0;  // the companion's change bits, OR'd until a tick serves them
  bool alertOpen = false;
  DWORD referenceTime = 0;  // tick count of the last patrol, for spacing
  HFONT fonts[kMonitorFontCount] = {};
};
MonitorState& Monitor();

// What the command line asks for, tested in this order; the first match wins.
struct MonitorCommandLine {
  enum Kind { kRun, kLookUpProgram, kLookUpLibrary } kind = kRun;
  bool quit = false;         // "-Q"
  bool noOpen = false;       // "-NoOpen"
  bool expressBoot = false;  // "-expressboot"
};
MonitorCommandLine ParseMonitorCommandLine(const char* commandLine);

// The whole program: returns the process exit code.
int RunMonitor(HINSTANCE instance, const char* commandLine);

// Main window.
int RegisterMonitorClass(HINSTANCE instance, const char* className);
LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Starts SentrelEx.exe from the monitor's folder with a page switch; shows
// string 795 when that fails. Returns 1 on success.
int StartExplorer(const char* switchText);

// Notification icon: returns 1 when the shell was asked, 0 when nothing was
// done (icon hidden, or the tooltip could not be loaded).
int UpdateTrayIcon(DWORD operation, UINT iconId, UINT tipId);
int TrayNotifyCount();  // how many times the shell was asked, for tests
UINT NormalTrayIcon();  // the TrayIcon option, or the family's default
HMENU BuildTrayMenu();
void OnTrayCallback(WPARAM wParam, LPARAM lParam);

void CreateMonitorFonts();
void DeleteMonitorFonts();

// Exit: asks when ConfirmExit is set. Returns true when the monitor ends.
bool ConfirmMonitorExit();
void RunExitRoutine();

}  // namespace sentrel
