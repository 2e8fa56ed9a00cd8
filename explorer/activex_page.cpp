// The ActiveX page: the browser's controls, switched off and on with the
// kill bit, and their files deleted at the next restart.
#include <windows.h>

#include <string>
#include <vector>

#include "activex.h"
#include "addon_pages.h"
#include "catalogue.h"
#include "fileid.h"
#include "list_page.h"
#include "resource.h"
#include "restart_commands.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

int Ask(HWND page, UINT text, UINT icon) {
  return MessageBoxExA(page, LoadText(text).c_str(), ProgramCaption().c_str(), MB_YESNO | MB_TOPMOST | icon,
                       Process().languageId);
}

void SetCheck(HWND page, int id, OptionId option) {
  CheckDlgButton(page, id, Option(option) > 0 ? BST_CHECKED : BST_UNCHECKED);
}

void Init(HWND page) {
  SetDlgItemTextA(page, IDC_PAGE_DISABLE, LoadText(IDS_DISABLE).c_str());
  SetDlgItemTextA(page, IDC_PAGE_ENABLE, LoadText(IDS_ENABLE).c_str());
  ShowWindow(GetDlgItem(page, IDC_PAGE_INTRO2), SW_HIDE);  // the page has one text; its check box stands there
  SetDlgItemTextA(page, IDC_PAGE_SHOW_ALL, LoadText(IDS_LIST_ALL_ACTIVEX_CONTROLS).c_str());
  SetDlgItemTextA(page, IDC_PAGE_NON_MICROSOFT, LoadText(IDS_LIST_NON_MICROSOFT_CONTROLS).c_str());
  SetCheck(page, IDC_PAGE_SHOW_ALL, kOptActiveXListAll);
  SetCheck(page, IDC_PAGE_NON_MICROSOFT, kOptHideMicrosoftActiveX);
}

int Enumerate() { return Option(kOptActiveXListAll) > 0 ? EnumerateAllActiveX() : EnumerateActiveX(false); }

std::string CellText(int entry, int column, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  switch (column) {
    case 0:
      return item.title;
    case 1:
      return FileNamePart(item.path);
    case 2:
      return facts.company;
    case 3:
      return LoadText((static_cast<DWORD>(item.value) & kKillBit) ? IDS_START_TYPE_DISABLED : IDS_ENABLED);
    case 4:
      return facts.firstSeen;
    case 5:
      return item.data;
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  switch (column) {
    case 3:
      return std::to_string(item.type);
    case 4:
      return SortableFirstSeen(facts.firstSeen);
    default:
      return CellText(entry, column, facts);
  }
}

// The class ids of the selected rows; empty after message 57.
std::vector<std::string> SelectedClassIds(HWND page) {
  std::vector<std::string> ids;
  for (int entry : SelectedEntries(page)) ids.push_back(CatalogueAt(entry).data);
  if (ids.empty()) ShowNoSelection(page);
  return ids;
}

void OnDisable(HWND page) {
  const std::vector<std::string> ids = SelectedClassIds(page);
  if (ids.empty()) return;
  for (const std::string& id : ids)
    if (Ask(page, IDS_DISABLING_ACTIVEX_CONTROL_MAY, MB_ICONWARNING) == IDYES) DisableActiveX(id.c_str());
  FillListPage(page);
}

void OnEnable(HWND page) {
  const std::vector<std::string> ids = SelectedClassIds(page);
  if (ids.empty()) return;
  for (const std::string& id : ids) EnableActiveX(id.c_str());
  FillListPage(page);
}

void OnDeleteOnReboot(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  const std::string file = EntryFile(entry);
  if (Ask(page, IDS_CONFIRM_DELETE_ON_REBOOT, MB_ICONSTOP) != IDYES) return;
  DeleteFileOnReboot(file.c_str());
  FillListPage(page);
}

// Either check box changes what is listed: the list follows at once.
void OnCheckBox(HWND page, int id, OptionId option) {
  const int on = IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0;
  SetOption(option, on);
  WriteOption(OptionDefinition(option).name, on);
  FillListPage(page);
}

bool Command(HWND page, int id) {
  switch (id) {
    case IDC_PAGE_DISABLE:
      OnDisable(page);
      return true;
    case IDC_PAGE_ENABLE:
      OnEnable(page);
      return true;
    case IDC_PAGE_DELETE_ON_REBOOT:
      OnDeleteOnReboot(page);
      return true;
    case IDC_PAGE_SHOW_ALL:
      OnCheckBox(page, id, kOptActiveXListAll);
      return true;
    case IDC_PAGE_NON_MICROSOFT:
      OnCheckBox(page, id, kOptHideMicrosoftActiveX);
      return true;
    default:
      return false;
  }
}

void SelectionChanged(HWND page) {
  const int entry = FirstSelectedEntry(page);
  for (int id : {IDC_PAGE_DISABLE, IDC_PAGE_ENABLE}) EnableWindow(GetDlgItem(page, id), entry >= 0);
  SetStatusText(page, entry >= 0 ? CatalogueAt(entry).path : std::string());
}

void ContextMenu(HWND page, int entry, POINT screen) {
  if (entry < 0) return;
  HMENU menu = CreatePopupMenu();
  for (auto [id, text] :
       {std::pair{IDC_PAGE_INFO, IDS_INFO}, {IDC_PAGE_DISABLE, IDS_DISABLE}, {IDC_PAGE_ENABLE, IDS_ENABLE}})
    AppendMenuA(menu, MF_STRING, id, LoadText(text).c_str());
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDC_PAGE_DELETE_ON_REBOOT, LoadText(IDS_DELETE_FILE_REBOOT).c_str());
  SetForegroundWindow(page);
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_VERTICAL, screen.x, screen.y, page, nullptr);
  PostMessageA(page, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

}  // namespace

const ListPageHooks kActiveXPageHooks = {Init, Enumerate, CellText, SortText, Command, SelectionChanged, ContextMenu};

}  // namespace sentrel
