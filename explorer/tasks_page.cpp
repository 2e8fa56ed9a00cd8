// The Scheduled Tasks page: every task of the Windows Task Scheduler, with
// its program and run times, and its removal.
#include "tasks_page.h"

#include <windows.h>

#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "registry.h"
#include "resource.h"
#include "strings.h"
#include "tasks.h"

namespace sentrel {
namespace {

enum Column { kName, kProgram, kCompany, kNextRun, kLastRun };

void Init(HWND page) {
  HWND remove = GetDlgItem(page, IDC_PAGE_REMOVE);
  SetWindowTextA(remove, LoadText(IDS_REMOVE).c_str());
  EnableWindow(remove, TRUE);
}

int Enumerate() { return EnumerateTasks(); }

std::string CellText(int entry, int column, const RowFacts& facts) {
  const CatalogueEntry& task = CatalogueAt(entry);
  switch (column) {
    case kName:
      return TaskNameText(task.title);
    case kProgram:
      return FileNamePart(task.path);
    case kCompany:
      return facts.company;
    case kNextRun:
      return task.data;
    case kLastRun:
      return task.description;
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  if (column == kName) return CatalogueAt(entry).title;
  return CellText(entry, column, facts);
}

void OnRemove(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  const CatalogueEntry task = CatalogueAt(entry);  // a copy: the refill rebuilds the list
  const std::string question = FillText(LoadText(IDS_CONFIRM_REMOVE_TASK), {task.title});
  if (MessageBoxExA(page, question.c_str(), ProgramCaption().c_str(), MB_YESNO | MB_ICONWARNING | MB_TOPMOST,
                    Process().languageId) != IDYES)
    return;
  // A failed deletion is not reported: the refilled list still shows the task.
  DeleteTask(task);
  ForgetTask(task);
  FillListPage(page);
}

bool Command(HWND page, int id) {
  if (id != IDC_PAGE_REMOVE) return false;
  OnRemove(page);
  return true;
}

}  // namespace

const ListPageHooks kTasksPageHooks = {Init, Enumerate, CellText, SortText, Command, nullptr, nullptr};

std::string TaskNameText(const std::string& title) {
  return title.size() > 4 ? title.substr(0, title.size() - 4) : title;
}

}  // namespace sentrel
