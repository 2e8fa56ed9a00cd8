// SENTRELX.DLL: notices when the set of running processes changes, and when a
// registry key or folder of a watched area changes, and posts message 9024
// to the monitor's window. The watcher thread never touches the monitor's
// state: the posted message is its only contact.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "companion_changes.h"
#include "fileid.h"
#include "library.h"
#include "registry.h"
#include "resource.h"

namespace {

using namespace sentrel;

constexpr DWORD kPeriodMs = 2000;  // the monitor's timer period
// Changes are gathered this long after the first before one request goes
// out: an installer writing fifty values makes one request, not fifty.
constexpr DWORD kSettleMs = 250;
// Watches that could not be set (a folder that does not exist yet) are
// tried again every this many periods.
constexpr int kReviveLooks = 15;
// More signals than this from one watch in one period is not a burst any
// more but a watch that fires by itself: it rests until the next revival.
constexpr int kMostSignalsPerPeriod = 200;

HANDLE g_thread = nullptr;
HANDLE g_stop = nullptr;
HWND g_monitor = nullptr;

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using NotifyKeyFn = LONG(WINAPI*)(HKEY, BOOL, DWORD, HANDLE, BOOL);
using FirstChangeFn = HANDLE(WINAPI*)(LPCSTR, BOOL, DWORD);
using NextChangeFn = BOOL(WINAPI*)(HANDLE);
using CloseChangeFn = BOOL(WINAPI*)(HANDLE);

// The ids of the running processes, sorted; empty when they cannot be read.
// Tool Help where it exists (Windows 95 on, NT from 2000), PSAPI on NT 4.
std::vector<DWORD> RunningProcesses() {
  std::vector<DWORD> ids;
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  auto snapshot = FunctionOf<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
  auto first = FunctionOf<ProcessWalkFn>(kernel, "Process32First");
  auto next = FunctionOf<ProcessWalkFn>(kernel, "Process32Next");
  if (snapshot && first && next) {
    HANDLE handle = snapshot(TH32CS_SNAPPROCESS, 0);
    if (handle != INVALID_HANDLE_VALUE) {
      PROCESSENTRY32 entry{};
      entry.dwSize = sizeof entry;
      for (BOOL more = first(handle, &entry); more; more = next(handle, &entry)) ids.push_back(entry.th32ProcessID);
      CloseHandle(handle);
    }
  } else if (HMODULE psapi = LoadLibraryA("PSAPI.DLL")) {
    if (auto enumProcesses = FunctionOf<EnumProcessesFn>(psapi, "EnumProcesses")) {
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

// An event handle, closed when it goes.
class Event {
 public:
  Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() {
    if (handle_) CloseHandle(handle_);
  }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// One watched key. Its parent is watched on the same event for the key's
// deletion (not every system signals a deleted key's own watchers). While
// the key does not exist, its nearest existing parent is watched for new
// subkeys instead, so that the key is watched again as soon as it is created.
struct KeyWatch {
  HKEY root;
  std::string path;
  bool subtree;
  DWORD filter;
  unsigned area;
  RegKey key;     // the key, or its nearest existing parent while it is missing
  RegKey parent;  // the key's parent, while the key exists
  bool onParent = false;
  bool armed = false;
  int signals = 0;  // in the current period
  Event event;
};

// One watched folder (FindFirstChangeNotification).
struct FolderWatch {
  std::string folder;
  DWORD filter;
  unsigned area;
  bool subtree;
  HANDLE handle = INVALID_HANDLE_VALUE;
  int signals = 0;
};

struct WatchedKey {
  HKEY root;
  const char* path;
  bool subtree;
  DWORD filter;
  unsigned area;
  bool bothViews;  // a machine key that 32-bit programs see in a view of their own
};

constexpr DWORD kValuesAndKeys = REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME;

// The keys of the areas that can be brought forward. Hidden files are left
// to the patrol: their walk covers the temporary folders, whose churn
// would ask for a check all the time.
const WatchedKey kKeys[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", false, kValuesAndKeys, kChangedStartup,
     true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true, kValuesAndKeys, kChangedStartup,
     true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", true, kValuesAndKeys,
     kChangedStartup, true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", false, kValuesAndKeys,
     kChangedStartup, true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", false, kValuesAndKeys,
     kChangedStartup, true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run", false, kValuesAndKeys,
     kChangedStartup, true},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", false, kValuesAndKeys, kChangedStartup,
     false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true, kValuesAndKeys, kChangedStartup,
     false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", true, kValuesAndKeys,
     kChangedStartup, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", false, kValuesAndKeys,
     kChangedStartup, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", false, kValuesAndKeys,
     kChangedStartup, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run", false, kValuesAndKeys,
     kChangedStartup, false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true, kValuesAndKeys,
     kChangedStartup, false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", false, kValuesAndKeys,
     kChangedStartup, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", false, kValuesAndKeys,
     kChangedStartup, false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", false,
     kValuesAndKeys, kChangedStartup, false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", false,
     kValuesAndKeys, kChangedStartup, false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks", false,
     kValuesAndKeys, kChangedStartup, false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects", true,
     kValuesAndKeys, kChangedIEHelpers, true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Toolbar", false, kValuesAndKeys, kChangedIEHelpers,
     true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Extensions", true, kValuesAndKeys, kChangedIEHelpers,
     true},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility", true, kValuesAndKeys,
     kChangedActiveX, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats", true, kValuesAndKeys,
     kChangedActiveX, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", false, REG_NOTIFY_CHANGE_LAST_SET,
     kChangedStartPage, false},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Main", false, REG_NOTIFY_CHANGE_LAST_SET,
     kChangedStartPage, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0", false,
     REG_NOTIFY_CHANGE_LAST_SET, kChangedStartPage, false},
    {HKEY_LOCAL_MACHINE, "Software\\Classes", true, kValuesAndKeys, kChangedFileTypes, false},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts", true, kValuesAndKeys,
     kChangedFileTypes, false},
    // Services write their own state below their keys all the time: only a
    // service added or deleted counts.
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", false, REG_NOTIFY_CHANGE_NAME, kChangedServices, false},
};

