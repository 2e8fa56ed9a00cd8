// The Options page and the alert-hiding dialog.
#include "options_page.h"

#include <commctrl.h>

#include <string>

#include "catalogue.h"
#include "delayed_start.h"
#include "explorer.h"
#include "fileid.h"
#include "initialization.h"
#include "library.h"
#include "lookup.h"
#include "picture_buttons.h"
#include "registry.h"
#include "report_common.h"
#include "resource.h"
#include "settings.h"
#include "settings_export.h"
#include "sheet.h"
#include "strings.h"
#include "system_files.h"

namespace sentrel {
namespace {

// ---- Option values -------------------------------------------------------------

struct OptionRange {
  OptionId id;
  int low, high;
};
// Every option the page shows or edits, with the values it can take.
constexpr OptionRange kRanges[] = {
    {kOptHideTavvy, 0, 1},         {kOptHideStartup, 0, 2},      {kOptHideIEHelper, 0, 2},
    {kOptHideActiveX, 0, 2},       {kOptHideServices, 0, 2},     {kOptHideFileType, 0, 2},
    {kOptHideTasks, 0, 2},         {kOptHideHidden, 0, 2},       {kOptHideSystemFiles, 0, 2},
    {kOptHideHomePage, 0, 2},      {kOptConfirmExit, 0, 1},      {kOptSound, 0, 1},
    {kOptHistory, 0, 1},           {kOptOmniFormat, 0, 1},       {kOptLockFileTypes, 0, 1},
    {kOptStartPage, 0, 99},        {kOptHostFile, 0, 99},        {kOptWinInit, 0, 99},
    {kOptRealtimeStartPage, 0, 1}, {kOptRealtimeSysFiles, 0, 1}, {kOptExplorerMenu, 0, 1},
    {kOptShowAlerts, 0, 1},        {kOptHideRunOnce, 0, 1},      {kOptTrayIcon, IDI_TAVVY, IDI_TAVVY_CLASSIC},
};

// Whole text of an optional minus and at most nine digits.
bool IsDecimalText(const std::string& text) {
  size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() <= start || text.size() - start > 9) return false;
  for (size_t i = start; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

bool InRange(const OptionRange& range, int value) {
  // The icon choice is one of two icons, not the numbers between them.
  if (range.id == kOptTrayIcon) return value == IDI_TAVVY || value == IDI_TAVVY_CLASSIC;
  return value >= range.low && value <= range.high;
}

void SaveAll() {
  SaveOptions();
  // Written one at a time by this page, not with the saved set.
  WriteOption(OptionDefinition(kOptTrayIcon).name, Option(kOptTrayIcon));
}

// ---- The check boxes -------------------------------------------------------------

struct CheckBox {
  int control;
  UINT caption;
  OptionId option;  // kOptionCount: not an option of its own
};
constexpr CheckBox kCheckBoxes[] = {
    {IDC_OPTIONS_RUN_AT_START, IDS_AUTOMATICALLY_RUN_SENTREL_WHEN, kOptionCount},
    {IDC_OPTIONS_SOUND, IDS_PLAY_SOUNDS, kOptSound},
    {IDC_OPTIONS_HISTORY, IDS_TRACK_CHANGES_RESTORATION_FILE, kOptHistory},
    {IDC_OPTIONS_LOCK_FILE_TYPES, IDS_LOCK_FILE_TYPES, kOptLockFileTypes},
    {IDC_OPTIONS_CONFIRM_EXIT, IDS_CONFIRM_EXIT_WHEN_CLOSING, kOptConfirmExit},
    {IDC_OPTIONS_HIDE_TAVVY, IDS_HIDE_TAVVY_TASKBAR_ICON, kOptHideTavvy},
    {IDC_OPTIONS_TRAY_ICON, IDS_DISPLAY_ORIGINAL_TAVVY_TASKBAR, kOptionCount},
    {IDC_OPTIONS_OMNI_FORMAT, IDS_ALLOW_OMNI_INFO_DATA, kOptOmniFormat},
    {IDC_OPTIONS_EXPLORER_MENU, IDS_WINDOWS_EXPLORER_INTEGRATION, kOptExplorerMenu},
};

const CheckBox* FindCheckBox(int control) {
  for (const CheckBox& box : kCheckBoxes)
    if (box.control == control) return &box;
  return nullptr;
}

struct PatrolRow {
  int picture, label;
  UINT caption, dialogCaption;
  OptionId option, realtime;  // realtime kOptionCount: the area has no real-time flag
};
constexpr PatrolRow kPatrolRows[] = {
    {IDC_OPTIONS_START_PAGE_PICTURE, IDC_OPTIONS_START_PAGE_LABEL, IDS_DETECT_CHANGES_INTERNET_EXPLORER,
     IDS_PATROL_TIME_DEFAULT_INTERNET, kOptStartPage, kOptRealtimeStartPage},
    {IDC_OPTIONS_HOSTS_PICTURE, IDC_OPTIONS_HOSTS_LABEL, IDS_WARN_CHANGES_MADE_INTERNET, IDS_PATROL_TIME_CHECKING_HOST,
     kOptHostFile, kOptRealtimeSysFiles},
    {IDC_OPTIONS_RESTART_PICTURE, IDC_OPTIONS_RESTART_LABEL, IDS_DETECT_CHANGES_RESTART_FILE,
     IDS_PATROL_TIME_WININIT_RESTART, kOptWinInit, kOptionCount},
};

const PatrolRow* FindPatrolRow(int picture) {
  for (const PatrolRow& row : kPatrolRows)
    if (row.picture == picture) return &row;
  return nullptr;
}

// Whether the startup list holds the monitor (the scan of run-at-start off,
// without removing anything).
bool MonitorInStartup() {
  const StartupCatalogueHooks& startup = DefaultSettingsInitHooks().startup;
  return startup.findOwnEntries ? startup.findOwnEntries(false) > 0 : IsRunAtStart() != 0;
}

void Check(HWND page, int control, bool on) { CheckDlgButton(page, control, on ? BST_CHECKED : BST_UNCHECKED); }

void ShowValues(HWND page) {
  for (const CheckBox& box : kCheckBoxes)
    if (box.option != kOptionCount) Check(page, box.control, Option(box.option) == 1);
  Check(page, IDC_OPTIONS_RUN_AT_START, MonitorInStartup());
  Check(page, IDC_OPTIONS_TRAY_ICON, Option(kOptTrayIcon) != IDI_TAVVY);
  for (const PatrolRow& row : kPatrolRows) InvalidateRect(GetDlgItem(page, row.picture), nullptr, TRUE);
}

// The monitor shows or hides its icon at once; one that does not answer
// in time keeps the page from hanging and picks the option up itself.
void TellMonitorIconHidden(int hidden) {
  HWND monitor = FindWindowA("Sentrel", nullptr);
  if (!monitor) return;
  using SendTimeoutFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);
  static const auto sendTimeout = FunctionOf<SendTimeoutFn>("user32.dll", "SendMessageTimeoutA");
  DWORD_PTR result = 0;
  if (sendTimeout)
    sendTimeout(monitor, WM_COMMAND, IDC_CMD_HIDE_ICON, hidden, SMTO_ABORTIFHUNG, 5000, &result);
  else
    SendMessageA(monitor, WM_COMMAND, IDC_CMD_HIDE_ICON, hidden);
}

void OnCheckBox(HWND page, const CheckBox& box) {
  const bool on = IsDlgButtonChecked(page, box.control) == BST_CHECKED;
  switch (box.control) {
    case IDC_OPTIONS_RUN_AT_START:
      SetRunAtStart(on);
      Check(page, box.control, MonitorInStartup());
      break;
    case IDC_OPTIONS_TRAY_ICON:
      SetOption(kOptTrayIcon, on ? IDI_TAVVY_CLASSIC : IDI_TAVVY);
      break;
    case IDC_OPTIONS_HIDE_TAVVY:
      SetOption(kOptHideTavvy, on ? 1 : 0);
      if (on) ShowMessageId(page, IDS_TASKBAR_ICON_HIDDEN_RETURN, MB_OK | MB_ICONINFORMATION);
      TellMonitorIconHidden(on ? 1 : 0);
      break;
    case IDC_OPTIONS_OMNI_FORMAT:
      if (on) ShowMessageId(page, IDS_THANK_SUPPORT_FEATURE_MAY, MB_OK | MB_ICONEXCLAMATION);
      SetOption(kOptOmniFormat, on ? 1 : 0);
      break;
    case IDC_OPTIONS_EXPLORER_MENU:
      SetOption(kOptExplorerMenu, on ? 1 : 0);
      SyncExplorerMenuVerb();
      break;
    default:
      SetOption(box.option, on ? 1 : 0);
      break;
  }
  SaveAll();
}

void OnPatrolPicture(HWND page, const PatrolRow& row) {
  int realtime = row.realtime != kOptionCount ? Option(row.realtime) : 0;
  const int minutes =
      AskPatrolTime(page, row.dialogCaption, Option(row.option), row.realtime != kOptionCount ? &realtime : nullptr);
  if (minutes < 0) return;  // Cancel
  SetOption(row.option, minutes);
  if (row.realtime != kOptionCount) SetOption(row.realtime, realtime);
  SaveAll();
  InvalidateRect(GetDlgItem(page, row.picture), nullptr, TRUE);
}

// Tavvy in colour while the area is patrolled, greyed when it is off.
void DrawPatrolPicture(const DRAWITEMSTRUCT& item, bool patrolling) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  HICON icon =
      static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TAVVY), IMAGE_ICON, 16, 16, 0));
  if (!icon) return;
  const int x = (item.rcItem.left + item.rcItem.right - 16) / 2, y = (item.rcItem.top + item.rcItem.bottom - 16) / 2;
  DrawStateA(item.hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x, y, 16, 16,
             DST_ICON | (patrolling ? DSS_NORMAL : DSS_DISABLED));
  DestroyIcon(icon);
}

