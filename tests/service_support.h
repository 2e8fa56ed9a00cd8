// Services made for a test: real ones through the Service Control Manager,
// and bare registry keys for what the manager would never write. Each is
// stopped and deleted again when it goes out of scope.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "test_support.h"

namespace sentrel_test {

constexpr const char* kServicesPath = "SYSTEM\\CurrentControlSet\\Services";

inline std::string ServiceKeyPath(const std::string& name) { return std::string(kServicesPath) + "\\" + name; }

// A service created with CreateServiceA.
class ScratchService {
 public:
  ScratchService(const std::string& name, const std::string& display, const std::string& command,
                 DWORD type = SERVICE_WIN32_OWN_PROCESS, DWORD start = SERVICE_DEMAND_START)
      : name_(name) {
    Remove(name);  // a leftover of an earlier run
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    SC_HANDLE service =
        CreateServiceA(manager, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_IGNORE,
                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    created_ = service != nullptr;
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }
  ~ScratchService() { Remove(name_); }
  ScratchService(const ScratchService&) = delete;
  ScratchService& operator=(const ScratchService&) = delete;

  bool created() const { return created_; }
  const std::string& name() const { return name_; }

  // Starts the service with one argument ("" for none) and waits until it runs.
  bool Start(const char* argument = "") {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, name_.c_str(), SERVICE_ALL_ACCESS) : nullptr;
    const char* arguments[] = {argument};
    bool running = service && StartServiceA(service, *argument ? 1 : 0, *argument ? arguments : nullptr);
    for (int i = 0; running && i < 100; ++i) {
      SERVICE_STATUS status{};
      if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING) break;
      Sleep(50);
    }
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return running;
  }

  // The current state as the manager keeps it (not by interrogation).
  DWORD State() const {
    SERVICE_STATUS status{};
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name_.c_str(), SERVICE_QUERY_STATUS) : nullptr;
    if (service) QueryServiceStatus(service, &status);
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return status.dwCurrentState;
  }

  // Stops (or ends the process of) a running service and deletes it.
  static void Remove(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS) : nullptr;
    if (service) {
      SERVICE_STATUS_PROCESS process{};
      DWORD needed = 0;
      if (QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof process,
                               &needed) &&
          process.dwCurrentState != SERVICE_STOPPED) {
        SERVICE_STATUS status{};
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        for (int i = 0; i < 40; ++i) {
          if (QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof process,
                                   &needed) &&
              process.dwCurrentState == SERVICE_STOPPED)
            break;
          Sleep(50);
        }
        if (process.dwCurrentState != SERVICE_STOPPED && process.dwProcessId)
          if (HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.dwProcessId)) {
            TerminateProcess(handle, 99);
            WaitForSingleObject(handle, 5000);
            CloseHandle(handle);
          }
      }
      DeleteService(service);
      CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
    RawDeleteTree(HKEY_LOCAL_MACHINE, ServiceKeyPath(name).c_str());
  }

 private:
  std::string name_;
  bool created_ = false;
};

// A service key written straight into the registry: the manager does not
// know it, so its display name comes from the key's DisplayName value.
class RawServiceKey {
 public:
  explicit RawServiceKey(const std::string& name) : path_(ServiceKeyPath(name)) {
    RawDeleteTree(HKEY_LOCAL_MACHINE, path_.c_str());
  }
  ~RawServiceKey() { RawDeleteTree(HKEY_LOCAL_MACHINE, path_.c_str()); }
  RawServiceKey(const RawServiceKey&) = delete;
  RawServiceKey& operator=(const RawServiceKey&) = delete;
  bool Text(const char* name, const std::string& text, DWORD type = REG_SZ) {
    return RawSet(HKEY_LOCAL_MACHINE, path_.c_str(), name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  bool Dword(const char* name, DWORD value) {
    return RawSet(HKEY_LOCAL_MACHINE, path_.c_str(), name, REG_DWORD, &value, sizeof value);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline DWORD RawDword(HKEY root, const char* path, const char* name) {
  RawValue value = RawGet(root, path, name);
  DWORD number = 0;
  if (value.type == REG_DWORD && value.data.size() == sizeof number)
    std::memcpy(&number, value.data.data(), sizeof number);
  return value.type == REG_DWORD ? number : 0xFFFFFFFF;
}

}  // namespace sentrel_test
