// The shared list-page machinery: one dialog procedure for every list page,
// driven by the page's definition.
#include "list_page.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <map>
#include <set>

#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "info_dialog.h"
#include "lookup.h"
#include "picture_buttons.h"
#include "registry.h"
#include "report_common.h"
#include "resource.h"
#include "sheet.h"
#include "startup.h"
#include "strings.h"
#include "trace.h"

namespace sentrel {
namespace {

// Per page window: its definition, image list and column direction flags.
struct PageData {
  const ListPageDef* def = nullptr;
  HIMAGELIST images = nullptr;
  int flags[8] = {};
};

PageData* DataOf(HWND page) { return reinterpret_cast<PageData*>(GetWindowLongPtrA(page, DWLP_USER)); }
HWND ListOf(HWND page) { return GetDlgItem(page, IDC_PAGE_LIST); }

// Row facts of the current fill, by catalogue index.
std::vector<RowFacts> g_facts;
const RowFacts kNoFacts;

struct SortContext {
  const ListPageDef* def;
  int column;
  int flag;
};

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM context) {
  const auto* sort = reinterpret_cast<const SortContext*>(context);
  const ListPageHooks* hooks = sort->def->hooks;
  const int a = static_cast<int>(first), b = static_cast<int>(second);
  std::string textA = hooks->sortText(a, sort->column, sort->flag, FactsOf(a));
  std::string textB = hooks->sortText(b, sort->column, sort->flag, FactsOf(b));
  return CompareSortTexts(textA, textB, sort->flag, sort->def->prefixCompare);
}

void SortRows(HWND page, int column, int flag) {
  PageData* data = DataOf(page);
  if (!data || !data->def->hooks->sortText) return;
  SortContext context{data->def, column, flag};
  ListView_SortItems(ListOf(page), CompareRows, reinterpret_cast<LPARAM>(&context));
}

void InsertColumns(HWND page, const ListPageDef& def) {
  HWND list = ListOf(page);
  RECT outer;
  GetWindowRect(list, &outer);
  int width = outer.right - outer.left;
  if (def.lessScrollBar) width -= GetSystemMetrics(SM_CXVSCROLL);
  for (int i = 0; i < def.columnCount; ++i) {
    std::string title = LoadText(def.columns[i].title);
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width * def.columns[i].permille / 1000;
    column.pszText = &title[0];
    column.iSubItem = i;
    ListView_InsertColumn(list, i, &column);
  }
}

// The first icon of a file, cached per fill: thousands of rows often share a
// handful of programs.
std::map<std::string, int> g_iconOfFile;

int RowImage(HIMAGELIST images, const std::string& file, bool exists) {
  auto found = g_iconOfFile.find(file);
  if (found != g_iconOfFile.end()) return found->second;
  return g_iconOfFile[file] = AddFileIcon(images, file, exists);
}

std::map<UINT, RowIconSource> g_iconSources;
std::set<UINT> g_plainPages;
// What a page adds to the shared machinery (none for most pages).
struct PageExtras {
  PageHook activated = nullptr;
  PageHook closing = nullptr;
  EntryFileSource file = nullptr;
};
std::map<UINT, PageExtras> g_extras;
const PageExtras& ExtrasOf(UINT pageCommand) {
  static const PageExtras kNone;
  const auto found = g_extras.find(pageCommand);
  return found != g_extras.end() ? found->second : kNone;
}
bool IsPlainPage(const ListPageDef& def) { return g_plainPages.count(def.command) != 0; }

// The file an entry of the page stands for: the page's own word, else the
// program its command runs.
std::string FileOf(const ListPageDef& def, int entry) {
  const EntryFileSource source = ExtrasOf(def.command).file;
  return source ? source(entry) : EntryFile(entry);
}

// The row's icon: the page's own source first, else the program's icon.
int RowImageOf(const ListPageDef& def, HIMAGELIST images, int entry, const RowFacts& facts) {
  auto source = g_iconSources.find(def.command);
  std::string file;
  int index = 0;
  if (source != g_iconSources.end() && source->second(entry, file, index)) {
    const std::string key = file + "," + std::to_string(index);
    auto found = g_iconOfFile.find(key);
    if (found != g_iconOfFile.end()) return found->second;
    // A file without that icon: the program's own.
    const std::string native = NativeFilePath(file);
    const bool has = GetFileAttributesA(native.c_str()) != INVALID_FILE_ATTRIBUTES &&
                     (index < 0 || static_cast<UINT>(index) < ExtractIconExA(native.c_str(), -1, nullptr, nullptr, 0));
    return g_iconOfFile[key] =
               has ? AddFileIconAt(images, file, index, true) : RowImage(images, facts.file, facts.exists);
  }
  return RowImage(images, facts.file, facts.exists);
}

// ---- Picture buttons ------------------------------------------------------

WatchdogLook LookOf(const ListPageDef& def) {
  if (def.patrolOption < 0) return kWatchdogOff;
  if (def.realtimeOption >= 0 && Option(static_cast<OptionId>(def.realtimeOption)) != 0) return kWatchdogRealtime;
  return Option(static_cast<OptionId>(def.patrolOption)) > 0 ? kWatchdogPatrolling : kWatchdogOff;
}

// ---- Layout ------------------------------------------------------------------

void LayoutPage(HWND page) {
  PageData* data = DataOf(page);
  if (!data) return;
  RECT client;
  GetClientRect(page, &client);
  const int width = client.right, height = client.bottom;
  RECT margins = {7, 44, 14, 90};
  MapDialogRect(page, &margins);
  RECT row = {7, 25, 14, 35};
  MapDialogRect(page, &row);
  HWND sheet = GetParent(page);
  HWND tabs = PropSheet_GetTabControl(sheet);
  const bool oneRow = tabs && TabCtrl_GetRowCount(tabs) <= 1;

  ControlMoves moves;
  auto place = [&](int id, int x, int y, int w, int h) {
    if (HWND control = GetDlgItem(page, id)) moves.push_back({control, RECT{x, y, w, h}});
  };
  auto sizeOf = [&](int id) {
    RECT box{};
    if (HWND control = GetDlgItem(page, id)) GetWindowRect(control, &box);
    return SIZE{box.right - box.left, box.bottom - box.top};
  };
  PlacePictureButtons(page, width, moves);

  const int listTop = margins.top + 5;
  const int listWidth = width - margins.right * 3 / 2 - 20;
  int listHeight = height - listTop - row.bottom * 3 / 2 + (oneRow ? 5 : -16);
  if (listHeight < 40) listHeight = 40;
  place(IDC_PAGE_LIST, margins.left, listTop, listWidth, listHeight);

  // The check box of the page (if any) under the list, the buttons below it.
  const int buttonHeight = row.bottom - row.top + 4;
  const int buttonY = listTop + listHeight + (GetDlgItem(page, IDC_PAGE_SHOW_ALL) ? 22 : 8);
  // The ActiveX page's long text takes the whole line.
  const int checkWidth = GetDlgItem(page, IDC_PAGE_NON_MICROSOFT) ? listWidth : listWidth * 2 / 3;
  place(IDC_PAGE_SHOW_ALL, margins.left, listTop + listHeight + 4, checkWidth, 16);
  const int count = data->def->buttonCount;
  const int buttonWidth = sizeOf(IDC_PAGE_INFO).cx;
  // Enable and Disable share one place unless the page lists both.
  bool sharedToggle = true;
  for (int i = 0; i < count; ++i) sharedToggle = sharedToggle && data->def->buttons[i] != IDC_PAGE_DISABLE;
  for (int i = 0; i < count; ++i) {
    int x = count == 1 ? margins.left + (listWidth - buttonWidth) / 2
                       : margins.left + (listWidth - buttonWidth) * i / (count - 1);
    int w = buttonWidth;
    if (i == count - 1 && count > 1) {
      x += 25;
      w -= 25;
      if (x + w > margins.left + listWidth + 25) x = margins.left + listWidth + 25 - w;
    }
    const int id = data->def->buttons[i];
    place(id, x, buttonY, w, buttonHeight);
    if (id == IDC_PAGE_ENABLE && sharedToggle) place(IDC_PAGE_DISABLE, x, buttonY, w, buttonHeight);
  }
  ApplyMoves(moves);
}

void InitPage(HWND page, const ListPageDef& def) {
  auto* data = new PageData;
  data->def = &def;
  SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
  if (def.intro) SetDlgItemTextA(page, IDC_PAGE_INTRO, LoadText(def.intro).c_str());
  if (def.intro2) SetDlgItemTextA(page, IDC_PAGE_INTRO2, LoadText(def.intro2).c_str());
  SetDlgItemTextA(page, IDC_PAGE_INFO, LoadText(IDS_INFO).c_str());
  SetDlgItemTextA(page, IDC_PAGE_CLOSE, LoadText(IDS_CLOSE).c_str());
  SetDlgItemTextA(page, IDC_PAGE_HELP_LABEL, LoadText(IDS_HELP).c_str());
  SetDlgItemTextA(page, IDC_PAGE_WATCHDOG_LABEL, LoadText(IDS_MONITOR).c_str());
  if (!IsNtFamily()) ShowWindow(GetDlgItem(page, IDC_PAGE_CLOSE), SW_HIDE);
  // A page without a patrol time has no picture to name.
  if (def.patrolOption < 0)
    for (int id : {IDC_PAGE_WATCHDOG_PICTURE, IDC_PAGE_WATCHDOG_LABEL}) ShowWindow(GetDlgItem(page, id), SW_HIDE);
  InsertColumns(page, def);
  InstallPictureButtons(page);
  if (def.hooks->init) def.hooks->init(page);
  PlaceSheet(page);
}

void OnPatrolPicture(HWND page, const ListPageDef& def) {
  if (def.patrolOption < 0) return;
  int realtime = def.realtimeOption >= 0 ? Option(static_cast<OptionId>(def.realtimeOption)) : 0;
  int minutes = AskPatrolTime(page, def.patrolCaption, Option(static_cast<OptionId>(def.patrolOption)), &realtime);
  if (minutes < 0) return;
  SetOption(static_cast<OptionId>(def.patrolOption), minutes);
  WriteOption(OptionDefinition(static_cast<OptionId>(def.patrolOption)).name, minutes);
  if (def.realtimeOption >= 0) {
    SetOption(static_cast<OptionId>(def.realtimeOption), realtime);
    WriteOption(OptionDefinition(static_cast<OptionId>(def.realtimeOption)).name, realtime);
  }
  WriteOption("Update", 1);  // the monitor reloads its options
  InvalidateRect(GetDlgItem(page, IDC_PAGE_WATCHDOG_PICTURE), nullptr, TRUE);
}

bool OnNotify(HWND page, const ListPageDef& def, NMHDR* header) {
  PageData* data = DataOf(page);
  switch (header->code) {
    case PSN_SETACTIVE: {
      HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
      ActivatePage(page, def.command);
      FillListPage(page);
      SelectRow(page, 0);
      if (def.hooks->selectionChanged) def.hooks->selectionChanged(page);
      InvalidateRect(GetDlgItem(page, IDC_PAGE_WATCHDOG_PICTURE), nullptr, TRUE);
      LayoutPage(page);
      if (const PageHook activated = ExtrasOf(def.command).activated) activated(page);
      SetCursor(old);
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return true;
    }
    case PSN_KILLACTIVE:
      TraceStep("CleanupActivePage", "");
      ClearCatalogueEntries();
      g_facts.clear();
      SetStatusText(page, "");
      SaveSheetGeometry();
      SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
      return true;
    default:
      break;
  }
  if (header->idFrom != IDC_PAGE_LIST) return false;
  switch (header->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
      // Icons are read only for rows that are shown, once each: reading
      // every program's icon would make a long list slow to fill.
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
      if (!(info->item.mask & LVIF_IMAGE)) return true;
      LVITEMA item{};
      item.mask = LVIF_PARAM;
      item.iItem = info->item.iItem;
      const int entry = ListView_GetItem(ListOf(page), &item) ? static_cast<int>(item.lParam) : -1;
      const RowFacts& facts = FactsOf(entry);
      info->item.iImage =
          &facts != &kNoFacts && data && !IsPlainPage(def) ? RowImageOf(def, data->images, entry, facts) : 0;
      info->item.mask |= LVIF_DI_SETITEM;
      return true;
    }
    case LVN_COLUMNCLICK:
      SortByColumn(page, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
      return true;
    case LVN_ITEMCHANGED:
    case NM_CHAR:
    case NM_CLICK:
      if (def.hooks->selectionChanged) def.hooks->selectionChanged(page);
      return true;
    case NM_RCLICK: {
      POINT cursor;
      GetCursorPos(&cursor);
      if (def.hooks->contextMenu) {
        def.hooks->contextMenu(page, FirstSelectedEntry(page), cursor);
      } else {
        // Every list page offers the report log, even one without a menu of its own.
        HMENU menu = CreatePopupMenu();
        SetForegroundWindow(page);
        TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_VERTICAL, cursor.x, cursor.y, page, nullptr);
        PostMessageA(page, WM_NULL, 0, 0);
        DestroyMenu(menu);
      }
      return true;
    }
    case NM_DBLCLK: {
      // Plain rows name no program to look up (a cookie's name would tell the
      // lookup service where the user browses).
      int entry = FirstSelectedEntry(page);
      if (entry >= 0 && !IsPlainPage(def)) LookUpProgramOnline(CatalogueAt(entry).type, FileOf(def, entry).c_str());
      return true;
    }
    default:
      break;
  }
  return false;
}

}  // namespace