// The explorer's start-up initialisation once more: the options as they
// stand in the registry now.
void InitializeAgain() {
  InitializeSettings();
  ClearCatalogueEntries();
  Explorer().delayedCount = CountDelayedEntries();
  if (RepairSpoiltOptions() > 0) SyncExplorerMenuVerb();
}

void InitPage(HWND page) {
  struct Caption {
    int control;
    UINT text;
  };
  static constexpr Caption kCaptions[] = {
      {IDC_OPTIONS_INTRO, IDS_OPTIONS_INTRO},
      {IDC_OPTIONS_GROUP, IDS_OPTIONS_GROUP},
      {IDC_OPTIONS_SENTREL_LOG, IDS_SENTREL_LOG},
      {IDC_OPTIONS_HIJACK_LOG, IDS_HIJACK_LOG},
      {IDC_OPTIONS_SPREADSHEET, IDS_SPREADSHEET_REPORT},
      {IDC_OPTIONS_VIEW_HISTORY, IDS_VIEW_HISTORY},
      {IDC_OPTIONS_VIEW_HOSTS, IDS_VIEW_HOSTS_FILE},
      {IDC_OPTIONS_EXPORT, IDS_EXPORT_SETTINGS},
      {IDC_OPTIONS_RESTORE_DELAYED, IDS_RESTORE_ALL_DELAYED},
      {IDC_OPTIONS_HIDE_ALERTS, IDS_HIDE_ALERT_MESSAGES},
      {IDC_PAGE_CLOSE, IDS_CLOSE},
      {IDC_PAGE_HELP_LABEL, IDS_HELP},
  };
  for (const Caption& caption : kCaptions) SetDlgItemTextA(page, caption.control, LoadText(caption.text).c_str());
  for (const CheckBox& box : kCheckBoxes) SetDlgItemTextA(page, box.control, LoadText(box.caption).c_str());
  for (const PatrolRow& row : kPatrolRows) SetDlgItemTextA(page, row.label, LoadText(row.caption).c_str());
  InitializeAgain();
  // The restart file exists only on the 95/98/Me family; the original icon
  // is the one that family shows anyway.
  const bool nt = IsNtFamily();
  ShowWindow(GetDlgItem(page, IDC_OPTIONS_RESTART_PICTURE), nt ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(page, IDC_OPTIONS_RESTART_LABEL), nt ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(page, IDC_OPTIONS_TRAY_ICON), nt ? SW_SHOW : SW_HIDE);
  if (!nt) ShowWindow(GetDlgItem(page, IDC_PAGE_CLOSE), SW_HIDE);
  InstallPictureButtons(page);
  PlaceSheet(page);
}