constexpr DWORD kFolderFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;

// The path up to its last backslash; "" for a path of one part.
std::string ParentPath(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class Watcher {
 public:
  Watcher() {
    HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
    notify_ = FunctionOf<NotifyKeyFn>(advapi, "RegNotifyChangeKeyValue");
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    firstChange_ = FunctionOf<FirstChangeFn>(kernel, "FindFirstChangeNotificationA");
    nextChange_ = FunctionOf<NextChangeFn>(kernel, "FindNextChangeNotification");
    closeChange_ = FunctionOf<CloseChangeFn>(kernel, "FindCloseChangeNotification");
    // Without key notifications nothing is watched but the processes, as
    // before. The 95/98/Me family is told by its version, not by the call:
    // a system that lends it the name may still not keep its promise.
    if (notify_ && IsNtFamily()) AddKeys();
    if (!notify_ || !keysWork_) keys_.clear();
    if (!keys_.empty() && firstChange_ && nextChange_ && closeChange_) AddFolders();
  }
  ~Watcher() {
    for (FolderWatch& folder : folders_) CloseFolder(folder);
  }
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // The handles to wait on, after the stop event; the same order Serve takes.
  void Handles(std::vector<HANDLE>& handles, std::vector<int>& owners) const {
    for (size_t i = 0; i < keys_.size(); ++i)
      if (keys_[i]->armed && handles.size() < MAXIMUM_WAIT_OBJECTS) {
        handles.push_back(keys_[i]->event.get());
        owners.push_back(static_cast<int>(i));
      }
    for (size_t i = 0; i < folders_.size(); ++i)
      if (folders_[i].handle != INVALID_HANDLE_VALUE && handles.size() < MAXIMUM_WAIT_OBJECTS) {
        handles.push_back(folders_[i].handle);
        owners.push_back(-1 - static_cast<int>(i));
      }
  }

  // A watch fired: re-arms it and returns the areas that changed.
  unsigned Serve(int owner) {
    if (owner >= 0) {
      KeyWatch& watch = *keys_[static_cast<size_t>(owner)];
      if (++watch.signals > kMostSignalsPerPeriod) {
        Disarm(watch);
        return watch.area;
      }
      // Opened afresh by its path: the key may have been deleted, or
      // deleted and created again, since it was opened.
      const bool wasMissing = watch.onParent;
      Arm(watch);
      // A parent's subkeys changed: that is news only if the key itself is
      // there now (its values may have been written before this).
      return wasMissing && watch.onParent ? 0 : watch.area;
    }
    FolderWatch& folder = folders_[static_cast<size_t>(-1 - owner)];
    if (++folder.signals > kMostSignalsPerPeriod || !nextChange_(folder.handle)) CloseFolder(folder);
    return folder.area;
  }

  // Once per period: counts start again.
  void NewPeriod() {
    for (auto& watch : keys_) watch->signals = 0;
    for (FolderWatch& folder : folders_) folder.signals = 0;
  }

  // Sets again what could not be set or rested; returns the areas of the
  // watches that come back, as something may have changed unseen meanwhile.
  unsigned Revive() {
    unsigned changed = 0;
    for (auto& watch : keys_)
      if (!watch->armed && keysWork_) {
        Arm(*watch);
        if (watch->armed) changed |= watch->area;
      }
    for (FolderWatch& folder : folders_)
      if (folder.handle == INVALID_HANDLE_VALUE) {
        OpenFolder(folder);
        if (folder.handle != INVALID_HANDLE_VALUE) changed |= folder.area;
      }
    return changed;
  }

 private:
  void AddKeys() {
    // On 64-bit Windows the machine's keys come in two views; a 64-bit
    // build reaches the 32-bit one through its node.
    const bool twoViews = IsWow64() || sizeof(void*) == 8;
    for (const WatchedKey& watched : kKeys) {
      AddKey(watched, watched.path);
      if (watched.bothViews && twoViews) {
        std::string path = watched.path;
        path.insert(std::strlen("Software\\"), "Wow6432Node\\");
        AddKey(watched, path);
      }
    }
    for (auto& watch : keys_) {
      Arm(*watch);
      // The 95/98/Me family has the name but not the call.
      if (!keysWork_) break;
    }
  }

  void AddKey(const WatchedKey& watched, const std::string& path) {
    auto watch = std::make_unique<KeyWatch>();
    watch->root = watched.root;
    watch->path = path;
    watch->subtree = watched.subtree;
    watch->filter = watched.filter;
    watch->area = watched.area;
    if (watch->event.get()) keys_.push_back(std::move(watch));
  }

  void AddFolders() {
    // The Startup folders, found where the startup list finds them, are
    // watched through their parents: a folder held open by a watch cannot
    // be deleted (it waits for its last handle) nor made again.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
      for (const char* name : {"Startup", "Common Startup"}) {
        char folder[MAX_PATH];
        if (ReadStringValue(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name, folder,
                            sizeof folder) > 0 &&
            !ParentPath(folder).empty())
          AddFolder(ParentPath(folder), kChangedStartup, true);
      }
    // HOSTS and the boot files, where they are still watched.
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwMajorVersion <= 5) {
      char system[MAX_PATH] = "";
      const bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
      const UINT length = nt ? GetSystemDirectoryA(system, sizeof system) : GetWindowsDirectoryA(system, sizeof system);
      if (length > 0 && length < sizeof system)
        AddFolder(std::string(system) + (nt ? "\\drivers\\etc" : ""), kChangedSystemFiles, false);
      AddFolder("C:\\", kChangedSystemFiles, false);
    }
    for (FolderWatch& folder : folders_) OpenFolder(folder);
  }

  void AddFolder(const std::string& folder, unsigned area, bool subtree) {
    for (const FolderWatch& known : folders_)
      if (lstrcmpiA(known.folder.c_str(), folder.c_str()) == 0) return;
    folders_.push_back(FolderWatch{folder, kFolderFilter, area, subtree});
  }

  void OpenFolder(FolderWatch& folder) {
    folder.handle = firstChange_(folder.folder.c_str(), folder.subtree, folder.filter);
    if (!folder.handle) folder.handle = INVALID_HANDLE_VALUE;
  }

  void CloseFolder(FolderWatch& folder) {
    if (folder.handle != INVALID_HANDLE_VALUE) closeChange_(folder.handle);
    folder.handle = INVALID_HANDLE_VALUE;
  }

  // Opens the key, or else its nearest parent that exists. False when not
  // even the root can be opened.
  static bool OpenKey(KeyWatch& watch) {
    watch.onParent = false;
    if (watch.key.Open(watch.root, watch.path.c_str(), KEY_NOTIFY) == ERROR_SUCCESS) return true;
    watch.onParent = true;
    for (std::string path = ParentPath(watch.path);; path = ParentPath(path)) {
      if (watch.key.Open(watch.root, path.c_str(), KEY_NOTIFY) == ERROR_SUCCESS) return true;
      if (path.empty()) return false;
    }
  }

  void Disarm(KeyWatch& watch) {
    watch.key.Close();
    watch.parent.Close();
    watch.armed = false;
  }

  // Opens the key (or its nearest existing parent) afresh and registers for
  // its next change. The event is reset only after the old handles are
  // closed: closing a watched key signals its event.
  void Arm(KeyWatch& watch) {
    Disarm(watch);
    ResetEvent(watch.event.get());
    if (!OpenKey(watch)) return;
    const LONG result = notify_(watch.key.get(), watch.onParent ? FALSE : watch.subtree,
                                watch.onParent ? REG_NOTIFY_CHANGE_NAME : watch.filter, watch.event.get(), TRUE);
    if (result == ERROR_CALL_NOT_IMPLEMENTED) keysWork_ = false;
    if (result != ERROR_SUCCESS) {
      Disarm(watch);
      return;
    }
    if (!watch.onParent && watch.parent.Open(watch.root, ParentPath(watch.path).c_str(), KEY_NOTIFY) == ERROR_SUCCESS &&
        notify_(watch.parent.get(), FALSE, REG_NOTIFY_CHANGE_NAME, watch.event.get(), TRUE) != ERROR_SUCCESS)
      watch.parent.Close();
    watch.armed = true;
  }

  NotifyKeyFn notify_ = nullptr;
  FirstChangeFn firstChange_ = nullptr;
  NextChangeFn nextChange_ = nullptr;
  CloseChangeFn closeChange_ = nullptr;
  bool keysWork_ = true;
  std::vector<std::unique_ptr<KeyWatch>> keys_;
  std::vector<FolderWatch> folders_;
};

