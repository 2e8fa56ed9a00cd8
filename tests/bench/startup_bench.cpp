// Benchmark: plants 1,000 Run values across the Run keys and 100 Startup
// folder shortcuts, then times EnumerateStartupEntries(0) plus
// StartupBaselineChanged against a floor measured in the same run: the bare
// reads of the same data (value enumeration, shortcut loads and version
// resource reads of the same files). Prints the ratio.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "catalogue.h"
#include "fileid.h"
#include "monitor.h"
#include "patrol.h"
#include "registry.h"
#include "settings.h"
#include "startup.h"

using namespace sentrel;

namespace {

const char* const kKeys[] = {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"};
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::vector<std::string> Targets() {
  // Real files with version resources, so that every entry reads one.
  std::vector<std::string> files;
  const std::string system = SystemFolder();
  for (const char* name : {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
                           "comctl32.dll", "version.dll", "winmm.dll", "shlwapi.dll"})
    files.push_back(system + "\\" + name);
  return files;
}

void Plant(const std::string& folder) {
  std::vector<std::string> targets = Targets();
  for (int i = 0; i < 1000; ++i) {
    HKEY root = i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    char name[32];
    std::snprintf(name, sizeof name, "Bench%04d", i);
    std::string command = targets[i % targets.size()] + " /n" + std::to_string(i);
    WriteStringValue(root, kKeys[i % 3], name, command.c_str());
  }
  for (int i = 0; i < 100; ++i) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
      continue;
    link->SetPath(targets[i % targets.size()].c_str());
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      wchar_t wide[MAX_PATH];
      std::string file = folder + "\\bench" + std::to_string(i) + ".lnk";
      MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
      persist->Save(wide, TRUE);
      persist->Release();
    }
    link->Release();
  }
}

void Clean(const std::string& folder) {
  for (int i = 0; i < 1000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Bench%04d", i);
    DeleteValue(i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kKeys[i % 3], name);
  }
  for (int i = 0; i < 100; ++i) DeleteFileA((folder + "\\bench" + std::to_string(i) + ".lnk").c_str());
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

// The bare reads: every value's name and data, every shortcut loaded and
// resolved, and the version block of each file the entries name.
int Floor(const std::string& folder) {
  int reads = 0;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    for (const char* path : kKeys) {
      RegKey key;
      if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) continue;
      for (DWORD index = 0;; ++index) {
        char name[512];
        BYTE data[512];
        DWORD nameLength = sizeof name, dataLength = sizeof data, type;
        if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
          break;
        VersionFields fields;
        ReadVersionInfo(NormalizeFilePath(reinterpret_cast<char*>(data)).c_str(), fields);
        ++reads;
      }
    }
  for (int i = 0; i < 100; ++i) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
      continue;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      wchar_t wide[MAX_PATH];
      std::string file = folder + "\\bench" + std::to_string(i) + ".lnk";
      MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
      if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
        link->Resolve(nullptr, SLR_NO_UI | (8000 << 16));
        char target[MAX_PATH];
        link->GetPath(target, sizeof target, nullptr, 0);
        VersionFields fields;
        ReadVersionInfo(target, fields);
        ++reads;
      }
      persist->Release();
    }
    link->Release();
  }
  return reads;
}

// One option read, for scale.
double RegistryReadMicroseconds() {
  const int reads = 1000;
  LARGE_INTEGER start = BenchNow();
  for (int i = 0; i < reads; ++i) ReadOption("Start", 2);
  return BenchSeconds(start, BenchNow()) / reads * 1e6;
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  Process().kind = ProgramKind::Monitor;
  LoadOptions();
  char folder[MAX_PATH] = "";
  ReadStringValue(HKEY_CURRENT_USER, kShellFolders, "Startup", folder, sizeof folder);
  CreateDirectoryA(folder, nullptr);
  Plant(folder);
  InitRegStartups();

  const int rounds = 3;
  double floor = 1e9, measured = 1e9;
  int entries = 0, reads = 0, changed = 0;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER start = BenchNow();
    reads = Floor(folder);
    LARGE_INTEGER middle = BenchNow();
    entries = EnumerateStartupEntries(0);
    changed = StartupBaselineChanged();
    LARGE_INTEGER end = BenchNow();
    floor = std::min(floor, BenchSeconds(start, middle));
    measured = std::min(measured, BenchSeconds(middle, end));
  }
  std::printf("entries %d (floor read %d), baseline changed %d\n", entries, reads, changed);
  std::printf("floor %.3f s, enumeration + baseline check %.3f s, ratio %.2f\n", floor, measured, measured / floor);

  // The patrol's check of the startup area when every entry is known.
  double patrol = 1e9;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER start = BenchNow();
    CheckStartupPrograms();
    patrol = std::min(patrol, BenchSeconds(start, BenchNow()));
  }
  std::printf("startup-area patrol over known entries %.3f s, ratio %.2f to the floor\n", patrol, patrol / floor);

  // Ticks on which no patrol is due and no check was asked for: counters only.
  const int idleTicks = 15 * 10000;
  LARGE_INTEGER start = BenchNow();
  for (int i = 0; i < idleTicks; ++i) {
    if (i % 15 == 0) Patrol().tickCounter = 0;
    PatrolTick();
  }
  const double idle = BenchSeconds(start, BenchNow());
  std::printf("idle tick %.3f microseconds (a single registry read costs %.1f)\n", idle / idleTicks * 1e6,
              RegistryReadMicroseconds());
  Clean(folder);
  CoUninitialize();
  return 0;
}
