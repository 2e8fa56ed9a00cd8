// Benchmark: 100 real scheduled tasks, all in the task baseline. Times one
// patrol check of the tasks (CheckScheduledTasks) against a floor measured in
// the same run: the bare reads of the same data (the scheduler's enumeration,
// each task activated and its program and run times read, and each task's
// baseline value read); then fills of the Scheduled Tasks page. Prints the
// figures against the goals: the check within 1.5 times the floor, a fill
// within 1 s.
#include <windows.h>

#include <commctrl.h>
#include <mstask.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_sheet.h"
#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "monitor.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "sheet.h"
#include "strings.h"
#include "task_check.h"
#include "task_support.h"
#include "tasks.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

constexpr int kTasks = 100;

std::string TaskName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "Bench Task %03d", i);
  return name;
}

// The same data read bare: one enumeration of the scheduler, each task
// activated and read, each baseline value read. Returns the tasks read.
int BareReads() {
  int read = 0;
  CoInitialize(nullptr);
  ITaskScheduler* scheduler = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                 reinterpret_cast<void**>(&scheduler)))) {
    IEnumWorkItems* items = nullptr;
    if (SUCCEEDED(scheduler->Enum(&items))) {
      LPWSTR* names = nullptr;
      ULONG fetched = 0;
      while (SUCCEEDED(items->Next(5, &names, &fetched)) && fetched > 0) {
        for (ULONG i = 0; i < fetched; ++i) {
          std::wstring name = WorkItemName(names[i]);
          ITask* task = nullptr;
          if (SUCCEEDED(scheduler->Activate(name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(&task)))) {
            LPWSTR program = nullptr;
            SYSTEMTIME last, next;
            task->GetApplicationName(&program);
            task->GetMostRecentRunTime(&last);
            task->GetNextRunTime(&next);
            CoTaskMemFree(program);
            task->Release();
            char title[MAX_PATH] = "", number[33] = "";
            WideCharToMultiByte(CP_ACP, 0, names[i], -1, title, sizeof title, nullptr, nullptr);
            if (ReadStringValue(HKEY_CURRENT_USER, kTaskBaselineKey, title, number, 32) > 0) ++read;
          }
          CoTaskMemFree(names[i]);
        }
        CoTaskMemFree(names);
      }
      items->Release();
    }
    scheduler->Release();
  }
  CoUninitialize();
  return read;
}

struct Figures {
  int rows = 0;
  double fill = 0;
};

}  // namespace

int main() {
  CoInitialize(nullptr);
  LoadOptions();
  StartBenchExplorer();

  const std::vector<std::string> programs = VersionedSystemFiles("\\*.exe", 40);
  if (programs.empty()) {
    std::printf("no program with a version resource in the system folder\n");
    return 1;
  }
  int planted = 0;
  for (int i = 0; i < kTasks; ++i)
    planted += CreateTask(TaskName(i), programs[static_cast<size_t>(i) % programs.size()],
                          i % 2 ? RunAt{2030, 1, 2, static_cast<WORD>(i % 24), static_cast<WORD>(i % 60)} : RunAt{})
                   ? 1
                   : 0;
  StartScheduler();  // the check only looks while it runs
  InitTaskBaseline();

  int bareRead = BareReads();  // once to warm the caches both measurements use
  const double floor = MedianOf(5, [&bareRead] { bareRead = BareReads(); });
  int checked = 0;
  const double check = MedianOf(5, [&checked] { checked = CheckScheduledTasks(); });
  const int known = EnumerateTasks();
  ClearCatalogueEntries();

  Figures figures;
  std::thread user(MeasureRefill, std::ref(figures.fill), std::ref(figures.rows), 5);
  ShowSheet(IDC_CMD_SHOW_TASKS);
  user.join();

  for (int i = 0; i < kTasks; ++i) DeleteTaskFile(TaskName(i));
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");

  std::printf("tasks planted: %d, listed: %d, read bare: %d, rows on the page: %d\n", planted, known, bareRead,
              figures.rows);
  std::printf("floor (bare reads):  %.3f s\n", floor);
  std::printf("one tasks check:     %.3f s (%.2f x the floor, goal 1.5)\n", check, floor > 0 ? check / floor : 0.0);
  std::printf("page fill:           %.3f s (goal 1 s)\n", figures.fill);
  const bool met =
      checked == 1 && known >= kTasks && figures.rows >= kTasks && check <= 1.5 * floor && figures.fill <= 1.0;
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  return met ? 0 : 2;
}