bool OnCommand(HWND page, int control) {
  if (const CheckBox* box = FindCheckBox(control)) {
    OnCheckBox(page, *box);
    return true;
  }
  if (const PatrolRow* row = FindPatrolRow(control)) {
    OnPatrolPicture(page, *row);
    return true;
  }
  switch (control) {
    case IDC_PAGE_CLOSE:
      PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
      return true;
    case IDC_PAGE_HELP_PICTURE:
      OpenHelpPage(IDC_CMD_SHOW_OPTIONS);
      return true;
    case IDC_OPTIONS_VIEW_HISTORY:
      ShowHistoryDialog(page);
      return true;
    case IDC_OPTIONS_SENTREL_LOG:
      WriteReportLog();
      return true;
    case IDC_OPTIONS_HIJACK_LOG:
      WriteHijackLog();
      return true;
    case IDC_OPTIONS_SPREADSHEET:
      WriteSpreadsheet();
      return true;
    case IDC_OPTIONS_VIEW_HOSTS:
      ViewHostsFile(page);
      return true;
    case IDC_OPTIONS_EXPORT:
      ExportSettings(page);
      return true;
    case IDC_OPTIONS_RESTORE_DELAYED:
      RestoreAllDelayed();
      Explorer().delayedCount = CountDelayedEntries();
      return true;
    case IDC_OPTIONS_HIDE_ALERTS:
      ShowHideAlertsDialog(page);
      SaveAll();
      return true;
    default:
      return false;
  }
}