void SetRowIconSource(UINT pageCommand, RowIconSource source) { g_iconSources[pageCommand] = source; }
void SetPlainRows(UINT pageCommand) { g_plainPages.insert(pageCommand); }
void SetActivationHook(UINT pageCommand, PageHook hook) { g_extras[pageCommand].activated = hook; }
void SetClosingHook(UINT pageCommand, PageHook hook) { g_extras[pageCommand].closing = hook; }
void SetEntryFileSource(UINT pageCommand, EntryFileSource source) { g_extras[pageCommand].file = source; }
std::string PageEntryFile(UINT pageCommand, int entry) {
  const EntryFileSource source = ExtrasOf(pageCommand).file;
  return source ? source(entry) : EntryFile(entry);
}

int AddFileIcon(HIMAGELIST images, const std::string& file, bool exists) {
  return AddFileIconAt(images, file, 0, exists);
}

int AddFileIconAt(HIMAGELIST images, const std::string& file, int iconIndex, bool exists) {
  HICON icon = nullptr;
  if (exists) ExtractIconExA(NativeFilePath(file).c_str(), iconIndex, nullptr, &icon, 1);
  if (!icon)
    icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MISSING_FILE), IMAGE_ICON, 16, 16, 0));
  const int index = icon ? ImageList_AddIcon(images, icon) : -1;
  if (icon) DestroyIcon(icon);
  return index < 0 ? 0 : index;
}

