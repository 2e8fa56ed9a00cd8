// Benchmark: the three reports over a loaded machine: 4,096 Run values
// pointing at versioned programs of the system folder, 300 IE helpers, 2,000
// ActiveX controls, 200 services and 50 hidden files among 5,000. Each
// report is written three times and the best is printed (goal: under 5 s).
#include <windows.h>

#include <objbase.h>
#include <algorithm>

#include <cstdio>
#include <string>
#include <vector>

#include "activex.h"
#include "bench_services.h"
#include "bench_sheet.h"
#include "delayed_start.h"
#include "file_types.h"
#include "fileid.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "processes.h"
#include "registry.h"
#include "report_common.h"
#include "settings.h"
#include "startup.h"
#include "tasks.h"

using namespace sentrel;

namespace {

constexpr int kEntries = 4096, kHelpers = 300, kControls = 2000, kFiles = 5000, kHidden = 50;
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Id(const char* prefix, int i) {
  char id[64];
  std::snprintf(id, sizeof id, "{%s-0000-4000-8000-%012d}", prefix, i);
  return id;
}
std::string ValueName(int i) { return "Bench Report " + std::to_string(i); }
std::string HiddenFolder() { return SystemFolder() + "\\snt_report_bench"; }
std::string HiddenFile(int i) { return HiddenFolder() + "\\file" + std::to_string(i) + ".dat"; }

void RegisterClassFor(const std::string& id, const std::string& file) {
  WriteStringValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str(), "", "Bench Class");
  WriteStringValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id + "\\InprocServer32").c_str(), "", file.c_str());
}

void Plant(const std::vector<std::string>& programs) {
  for (int i = 0; i < kEntries; ++i)
    WriteStringValue(i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kRunKey, ValueName(i).c_str(),
                     programs[static_cast<size_t>(i) % programs.size()].c_str());
  for (int i = 0; i < kHelpers; ++i) {
    const std::string id = Id("BE7C0000", i);
    RegisterClassFor(id, programs[static_cast<size_t>(i) % programs.size()]);
    CreateSettingsKey(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str());
  }
  for (int i = 0; i < kControls; ++i) {
    const std::string id = Id("AC7C0000", i);
    RegisterClassFor(id, programs[static_cast<size_t>(i) % programs.size()]);
    WriteDwordValue(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + id + "\\iexplore").c_str(), "Type", 1);
  }
  sentrel_bench::Plant();
  CreateDirectoryA(HiddenFolder().c_str(), nullptr);
  for (int i = 0; i < kFiles; ++i) {
    HANDLE file = CreateFileA(HiddenFile(i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              i % (kFiles / kHidden) == 0 ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(file);
  }
}

void Clean() {
  for (int i = 0; i < kEntries; ++i)
    DeleteValue(i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kRunKey, ValueName(i).c_str());
  for (int i = 0; i < kHelpers; ++i) {
    DeleteKeyTree(HKEY_CLASSES_ROOT, ("CLSID\\" + Id("BE7C0000", i)).c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + Id("BE7C0000", i)).c_str());
  }
  for (int i = 0; i < kControls; ++i) {
    DeleteKeyTree(HKEY_CLASSES_ROOT, ("CLSID\\" + Id("AC7C0000", i)).c_str());
    DeleteKeyTree(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + Id("AC7C0000", i)).c_str());
  }
  sentrel_bench::Clean();
  for (int i = 0; i < kFiles; ++i) {
    SetFileAttributesA(HiddenFile(i).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(HiddenFile(i).c_str());
  }
  RemoveDirectoryA(HiddenFolder().c_str());
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

void OpenNothing(const std::string&) {}

double Best(int (*report)()) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    const LARGE_INTEGER start = BenchNow();
    report();
    best = std::min(best, BenchSeconds(start, BenchNow()));
  }
  return best;
}

// The report log's nine enumerations alone, without writing anything.
int Enumerations() {
  EnumerateStartupEntries(0);
  ListDelayedEntries();
  ListActiveTasks();
  EnumerateTasks();
  EnumerateIEHelpers();
  EnumerateMonitoredTypes(true);
  EnumerateServices(ServiceListing::Full);
  ScanHiddenFiles(true);
  EnumerateActiveX(false);
  ClearCatalogueEntries();
  return 1;
}

int TextReportLog() {
  SetOption(kOptFormat, 1);
  const int result = WriteReportLog();
  SetOption(kOptFormat, 0);
  return result;
}

}  // namespace

int main() {
  StartBenchExplorer();
  CoInitialize(nullptr);
  SetReportOpener(OpenNothing);
  std::vector<std::string> programs = VersionedSystemFiles("\\*.exe", 1024);
  const std::vector<std::string> libraries = VersionedSystemFiles("\\*.dll", 1024);
  programs.insert(programs.end(), libraries.begin(), libraries.end());
  if (programs.empty()) {
    std::printf("no versioned programs in the system folder\n");
    return 1;
  }
  Clean();
  Plant(programs);
  LoadOptions();
  const int startup = EnumerateStartupEntries(0);
  std::printf("planted: %d startup entries over %zu programs, %d helpers, %d controls, %d services, %d hidden files\n",
              startup, programs.size(), kHelpers, kControls, sentrel_bench::kServices, kHidden);
  std::printf("its enumerations:  %.2f s\n", Best(Enumerations));
  std::printf("report log, HTML: %.2f s\n", Best(WriteReportLog));
  std::printf("report log, text: %.2f s\n", Best(TextReportLog));
  std::printf("spreadsheet:      %.2f s\n", Best(WriteSpreadsheet));
  std::printf("hijack log:       %.2f s\n", Best(WriteHijackLog));
  std::printf("(goal: each under 5 s)\n");
  for (const std::string& file : {ReportLogPath(), SpreadsheetPath(), HijackLogPath()}) DeleteFileA(file.c_str());
  SetOption(kOptFormat, 1);
  DeleteFileA(ReportLogPath().c_str());
  Clean();
  CoUninitialize();
  return 0;
}
