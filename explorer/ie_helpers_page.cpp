// The IE Helpers page: the add-ons Internet Explorer loads, and their removal.
#include <windows.h>

#include <string>

#include "addon_pages.h"
#include "catalogue.h"
#include "fileid.h"
#include "ie_helpers.h"
#include "list_page.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

void Init(HWND page) { SetDlgItemTextA(page, IDC_PAGE_REMOVE, LoadText(IDS_REMOVE).c_str()); }

int Enumerate() { return EnumerateIEHelpers(); }

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
      return IEHelperTypeText(item.type);
    case 4:
      return facts.firstSeen;
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  switch (column) {
    case 0:
      return item.title;
    case 1:
      return FileNamePart(item.path);
    case 2:
      return facts.company;
    case 3:
      return std::to_string(item.type);
    default:
      return SortableFirstSeen(facts.firstSeen);
  }
}

void OnRemove(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  const CatalogueEntry item = CatalogueAt(entry);  // a copy: the list is refilled
  const std::string question = FillText(LoadText(IDS_CONFIRM_REMOVE_IE_HELPER), {item.title});
  if (MessageBoxExA(page, question.c_str(), ProgramCaption().c_str(), MB_YESNO | MB_TOPMOST | MB_ICONEXCLAMATION,
                    Process().languageId) != IDYES)
    return;
  RemoveIEHelper(item.path.c_str(), entry);
  FillListPage(page);
}

bool Command(HWND page, int id) {
  if (id != IDC_PAGE_REMOVE) return false;
  OnRemove(page);
  return true;
}

void SelectionChanged(HWND page) {
  const int entry = FirstSelectedEntry(page);
  EnableWindow(GetDlgItem(page, IDC_PAGE_REMOVE), entry >= 0);
  SetStatusText(page, entry >= 0 ? CatalogueAt(entry).path : std::string());
}

}  // namespace

std::string IEHelperTypeText(int type) {
  switch (type) {
    case kTypeBrowserHelper:
      return LoadText(IDS_TYPE_BHO);
    case kTypeToolbar:
      return LoadText(IDS_TYPE_TOOLBAR);
    case kTypeExtension:
      return LoadText(IDS_TYPE_EXTENSION);
    default:
      return "";
  }
}

const ListPageHooks kIEHelperPageHooks = {Init, Enumerate, CellText, SortText, Command, SelectionChanged, nullptr};

}  // namespace sentrel