const RowFacts& FactsOf(int entry) {
  return entry >= 0 && entry < static_cast<int>(g_facts.size()) ? g_facts[entry] : kNoFacts;
}

std::string EntryFile(int entry) {
  if (entry < 0 || entry >= CatalogueCount()) return "";
  const std::string& command = CatalogueAt(entry).path;
  std::string expanded;
  ExpandEnvironment(command, expanded);  // unexpandable: the command as it stands
  std::string target = RundllTarget(expanded);
  return NormalizeFilePath(target.empty() ? expanded.c_str() : target.c_str());
}

std::string FirstSeenText(const char* file, int category) {
  char date[32] = "";
  if (ReadFirstSeen(file, category, date) > 0) return date;
  std::string now = NowText();
  WriteStringValue(HKEY_CURRENT_USER, (std::string(kDetectedKey) + "\\" + FirstSeenArea(category)).c_str(), file,
                   now.c_str());
  return now;
}

void FillListPage(HWND page) {
  PageData* data = DataOf(page);
  if (!data) return;
  const ListPageDef& def = *data->def;
  HWND list = ListOf(page);
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  if (data->images) ImageList_Destroy(data->images);
  data->images =
      ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 16, 64);
  HICON own =
      static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TAVVY), IMAGE_ICON, 16, 16, 0));
  if (own) {
    ImageList_AddIcon(data->images, own);
    DestroyIcon(own);
  }
  ListView_SetImageList(list, data->images, LVSIL_SMALL);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  g_facts.clear();
  g_iconOfFile.clear();

  const int count = def.hooks->enumerate ? def.hooks->enumerate() : 0;
  g_facts.resize(count);
  ListView_SetItemCount(list, count);
  // What a command's file is, whether it exists and its version data are
  // worked out once per command per fill: thousands of rows often share a
  // handful of programs, and every look at the disk costs.
  struct FileFacts {
    std::string file, company;
    bool exists = false;
  };
  std::map<std::string, FileFacts> factsOfCommand;
  std::map<std::string, std::string> firstSeenOf;  // by file: one date per program
  const bool plain = IsPlainPage(def);
  for (int i = 0; i < count; ++i) {
    RowFacts& facts = g_facts[i];
    auto known = factsOfCommand.find(plain ? std::string() : CatalogueAt(i).path);
    if (known == factsOfCommand.end()) {
      FileFacts found;
      // Rows of a page of plain rows name no program: no file is read.
      if (!plain) {
        found.file = FileOf(def, i);
        found.exists = GetFileAttributesA(NativeFilePath(found.file).c_str()) != INVALID_FILE_ATTRIBUTES;
        VersionFields fields;
        if (found.exists) ReadVersionInfo(found.file.c_str(), fields);
        found.company = fields.slot[kCompanyName];
      }
      known = factsOfCommand.emplace(plain ? std::string() : CatalogueAt(i).path, std::move(found)).first;
    }
    facts.file = known->second.file;
    facts.company = known->second.company;
    facts.exists = known->second.exists;
    // The row says where it was listed from: a marker of its name may belong
    // to another entry.
    facts.disabled = !plain && IsEntryDisabled(CatalogueAt(i)) != 0;
    if (def.firstSeenCategory) {
      auto seen = firstSeenOf.find(facts.file);
      if (seen == firstSeenOf.end())
        seen = firstSeenOf.emplace(facts.file, FirstSeenText(facts.file.c_str(), def.firstSeenCategory)).first;
      facts.firstSeen = seen->second;
    }

    std::string first = def.hooks->cellText(i, 0, facts);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    item.iItem = i;
    item.pszText = &first[0];
    item.lParam = i;
    item.iImage = I_IMAGECALLBACK;  // loaded when the row is first drawn
    int row = ListView_InsertItem(list, &item);
    for (int column = 1; column < def.columnCount; ++column) {
      std::string text = def.hooks->cellText(i, column, facts);
      ListView_SetItemText(list, row, column, &text[0]);
    }
  }
  const int key = Option(def.sortOption);
  if (key > 0 && key - 1 <= def.lastSortableColumn && key - 1 < 8) SortRows(page, key - 1, data->flags[key - 1]);
  ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  SetCursor(old);
}

