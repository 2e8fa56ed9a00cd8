// The patrol's check of the scheduled tasks: a task the baseline does not
// know is put to the user; accepted it joins the baseline, refused it is
// deleted from the scheduler.
#include "task_check.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "alerts.h"
#include "catalogue.h"
#include "fileid.h"
#include "first_seen.h"
#include "monitor.h"
#include "patrol.h"
#include "resource.h"
#include "tasks.h"
#include "trace.h"

namespace sentrel {

int CheckScheduledTasks() {
  // Starting the scheduler only to look would run tasks the user has
  // stopped it for.
  if (!IsSchedulerRunning()) return 1;
  const WholeCatalogue whole;
  const int count = EnumerateTasks();
  // Acting on a task changes the list: work on a copy.
  std::vector<CatalogueEntry> tasks;
  for (int i = 0; i < count; ++i) tasks.push_back(CatalogueAt(i));
  ClearCatalogueEntries();
  MonitorState& monitor = Monitor();
  for (const CatalogueEntry& task : tasks) {
    // An exit asked for inside an alert ends the walk: no alert after it.
    if (monitor.exiting) return 0;
    if (ContainsText(task.name.c_str(), kExemptTaskFragment)) continue;
    if (IsTaskKnown(task)) continue;
    RecordFirstSeen(task.path.c_str(), kTaskFirstSeenArea);
    UpdateTrayIcon(NIM_MODIFY, IDI_TAVVY_ALERT, IDS_TIP_TASKS);
    monitor.alertOpen = true;
    SetTraceDialogFlag();
    if (ElevationHandOver()) return 0;
    CurrentItem& item = CurrentAlertItem();
    item.text = task.path;
    item.name = task.title;
    item.type = 0;
    item.nextRun = task.data;
    const int answer = ShowAlert(monitor.window, AlertKind::NewTask);
    monitor.alertOpen = false;
    if (answer == kAnswerYes) {
      AcceptTask(task);
    } else if (answer == kAnswerNo) {
      DeleteTask(task);
      ForgetTask(task);
    }
  }
  // The scheduler agent's icon may linger after it was stopped.
  if (!IsNtFamily())
    if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) InvalidateRect(taskbar, nullptr, TRUE);
  return 1;
}

}  // namespace sentrel
