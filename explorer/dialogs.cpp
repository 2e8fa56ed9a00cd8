// The explorer's modal dialogs: patrol time, the default-location warning
// and the History dialog.
#include <windows.h>

#include <commctrl.h>

#include <map>
#include <string>

#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "history.h"
#include "history_events.h"
#include "list_page.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "winpos.h"

namespace sentrel {

INT_PTR ExplorerDialog(HWND owner, UINT templateId, DLGPROC procedure, LPARAM parameter) {
  ExplorerState& explorer = Explorer();
  ++explorer.modalDepth;
  INT_PTR result = DialogBoxParamA(explorer.instance ? explorer.instance : GetModuleHandleA(nullptr),
                                   MAKEINTRESOURCEA(templateId), owner, procedure, parameter);
  --explorer.modalDepth;
  return result;
}

// ---- Patrol time ---------------------------------------------------------------

namespace {

struct PatrolTimeRequest {
  UINT caption;
  int minutes;
  int* realtime;
  int savedRealtime;
  bool offersRealtime;  // the area has a real-time watch
};

INT_PTR CALLBACK PatrolTimeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* request = reinterpret_cast<PatrolTimeRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      request = reinterpret_cast<PatrolTimeRequest*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SetWindowTextA(dialog, LoadText(request->caption).c_str());
      SetDlgItemTextA(dialog, IDC_PATROL_TEXT, LoadText(IDS_NUMBER_BELOW_NUMBER_MINUTES).c_str());
      SetDlgItemTextA(dialog, IDC_PATROL_MINUTES_LABEL, LoadText(IDS_MINUTES).c_str());
      SetDlgItemTextA(dialog, IDC_PATROL_ZERO_TEXT, LoadText(IDS_SET_0_DISABLE_MONITORING).c_str());
      SetDlgItemTextA(dialog, IDC_PATROL_REALTIME, LoadText(IDS_MONITOR_REAL_TIME).c_str());
      SendDlgItemMessageA(dialog, IDC_PATROL_MINUTES, EM_LIMITTEXT, 2, 0);
      HWND track = GetDlgItem(dialog, IDC_PATROL_TRACK);
      SendMessageA(track, TBM_SETRANGE, TRUE, MAKELPARAM(0, 30));
      SendMessageA(track, TBM_SETTICFREQ, 3, 0);
      SendMessageA(track, TBM_SETPOS, TRUE, request->minutes);
      SetDlgItemInt(dialog, IDC_PATROL_MINUTES, static_cast<UINT>(request->minutes), FALSE);
      CheckDlgButton(dialog, IDC_PATROL_REALTIME, *request->realtime ? BST_CHECKED : BST_UNCHECKED);
      if (!request->offersRealtime) ShowWindow(GetDlgItem(dialog, IDC_PATROL_REALTIME), SW_HIDE);
      return TRUE;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_PATROL_TRACK)) {
        LRESULT position = SendMessageA(reinterpret_cast<HWND>(lParam), TBM_GETPOS, 0, 0);
        SetDlgItemInt(dialog, IDC_PATROL_MINUTES, static_cast<UINT>(position), FALSE);
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PATROL_MINUTES:
          if (HIWORD(wParam) == EN_CHANGE) {
            BOOL number = FALSE;
            UINT minutes = GetDlgItemInt(dialog, IDC_PATROL_MINUTES, &number, FALSE);
            if (number) SendDlgItemMessageA(dialog, IDC_PATROL_TRACK, TBM_SETPOS, TRUE, static_cast<LPARAM>(minutes));
          }
          return TRUE;
        case IDC_PATROL_REALTIME:
          *request->realtime = IsDlgButtonChecked(dialog, IDC_PATROL_REALTIME) == BST_CHECKED ? 1 : 0;
          return TRUE;
        case IDOK: {
          BOOL number = FALSE;
          UINT minutes = GetDlgItemInt(dialog, IDC_PATROL_MINUTES, &number, FALSE);
          *request->realtime = IsDlgButtonChecked(dialog, IDC_PATROL_REALTIME) == BST_CHECKED ? 1 : 0;
          EndDialog(dialog, number ? static_cast<INT_PTR>(minutes) : 0);
          return TRUE;
        }
        case IDCANCEL:
          *request->realtime = request->savedRealtime;
          EndDialog(dialog, -1);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

// ---- Default-location warning ------------------------------------------------

struct WarningRequest {
  const char* file;
  const char* title;
};
const WindowPositionNames kWarningPosition = {"xDefaultWarning", "yDefaultWarning", "dxDefaultWarning",
                                              "dyDefaultWarning"};

INT_PTR CALLBACK WarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* request = reinterpret_cast<const WarningRequest*>(lParam);
      SetWindowTextA(dialog, LoadText(IDS_SENTREL_MESSAGE).c_str());
      SetDlgItemTextA(dialog, IDC_WARNING_FILE, request->file);
      SendDlgItemMessageA(dialog, IDC_WARNING_FILE, WM_SETFONT,
                          reinterpret_cast<WPARAM>(ExplorerFontOf(kFontDialogBold)), FALSE);
      SetDlgItemTextA(dialog, IDC_WARNING_TEXT, LoadText(IDS_SETTING_MAY_DEFAULT_CONDITION).c_str());
      VersionFields fields;
      ReadVersionInfo(request->file, fields);
      std::string below = request->title;
      if (ContainsText(fields.slot[kLegalCopyright].c_str(), "Microsoft"))
        below = FillText(LoadText(IDS_VALID_SYSTEM_FILE), {request->title});
      SetDlgItemTextA(dialog, IDC_WARNING_TITLE, below.c_str());
      SetDlgItemTextA(dialog, IDC_WARNING_CHECK, LoadText(IDS_YES_REALLY_KNOW_WHAT).c_str());
      RestoreWindowPosition(dialog, kWarningPosition);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        const bool ticked = IsDlgButtonChecked(dialog, IDC_WARNING_CHECK) == BST_CHECKED;
        SaveWindowPosition(dialog, kWarningPosition);
        EndDialog(dialog, LOWORD(wParam) == IDOK && ticked ? IDYES : IDNO);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// ---- History ----------------------------------------------------------------------

constexpr ColumnDef kHistoryColumns[] = {
    {IDS_TITLE, 350}, {IDS_ACTION, 220}, {IDS_COMMAND, 220}, {IDS_DATE_MODIFIED, 380}};
int g_historyFlags[5] = {};

// Rows in file order: the title with its file's icon, the action, the type
// and the date; the newest event, last, is scrolled into view.
void FillHistory(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
  ListView_DeleteAllItems(list);
  HIMAGELIST images =
      ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 16, 64);
  if (HIMAGELIST old = ListView_SetImageList(list, images, LVSIL_SMALL)) ImageList_Destroy(old);
  std::map<std::string, int> iconOfFile;  // many events name the same program
  const int count = LoadHistory();
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& event = CatalogueAt(i);
    const std::string file = EntryFile(i);
    auto icon = iconOfFile.find(file);
    if (icon == iconOfFile.end())
      icon = iconOfFile
                 .emplace(file, AddFileIcon(images, file, GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES))
                 .first;
    std::string title = event.title;
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    item.iItem = i;
    item.pszText = &title[0];
    item.lParam = i;
    item.iImage = icon->second;
    int row = ListView_InsertItem(list, &item);
    std::string cells[] = {ActionName(event.value), TypeName(event.type), event.description};
    for (int column = 1; column <= 3; ++column) ListView_SetItemText(list, row, column, &cells[column - 1][0]);
  }
  ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  if (count > 0) ListView_EnsureVisible(list, count - 1, FALSE);
  EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE), FALSE);
}

