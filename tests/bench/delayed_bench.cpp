// Benchmark: 100 delayed-start programs (all seven values each), none due.
// Times one launcher step (LaunchDelayedEntries, as the monitor's tick calls
// it) against a floor measured in the same run: the bare reads of the seven
// keys of the store once (every value's name and data); then fills of the
// Delayed Start page. Prints the figures against the goals: a step no
// dearer than the floor, a fill within 1 s.
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
#include "delayed_start.h"
#include "explorer.h"
#include "fileid.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "sheet.h"
#include "strings.h"

using namespace sentrel;

namespace {

constexpr int kEntries = 100;

// Every value of the store's keys read once, name and data.
int BareReads() {
  int read = 0;
  std::vector<std::string> keys = {kDelayKey};
  for (const char* sub : {"Title", "Time", "Parameters", "Shortcuts", "Applet", "OpenAs"})
    keys.push_back(std::string(kDelayKey) + "\\" + sub);
  for (const std::string& path : keys) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    for (DWORD index = 0;; ++index) {
      char name[260], data[1024];
      DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
      if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataLength) !=
          ERROR_SUCCESS)
        break;
      ++read;
    }
    RegCloseKey(key);
  }
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
  DeleteKeyTree(HKEY_CURRENT_USER, kDelayKey);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kDelayKey);
  for (int i = 0; i < kEntries; ++i) {
    // Distinct names: the same programs under numbered folders past the 40th.
    std::string program = programs[static_cast<size_t>(i) % programs.size()];
    if (i >= static_cast<int>(programs.size())) program.insert(program.rfind('\\'), "\\copy" + std::to_string(i));
    std::string name = program;
    CharUpperBuffA(&name[0], static_cast<DWORD>(name.size()));
    const std::string key = kDelayKey;
    WriteStringValue(HKEY_CURRENT_USER, key.c_str(), name.c_str(), "11");
    WriteStringValue(HKEY_CURRENT_USER, (key + "\\Title").c_str(), name.c_str(),
                     ("Delayed " + std::to_string(i)).c_str());
    WriteStringValue(HKEY_CURRENT_USER, (key + "\\Time").c_str(), name.c_str(), "3600");  // never due below
    WriteStringValue(HKEY_CURRENT_USER, (key + "\\Parameters").c_str(), name.c_str(), " -quiet");
    WriteStringValue(HKEY_CURRENT_USER, (key + "\\Shortcuts").c_str(), name.c_str(), "");
    WriteStringValue(HKEY_CURRENT_USER, (key + "\\Applet").c_str(), name.c_str(), "");
    WriteStringValue(HKEY_CURRENT_USER, (key + "\\OpenAs").c_str(), name.c_str(), "0");
  }

  int bareRead = BareReads();  // once to warm the caches both measurements use
  const double floor = MedianOf(21, [&bareRead] { bareRead = BareReads(); });
  int started = -1, step = 0;
  const double launch = MedianOf(21, [&started, &step] { started = LaunchDelayedEntries(10 * ++step); });
  const int counted = CountDelayedEntries();

  Figures figures;
  std::thread user(MeasureRefill, std::ref(figures.fill), std::ref(figures.rows), 5);
  ShowSheet(IDC_CMD_SHOW_DELAY);
  user.join();
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");

  std::printf("delayed entries: %d, values read bare: %d, rows on the page: %d\n", counted, bareRead, figures.rows);
  std::printf("floor (the seven keys read once): %.5f s\n", floor);
  std::printf("one launcher step, none due:      %.5f s (%.2f x the floor, goal 1)\n", launch,
              floor > 0 ? launch / floor : 0.0);
  std::printf("page fill:                        %.3f s (goal 1 s)\n", figures.fill);
  const bool met =
      started == 0 && counted == kEntries && figures.rows == kEntries && launch <= floor && figures.fill <= 1.0;
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  return met ? 0 : 2;
}
