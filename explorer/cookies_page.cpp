// The Cookies page on the list-page machinery: the list shows the cookies of
// the chosen browser (Internet Explorer or the Mozilla family) with a check
// box for each kept cookie; the panel beside it holds the filters and the
// browser choice.
#include "cookies_page.h"

#include <commctrl.h>
#include <commdlg.h>

#include <set>
#include <string>
#include <vector>

#include "catalogue.h"
#include "cookies.h"
#include "explorer.h"
#include "fileid.h"
#include "list_page.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "sheet.h"
#include "strings.h"
#include "ui.h"
#include "winpos.h"

namespace sentrel {
namespace {

constexpr size_t kViewedBytes = 16384;
constexpr ColumnDef kIEColumns[] = {{IDS_COOKIES, 600}, {IDS_CREATION_DATE, 390}};
constexpr ColumnDef kMozillaColumns[] = {
    {IDS_DOMAIN_COOKIE_NAME, 400}, {IDS_EXPIRES, 200}, {IDS_PATH, 100}, {IDS_VALUE, 200}, {IDS_SSL, 90}};

std::string g_firefoxFolder;

int Kind() { return Option(kOptBrowser); }
bool Mozilla() { return IsMozillaKind(Kind()); }
HWND ListOf(HWND page) { return GetDlgItem(page, IDC_PAGE_LIST); }

void ColumnSet(const ColumnDef*& columns, int& count) {
  if (Mozilla()) {
    columns = kMozillaColumns;
    count = static_cast<int>(sizeof kMozillaColumns / sizeof kMozillaColumns[0]);
  } else {
    columns = kIEColumns;
    count = static_cast<int>(sizeof kIEColumns / sizeof kIEColumns[0]);
  }
}

int ColumnBase(HWND list) {
  RECT outer;
  GetWindowRect(list, &outer);
  return outer.right - outer.left - GetSystemMetrics(SM_CXVSCROLL);
}

void InsertCookieColumns(HWND page) {
  HWND list = ListOf(page);
  while (ListView_DeleteColumn(list, 0)) {
  }
  const ColumnDef* columns = nullptr;
  int count = 0;
  ColumnSet(columns, count);
  const int width = ColumnBase(list);
  for (int i = 0; i < count; ++i) {
    std::string title = LoadText(columns[i].title);
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width * columns[i].permille / 1000;
    column.pszText = &title[0];
    column.iSubItem = i;
    ListView_InsertColumn(list, i, &column);
  }
}

void SizeColumns(HWND page) {
  HWND list = ListOf(page);
  const ColumnDef* columns = nullptr;
  int count = 0;
  ColumnSet(columns, count);
  const int width = ColumnBase(list);
  for (int i = 0; i < count; ++i) ListView_SetColumnWidth(list, i, width * columns[i].permille / 1000);
}

void ShowFolder(HWND page) {
  std::string folder;
  if (Mozilla()) {
    DiscoverFirefoxCookieFolder(Kind());
    folder = g_firefoxFolder.empty() ? LoadText(IDS_COOKIE_FOLDER_NOT_FOUND) : g_firefoxFolder;
  } else {
    FindIECookieFolder(folder);  // the "not found" text when it fails
  }
  SetDlgItemTextA(page, IDC_PAGE_INTRO2, folder.c_str());
}

void FillFilters(HWND page) {
  HWND box = GetDlgItem(page, IDC_COOKIE_NUTS_LIST);
  SendMessageA(box, LB_RESETCONTENT, 0, 0);
  LoadCookieFilters();
  // The loaded filters are in lower case; the box shows the names as stored.
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kNutsKey, KEY_READ) != ERROR_SUCCESS) return;
  for (const ListedValue& value : SnapshotValues(key.get()))
    if (value.exactName && !value.name.empty() && ParseLeadingInt(value.text.c_str()) != 2)
      SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.name.c_str()));
}

int EntryOfRow(HWND list, int row) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return ListView_GetItem(list, &item) ? static_cast<int>(item.lParam) : -1;
}