int SelectedEvent(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
  int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (row < 0) return -1;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return ListView_GetItem(list, &item) ? static_cast<int>(item.lParam) : -1;
}

// The History list keeps the file's order: its compare leaves rows in place.
int CALLBACK KeepOrder(LPARAM, LPARAM, LPARAM) { return 0; }

INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextA(dialog, LoadText(IDS_HISTORY_TITLE).c_str());
      SetDlgItemTextA(dialog, IDC_HISTORY_INTRO, LoadText(IDS_FOLLOWING_HISTORY_EVENTS_OCCURRED).c_str());
      SetDlgItemTextA(dialog, IDC_HISTORY_RESTORE, LoadText(IDS_RESTORE).c_str());
      SetDlgItemTextA(dialog, IDC_HISTORY_CLEAR, LoadText(IDS_CLEAR_FILE).c_str());
      SetDlgItemTextA(dialog, IDC_HISTORY_CLOSE, LoadText(IDS_CLOSE).c_str());
      HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
      RECT outer;
      GetWindowRect(list, &outer);
      const int width = outer.right - outer.left - GetSystemMetrics(SM_CXVSCROLL);
      for (int i = 0; i < 4; ++i) {
        std::string title = LoadText(kHistoryColumns[i].title);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.cx = width * kHistoryColumns[i].permille / 1000;
        column.pszText = &title[0];
        column.iSubItem = i;
        ListView_InsertColumn(list, i, &column);
      }
      for (int& flag : g_historyFlags) flag = 0;
      FillHistory(dialog);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != IDC_HISTORY_LIST) return FALSE;
      if (header->code == LVN_ITEMCHANGED || header->code == NM_CLICK) {
        const int event = SelectedEvent(dialog);
        EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE),
                     event >= 0 && IsRestorableAction(CatalogueAt(event).value));
      } else if (header->code == NM_DBLCLK) {
        const int event = SelectedEvent(dialog);
        if (event >= 0) {
          RestoreHistoryEvent(event);
          FillHistory(dialog);
        }
      } else if (header->code == LVN_COLUMNCLICK) {
        const int column = reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem;
        if (column >= 0 && column <= 4) {
          ListView_SortItems(header->hwndFrom, KeepOrder, 0);
          g_historyFlags[column] ^= 1;
          SetOption(kOptSortHistory, column + 1);
          WriteOption("SortHistory", column + 1);
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_HISTORY_RESTORE: {
          const int event = SelectedEvent(dialog);
          if (event >= 0 && IsRestorableAction(CatalogueAt(event).value)) {
            RestoreHistoryEvent(event);
            FillHistory(dialog);
          }
          return TRUE;
        }
        case IDC_HISTORY_CLEAR:
          ClearHistory();
          FillHistory(dialog);
          return TRUE;
        case IDC_HISTORY_CLOSE:
        case IDCANCEL:
          EndDialog(dialog, IDOK);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_DESTROY:
      ClearCatalogueEntries();
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int AskPatrolTime(HWND owner, UINT captionId, int minutes, int* realtime) {
  int flag = realtime ? *realtime : 0;
  PatrolTimeRequest request{captionId, minutes, &flag, flag, realtime != nullptr};
  INT_PTR result = ExplorerDialog(owner, IDD_PATROL_TIME, PatrolTimeProc, reinterpret_cast<LPARAM>(&request));
  if (realtime) *realtime = flag;
  return static_cast<int>(result);
}

bool ConfirmDefaultRemoval(HWND owner, const char* file, const char* title) {
  WarningRequest request{file ? file : "", title ? title : ""};
  return ExplorerDialog(owner, IDD_DEFAULT_WARNING, WarningProc, reinterpret_cast<LPARAM>(&request)) == IDYES;
}

INT_PTR ShowHistoryDialog(HWND owner) { return ExplorerDialog(owner, IDD_HISTORY, HistoryProc, 0); }

}  // namespace sentrel
