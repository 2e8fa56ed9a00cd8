// Benchmark: the cost of one process count watch with about 100 processes
// running, against one version-resource read per running program file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "catalogue.h"
#include "fileid.h"
#include "processes.h"
#include "settings.h"

using namespace sentrel;

namespace {
bool CollectPath(DWORD, WORD, const char* path, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(path ? path : "");
  return true;
}
}  // namespace

int main() {
  Process().kind = ProgramKind::Monitor;
  LoadOptions();
  std::vector<PROCESS_INFORMATION> started;
  const std::string notepad = WindowsFolder() + "\\notepad.exe";
  for (int i = 0; i < 100; ++i) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    std::string command = "\"" + notepad + "\"";
    if (CreateProcessA(notepad.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
      started.push_back(info);
  }
  Sleep(3000);
  std::vector<std::string> paths;
  EnumerateProcesses(CollectPath, &paths);

  bool changed = false;
  WatchProcessCount(&changed);  // the first look fills what later looks reuse
  double watch = 1e9, floor = 1e9;
  for (int round = 0; round < 5; ++round) {
    LARGE_INTEGER a = BenchNow();
    WatchProcessCount(&changed);
    LARGE_INTEGER b = BenchNow();
    for (const std::string& path : paths) {
      VersionFields fields;
      ReadVersionInfo(path.c_str(), fields);
    }
    LARGE_INTEGER c = BenchNow();
    watch = std::min(watch, BenchSeconds(a, b));
    floor = std::min(floor, BenchSeconds(b, c));
  }
  std::printf("processes %zu; one watch %.1f ms; one version read per process %.1f ms; ratio %.2f\n", paths.size(),
              watch * 1000, floor * 1000, watch / floor);
  for (PROCESS_INFORMATION& info : started) {
    TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  return 0;
}