void ApplyChecks(HWND page) {
  HWND list = ListOf(page);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  const std::set<std::string> kept = KeptCookieKeys();
  const int rows = ListView_GetItemCount(list);
  for (int row = 0; row < rows; ++row) {
    const int entry = EntryOfRow(list, row);
    if (entry < 0 || entry >= CatalogueCount()) continue;
    ListView_SetCheckState(list, row, kept.count(CookieKey(CatalogueAt(entry).name)) ? TRUE : FALSE);
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

void Refill(HWND page) {
  ShowFolder(page);
  FillListPage(page);
  ApplyChecks(page);
}

void SetBrowserButtons(HWND page) {
  const bool supported = MozillaSupported();
  SetDlgItemTextA(page, IDC_COOKIE_MOZILLA_RADIO,
                  LoadText(supported ? IDS_MOZILLA_BASED : IDS_FIREFOX_3_GREATER_NOT).c_str());
  EnableWindow(GetDlgItem(page, IDC_COOKIE_MOZILLA_RADIO), supported);
  CheckDlgButton(page, IDC_COOKIE_IE_RADIO, Mozilla() ? BST_UNCHECKED : BST_CHECKED);
  CheckDlgButton(page, IDC_COOKIE_MOZILLA_RADIO, Mozilla() ? BST_CHECKED : BST_UNCHECKED);
}

// The panel of filters and browser choice takes the right of the list's
// place; the list keeps the rest.
void LayoutPanel(HWND page) {
  HWND list = ListOf(page);
  // The shared layout has just put the list at the page's margins.
  RECT outer, margins = {7, 44, 14, 90};
  GetWindowRect(list, &outer);
  MapDialogRect(page, &margins);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  const RECT box = {margins.left, margins.top + 5, margins.left + width, margins.top + 5 + height};
  int panel = width * 28 / 100;
  if (panel < 120) panel = 120;
  const int listWidth = width - panel - 8 > 80 ? width - panel - 8 : 80;
  MoveWindow(list, box.left, box.top, listWidth, height, TRUE);
  const int x = box.left + listWidth + 8, w = box.right - x;
  const int folderY = box.bottom - 24, mozillaY = folderY - 20, ieY = mozillaY - 18;
  const int buttonsY = ieY - 28, editY = buttonsY - 24, listTop = box.top + 16;
  MoveWindow(GetDlgItem(page, IDC_COOKIE_NUTS_LABEL), x, box.top, w, 14, TRUE);
  MoveWindow(GetDlgItem(page, IDC_COOKIE_NUTS_LIST), x, listTop, w, editY - 4 - listTop > 20 ? editY - 4 - listTop : 20,
             TRUE);
  MoveWindow(GetDlgItem(page, IDC_COOKIE_NUT_EDIT), x, editY, w, 20, TRUE);
  MoveWindow(GetDlgItem(page, IDC_COOKIE_ADD_NUT), x, buttonsY, w / 2 - 2, 24, TRUE);
  MoveWindow(GetDlgItem(page, IDC_COOKIE_REMOVE_NUT), x + w / 2 + 2, buttonsY, w - w / 2 - 2, 24, TRUE);
  MoveWindow(GetDlgItem(page, IDC_COOKIE_IE_RADIO), x, ieY, w, 16, TRUE);
  MoveWindow(GetDlgItem(page, IDC_COOKIE_MOZILLA_RADIO), x, mozillaY, w, 16, TRUE);
  MoveWindow(GetDlgItem(page, IDC_COOKIE_FOLDER), x, folderY, w, 24, TRUE);
  SizeColumns(page);
}

LRESULT CALLBACK PageSubclass(HWND page, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  const LRESULT result = CallNextProcedure(page, message, wParam, lParam);
  // The machinery has filled the list: the kept cookies get their ticks.
  if (message == WM_SENTREL_LAYOUT_PAGE) {
    LayoutPanel(page);
  } else if (message == WM_SENTREL_REFILL_PAGE) {
    ApplyChecks(page);
  } else if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == PSN_SETACTIVE) {
    LayoutPanel(page);
    ShowFolder(page);
    ApplyChecks(page);
    FillFilters(page);
    SetBrowserButtons(page);
    // Sent to review the cookies, or always asked to: the list has the focus.
    const bool viewing = Explorer().cookieViewing || Option(kOptViewCookies) != 0;
    SetFocus(GetDlgItem(page, viewing ? IDC_PAGE_LIST : IDC_COOKIE_NUT_EDIT));
  } else if (message == WM_NCDESTROY) {
    RemoveSubclass(page, PageSubclass, 0);
  }
  return result;
}

void Init(HWND page) {
  // Both header texts above; the second line of the header shows the folder.
  SetDlgItemTextA(page, IDC_PAGE_INTRO, (LoadText(IDS_COOKIES_INTRO) + "\r\n" + LoadText(IDS_COOKIES_INTRO2)).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_VIEW, LoadText(IDS_VIEW).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_REMOVE_UNCHECKED, LoadText(IDS_REMOVE_UNCHECKED).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_REMOVE_CHECKED, LoadText(IDS_REMOVE_CHECKED).c_str());
  SetDlgItemTextA(page, IDC_PAGE_SHOW_ALL, LoadText(IDS_ALWAYS_VIEW_COOKIES).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_NUTS_LABEL, LoadText(IDS_COOKIES_NUTS).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_ADD_NUT, LoadText(IDS_ADD_NUT).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_REMOVE_NUT, LoadText(IDS_REMOVE_NUT).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_IE_RADIO, LoadText(IDS_INTERNET_EXPLORER).c_str());
  SetDlgItemTextA(page, IDC_COOKIE_FOLDER, LoadText(IDS_COOKIE_FOLDER_BUTTON).c_str());
  SendDlgItemMessageA(page, IDC_COOKIE_NUT_EDIT, EM_LIMITTEXT, kMaxFilterText, 0);
  CheckDlgButton(page, IDC_PAGE_SHOW_ALL, Option(kOptViewCookies) ? BST_CHECKED : BST_UNCHECKED);
  ShowWindow(GetDlgItem(page, IDC_PAGE_INFO), SW_HIDE);
  ListView_SetExtendedListViewStyleEx(ListOf(page), LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  InsertCookieColumns(page);
  SetBrowserButtons(page);
  SetPlainRows(IDC_CMD_SHOW_COOKIES);
  SubclassWindow(page, PageSubclass, 0, 0);
}

// Opening the page applies the filters.
int Enumerate() {
  LoadCookieFilters();
  const int count = ListCookies(Kind(), true);
  FreeCookieFilters();
  return count;
}

std::string CellText(int entry, int column, const RowFacts&) {
  const CatalogueEntry& item = CatalogueAt(entry);
  if (column == 0) return item.title;
  if (column == 1) return item.description;  // creation date or expiry
  if (item.type != kTypeMozillaCookie) return "";
  switch (column) {
    case 2:
      return item.path;
    case 3:
      return item.data;
    case 4:
      return item.value ? "TRUE" : "";
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  if (column == 4 && CatalogueAt(entry).type == kTypeMozillaCookie) return std::to_string(CatalogueAt(entry).value);
  return CellText(entry, column, facts);
}

INT_PTR CALLBACK ViewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const std::string& path = *reinterpret_cast<const std::string*>(lParam);
      SetWindowTextA(dialog, LoadText(IDS_SENTREL_COOKIES).c_str());
      SetDlgItemTextA(dialog, IDCANCEL, LoadText(IDS_CLOSE).c_str());
      SetDlgItemTextA(dialog, IDC_COOKIE_VIEW_PATH, path.c_str());
      std::string text;
      HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        std::vector<char> bytes(kViewedBytes);
        DWORD got = 0;
        if (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
          for (DWORD i = 0; i < got; ++i) {
            const char c = bytes[i];
            if (c == '\n' && (i == 0 || bytes[i - 1] != '\r')) text += '\r';
            text += c == '\0' ? '.' : c;  // binary junk must not end the text early
          }
        }
        CloseHandle(file);
      }
      SetDlgItemTextA(dialog, IDC_COOKIE_VIEW_TEXT, text.c_str());
      RestoreWindowPosition(dialog, kCookiePosition);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        SaveWindowPosition(dialog, kCookiePosition);
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void OnView(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  const CatalogueEntry& item = CatalogueAt(entry);
  // A listed path cut short names another cookie's file: only the cookie's
  // own file is shown.
  if (item.type != kTypeCookie || FileNamePart(item.path) != item.name || !FileExists(item.path.c_str())) return;
  std::string path = item.path;
  ExplorerDialog(page, IDD_COOKIE_VIEW, ViewProc, reinterpret_cast<LPARAM>(&path));
}

// Removes the unchecked rows (keeping the checked ones) or the checked rows.
void OnRemove(HWND page, bool checkedOnes) {
  if (ShowMessageId(page, checkedOnes ? IDS_CONFIRM_REMOVE_CHECKED_COOKIES : IDS_CONFIRM_REMOVE_UNCHECKED_COOKIES,
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  HWND list = ListOf(page);
  const int rows = ListView_GetItemCount(list);
  for (int row = 0; row < rows; ++row) {
    const int entry = EntryOfRow(list, row);
    if (entry < 0 || entry >= CatalogueCount()) continue;
    const CatalogueEntry& item = CatalogueAt(entry);
    const bool checked = ListView_GetCheckState(list, row) != 0;
    if (checked == checkedOnes) {
      KeepCookie(item.name, false);
      RemoveCookie(item);
    } else if (!checkedOnes) {
      KeepCookie(item.name, true);
    }
  }
  Refill(page);
}

void OnAddFilter(HWND page) {
  char text[kMaxFilterText + 1] = "";
  GetWindowTextA(GetDlgItem(page, IDC_COOKIE_NUT_EDIT), text, sizeof text);
  const int result = AddCookieFilter(text, Kind());
  if (result > 0) {
    ShowMessageId(page, static_cast<UINT>(result), MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (result < 0) return;
  SetDlgItemTextA(page, IDC_COOKIE_NUT_EDIT, "");
  FillFilters(page);
  Refill(page);
}

void OnRemoveFilter(HWND page) {
  HWND box = GetDlgItem(page, IDC_COOKIE_NUTS_LIST);
  const LRESULT selected = SendMessageA(box, LB_GETCURSEL, 0, 0);
  const LRESULT length = selected == LB_ERR ? LB_ERR : SendMessageA(box, LB_GETTEXTLEN, selected, 0);
  if (selected == LB_ERR || length == LB_ERR) {
    ShowNoSelection(page);
    return;
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(box, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(length));
  RemoveCookieFilter(text);
  FillFilters(page);
}

void OnBrowser(HWND page, int kind) {
  if (Kind() == kind) return;
  SetOption(kOptBrowser, kind);
  WriteOption(OptionDefinition(kOptBrowser).name, kind);
  InsertCookieColumns(page);
  Refill(page);
}

void OnPickFolder(HWND page) {
  const std::string folder = PickCookieFolder(page);
  if (folder.empty()) return;
  WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, Mozilla() ? "CookieFolder" : "IECookieFolder", folder.c_str());
  Refill(page);
}

bool Command(HWND page, int id) {
  switch (id) {
    case IDOK: {  // Enter: adds the filter typed, else views the cookie
      char typed[2] = "";
      if (GetWindowTextA(GetDlgItem(page, IDC_COOKIE_NUT_EDIT), typed, sizeof typed) > 0)
        OnAddFilter(page);
      else
        OnView(page);
      return true;
    }
    case IDC_PAGE_INFO:
    case IDC_COOKIE_VIEW:
      OnView(page);
      return true;
    case IDC_COOKIE_REMOVE_UNCHECKED:
      OnRemove(page, false);
      return true;
    case IDC_COOKIE_REMOVE_CHECKED:
      OnRemove(page, true);
      return true;
    case IDC_COOKIE_ADD_NUT:
      OnAddFilter(page);
      return true;
    case IDC_COOKIE_REMOVE_NUT:
      OnRemoveFilter(page);
      return true;
    case IDC_COOKIE_IE_RADIO:
      OnBrowser(page, 1);
      return true;
    case IDC_COOKIE_MOZILLA_RADIO:
      OnBrowser(page, 6);
      return true;
    case IDC_COOKIE_FOLDER:
      OnPickFolder(page);
      return true;
    case IDC_PAGE_SHOW_ALL: {
      const int view = IsDlgButtonChecked(page, IDC_PAGE_SHOW_ALL) == BST_CHECKED ? 1 : 0;
      SetOption(kOptViewCookies, view);
      WriteOption(OptionDefinition(kOptViewCookies).name, view);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

const ListPageHooks kCookiesPageHooks = {Init, Enumerate, CellText, SortText, Command, nullptr, nullptr};

void DiscoverFirefoxCookieFolder(int kind) {
  if (!FindMozillaProfileFolder(kind, g_firefoxFolder)) g_firefoxFolder.clear();
}

const std::string& FirefoxCookieFolder() { return g_firefoxFolder; }

std::string PickCookieFolder(HWND owner) {
  char file[MAX_PATH] = "";
  lstrcpynA(file, LoadText(IDS_FOLDER_FILE_NAME).c_str(), sizeof file);
  std::string filter = LoadText(IDS_ALL_FOLDER_FILTER);
  filter.push_back('\0');
  filter += "*.*";
  filter.push_back('\0');
  const std::string title = LoadText(IDS_SELECT_FOLDER_INTERNET_COOKIES);
  const std::string start =
      ReadString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData");
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_LONGNAMES;
  ++Explorer().modalDepth;
  const BOOL chosen = GetOpenFileNameA(&dialog);
  --Explorer().modalDepth;
  const std::string path = chosen ? std::string(file) : std::string();
  // The dialog gives back "<folder>\Path": the folder is what stands before.
  return path.size() > 4 ? path.substr(0, path.size() - 4) : std::string();
}

}  // namespace sentrel
