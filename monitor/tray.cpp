// The notification icon and its menu.
#include <windows.h>

#include <shellapi.h>

#include <cstring>

#include "fileid.h"
#include "initialization.h"
#include "monitor.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

int g_notifyCount = 0;

struct MenuItem {
  UINT textId;  // 0 = separator
  UINT command;
  enum Family { kAll, kNtOnly, k9xOnly } family;
};
constexpr MenuItem kTrayMenu[] = {
    {IDS_ABOUT_SENTREL_OMNI, IDC_CMD_SHOW_OMNI, MenuItem::kAll},
    {IDS_OPTIONS, IDC_CMD_SHOW_OPTIONS, MenuItem::kAll},
    {0, 0, MenuItem::kAll},
    {IDS_DISPLAY_STARTUP_INFO, IDC_CMD_SHOW_STARTUP, MenuItem::kAll},
    {IDS_MENU_DELAYED_START, IDC_CMD_SHOW_DELAY, MenuItem::kAll},
    {IDS_DISPLAY_IE_HELPERS, IDC_CMD_SHOW_IE_HELPERS, MenuItem::kAll},
    {IDS_DISPLAY_SERVICES, IDC_CMD_SHOW_SERVICES, MenuItem::kNtOnly},
    {IDS_DISPLAY_SCHEDULED_TASKS, IDC_CMD_SHOW_TASKS, MenuItem::kAll},
    {IDS_DISPLAY_ACTIVEX, IDC_CMD_SHOW_ACTIVEX, MenuItem::kAll},
    {0, 0, MenuItem::kAll},
    {IDS_DISPLAY_ACTIVE_TASKS, IDC_CMD_SHOW_ACTIVE_TASKS, MenuItem::kAll},
    {IDS_DISPLAY_COOKIES_FILTERS, IDC_CMD_SHOW_COOKIES, MenuItem::kAll},
    {IDS_DISPLAY_FILE_TYPES, IDC_CMD_SHOW_FILE_TYPES, MenuItem::kAll},
    {IDS_DISPLAY_HIDDEN_FILES, IDC_CMD_SHOW_HIDDEN, MenuItem::kAll},
    {IDS_DISPLAY_RESTART_COMMANDS, IDC_CMD_SHOW_RESTART_COMMANDS, MenuItem::k9xOnly},
    {0, 0, MenuItem::kAll},
    {IDS_EXIT_PROGRAM, IDC_CMD_EXIT, MenuItem::kAll},
};

}  // namespace

int TrayNotifyCount() { return g_notifyCount; }

// Read with the other options (and reloaded with them), not on every patrol.
UINT NormalTrayIcon() { return static_cast<UINT>(Option(kOptTrayIcon)); }

int UpdateTrayIcon(DWORD operation, UINT iconId, UINT tipId) {
  MonitorState& monitor = Monitor();
  if (monitor.hideIcon) return 0;

  // The Windows 2000 record (488 bytes on 32-bit Windows); tips up to 63.
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  char tip[64];
  if (LoadText(tipId, tip, sizeof tip) <= 0 && operation != NIM_DELETE) return 0;
  lstrcpynA(data.szTip, tip, sizeof tip);
  data.hWnd = monitor.window;
  data.uID = SENTREL_NOTIFY_ICON_ID;
  data.uCallbackMessage = WM_SENTREL_ICON_CALLBACK;
  if (operation != NIM_DELETE) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    UINT icon = operation == NIM_ADD ? NormalTrayIcon() : iconId;
    data.hIcon = LoadIconA(monitor.instance, MAKEINTRESOURCEA(icon));
  }
  ++g_notifyCount;
  Shell_NotifyIconA(operation, &data);  // failures are repaired by the next add
  return 1;
}

HMENU BuildTrayMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  const bool nt = IsNtFamily();
  for (const MenuItem& item : kTrayMenu) {
    if ((item.family == MenuItem::kNtOnly && !nt) || (item.family == MenuItem::k9xOnly && nt)) continue;
    if (item.textId == 0) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    char text[256];
    LoadText(item.textId, text, sizeof text);
    AppendMenuA(menu, MF_STRING, item.command, text);
  }
  return menu;
}

void OnTrayCallback(WPARAM wParam, LPARAM lParam) {
  MonitorState& monitor = Monitor();
  if (monitor.menuBusy) return;
  monitor.menuBusy = true;
  POINT cursor{};
  GetCursorPos(&cursor);
  Process().runAtStart = IsRunAtStart() != 0;
  if (lParam == WM_LBUTTONDBLCLK) {
    SetForegroundWindow(monitor.window);
    PostMessageA(monitor.window, WM_COMMAND, IDC_CMD_SHOW_STARTUP, 0);
  } else if (lParam == WM_RBUTTONUP && wParam == SENTREL_NOTIFY_ICON_ID) {
    if (HMENU menu = BuildTrayMenu()) {
      // Without the foreground the menu would not close when the user
      // clicks elsewhere; WM_NULL lets the second click work.
      SetForegroundWindow(monitor.window);
      TrackPopupMenuEx(menu, TPM_VERTICAL, cursor.x, cursor.y, monitor.window, nullptr);
      PostMessageA(monitor.window, WM_NULL, 0, 0);
      DestroyMenu(menu);
    }
  }
  monitor.menuBusy = false;
}

}  // namespace sentrel
