// The File Types page: one row per monitored extension and resolving source.
#include "file_types_page.h"

#include <commctrl.h>

#include <string>

#include "catalogue.h"
#include "explorer.h"
#include "file_types.h"
#include "fileid.h"
#include "list_page.h"
#include "resource.h"
#include "strings.h"
#include "winpos.h"

namespace sentrel {
namespace {

bool RowIcon(int entry, std::string& file, int& index) {
  if (entry < 0 || entry >= CatalogueCount()) return false;
  const CatalogueEntry& item = CatalogueAt(entry);
  return IconOfExtension(item.description, item.value, file, index) != 0;
}

void Init(HWND page) {
  SetDlgItemTextA(page, IDC_PAGE_ADD, LoadText(IDS_ADD).c_str());
  SetDlgItemTextA(page, IDC_PAGE_REMOVE, LoadText(IDS_REMOVE).c_str());
  SetRowIconSource(IDC_CMD_SHOW_FILE_TYPES, RowIcon);
}

int Enumerate() { return EnumerateMonitoredTypes(true); }

std::string CellText(int entry, int column, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  switch (column) {
    case 0:
      return item.title;
    case 1:
      return FileTypeCommandText(item.path);
    case 2:
      return facts.company;
    case 3:
      return item.name;  // the association value
    case 4:
      return item.description;
    case 5:
      return FileTypeSourceText(item.value);
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) { return CellText(entry, column, facts); }

void OnRemove(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  RemoveMonitoredExtension(CatalogueAt(entry).description);
  FillListPage(page);
}

bool Command(HWND page, int id) {
  switch (id) {
    case IDC_PAGE_ADD:
      if (AskFileTypeToAdd(page)) FillListPage(page);
      return true;
    case IDC_PAGE_REMOVE:
      OnRemove(page);
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK AddProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, LoadText(IDS_ADD_FILE_TYPE_EXTENSION).c_str());
      SetDlgItemTextA(dialog, IDC_ADD_FILE_TYPE_PROMPT, LoadText(IDS_ENTER_FILE_EXTENSION_TYPE).c_str());
      SetDlgItemTextA(dialog, IDC_ADD_FILE_TYPE_LABEL, LoadText(IDS_FILE_TYPE_EXTENSION).c_str());
      SetDlgItemTextA(dialog, IDOK, LoadText(IDS_ADD_FILE_TYPE_BUTTON).c_str());
      SendDlgItemMessageA(dialog, IDC_ADD_FILE_TYPE_EDIT, EM_LIMITTEXT, kMaxExtensionToken + 1, 0);
      RestoreWindowPosition(dialog, kAddFileTypePosition);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        char text[kMaxExtensionToken + 2] = "";
        GetWindowTextA(GetDlgItem(dialog, IDC_ADD_FILE_TYPE_EDIT), text, sizeof text);
        const int message = AddMonitoredExtension(text);
        if (message != 0) {
          // The dialog stays open for another try.
          ShowMessageId(dialog, message, MB_OK | MB_ICONINFORMATION);
          return TRUE;
        }
        SaveWindowPosition(dialog, kAddFileTypePosition);
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        SaveWindowPosition(dialog, kAddFileTypePosition);
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

const ListPageHooks kFileTypesPageHooks = {Init, Enumerate, CellText, SortText, Command, nullptr, nullptr};

std::string FileTypeSourceText(int source) {
  return LoadText(source == kMachineClasses ? IDS_FILE_TYPE_SYSTEM : IDS_FILE_TYPE_EXPLORER);
}

bool AskFileTypeToAdd(HWND owner) { return ExplorerDialog(owner, IDD_ADD_FILE_TYPE, AddProc, 0) == 1; }

}  // namespace sentrel
