// Benchmark: the Recent page with 4,096 planted startup entries pointing at
// the system folder's real programs (each with its version resource and
// icon), so that the list is full. Times the page's first opening (every
// area enumerated, every first-seen date recorded), a Refresh (the list built
// again from every area) and a refill from the kept list (what a later
// activation costs), each against the Startup Programs page's fill of the
// same entries measured alongside (the machine's load moves both alike).
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "activex.h"
#include "bench_sheet.h"
#include "explorer.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "processes.h"
#include "recent_page.h"
#include "registry.h"
#include "resource.h"
#include "services.h"
#include "settings.h"
#include "sheet.h"
#include "startup.h"
#include "tasks.h"

using namespace sentrel;

namespace {

constexpr int kEntries = 4096;
const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string ValueName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "Bench Recent %04d", i);
  return name;
}

struct Figures {
  int rows = 0;
  double startupFill = 1e9, open = 0, refresh = 1e9, refill = 0;
};

// Runs on a thread of its own while the sheet's thread shows the sheet.
void Measure(Figures& figures) {
  HWND sheet = nullptr;
  HWND startup = WaitForSheetPage(&sheet);
  if (!startup) return;
  // The Startup Programs page's fill of the same entries, measured in the
  // same conditions: the figure the Recent page is held to.
  for (int round = 0; round < 3; ++round)
    figures.startupFill = std::min(figures.startupFill, TimedMessage(startup, WM_SENTREL_REFILL_PAGE));
  DeleteKeyTree(HKEY_CURRENT_USER, kDetectedKey);
  figures.open = TimedMessage(sheet, PSM_SETCURSEL, static_cast<WPARAM>(TabOfPage(IDC_CMD_SHOW_RECENT)));
  HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  for (int round = 0; round < 3; ++round)
    figures.refresh = std::min(figures.refresh, TimedMessage(page, WM_COMMAND, IDM_RECENT_REFRESH));
  MeasureRefill(figures.refill, figures.rows);
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  LoadOptions();
  StartBenchExplorer();
  std::vector<std::string> programs = VersionedSystemFiles("\\*.exe", 1024);
  const std::vector<std::string> libraries = VersionedSystemFiles("\\*.dll", 1024);
  programs.insert(programs.end(), libraries.begin(), libraries.end());
  if (programs.empty()) {
    std::printf("no program with a version resource in the system folder\n");
    return 1;
  }
  for (int i = 0; i < kEntries; ++i)
    WriteStringValue(HKEY_CURRENT_USER, kRun, ValueName(i).c_str(),
                     programs[static_cast<size_t>(i) % programs.size()].c_str());
  Figures figures;
  std::thread user(Measure, std::ref(figures));
  ShowSheet(IDC_CMD_SHOW_STARTUP);
  user.join();
  // Where a build's time goes: each area's enumeration, then the whole build.
  const std::pair<const char*, int (*)()> areas[] = {
      {"running programs", ListActiveTasks},
      {"startup programs", [] { return EnumerateStartupEntries(1); }},
      {"IE helpers", EnumerateIEHelpers},
      {"services", [] { return EnumerateServices(ServiceListing::Full); }},
      {"hidden files", [] { return ScanHiddenFiles(true); }},
      {"scheduled tasks", EnumerateTasks},
      {"ActiveX controls", [] { return EnumerateActiveX(false); }},
      {"the whole build", BuildRecentList},
  };
  for (const auto& [name, enumerate] : areas) {
    const LARGE_INTEGER start = BenchNow();
    const int count = enumerate();
    std::printf("  %-18s %5d items %.3f s\n", name, count, BenchSeconds(start, BenchNow()));
  }
  ClearRecentList();
  for (int i = 0; i < kEntries; ++i) DeleteValue(HKEY_CURRENT_USER, kRun, ValueName(i).c_str());
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");

  const double base = figures.startupFill;
  std::printf("rows listed: %d (%d planted, %zu distinct programs)\n", figures.rows, kEntries, programs.size());
  std::printf("Startup Programs page fill, same entries: %.2f s\n", base);
  std::printf("Recent, first opening, no first-seen dates: %.2f s (%.2f x, goal 2.5)\n", figures.open,
              figures.open / base);
  std::printf("Recent, Refresh (built from every area):    %.2f s (%.2f x, goal 1.5)\n", figures.refresh,
              figures.refresh / base);
  std::printf("Recent, refill from the kept list:          %.2f s (%.2f x, goal 1.25)\n", figures.refill,
              figures.refill / base);
  const bool met = figures.rows == kEntries && figures.open <= 2.5 * base && figures.refresh <= 1.5 * base &&
                   figures.refill <= 1.25 * base;
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  CoUninitialize();
  return met ? 0 : 2;
}
