// The property sheet: the page table, building and showing the sheet,
// placing it, laying out its frame and remembering its geometry.
#include "sheet.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "about_page.h"
#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "list_page.h"
#include "lookup.h"
#include "options_page.h"
#include "picture_buttons.h"
#include "registry.h"
#include "report_common.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "ui.h"
#include "winpos.h"

namespace sentrel {
namespace {

struct PageEntry {
  UINT title;
  UINT templateId;
  UINT icon;
  UINT command;
  bool ntOnly;
};

// Tab order.
constexpr PageEntry kPages[] = {
    {IDS_STARTUP_PROGRAMS, IDD_PAGE_STARTUP, IDI_PAGE_STARTUP, IDC_CMD_SHOW_STARTUP, false},
    {IDS_DELAYED_START, IDD_PAGE_DELAY, IDI_PAGE_DELAY, IDC_CMD_SHOW_DELAY, false},
    {IDS_ACTIVEX, IDD_PAGE_ACTIVEX, IDI_PAGE_ACTIVEX, IDC_CMD_SHOW_ACTIVEX, false},
    {IDS_IE_HELPERS, IDD_PAGE_IE_HELPERS, IDI_PAGE_IE_HELPERS, IDC_CMD_SHOW_IE_HELPERS, false},
    {IDS_SCHEDULED_TASKS, IDD_PAGE_TASKS, IDI_PAGE_TASKS, IDC_CMD_SHOW_TASKS, false},
    {IDS_SERVICES, IDD_PAGE_SERVICES, IDI_PAGE_SERVICES, IDC_CMD_SHOW_SERVICES, true},
    {IDS_ACTIVE_TASKS, IDD_PAGE_ACTIVE_TASKS, IDI_PAGE_ACTIVE_TASKS, IDC_CMD_SHOW_ACTIVE_TASKS, false},
    {IDS_COOKIES, IDD_PAGE_COOKIES, IDI_PAGE_COOKIES, IDC_CMD_SHOW_COOKIES, false},
    {IDS_FILE_TYPES, IDD_PAGE_FILE_TYPES, IDI_PAGE_FILE_TYPES, IDC_CMD_SHOW_FILE_TYPES, false},
    {IDS_HIDDEN_FILES, IDD_PAGE_HIDDEN, IDI_PAGE_HIDDEN, IDC_CMD_SHOW_HIDDEN, false},
    {IDS_RECENT, IDD_PAGE_RECENT, IDI_PAGE_RECENT, IDC_CMD_SHOW_RECENT, false},
    {IDS_OMNI, IDD_PAGE_OMNI, IDI_PAGE_OMNI, IDC_CMD_SHOW_OMNI, false},
    {IDS_OPTIONS, IDD_PAGE_OPTIONS, IDI_PAGE_OPTIONS, IDC_CMD_SHOW_OPTIONS, false},
};
constexpr int kPageTableSize = sizeof kPages / sizeof kPages[0];

const char* const kX = "xPos";
const char* const kY = "yPos";
const char* const kWidth = "dxPos";
const char* const kHeight = "dyPos";

bool g_framePrepared = false;
POINT g_minTrack = {0, 0};

bool PagePresent(const PageEntry& page) { return !page.ntOnly || IsNtFamily(); }

// The About page.
INT_PTR CALLBACK PlainPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (INT_PTR result = 0; AboutPageMessage(page, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_INITDIALOG: {
      const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
      SetWindowLongPtrA(page, DWLP_USER, record->lParam);
      if (record->lParam == IDC_CMD_SHOW_OMNI) InitAboutPage(page);
      SetDlgItemTextA(page, IDC_PAGE_CLOSE, LoadText(IDS_CLOSE).c_str());
      SetDlgItemTextA(page, IDC_PAGE_HELP_LABEL, LoadText(IDS_HELP).c_str());
      if (!IsNtFamily()) ShowWindow(GetDlgItem(page, IDC_PAGE_CLOSE), SW_HIDE);
      InstallPictureButtons(page);
      PlaceSheet(page);
      return TRUE;
    }
    case WM_DRAWITEM:
      return DrawPictureButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), kWatchdogOff);
    case WM_SENTREL_LAYOUT_PAGE:
      LayoutPlainPage(page);
      return TRUE;
    case WM_NOTIFY:
      return OnPlainPageNotify(page, *reinterpret_cast<const NMHDR*>(lParam),
                               static_cast<UINT>(GetWindowLongPtrA(page, DWLP_USER)))
                 ? TRUE
                 : FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_PAGE_CLOSE) {
        PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
        return TRUE;
      }
      if (LOWORD(wParam) == IDC_PAGE_HELP_PICTURE) {
        OpenHelpPage(static_cast<UINT>(GetWindowLongPtrA(page, DWLP_USER)));
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      SheetPageDestroyed(page);
      return FALSE;
    default:
      return FALSE;
  }
}

