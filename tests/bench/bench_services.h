// The 200 services the services benchmarks install through the Service
// Control Manager: own programs and svchost-hosted libraries of the system
// folder, each file with a version resource.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "fileid.h"
#include "registry.h"
#include "services.h"

namespace sentrel_bench {

using namespace sentrel;

constexpr int kServices = 200;
inline std::string ServiceName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "BenchSvc%03d", i);
  return name;
}

inline void Remove(SC_HANDLE manager, const std::string& name) {
  if (SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS)) {
    DeleteService(service);
    CloseServiceHandle(service);
  }
  DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(kServicesKey) + "\\" + name).c_str());
}

inline int Plant() {
  const std::vector<std::string> exes = VersionedSystemFiles("\\*.exe", 100),
                                 dlls = VersionedSystemFiles("\\*.dll", 100);
  if (exes.empty() || dlls.empty()) return 0;
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return 0;
  int made = 0;
  for (int i = 0; i < kServices; ++i) {
    const std::string name = ServiceName(i);
    Remove(manager, name);
    const bool hosted = i % 2 != 0;
    const std::string command = hosted ? SystemFolder() + "\\svchost.exe -k benchgroup"
                                       : "\"" + exes[static_cast<size_t>(i) % exes.size()] + "\" -service";
    char display[64];
    std::snprintf(display, sizeof display, "Bench Service %03d", i);
    SC_HANDLE service =
        CreateServiceA(manager, name.c_str(), display, SERVICE_ALL_ACCESS,
                       hosted ? SERVICE_WIN32_SHARE_PROCESS : SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                       SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service) continue;
    CloseServiceHandle(service);
    ++made;
    const std::string key = std::string(kServicesKey) + "\\" + name;
    WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "Description", "A service planted by the benchmark");
    if (hosted)
      WriteStringValue(HKEY_LOCAL_MACHINE, (key + "\\Parameters").c_str(), "ServiceDll",
                       dlls[static_cast<size_t>(i) % dlls.size()].c_str());
  }
  CloseServiceHandle(manager);
  return made;
}

inline void Clean() {
  if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
    for (int i = 0; i < kServices; ++i) Remove(manager, ServiceName(i));
    CloseServiceHandle(manager);
  }
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

}  // namespace sentrel_bench