void SortByColumn(HWND page, int column) {
  PageData* data = DataOf(page);
  if (!data || column < 0 || column > data->def->lastSortableColumn || column >= 8) return;
  SortRows(page, column, data->flags[column]);
  data->flags[column] ^= 1;
  SetOption(data->def->sortOption, column + 1);
  WriteOption(OptionDefinition(data->def->sortOption).name, column + 1);
}

void SortByColumnAs(HWND page, int column, int flag) {
  PageData* data = DataOf(page);
  if (!data || column < 0 || column > data->def->lastSortableColumn || column >= 8) return;
  data->flags[column] = flag ? 1 : 0;
  SortRows(page, column, data->flags[column]);
}

int FirstSelectedPosition(HWND page) { return ListView_GetNextItem(ListOf(page), -1, LVNI_SELECTED); }

int FirstSelectedEntry(HWND page) {
  int row = FirstSelectedPosition(page);
  if (row < 0) return -1;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!ListView_GetItem(ListOf(page), &item)) return -1;
  return static_cast<int>(item.lParam);
}

std::vector<int> SelectedEntries(HWND page) {
  std::vector<int> entries;
  HWND list = ListOf(page);
  for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(list, row, LVNI_SELECTED)) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (ListView_GetItem(list, &item)) entries.push_back(static_cast<int>(item.lParam));
  }
  return entries;
}