// ---- The alert-hiding dialog ----------------------------------------------------

struct HideRow {
  int box;
  UINT caption;
  OptionId option;
  int allow, prevent;
};
constexpr HideRow kHideRows[] = {
    {IDC_HIDE_ROW_STARTUP, IDS_HIDE_AREA_STARTUP, kOptHideStartup, IDC_HIDE_ALLOW_STARTUP, IDC_HIDE_PREVENT_STARTUP},
    {IDC_HIDE_ROW_IE_HELPER, IDS_IE_HELPERS_TOOLBARS_BHO, kOptHideIEHelper, IDC_HIDE_ALLOW_IE_HELPER,
     IDC_HIDE_PREVENT_IE_HELPER},
    {IDC_HIDE_ROW_TASKS, IDS_HIDE_AREA_TASKS, kOptHideTasks, IDC_HIDE_ALLOW_TASKS, IDC_HIDE_PREVENT_TASKS},
    {IDC_HIDE_ROW_SERVICES, IDS_HIDE_AREA_SERVICES, kOptHideServices, IDC_HIDE_ALLOW_SERVICES,
     IDC_HIDE_PREVENT_SERVICES},
    {IDC_HIDE_ROW_ACTIVEX, IDS_HIDE_AREA_ACTIVEX, kOptHideActiveX, IDC_HIDE_ALLOW_ACTIVEX, IDC_HIDE_PREVENT_ACTIVEX},
    {IDC_HIDE_ROW_HIDDEN, IDS_HIDDEN, kOptHideHidden, IDC_HIDE_ALLOW_HIDDEN, IDC_HIDE_PREVENT_HIDDEN},
    {IDC_HIDE_ROW_SYSTEM_FILES, IDS_SYSTEM_FILES_HOST_FILE, kOptHideSystemFiles, IDC_HIDE_ALLOW_SYSTEM_FILES,
     IDC_HIDE_PREVENT_SYSTEM_FILES},
    {IDC_HIDE_ROW_HOME_PAGE, IDS_HOME_SEARCH_PAGES, kOptHideHomePage, IDC_HIDE_ALLOW_HOME_PAGE,
     IDC_HIDE_PREVENT_HOME_PAGE},
    {IDC_HIDE_ROW_FILE_TYPE, IDS_FILE_TYPE_ASSOCIATIONS, kOptHideFileType, IDC_HIDE_ALLOW_FILE_TYPE,
     IDC_HIDE_PREVENT_FILE_TYPE},
};

void ShowHideValues(HWND dialog) {
  for (const HideRow& row : kHideRows) {
    const int value = Option(row.option);
    Check(dialog, row.box, value != 0);
    Check(dialog, row.allow, value == 1);
    Check(dialog, row.prevent, value != 0 && value != 1);  // any other value refuses
  }
  Check(dialog, IDC_HIDE_RUNONCE, Option(kOptHideRunOnce) != 0);
  Check(dialog, IDC_HIDE_SHOW_ALL, Option(kOptShowAlerts) != 0);
}

