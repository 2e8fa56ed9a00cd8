// Benchmark: 300 IE helpers (helper objects, toolbars, extensions) and 2,000
// ActiveX controls used by the browser, all of them known to the baselines,
// served by the system folder's programs (each with its version resource).
// Times one IE-helpers check and one ActiveX check of the patrol against a
// floor measured in the same run: the bare reads of the same data (the keys
// and values each item is read from, its version resource, its baseline
// value). Then times the ActiveX page's fill. Prints the ratios and figures
// against the goals: a check within 1.5 times its floor, a fill within 1 s.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "activex.h"
#include "addon_checks.h"
#include "bench_sheet.h"
#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "ie_helpers.h"
#include "monitor.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "sheet.h"
#include "strings.h"

using namespace sentrel;

namespace {

constexpr int kHelpers = 300;
constexpr int kControls = 2000;

std::string HelperId(int i) {
  char id[64];
  std::snprintf(id, sizeof id, "{BE7C0000-0000-4000-8000-%012d}", i);
  return id;
}
std::string ControlId(int i) {
  char id[64];
  std::snprintf(id, sizeof id, "{AC7C0000-0000-4000-8000-%012d}", i);
  return id;
}

void RegisterClassFor(const std::string& id, const std::string& name, const std::string& file) {
  WriteStringValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str(), "", name.c_str());
  WriteStringValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id + "\\InprocServer32").c_str(), "", file.c_str());
}

void Plant(const std::vector<std::string>& files) {
  for (int i = 0; i < kHelpers; ++i) {
    const std::string id = HelperId(i), file = files[static_cast<size_t>(i) % files.size()];
    switch (i % 3) {
      case 0:
        RegisterClassFor(id, "Bench Helper", file);
        CreateSettingsKey(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str());
        break;
      case 1:
        RegisterClassFor(id, "Bench Toolbar", file);
        WriteStringValue(HKEY_LOCAL_MACHINE, kToolbarKey, id.c_str(), "");
        break;
      default: {
        const std::string key = std::string(kExtensionsKey) + "\\" + id;
        WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "ButtonText", ("Bench Button " + std::to_string(i)).c_str());
        WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "Exec", file.c_str());
        WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "HotIcon", "hot.ico");
      }
    }
  }
  for (int i = 0; i < kControls; ++i) {
    const std::string id = ControlId(i);
    RegisterClassFor(id, "Bench Control " + std::to_string(i), files[static_cast<size_t>(i) % files.size()]);
    WriteDwordValue(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + id + "\\iexplore").c_str(), "Type", 1);
    if (i % 4 == 0)
      WriteDwordValue(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + id).c_str(),
                      "Compatibility Flags", 0);
  }
}

void Clean() {
  for (int i = 0; i < kHelpers; ++i) {
    const std::string id = HelperId(i);
    DeleteKeyTree(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(kExtensionsKey) + "\\" + id).c_str());
    DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, id.c_str());
  }
  for (int i = 0; i < kControls; ++i) {
    const std::string id = ControlId(i);
    DeleteKeyTree(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
    DeleteKeyTree(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + id).c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + id).c_str());
  }
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

// The bare reads of one class: its name, its server file and that file's
// version resource.
void ReadClass(const std::string& id) {
  char text[1024];
  ReadStringValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str(), "", text, sizeof text);
  ReadStringValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id + "\\InprocServer32").c_str(), "", text, sizeof text);
  VersionFields fields;
  ReadVersionInfo(text, fields);
}

std::vector<std::string> Subkeys(HKEY root, const char* path) {
  std::vector<std::string> names;
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(name);
  }
  return names;
}

int HelpersFloor() {
  int reads = 0;
  char text[1024];
  RegKey baseline;
  baseline.Open(HKEY_CURRENT_USER, kIEHelperBaselineKey, KEY_READ);
  for (const std::string& id : Subkeys(HKEY_LOCAL_MACHINE, kBrowserHelpersKey)) {
    ReadClass(id);
    ReadStringValueFrom(baseline.get(), "Bench Helper", text, sizeof text);
    ++reads;
  }
  RegKey toolbars;
  toolbars.Open(HKEY_LOCAL_MACHINE, kToolbarKey, KEY_READ);
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumValueA(toolbars.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ReadClass(name);
    ReadStringValueFrom(baseline.get(), "Bench Toolbar", text, sizeof text);
    ++reads;
  }
  for (const std::string& id : Subkeys(HKEY_LOCAL_MACHINE, kExtensionsKey)) {
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, (std::string(kExtensionsKey) + "\\" + id).c_str(), KEY_READ) != ERROR_SUCCESS)
      continue;
    for (const char* name : {"ButtonText", "script", "HotIcon", "Exec"})
      ReadStringValueFrom(key.get(), name, text, sizeof text);
    VersionFields fields;
    ReadVersionInfo(text, fields);
    ReadStringValueFrom(baseline.get(), "Bench Button", text, sizeof text);
    ++reads;
  }
  return reads;
}