// Time left until a tick count, 0 when it has passed.
DWORD Until(DWORD deadline, DWORD now) { return static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0; }

DWORD WINAPI Watch(LPVOID) {
  // Set up here: a key's change notification lives as long as the thread
  // that asked for it.
  Watcher watcher;
  std::vector<DWORD> known = RunningProcesses();
  DWORD nextLook = GetTickCount() + kPeriodMs;
  unsigned pending = 0;
  DWORD settleEnd = 0;
  int looks = 0;
  std::vector<HANDLE> handles;
  std::vector<int> owners;
  for (;;) {
    handles.assign(1, g_stop);
    owners.assign(1, 0);
    watcher.Handles(handles, owners);
    DWORD now = GetTickCount();
    DWORD wait = Until(nextLook, now);
    if (pending) wait = std::min(wait, Until(settleEnd, now));
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, wait);
    if (result == WAIT_OBJECT_0) break;
    if (result == WAIT_FAILED) {
      // Should never happen; waiting on the stop event alone is what the
      // library did before it watched anything else.
      if (WaitForSingleObject(g_stop, Until(nextLook, GetTickCount())) == WAIT_OBJECT_0) break;
    } else if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
      const unsigned changed = watcher.Serve(owners[result - WAIT_OBJECT_0]);
      if (changed && !pending) settleEnd = GetTickCount() + kSettleMs;
      pending |= changed;
    }
    now = GetTickCount();
    if (pending && Until(settleEnd, now) == 0) {
      PostMessageA(g_monitor, WM_SENTREL_PROCESSES_CHANGED, pending, 0);
      pending = 0;
    }
    if (Until(nextLook, now) > 0) continue;
    // One look at the processes per period, as at most one request per
    // period for them.
    std::vector<DWORD> ids = RunningProcesses();
    if (!ids.empty() && ids != known) {
      known.swap(ids);
      PostMessageA(g_monitor, WM_SENTREL_PROCESSES_CHANGED, 0, 0);
    }
    watcher.NewPeriod();
    if (++looks >= kReviveLooks) {
      looks = 0;
      if (const unsigned revived = watcher.Revive()) {
        if (!pending) settleEnd = GetTickCount() + kSettleMs;
        pending |= revived;
      }
    }
    nextLook = GetTickCount() + kPeriodMs;
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