// Adds the frame styles to the sheet's template before it is created.
int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam) {
  if (message != PSCB_PRECREATE || !lParam) return 0;
  const DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT | DS_3DLOOK;
  const DWORD extended = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
  auto* words = reinterpret_cast<WORD*>(lParam);
  if (words[0] == 1 && words[1] == 0xFFFF) {  // DLGTEMPLATEEX: version, signature, help id, extended, style
    auto* fields = reinterpret_cast<DWORD*>(words + 2);
    fields[1] |= extended;
    fields[2] |= style;
  } else {
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(lParam);
    dialog->style |= style;
    dialog->dwExtendedStyle |= extended;
  }
  return 0;
}

LRESULT CALLBACK FrameProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (g_minTrack.x > 0) info->ptMinTrackSize = g_minTrack;
      return 0;
    }
    case WM_SIZE: {
      LRESULT result = CallNextProcedure(sheet, message, wParam, lParam);
      LayoutFrame(sheet);
      return result;
    }
    case WM_COMMAND:
      // Enter reaches the sheet as a press of its default button, OK, which
      // this sheet hides: on a page it means Info, and the sheet stays open.
      if (LOWORD(wParam) == IDOK) {
        if (HWND page = PropSheet_GetCurrentPageHwnd(sheet)) SendMessageA(page, WM_COMMAND, wParam, lParam);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveSubclass(sheet, FrameProc, 0);
      break;
    default:
      break;
  }
  return CallNextProcedure(sheet, message, wParam, lParam);
}

int ReadGeometry(const char* name, bool* present) {
  char text[32];
  *present = ReadStringValue(HKEY_CURRENT_USER, kSentrelKey, name, text, sizeof text) > 0;
  return *present ? ParseLeadingInt(text) : 0;
}

void WriteGeometry(const char* name, int value) {
  WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, name, std::to_string(value).c_str());
}

// comctl32 above 4.70 knows the current page record.
UINT PageRecordSize() {
  // Every comctl32 from 4.71 on takes the second form; none needs more here.
  return CommonControlsVersion() > 470 ? PROPSHEETPAGEA_V2_SIZE : PROPSHEETPAGEA_V1_SIZE;
}

}  // namespace

bool OnPlainPageNotify(HWND page, const NMHDR& header, UINT command) {
  if (header.code == PSN_SETACTIVE) {
    ActivatePage(page, command);
    SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
    return true;
  }
  if (header.code == PSN_KILLACTIVE) {
    SaveSheetGeometry();
    SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
    return true;
  }
  return false;
}

void LayoutPlainPage(HWND page) {
  RECT client;
  GetClientRect(page, &client);
  ControlMoves moves;
  PlacePictureButtons(page, client.right, moves);
  if (HWND close = GetDlgItem(page, IDC_PAGE_CLOSE)) {
    RECT margin = {7, 6, 0, 0}, box;
    MapDialogRect(page, &margin);
    GetWindowRect(close, &box);
    const int w = box.right - box.left, h = box.bottom - box.top;
    moves.push_back({close, RECT{client.right - margin.left - w, client.bottom - margin.top - h, w, h}});
  }
  ApplyMoves(moves);
}

bool IsSheetPageCommand(UINT command) {
  for (const PageEntry& page : kPages)
    if (page.command == command) return true;
  return false;
}

int PageCount() {
  int count = 0;
  for (const PageEntry& page : kPages) count += PagePresent(page) ? 1 : 0;
  return count;
}

UINT PageCommandAt(int tab) {
  int index = 0;
  for (const PageEntry& page : kPages) {
    if (!PagePresent(page)) continue;
    if (index++ == tab) return page.command;
  }
  return 0;
}

std::string VersionCheckAddress() {
  char address[1024] = "";
  if (ReadStringValue(HKEY_LOCAL_MACHINE, kSentrelKey, "GetVersion", address, sizeof address) == 0 || !address[0])
    lstrcpynA(address, LoadText(IDS_VERSION_SCRIPT).c_str(), sizeof address);
  std::string language = LoadText(634);
  if (language.empty()) language = "en";
  return std::string(address) + "&build=" + kVersionText + "&Loc=" + language;
}

int TabOfPage(UINT command) {
  if (command == 6045) command = IDC_CMD_SHOW_COOKIES;
  int index = 0;
  for (const PageEntry& page : kPages) {
    if (!PagePresent(page)) continue;
    if (page.command == command) return index;
    ++index;
  }
  return -1;
}

