// The Active Tasks page: every program running now, and ending them.
#include "active_tasks_page.h"

#include <windows.h>

#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "processes.h"
#include "resource.h"
#include "strings.h"

namespace sentrel {
namespace {

enum Column { kModule, kDescription, kCompany, kFirstDetected };

void Init(HWND page) {
  SetDlgItemTextA(page, IDC_TASKS_REFRESH, LoadText(IDS_REFRESH).c_str());
  SetDlgItemTextA(page, IDC_TASKS_KILL, LoadText(IDS_KILL_TASK).c_str());
}

int Enumerate() { return ListActiveTasks(); }

std::string CellText(int entry, int column, const RowFacts& facts) {
  const CatalogueEntry& task = CatalogueAt(entry);
  switch (column) {
    case kModule:
      return FileNamePart(task.path);
    case kDescription:
      return task.title;
    case kCompany:
      return facts.company;
    case kFirstDetected:
      return facts.firstSeen;
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  if (column == kFirstDetected) return SortableFirstSeen(facts.firstSeen);
  return CellText(entry, column, facts);
}

// Every selected row's process is ended by its process id, without asking.
void OnKill(HWND page) {
  const std::vector<int> rows = SelectedEntries(page);
  if (rows.empty()) {
    ShowNoSelection(page);
    return;
  }
  KillTasks(rows.data(), static_cast<int>(rows.size()));
  FillListPage(page);
}

bool Command(HWND page, int id) {
  switch (id) {
    case IDC_TASKS_REFRESH:
      FillListPage(page);
      return true;
    case IDC_TASKS_KILL:
      OnKill(page);
      return true;
    default:
      return false;
  }
}

}  // namespace

const ListPageHooks kActiveTasksPageHooks = {Init, Enumerate, CellText, SortText, Command, nullptr, nullptr};

}  // namespace sentrel
