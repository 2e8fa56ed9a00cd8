// The Delayed Start page: the programs the monitor starts a while after its
// own start, their delay options, and the way back to Windows start-up.
#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "catalogue.h"
#include "delayed_page.h"
#include "delayed_start.h"
#include "explorer.h"
#include "fileid.h"
#include "list_page.h"
#include "processes.h"
#include "resource.h"
#include "strings.h"

namespace sentrel {
namespace {

enum Column { kTitle, kCommand, kStatus, kDelay };

// What the rows of one fill show beyond the catalogue record.
struct DelayRow {
  bool running = false;
  int seconds = 0;
};
std::vector<DelayRow> g_rows;

bool CollectRunning(DWORD, WORD, const char* path, void* context) {
  const std::string file = ProgramFileOf(path);
  if (!file.empty()) {
    // The store names programs in upper case (ASCII letters only).
    std::string upper = LongPathOf(file);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static_cast<std::set<std::string>*>(context)->insert(upper);
  }
  return true;
}

int Enumerate() {
  const int count = ListDelayedEntries();
  // One look at the running processes per fill, not one per row.
  std::set<std::string> running;
  EnumerateProcesses(CollectRunning, &running);
  g_rows.assign(static_cast<size_t>(count), DelayRow{});
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    g_rows[i].running = running.count(entry.name) != 0;
    g_rows[i].seconds = DelaySeconds(DelayRoot(entry), entry.name.c_str());
  }
  return count;
}

const DelayRow& RowOf(int entry) {
  static const DelayRow none;
  return entry >= 0 && static_cast<size_t>(entry) < g_rows.size() ? g_rows[entry] : none;
}

std::string CellText(int entry, int column, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  switch (column) {
    case kTitle:
      return item.title;
    case kCommand:
      return FileNamePart(item.path);
    case kStatus:
      if (RowOf(entry).running) return LoadText(IDS_RUNNING);
      return facts.exists ? std::string() : LoadText(IDS_LOCAL_FILE_NOT_FOUND);
    case kDelay:
      return DelayText(RowOf(entry).seconds);
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  if (column == kStatus) return RowOf(entry).running ? "0" : "1";
  if (column == kDelay) {
    std::string text = std::to_string(std::max(0, RowOf(entry).seconds));
    return text.size() < 4 ? std::string(4 - text.size(), '0') + text : text;
  }
  return CellText(entry, column, facts);
}

void Init(HWND page) {
  SetDlgItemTextA(page, IDC_PAGE_ADD, LoadText(IDS_ADD).c_str());
  SetDlgItemTextA(page, IDC_PAGE_REMOVE, LoadText(IDS_REMOVE).c_str());
  SetDlgItemTextA(page, IDC_DELAY_OPTIONS, LoadText(IDS_DELAY_START_OPTIONS).c_str());
  SetDlgItemTextA(page, IDC_DELAY_RESTORE, LoadText(IDS_RESTORE_PROGRAM_WINDOWS_STARTUP).c_str());
}

// Copies of the selected entries: acting on one may change the list.
std::vector<CatalogueEntry> SelectedCopies(HWND page) {
  std::vector<CatalogueEntry> entries;
  for (int entry : SelectedEntries(page)) entries.push_back(CatalogueAt(entry));
  if (entries.empty()) ShowNoSelection(page);
  return entries;
}

void OnRemove(HWND page) {
  for (const CatalogueEntry& entry : SelectedCopies(page)) {
    const int answer = ShowMessageId(page, IDS_PROGRAM_REMOVED_FROM_DELAYED, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) break;
    // Back to Windows start-up first: one that cannot go back stays listed.
    if (answer == IDYES && !UndelayEntry(entry)) continue;
    DeleteDelayedValues(DelayRoot(entry), entry.name.c_str());
  }
  FillListPage(page);
}

void OnRestore(HWND page) {
  for (const CatalogueEntry& entry : SelectedCopies(page)) UndelayEntry(entry);
  FillListPage(page);
}

void OnLaunch(HWND page) {
  for (const CatalogueEntry& entry : SelectedCopies(page))
    LaunchDelayedEntry(nullptr, DelayRoot(entry), entry.name.c_str());
  FillListPage(page);
}

// ---- The options dialog --------------------------------------------------------

struct OptionsRequest {
  DelayOptions options;
};

void FillCombo(HWND dialog, int control, const std::vector<std::string>& texts, int selected) {
  HWND combo = GetDlgItem(dialog, control);
  for (const std::string& text : texts) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int ComboIndex(HWND dialog, int control) {
  const LRESULT index = SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? 0 : static_cast<int>(index);
}

std::string EditText(HWND dialog, int control) {
  char text[257] = "";
  GetWindowTextA(GetDlgItem(dialog, control), text, sizeof text);
  return text;
}

INT_PTR CALLBACK OptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* request = reinterpret_cast<OptionsRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      request = reinterpret_cast<OptionsRequest*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SetWindowTextA(dialog, LoadText(IDS_PROGRAM_DELAY_STARTUP_OPTIONS).c_str());
      const std::pair<int, UINT> labels[] = {
          {IDC_DELAY_OPTIONS_INTRO, IDS_DELAY_OPTIONS_INTRO}, {IDC_DELAY_MINUTES_LABEL, IDS_DELAY_MINUTES},
          {IDC_DELAY_SECONDS_LABEL, IDS_DELAY_SECONDS},       {IDC_DELAY_PARAMETERS_LABEL, IDS_DELAY_PARAMETERS},
          {IDC_DELAY_TITLE_LABEL, IDS_DELAY_TITLE},           {IDC_DELAY_SHOW_AS_LABEL, IDS_DELAY_SHOW_AS}};
      for (const auto& label : labels) SetDlgItemTextA(dialog, label.first, LoadText(label.second).c_str());
      const DelayOptions& options = request->options;
      std::vector<std::string> minutes, seconds;
      for (int i = 0; i <= 60; ++i) minutes.push_back(std::to_string(i));
      for (int i = 0; i <= 50; i += 10) seconds.push_back(std::to_string(i));
      FillCombo(dialog, IDC_DELAY_MINUTES, minutes, std::min(options.seconds / 60, 60));
      FillCombo(dialog, IDC_DELAY_SECONDS, seconds, (options.seconds % 60) / 10);
      FillCombo(dialog, IDC_DELAY_SHOW_AS,
                {LoadText(IDS_NORMAL_WINDOW), LoadText(IDS_MINIMIZED), LoadText(IDS_MAXIMIZED)}, options.openAs);
      SendDlgItemMessageA(dialog, IDC_DELAY_PARAMETERS, EM_LIMITTEXT, 256, 0);
      SendDlgItemMessageA(dialog, IDC_DELAY_TITLE, EM_LIMITTEXT, 256, 0);
      SetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, options.parameters.c_str());
      SetDlgItemTextA(dialog, IDC_DELAY_TITLE, options.title.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        DelayOptions& options = request->options;
        options.seconds = ComboIndex(dialog, IDC_DELAY_MINUTES) * 60 + ComboIndex(dialog, IDC_DELAY_SECONDS) * 10;
        options.openAs = ComboIndex(dialog, IDC_DELAY_SHOW_AS);
        options.parameters = EditText(dialog, IDC_DELAY_PARAMETERS);
        options.title = EditText(dialog, IDC_DELAY_TITLE);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void OnOptions(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  const CatalogueEntry item = CatalogueAt(entry);
  OptionsRequest request{ReadDelayOptions(DelayRoot(item), item.name.c_str())};
  if (ExplorerDialog(page, IDD_DELAY_OPTIONS, OptionsProc, reinterpret_cast<LPARAM>(&request)) != IDOK) return;
  WriteDelayOptions(DelayRoot(item), item.name.c_str(), request.options);
  FillListPage(page);
}

// ---- Add -------------------------------------------------------------------------

INT_PTR CALLBACK ProgramTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, LoadText(IDS_STARTUP_PROGRAM_TYPE).c_str());
      SetDlgItemTextA(dialog, IDC_PROGRAM_TYPE_TEXT, LoadText(IDS_WOULD_LIKE_PROGRAM_STARTUP).c_str());
      SetDlgItemTextA(dialog, IDC_PROGRAM_TYPE_ALL_USERS, LoadText(IDS_ALL_USERS_START_PROGRAM).c_str());
      SetDlgItemTextA(dialog, IDC_PROGRAM_TYPE_CURRENT_USER, LoadText(IDS_PROGRAMS_ONLY_START_CURRENT).c_str());
      CheckDlgButton(dialog, IDC_PROGRAM_TYPE_CURRENT_USER, BST_CHECKED);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_PROGRAM_TYPE_ALL_USERS) == BST_CHECKED
                              ? IDC_PROGRAM_TYPE_ALL_USERS
                              : IDC_PROGRAM_TYPE_CURRENT_USER);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void OnAdd(HWND page) {
  const std::string file = PickProgramFile(page, nullptr);
  if (file.empty()) return;
  const INT_PTR who = ExplorerDialog(page, IDD_STARTUP_PROGRAM_TYPE, ProgramTypeProc, 0);
  if (who != IDC_PROGRAM_TYPE_ALL_USERS && who != IDC_PROGRAM_TYPE_CURRENT_USER) return;
  AddDelayedProgram(file.c_str(), who == IDC_PROGRAM_TYPE_ALL_USERS);
  FillListPage(page);
}