int ControlsFloor() {
  int reads = 0;
  char text[1024];
  RegKey baseline;
  baseline.Open(HKEY_CURRENT_USER, kActiveXBaselineKey, KEY_READ);
  for (const std::string& id : Subkeys(HKEY_CURRENT_USER, kActiveXStatsKey)) {
    ReadDwordValue(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + id + "\\iexplore").c_str(), "Type");
    ReadClass(id);
    ReadDwordValue(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + id).c_str(),
                   "Compatibility Flags");
    ReadStringValueFrom(baseline.get(), id.c_str(), text, sizeof text);
    ++reads;
  }
  return reads;
}

template <typename Fn>
double Best(Fn fn, int* result = nullptr) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    LARGE_INTEGER start = BenchNow();
    const int value = fn();
    best = std::min(best, BenchSeconds(start, BenchNow()));
    if (result) *result = value;
  }
  return best;
}

struct PageFigures {
  int rows = 0;
  double firstFill = 0, fill = 0;
};

// Runs on a thread of its own while the sheet's thread shows the page.
void MeasurePage(PageFigures& figures) {
  HWND sheet = nullptr;
  HWND page = WaitForSheetPage(&sheet);
  if (!page) return;
  DeleteKeyTree(HKEY_CURRENT_USER, (std::string(kDetectedKey) + "\\ActiveX").c_str());
  figures.firstFill = TimedMessage(page, WM_SENTREL_REFILL_PAGE);
  std::vector<double> fills;
  for (int round = 0; round < 3; ++round) fills.push_back(TimedMessage(page, WM_SENTREL_REFILL_PAGE));
  std::sort(fills.begin(), fills.end());
  figures.fill = fills[0];  // the best of three, as for the checks: the machine is shared
  figures.rows = PageRows(page);
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  Process().kind = ProgramKind::Monitor;
  LoadOptions();
  const std::vector<std::string> files = VersionedSystemFiles("\\*.dll", 60);
  if (files.empty()) {
    std::printf("no library with a version resource in the system folder\n");
    return 1;
  }
  Plant(files);
  InitIEHelperBaseline();
  CreateActiveXBaseline();

  int helperReads = 0, controlReads = 0, helpers = 0, controls = 0;
  const double helperFloor = Best(HelpersFloor, &helperReads);
  const double helperCheck = Best(CheckIEHelpers);
  helpers = EnumerateIEHelpers();
  const double controlFloor = Best(ControlsFloor, &controlReads);
  const double controlCheck = Best(CheckActiveX);
  controls = EnumerateActiveX(false);
  ClearCatalogueEntries();
  std::printf("IE helpers listed %d (floor read %d), %zu distinct files\n", helpers, helperReads, files.size());
  std::printf("IE-helpers check %.3f s, floor %.3f s, ratio %.2f (goal 1.5)\n", helperCheck, helperFloor,
              helperCheck / helperFloor);
  std::printf("ActiveX controls listed %d (floor read %d)\n", controls, controlReads);
  std::printf("ActiveX check %.3f s, floor %.3f s, ratio %.2f (goal 1.5)\n", controlCheck, controlFloor,
              controlCheck / controlFloor);

  StartBenchExplorer();
  PageFigures page;
  std::thread user(MeasurePage, std::ref(page));
  ShowSheet(IDC_CMD_SHOW_ACTIVEX);
  user.join();
  Clean();
  std::printf("ActiveX page rows %d; fill, no first-seen dates yet: %.2f s; fill (best of 3): %.2f s (goal 1 s)\n",
              page.rows, page.firstFill, page.fill);
  const bool met = helperCheck <= 1.5 * helperFloor && controlCheck <= 1.5 * controlFloor && page.fill <= 1.0 &&
                   page.rows >= kControls;
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  CoUninitialize();
  return met ? 0 : 2;
}
