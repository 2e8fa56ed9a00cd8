// The Services page: every service that runs a program of its own or is
// hosted by svchost, with its state and start type.
#include "services_page.h"

#include <windows.h>

#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "list_page.h"
#include "resource.h"
#include "services.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

// The state text of each listed service, asked for once per fill: the
// Service Control Manager is a round trip per question, and sorting by the
// Status column compares it again and again.
std::vector<std::string> g_statusText;

void Init(HWND page) {
  SetDlgItemTextA(page, IDC_PAGE_SHOW_ALL, LoadText(IDS_LIST_NON_MICROSOFT_SERVICES).c_str());
  CheckDlgButton(page, IDC_PAGE_SHOW_ALL, Option(kOptHideMicrosoftServices) > 0 ? BST_CHECKED : BST_UNCHECKED);
}

int Enumerate() {
  const int count = EnumerateServices(ServiceListing::Full);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(CatalogueAt(i).name);
  const std::vector<int> states = QueryServiceStates(names);
  g_statusText.assign(static_cast<size_t>(count), " ");
  for (int i = 0; i < count; ++i)
    if (states[i] != 0) g_statusText[i] = StateText(states[i]);
  return count;
}

const std::string& StatusOf(int entry) {
  static const std::string kBlank = " ";
  return entry >= 0 && entry < static_cast<int>(g_statusText.size()) ? g_statusText[entry] : kBlank;
}

std::string CellText(int entry, int column, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  switch (column) {
    case 0:
      return item.title;
    case 1:
      return ServiceCommandText(item.path, item.type);
    case 2:
      return facts.company.empty() ? " " : facts.company;
    case 3:
      return StatusOf(entry);
    case 4:
      return item.data;
    case 5:
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
      return StatusOf(entry);
    case 4:
      return item.data;
    default:
      return SortableFirstSeen(facts.firstSeen);
  }
}

bool Command(HWND page, int id) {
  if (id != IDC_PAGE_SHOW_ALL) return false;
  const int on = IsDlgButtonChecked(page, IDC_PAGE_SHOW_ALL) == BST_CHECKED ? 1 : 0;
  SetOption(kOptHideMicrosoftServices, on);
  WriteOption(OptionDefinition(kOptHideMicrosoftServices).name, on);
  FillListPage(page);
  return true;
}

}  // namespace

const ListPageHooks kServicesPageHooks = {Init, Enumerate, CellText, SortText, Command, nullptr, nullptr};

std::string ServiceCommandText(const std::string& path, int type) {
  const std::string name = FileNamePart(path);
  return type == kTypeServiceHost ? "svchost.exe " + name : name;
}

}  // namespace sentrel