bool OnHideCommand(int control) {
  for (const HideRow& row : kHideRows) {
    if (control == row.box)
      SetOption(row.option, Option(row.option) == 0 ? 1 : 0);
    else if (control == row.allow)
      SetOption(row.option, 1);
    else if (control == row.prevent)
      SetOption(row.option, 2);
    else
      continue;
    return true;
  }
  if (control == IDC_HIDE_RUNONCE)
    SetOption(kOptHideRunOnce, Option(kOptHideRunOnce) == 0 ? 1 : 0);
  else if (control == IDC_HIDE_SHOW_ALL)
    SetOption(kOptShowAlerts, Option(kOptShowAlerts) == 0 ? 1 : 0);
  else
    return false;
  return true;
}

INT_PTR CALLBACK HideAlertsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextA(dialog, LoadText(IDS_SENTREL_HIDE_ALERT_MESSAGES).c_str());
      SetDlgItemTextA(dialog, IDC_HIDE_INTRO, LoadText(IDS_CHECK_WHICH_ALERTS_D).c_str());
      SetDlgItemTextA(dialog, IDC_HIDE_ALLOW_HEAD, LoadText(IDS_ALWAYS_ALLOW_CHANGES).c_str());
      SetDlgItemTextA(dialog, IDC_HIDE_PREVENT_HEAD, LoadText(IDS_PREVENT_CHANGES).c_str());
      SetDlgItemTextA(dialog, IDC_HIDE_TYPE_HEAD, LoadText(IDS_ALERT_TYPE).c_str());
      SetDlgItemTextA(dialog, IDC_HIDE_RUNONCE, LoadText(IDS_HIDE_ALLOW_RUNONCE).c_str());
      SetDlgItemTextA(dialog, IDC_HIDE_SHOW_ALL, LoadText(IDS_SHOW_ALL_ALERTS_TEMPORARY).c_str());
      SetDlgItemTextA(dialog, IDOK, LoadText(IDS_CLOSE).c_str());
      for (const HideRow& row : kHideRows) SetDlgItemTextA(dialog, row.box, LoadText(row.caption).c_str());
      ShowHideValues(dialog);
      return TRUE;
    }
    case WM_COMMAND: {
      const int control = LOWORD(wParam);
      if (control == IDOK || control == IDCANCEL) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (HIWORD(wParam) != BN_CLICKED || !OnHideCommand(control)) return FALSE;
      ShowHideValues(dialog);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

int RepairSpoiltOptions() {
  int mended = 0;
  for (const OptionRange& range : kRanges) {
    const char* name = OptionDefinition(range.id).name;
    StoredValue stored;
    if (!ReadStoredValue(HKEY_CURRENT_USER, kOptionsKey, name, stored)) continue;  // missing: the default
    const bool text = stored.type == REG_SZ || stored.type == REG_EXPAND_SZ;
    const std::string value = text ? TextOfValue(stored) : std::string();
    if (text && value.empty()) continue;  // empty reads as missing
    if (text && IsDecimalText(value) && InRange(range, ParseLeadingInt(value.c_str()))) continue;
    SetOption(range.id, OptionDefault(range.id));
    ++mended;
  }
  if (mended > 0) SaveAll();
  return mended;
}

INT_PTR ShowHideAlertsDialog(HWND owner) { return ExplorerDialog(owner, IDD_HIDE_ALERTS, HideAlertsProc, 0); }

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitPage(page);
      return TRUE;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (const PatrolRow* row = FindPatrolRow(static_cast<int>(item.CtlID))) {
        DrawPatrolPicture(item, Option(row->option) > 0);
        return TRUE;
      }
      return DrawPictureButton(item, kWatchdogOff);
    }
    case WM_SENTREL_LAYOUT_PAGE:
      LayoutPlainPage(page);
      return TRUE;
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (header.code == PSN_SETACTIVE) {
        ShowValues(page);
        LayoutPlainPage(page);  // the older family lays out no frame
      }
      return OnPlainPageNotify(page, header, IDC_CMD_SHOW_OPTIONS) ? TRUE : FALSE;
    }
    case WM_COMMAND:
      // Clicks only: the pictures also tell of double clicks.
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      return OnCommand(page, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_DESTROY:
      SheetPageDestroyed(page);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace sentrel