// A stored value beyond the virtual screen becomes 0. So does one as far off
// to the left or top: no screen is there either, and the sheet would open
// out of sight.
int ClampToVirtualScreen(int value, int virtualExtent) {
  return value > virtualExtent || value < -virtualExtent ? 0 : value;
}

void ShowSheet(UINT command) {
  ExplorerState& explorer = Explorer();
  if (explorer.modalDepth > 0) {
    SetForegroundWindow(explorer.commandWindow);
    return;
  }
  if (explorer.sheetOpen) {
    if (!explorer.sheet) return;
    if (command == IDC_CMD_SHOW_COOKIES || command == 6045) {
      SetWindowPos(explorer.sheet, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else if (explorer.currentPage == IDC_CMD_SHOW_ACTIVE_TASKS) {
      if (HWND page = PropSheet_GetCurrentPageHwnd(explorer.sheet)) SendMessageA(page, WM_SENTREL_REFILL_PAGE, 0, 0);
    }
    SetForegroundWindow(explorer.sheet);
    return;
  }
  explorer.sheetOpen = true;
  explorer.currentPage = 1;
  g_framePrepared = false;

  static std::string titles[kPageTableSize];
  PROPSHEETPAGEA records[kPageTableSize] = {};
  const UINT recordSize = PageRecordSize();
  int count = 0, start = 0;
  for (const PageEntry& page : kPages) {
    if (!PagePresent(page)) continue;
    titles[count] = LoadText(page.title);
    PROPSHEETPAGEA& record = records[count];
    record.dwSize = recordSize;
    record.dwFlags = PSP_USEICONID | PSP_USETITLE;
    record.hInstance = explorer.instance;
    record.pszTemplate = MAKEINTRESOURCEA(page.templateId);
    record.pszIcon = MAKEINTRESOURCEA(page.icon);
    record.pszTitle = titles[count].c_str();
    record.pfnDlgProc = FindListPage(page.command) ? ListPageProc : PlainPageProc;
    if (page.command == IDC_CMD_SHOW_OPTIONS) record.pfnDlgProc = OptionsPageProc;
    record.lParam = page.command;
    // Recent is only ever reached by its tab: a remembered Recent opens the first.
    if (page.command != IDC_CMD_SHOW_RECENT && page.command == (command == 6045 ? IDC_CMD_SHOW_COOKIES : command))
      start = count;
    ++count;
  }

  PROPSHEETHEADERA header = {};
  // The first form of the header: it is all this sheet uses, and comctl32
  // versions before 4.71 refuse the larger ones.
  header.dwSize = PROPSHEETHEADERA_V1_SIZE;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
  if (IsNtFamily()) {
    header.dwFlags |= PSH_USECALLBACK;
    header.pfnCallback = SheetCallback;
  }
  header.hwndParent = explorer.commandWindow;
  header.hInstance = explorer.instance;
  header.pszCaption = explorer.caption.c_str();
  header.nPages = count;
  header.nStartPage = start;
  // comctl32 steps through the records by their dwSize, so they are packed
  // at that size.
  std::vector<BYTE> packed(static_cast<size_t>(count) * recordSize);
  for (int i = 0; i < count; ++i) std::memcpy(&packed[static_cast<size_t>(i) * recordSize], &records[i], recordSize);
  header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(packed.data());
  SetWindowTextA(explorer.commandWindow, explorer.caption.c_str());
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  if (ContainsText(FileNamePart(self).c_str(), "hijack")) WriteHijackLog();
  INT_PTR result = PropertySheetA(&header);
  if (result < 0) {
    explorer.sheetOpen = false;
    explorer.sheet = nullptr;
    ShowMessage(explorer.commandWindow, LoadText(IDS_SHEET_FAILED).c_str(), MB_OK | MB_ICONSTOP);
  }
}

void PlaceSheet(HWND page) {
  if (g_framePrepared) return;
  g_framePrepared = true;
  HWND sheet = GetParent(page);
  ExplorerState& explorer = Explorer();
  explorer.sheet = sheet;
  const ScreenMetrics screen = CurrentScreenMetrics();
  RECT frame;
  GetWindowRect(sheet, &frame);
  const int sheetWidth = frame.right - frame.left, sheetHeight = frame.bottom - frame.top;
  bool hasX, hasY, hasWidth, hasHeight;
  int x = ReadGeometry(kX, &hasX), y = ReadGeometry(kY, &hasY);
  SubclassWindow(sheet, FrameProc, 0, 0);  // both families: Enter; resizing on the NT family
  if (IsNtFamily()) {
    RECT client;
    GetClientRect(sheet, &client);
    g_minTrack = {client.right - 10, client.bottom - 32};
    CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, sheet,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SHEET_STATUS_BAR)), explorer.instance, nullptr);
    if (!hasX && !hasY) {
      x = (screen.screenWidth - sheetWidth) / 2;
      y = (screen.screenHeight - sheetHeight) / 3;
    } else {
      x = ClampToVirtualScreen(x, screen.virtualWidth);
      y = ClampToVirtualScreen(y, screen.virtualHeight);
    }
    int width = ReadGeometry(kWidth, &hasWidth);
    int height = ReadGeometry(kHeight, &hasHeight);
    if (hasWidth) {
      width = ClampToVirtualScreen(width, screen.virtualWidth);
      height = ClampToVirtualScreen(height, screen.virtualHeight);
      // A size of 0 leaves the minimum tracking size to apply.
      MoveWindow(sheet, x, y, width > 0 ? width : g_minTrack.x, height > 0 ? height : g_minTrack.y, TRUE);
    } else {
      SetWindowPos(sheet, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
  } else {
    if (!hasX && !hasY) {
      x = (screen.screenWidth - sheetWidth) / 2;
      y = (screen.screenHeight - sheetHeight) / 3;
    } else {
      const int limitX = screen.virtualWidth > 0 ? screen.virtualWidth : screen.screenWidth;
      const int limitY = screen.virtualHeight > 0 ? screen.virtualHeight : screen.screenHeight;
      if (x > limitX || x < -limitX) x = screen.screenWidth / 2;
      if (y > limitY || y < -limitY) y = screen.screenHeight / 2;
    }
    SetWindowPos(sheet, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  WriteOption("StartTab", Option(kOptStartTab));
}

void ActivatePage(HWND page, UINT command) {
  ExplorerState& explorer = Explorer();
  HWND sheet = GetParent(page);
  explorer.sheet = sheet;
  explorer.currentPage = command;
  SetOption(kOptStartTab, static_cast<int>(command));
  ShowWindow(GetDlgItem(sheet, IDOK), SW_HIDE);
  SetDlgItemTextA(sheet, IDCANCEL, LoadText(IDS_CLOSE).c_str());
  SetWindowTextA(explorer.commandWindow, explorer.caption.c_str());
  // The sheet still names the page being left as its current one.
  if (IsNtFamily()) LayoutFrame(sheet, page);
}

void LayoutFrame(HWND sheet, HWND page) {
  if (!IsNtFamily()) return;
  RECT outer;
  GetWindowRect(sheet, &outer);
  const int w = outer.right - outer.left, h = outer.bottom - outer.top;
  HWND tabs = PropSheet_GetTabControl(sheet);
  if (tabs) MoveWindow(tabs, 6, 0, w - 20, h - 67, TRUE);
  if (HWND bar = GetDlgItem(sheet, IDC_SHEET_STATUS_BAR)) SendMessageA(bar, WM_SIZE, 0, 0);
  if (HWND close = GetDlgItem(sheet, IDCANCEL)) {
    SetWindowPos(close, nullptr, w - 92, h - 66, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(close, SW_HIDE);
  }
  const bool oneRow = tabs && TabCtrl_GetRowCount(tabs) <= 1;
  if (!page) page = PropSheet_GetCurrentPageHwnd(sheet);
  if (page) {
    MoveWindow(page, 8, 50, w - 28, h - 112 + (oneRow ? 10 : 0), TRUE);
    SendMessageA(page, WM_SENTREL_LAYOUT_PAGE, 0, 0);
  }
}

void SaveSheetGeometry() {
  HWND sheet = Explorer().sheet;
  if (!sheet || !IsWindow(sheet)) return;
  RECT frame;
  GetWindowRect(sheet, &frame);
  WriteGeometry(kX, frame.left);
  WriteGeometry(kY, frame.top);
  WriteGeometry(kWidth, frame.right - frame.left);
  WriteGeometry(kHeight, frame.bottom - frame.top);
  WriteOption("StartTab", Option(kOptStartTab));
}

void SheetPageDestroyed(HWND) {
  ExplorerState& explorer = Explorer();
  if (!explorer.sheetOpen) return;
  SaveSheetGeometry();
  explorer.sheetOpen = false;
  explorer.sheet = nullptr;
  explorer.currentPage = 0;
  ClearCatalogueEntries();
  if (explorer.commandWindow) PostMessageA(explorer.commandWindow, WM_CLOSE, 0, 0);
}

}  // namespace sentrel