void AppendItem(HMENU menu, UINT id, UINT text) { AppendMenuA(menu, MF_STRING, id, LoadText(text).c_str()); }

void ContextMenu(HWND page, int entry, POINT screen) {
  if (entry < 0) return;
  HMENU menu = CreatePopupMenu();
  AppendItem(menu, IDC_PAGE_INFO, IDS_INFO);
  AppendItem(menu, IDC_DELAY_LAUNCH, IDS_LAUNCH_PROGRAM);
  AppendItem(menu, IDC_DELAY_OPTIONS, IDS_DELAY_OPTIONS);
  AppendItem(menu, IDC_DELAY_RESTORE, IDS_RESTORE_PROGRAM_WINDOWS_STARTUP);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendItem(menu, IDC_PAGE_REMOVE, IDS_REMOVE);
  SetForegroundWindow(page);
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_VERTICAL, screen.x, screen.y, page, nullptr);
  PostMessageA(page, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

bool Command(HWND page, int id) {
  switch (id) {
    case IDC_PAGE_ADD:
      OnAdd(page);
      return true;
    case IDC_PAGE_REMOVE:
      OnRemove(page);
      return true;
    case IDC_DELAY_OPTIONS:
      OnOptions(page);
      return true;
    case IDC_DELAY_RESTORE:
      OnRestore(page);
      return true;
    case IDC_DELAY_LAUNCH:
      OnLaunch(page);
      return true;
    default:
      return false;
  }
}

}  // namespace

const ListPageHooks kDelayedPageHooks = {Init, Enumerate, CellText, SortText, Command, nullptr, ContextMenu};

}  // namespace sentrel
