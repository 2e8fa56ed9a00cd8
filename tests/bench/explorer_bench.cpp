// Benchmark: the Startup Programs page with 4,096 planted startup entries
// pointing at the system folder's real programs (each with its version
// resource and icon). Times a fill of the page with no first-seen dates yet
// (every date recorded), a fill with them, and sorts by Title and by Company
// (three clicks each); prints the figures against the goals: a fill within
// 2 s, a Company sort within twice a Title sort.
#include <windows.h>

#include <commctrl.h>
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
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "sheet.h"
#include "startup.h"
#include "strings.h"

using namespace sentrel;

namespace {

constexpr int kEntries = 4096;
const char* const kKeys[] = {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"};

// Program files of the system folder that carry a version resource.
std::vector<std::string> Programs() {
  std::vector<std::string> files = VersionedSystemFiles("\\*.exe", 1024);
  const std::vector<std::string> libraries = VersionedSystemFiles("\\*.dll", 1024);
  files.insert(files.end(), libraries.begin(), libraries.end());
  return files;
}

std::string ValueName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "Bench Program %04d", i);
  return name;
}

void Plant(const std::vector<std::string>& programs) {
  for (int i = 0; i < kEntries; ++i)
    WriteStringValue(i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kKeys[i % 3], ValueName(i).c_str(),
                     programs[static_cast<size_t>(i) % programs.size()].c_str());
}

void Clean() {
  for (int i = 0; i < kEntries; ++i)
    DeleteValue(i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kKeys[i % 3], ValueName(i).c_str());
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

struct Figures {
  int rows = 0;
  double firstFill = 0, fill = 0, titleSort = 0, companySort = 0;
};

// Runs on a thread of its own while the sheet's thread shows the page.
void Measure(Figures& figures) {
  HWND sheet = nullptr;
  HWND page = WaitForSheetPage(&sheet);
  if (!page) return;
  DeleteKeyTree(HKEY_CURRENT_USER, (std::string(kDetectedKey) + "\\" + FirstSeenArea(1)).c_str());
  figures.firstFill = TimedMessage(page, WM_SENTREL_REFILL_PAGE, 0, 0);
  std::vector<double> fills;
  for (int round = 0; round < 3; ++round) fills.push_back(TimedMessage(page, WM_SENTREL_REFILL_PAGE, 0, 0));
  figures.fill = Median(fills);
  figures.rows = PageRows(page);

  auto sortBy = [page](int column) {
    std::vector<double> clicks;
    for (int round = 0; round < 3; ++round) {
      NMLISTVIEW click{};
      click.hdr.hwndFrom = GetDlgItem(page, IDC_PAGE_LIST);
      click.hdr.idFrom = IDC_PAGE_LIST;
      click.hdr.code = LVN_COLUMNCLICK;
      click.iSubItem = column;
      clicks.push_back(TimedMessage(page, WM_NOTIFY, IDC_PAGE_LIST, reinterpret_cast<LPARAM>(&click)));
    }
    return Median(clicks);
  };
  figures.titleSort = sortBy(0);
  figures.companySort = sortBy(2);
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  LoadOptions();
  StartBenchExplorer();

  const std::vector<std::string> programs = Programs();
  if (programs.empty()) {
    std::printf("no program with a version resource in the system folder\n");
    return 1;
  }
  Plant(programs);
  Figures figures;
  std::thread user(Measure, std::ref(figures));
  ShowSheet(IDC_CMD_SHOW_STARTUP);
  user.join();
  Clean();

  std::printf("rows listed: %d (%d planted, %zu distinct programs)\n", figures.rows, kEntries, programs.size());
  std::printf("fill, no first-seen dates yet: %.2f s\n", figures.firstFill);
  std::printf("fill:                          %.2f s (goal 2 s)\n", figures.fill);
  std::printf("sort by Title:                 %.3f s\n", figures.titleSort);
  std::printf("sort by Company:               %.3f s (%.2f x Title, goal 2)\n", figures.companySort,
              figures.titleSort > 0 ? figures.companySort / figures.titleSort : 0.0);
  const bool met = figures.rows >= kEntries && figures.fill <= 2.0 && figures.firstFill <= 2.0 &&
                   figures.companySort <= 2 * figures.titleSort;
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  return met ? 0 : 2;
}
