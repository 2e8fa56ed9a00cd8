// SENTRELX.DLL: notices when the set of running processes changes and posts
// message 9024 to the monitor's window, at most once per timer period. The
// watcher thread never touches the monitor's state: the posted message is
// its only contact.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "resource.h"

namespace {

constexpr DWORD kPeriodMs = 2000;  // the monitor's timer period

HANDLE g_thread = nullptr;
HANDLE g_stop = nullptr;
HWND g_monitor = nullptr;

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The ids of the running processes, sorted; empty when they cannot be read.
// Tool Help where it exists (Windows 95 on, NT from 2000), PSAPI on NT 4.
std::vector<DWORD> RunningProcesses() {
  std::vector<DWORD> ids;
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  auto snapshot = Lookup<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
  auto first = Lookup<ProcessWalkFn>(kernel, "Process32First");
  auto next = Lookup<ProcessWalkFn>(kernel, "Process32Next");
  if (snapshot && first && next) {
    HANDLE handle = snapshot(TH32CS_SNAPPROCESS, 0);
    if (handle != INVALID_HANDLE_VALUE) {
      PROCESSENTRY32 entry{};
      entry.dwSize = sizeof entry;
      for (BOOL more = first(handle, &entry); more; more = next(handle, &entry)) ids.push_back(entry.th32ProcessID);
      CloseHandle(handle);
    }
  } else if (HMODULE psapi = LoadLibraryA("PSAPI.DLL")) {
    if (auto enumProcesses = Lookup<EnumProcessesFn>(psapi, "EnumProcesses")) {
      ids.resize(1024);
      DWORD bytes = 0;
      if (enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes))
        ids.resize(bytes / sizeof(DWORD));
      else
        ids.clear();
    }
    FreeLibrary(psapi);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

DWORD WINAPI Watch(LPVOID) {
  std::vector<DWORD> known = RunningProcesses();
  // Sleeps on the stop event between looks: one look per timer period, and
  // so at most one request per period.
  while (WaitForSingleObject(g_stop, kPeriodMs) == WAIT_TIMEOUT) {
    std::vector<DWORD> now = RunningProcesses();
    if (now.empty() || now == known) continue;
    known.swap(now);
    PostMessageA(g_monitor, WM_SENTREL_PROCESSES_CHANGED, 0, 0);
  }
  return 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) int __cdecl CompanionStart(HWND monitor) {
  if (g_thread || !monitor) return 0;
  g_monitor = monitor;
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!g_stop) return 0;
  DWORD id = 0;
  g_thread = CreateThread(nullptr, 0, Watch, nullptr, 0, &id);
  if (!g_thread) {
    CloseHandle(g_stop);
    g_stop = nullptr;
    return 0;
  }
  return 1;
}

__declspec(dllexport) int __cdecl CompanionStop() {
  if (!g_thread) return 0;
  SetEvent(g_stop);
  WaitForSingleObject(g_thread, INFINITE);
  CloseHandle(g_thread);
  CloseHandle(g_stop);
  g_thread = g_stop = nullptr;
  g_monitor = nullptr;
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