int SelectedCount(HWND page) { return ListView_GetSelectedCount(ListOf(page)); }

void SelectRow(HWND page, int row) {
  HWND list = ListOf(page);
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (row < 0 || row >= ListView_GetItemCount(list)) return;
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, row, FALSE);
}

void ShowNoSelection(HWND page) {
  PageData* data = DataOf(page);
  const bool cookies = data && data->def->command == IDC_CMD_SHOW_COOKIES;
  MessageBoxExA(page, LoadText(cookies ? IDS_NO_COOKIE_SELECTION : IDS_NO_SELECTION).c_str(),
                LoadText(IDS_SENTREL_HELP).c_str(), MB_OK | MB_ICONINFORMATION | MB_TOPMOST, Process().languageId);
}

void SetStatusText(HWND page, const std::string& text) {
  HWND bar = GetDlgItem(GetParent(page), IDC_SHEET_STATUS_BAR);
  if (bar) SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string SortableFirstSeen(const std::string& text) {
  if (text.size() <= 11) return " ";
  unsigned month = 0, day = 0, year = 0, hour = 0, minute = 0;
  char half[3] = "";
  if (std::sscanf(text.c_str(), "%u/%u/%u %u:%u %2s", &month, &day, &year, &hour, &minute, half) < 5) return " ";
  // 12 AM is the first hour of the day and 12 PM the thirteenth.
  hour %= 12;
  if (half[0] == 'P' || half[0] == 'p') hour += 12;
  char key[32];
  std::snprintf(key, sizeof key, "%04u%02u%02u%02u%02u", year % 10000, month % 100, day % 100, hour, minute % 100);
  return key;
}

int CompareSortTexts(const std::string& a, const std::string& b, int flag, bool prefix) {
  std::string first = flag ? b : a, second = flag ? a : b;
  if (prefix) {
    const size_t shorter = first.size() < second.size() ? first.size() : second.size();
    first.resize(shorter);
    second.resize(shorter);
  }
  return lstrcmpiA(first.c_str(), second.c_str());
}

INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  PageData* data = DataOf(page);
  switch (message) {
    case WM_INITDIALOG: {
      const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
      const ListPageDef* def = FindListPage(static_cast<UINT>(record->lParam));
      if (def) InitPage(page, *def);
      return TRUE;
    }
    case WM_INITMENUPOPUP: {
      // The page's right-click menu: the report log is on every one.
      HMENU menu = reinterpret_cast<HMENU>(wParam);
      if (!HIWORD(lParam) && GetMenuState(menu, IDM_STARTUP_LOG, MF_BYCOMMAND) == static_cast<UINT>(-1)) {
        if (GetMenuItemCount(menu) > 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, IDM_STARTUP_LOG, LoadText(IDS_SENTREL_LOG).c_str());
      }
      return FALSE;
    }
    case WM_NOTIFY:
      if (data) return OnNotify(page, *data->def, reinterpret_cast<NMHDR*>(lParam));
      return FALSE;
    case WM_DRAWITEM:
      return DrawPictureButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam),
                               data ? LookOf(*data->def) : kWatchdogOff);
    case WM_COMMAND: {
      if (!data) return FALSE;
      const int id = LOWORD(wParam);
      if (id == IDM_STARTUP_LOG) {
        // The report enumerates every area into the shared list: the page's
        // rows are read again afterwards.
        WriteReportLog();
        FillListPage(page);
        return TRUE;
      }
      if (data->def->hooks->command && data->def->hooks->command(page, id)) return TRUE;
      switch (id) {
        case IDOK:
        case IDC_PAGE_INFO: {
          const int entry = FirstSelectedEntry(page);
          if (entry < 0) {
            ShowNoSelection(page);
            return TRUE;
          }
          const int row = FirstSelectedPosition(page);
          ShowInfoDialog(page, entry);
          // Start types and states may have changed meanwhile.
          if (data->def->command == IDC_CMD_SHOW_SERVICES) FillListPage(page);
          SelectRow(page, row);
          return TRUE;
        }
        case IDC_PAGE_CLOSE:
          PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
          return TRUE;
        case IDC_PAGE_HELP_PICTURE:
          OpenHelpPage(data->def->command);
          return TRUE;
        case IDC_PAGE_WATCHDOG_PICTURE:
          OnPatrolPicture(page, *data->def);
          return TRUE;
        default:
          return FALSE;
      }
    }
    case WM_SENTREL_LAYOUT_PAGE:
      LayoutPage(page);
      return TRUE;
    case WM_SENTREL_REFILL_PAGE:
      FillListPage(page);
      return TRUE;
    case WM_DESTROY:
      if (data) {
        if (const PageHook closing = ExtrasOf(data->def->command).closing) closing(page);
        if (data->images) ImageList_Destroy(data->images);
        delete data;
        SetWindowLongPtrA(page, DWLP_USER, 0);
      }
      SheetPageDestroyed(page);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace sentrel
