// The scheduled tasks area: the scheduler's service or agent, the task list
// through the Task Scheduler 1.0 interfaces, one task's texts, deletion and
// the task baseline.
#include "tasks.h"

#include <mstask.h>
#include <objbase.h>

#include <cstdio>
#include <vector>

#include "fileid.h"
#include "first_seen.h"
#include "library.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

// The pause before a single-task operation or a deletion lets a scheduler
// that has just been started settle; the list waits only briefly.
constexpr DWORD kSingleTaskPause = 1000;
constexpr DWORD kEnumeratePause = 10;
constexpr ULONG kBatch = 5;
constexpr ULONG kMostWorkItems = 100000;
constexpr DWORD kAgentWait = 5000;

bool g_startedHere = false;

// ---- Handles ---------------------------------------------------------------

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return pointer_; }
  T* get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  void** out() {
    Reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  T** put() {
    Reset();
    return &pointer_;
  }
  void Reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  T* pointer_ = nullptr;
};

// A string the scheduler hands over; freed with CoTaskMemFree.
class CoString {
 public:
  CoString() = default;
  explicit CoString(LPWSTR text) : text_(text) {}
  ~CoString() { CoTaskMemFree(text_); }
  CoString(const CoString&) = delete;
  CoString& operator=(const CoString&) = delete;
  LPWSTR* put() {
    CoTaskMemFree(text_);
    text_ = nullptr;
    return &text_;
  }
  const wchar_t* get() const { return text_ ? text_ : L""; }

 private:
  LPWSTR text_ = nullptr;
};

// One operation's COM session. Ending it stops a scheduler this program
// started for the operation.
class SchedulerSession {
 public:
  SchedulerSession() : result_(CoInitialize(nullptr)) {}
  ~SchedulerSession() {
    scheduler_.Reset();
    if (SUCCEEDED(result_)) CoUninitialize();
    if (g_startedHere) StopScheduler();
  }
  SchedulerSession(const SchedulerSession&) = delete;
  SchedulerSession& operator=(const SchedulerSession&) = delete;

  // The scheduler object; the failure code when it cannot be had.
  HRESULT Open() {
    if (FAILED(result_)) return result_;
    return CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler, scheduler_.out());
  }
  ITaskScheduler* scheduler() const { return scheduler_.get(); }

 private:
  HRESULT result_;
  ComPtr<ITaskScheduler> scheduler_;
};

class ScHandle {
 public:
  explicit ScHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ~ScHandle();
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  SC_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  SC_HANDLE handle_;
};

// ---- Service Control Manager, looked up by name -------------------------------

using OpenManagerFn = SC_HANDLE(WINAPI*)(LPCSTR, LPCSTR, DWORD);
using OpenServiceFn = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCSTR, DWORD);
using QueryStatusFn = BOOL(WINAPI*)(SC_HANDLE, LPSERVICE_STATUS);
using StartServiceFn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPCSTR*);
using ControlServiceFn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
using CloseServiceFn = BOOL(WINAPI*)(SC_HANDLE);

HMODULE Advapi() {
  static HMODULE module = LoadLibraryA("advapi32.dll");
  return module;
}

ScHandle::~ScHandle() {
  if (!handle_) return;
  if (auto close = FunctionOf<CloseServiceFn>(Advapi(), "CloseServiceHandle")) close(handle_);
}

// The "Schedule" service opened with the given rights (the manager is closed
// at once); null with the last error set when it cannot be.
SC_HANDLE OpenScheduleService(DWORD access) {
  auto openManager = FunctionOf<OpenManagerFn>(Advapi(), "OpenSCManagerA");
  auto openService = FunctionOf<OpenServiceFn>(Advapi(), "OpenServiceA");
  if (!openManager || !openService) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  ScHandle manager(openManager(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return nullptr;
  return openService(manager.get(), "Schedule", access);
}

bool ServiceRunning(SC_HANDLE service) {
  auto query = FunctionOf<QueryStatusFn>(Advapi(), "QueryServiceStatus");
  SERVICE_STATUS status{};
  return query && query(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
}

// ---- 95/98/Me: the scheduler agent ----------------------------------------------

HWND AgentWindow() { return FindWindowA("SAGEWINDOWCLASS", "SYSTEM AGENT COM WINDOW"); }

void RepaintTaskbar() {
  if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) InvalidateRect(taskbar, nullptr, TRUE);
}

DWORD StartAgent() {
  if (AgentWindow()) return 0;
  // Only where Windows keeps it: the default search would also take a
  // mstask.exe planted in the current folder or beside this program.
  const std::string system = SystemFolder(), windows = WindowsFolder();
  if (system.empty() && windows.empty()) return ERROR_FILE_NOT_FOUND;
  const std::string folders = system + ";" + windows;
  char path[MAX_PATH + 1] = "";
  char* filePart = nullptr;
  const DWORD length = SearchPathA(folders.c_str(), "mstask.exe", nullptr, MAX_PATH, path, &filePart);
  if (length == 0) return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;  // the path did not fit
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr,
                      nullptr, &startup, &process))
    return GetLastError();
  // The agent runs once its window stands: without waiting for it, the
  // operation would find no scheduler, and its stop no agent to end.
  for (DWORD waited = 0; !AgentWindow() && waited < kAgentWait; waited += 50) Sleep(50);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  g_startedHere = true;
  return 0;
}

DWORD StopAgent() {
  HWND agent = AgentWindow();
  if (!agent) return 1;
  DWORD id = 0;
  GetWindowThreadProcessId(agent, &id);
  if (HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id)) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    TerminateProcess(process, code);
    CloseHandle(process);
  }
  RepaintTaskbar();  // the agent's notification icon goes with it
  g_startedHere = false;
  return 0;
}

// ---- Names ---------------------------------------------------------------------

std::string Narrow(const wchar_t* text) {
  if (!text || !*text) return "";
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return "";
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], size, nullptr, nullptr);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}

// Every work item name in the scheduler's order: batches of five, each
// taken from its last name to its first.
template <typename Visit>
void ForEachWorkItem(ITaskScheduler* scheduler, Visit visit) {
  ComPtr<IEnumWorkItems> items;
  if (FAILED(scheduler->Enum(items.put())) || !items) return;
  // An enumerator that never says it is done must not hold the program.
  for (ULONG seen = 0; seen < kMostWorkItems;) {
    LPWSTR* names = nullptr;
    ULONG fetched = 0;
    const HRESULT result = items->Next(kBatch, &names, &fetched);
    if (FAILED(result) || fetched == 0 || !names) {
      CoTaskMemFree(names);
      return;
    }
    if (fetched > kBatch) fetched = kBatch;  // never more than asked for
    seen += fetched;
    std::vector<std::wstring> batch;
    for (ULONG i = 0; i < fetched; ++i) {
      CoString name(names[i]);
      batch.push_back(name.get());
    }
    CoTaskMemFree(names);
    for (size_t i = batch.size(); i-- > 0;)
      if (!visit(batch[i])) return;
  }
}

// The task of a name; null when it cannot be activated.
bool ActivateTask(ITaskScheduler* scheduler, const std::wstring& name, ComPtr<ITask>& task) {
  const std::wstring item = WorkItemName(name);
  return SUCCEEDED(scheduler->Activate(item.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.put()))) && task;
}

// The exact name of the first task whose ANSI title matches, "" when none.
std::wstring FindWorkItem(ITaskScheduler* scheduler, const char* title) {
  std::wstring found;
  ForEachWorkItem(scheduler, [&](const std::wstring& name) {
    if (lstrcmpiA(Narrow(name.c_str()).c_str(), title) != 0) return true;
    found = name;
    return false;
  });
  return found;
}

// Runs read on the first task matching title; "" when there is none.
template <typename Read>
std::string ReadTask(const char* title, Read read) {
  if (!title || StartScheduler() != 0) return "";
  Sleep(kSingleTaskPause);
  SchedulerSession session;
  if (FAILED(session.Open())) return "";
  const std::wstring name = FindWorkItem(session.scheduler(), title);
  ComPtr<ITask> task;
  if (name.empty() || !ActivateTask(session.scheduler(), name, task)) return "";
  return read(task.get());
}

// A deletion met right after the scheduler started may find the file still
// open: it is tried again for a moment.
HRESULT DeleteWorkItem(ITaskScheduler* scheduler, const std::wstring& name) {
  const std::wstring item = WorkItemName(name);
  HRESULT result = E_FAIL;
  for (int attempt = 0; attempt < 20; ++attempt) {
    result = scheduler->Delete(item.c_str());
    if (result != HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)) break;
    Sleep(100);
  }
  return result;
}

HRESULT DeleteMatching(const char* title, const std::wstring* exact) {
  if (!title) return 0;
  // Nothing deleted is never reported as done: an unavailable scheduler is a failure.
  if (const DWORD error = StartScheduler()) return HRESULT_FROM_WIN32(error);
  Sleep(kSingleTaskPause);
  SchedulerSession session;
  const HRESULT opened = session.Open();
  if (FAILED(opened)) return opened;
  std::wstring name;
  if (exact) {
    // Only when it is still there: a task deleted meanwhile is not found.
    ForEachWorkItem(session.scheduler(), [&](const std::wstring& item) {
      if (item != *exact) return true;
      name = item;
      return false;
    });
  } else {
    name = FindWorkItem(session.scheduler(), title);
  }
  if (name.empty()) return 0;
  return DeleteWorkItem(session.scheduler(), name);
}

std::string BaselineValueName(const CatalogueEntry& entry) { return entry.name.empty() ? entry.title : entry.name; }

}  // namespace

// ---- Scheduler -------------------------------------------------------------------

DWORD StartScheduler() {
  g_startedHere = false;
  if (!IsNtFamily()) return StartAgent();
  ScHandle service(OpenScheduleService(SERVICE_QUERY_STATUS | SERVICE_START));
  if (!service) {
    // A user who may not start services can still use a running scheduler.
    const DWORD error = GetLastError() ? GetLastError() : ERROR_SERVICE_DOES_NOT_EXIST;
    ScHandle query(OpenScheduleService(SERVICE_QUERY_STATUS));
    return query && ServiceRunning(query.get()) ? 0 : error;
  }
  if (ServiceRunning(service.get())) return 0;
  auto start = FunctionOf<StartServiceFn>(Advapi(), "StartServiceA");
  if (!start) return ERROR_PROC_NOT_FOUND;
  if (!start(service.get(), 0, nullptr)) {
    const DWORD error = GetLastError();
    // Started by someone else meanwhile: running is all that is asked.
    if (error == ERROR_SERVICE_ALREADY_RUNNING) return 0;
    return error ? error : ERROR_SERVICE_NOT_ACTIVE;
  }
  g_startedHere = true;
  return 0;
}

int IsSchedulerRunning() {
  if (!IsNtFamily()) return AgentWindow() ? 1 : 0;
  ScHandle service(OpenScheduleService(SERVICE_QUERY_STATUS));
  return service && ServiceRunning(service.get()) ? 1 : 0;
}

DWORD StopScheduler() {
  if (!IsNtFamily()) return StopAgent();
  ScHandle service(OpenScheduleService(SERVICE_QUERY_STATUS | SERVICE_STOP));
  if (!service) return GetLastError() ? GetLastError() : ERROR_SERVICE_DOES_NOT_EXIST;
  g_startedHere = false;
  if (!ServiceRunning(service.get())) return 0;
  auto control = FunctionOf<ControlServiceFn>(Advapi(), "ControlService");
  SERVICE_STATUS status{};
  return control && control(service.get(), SERVICE_CONTROL_STOP, &status) ? 0 : 1;
}

bool SchedulerStartedHere() { return g_startedHere; }

// ---- Enumeration -------------------------------------------------------------------

int EnumerateTasks() {
  ClearCatalogueEntries();
  if (StartScheduler() != 0) return 0;
  Sleep(kEnumeratePause);
  int count = 0;
  {
    SchedulerSession session;
    if (FAILED(session.Open())) return 0;
    ForEachWorkItem(session.scheduler(), [&](const std::wstring& name) {
      ComPtr<ITask> task;
      if (!ActivateTask(session.scheduler(), name, task)) return true;  // left out without a word
      CoString program;
      task->GetApplicationName(program.put());  // none: listed without a program
      SYSTEMTIME last{}, next{};
      if (FAILED(task->GetMostRecentRunTime(&last))) last = SYSTEMTIME{};
      if (FAILED(task->GetNextRunTime(&next))) next = SYSTEMTIME{};
      task.Reset();
      CatalogueEntry entry;
      entry.title = Narrow(name.c_str());
      entry.wideName = name;
      entry.name = ExactAnsiForm(name);
      entry.path = Narrow(program.get());
      entry.data = RunTimeText(next);
      entry.description = RunTimeText(last);
      entry.type = kTypeScheduledTask;
      if (AddCatalogueEntry(std::move(entry))) ++count;
      return count < kMaxCatalogueEntries;
    });
  }
  return count;
}

std::string TaskComment(const char* title) {
  return ReadTask(title, [](ITask* task) {
    CoString comment;
    return SUCCEEDED(task->GetComment(comment.put())) ? Narrow(comment.get()) : std::string();
  });
}

std::string TaskStatus(const char* title) {
  return ReadTask(title, [](ITask* task) {
    HRESULT status = S_OK;
    return SUCCEEDED(task->GetStatus(&status)) ? TaskStatusText(status) : std::string();
  });
}

std::string TaskNextRunTime(const char* title) {
  return ReadTask(title, [](ITask* task) {
    SYSTEMTIME next{};
    return SUCCEEDED(task->GetNextRunTime(&next)) ? RunTimeText(next) : std::string();
  });
}

HRESULT DeleteTask(const char* title) { return DeleteMatching(title, nullptr); }

HRESULT DeleteTask(const CatalogueEntry& entry) {
  if (entry.wideName.empty()) return DeleteMatching(BaselineValueName(entry).c_str(), nullptr);
  return DeleteMatching(entry.title.c_str(), &entry.wideName);
}

// ---- Texts ---------------------------------------------------------------------------

std::string RunTimeText(const SYSTEMTIME& time) {
  if (time.wYear == 0 && time.wMonth == 0 && time.wDay == 0) return LoadText(IDS_NEVER);
  const unsigned hour = time.wHour % 12 == 0 ? 12u : static_cast<unsigned>(time.wHour % 12);
  char text[64];
  std::snprintf(text, sizeof text, time.wHour < 12 ? "%02u/%02u/%04u  %u:%02u AM" : "%02u/%02u/%04u  %u:%02u PM",
                static_cast<unsigned>(time.wMonth), static_cast<unsigned>(time.wDay), static_cast<unsigned>(time.wYear),
                hour, static_cast<unsigned>(time.wMinute));
  return text;
}

std::string TaskStatusText(HRESULT status) {
  if (status == SCHED_S_TASK_RUNNING) return LoadText(IDS_STATUS_RUNNING);
  if (status == SCHED_S_TASK_NOT_SCHEDULED) return LoadText(IDS_STATUS_NOT_SCHEDULED);
  return LoadText(IDS_STATUS_READY);
}

std::wstring WorkItemName(const std::wstring& enumerated) {
  // Compared by hand: the wide string calls are missing on 95/98/Me.
  const size_t size = enumerated.size();
  if (size <= 4) return enumerated;
  const wchar_t* suffix = L".job";
  for (size_t i = 0; i < 4; ++i) {
    wchar_t c = enumerated[size - 4 + i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != suffix[i]) return enumerated;
  }
  return enumerated.substr(0, size - 4);
}

// ---- Baseline ----------------------------------------------------------------------------

int IsTaskKnown(const CatalogueEntry& entry) {
  char text[33] = "";
  if (ReadStringValue(HKEY_CURRENT_USER, kTaskBaselineKey, BaselineValueName(entry).c_str(), text, 32) <= 0) return 0;
  return ParseLeadingInt(text) != 0 ? 1 : 0;
}

int AcceptTask(const CatalogueEntry& entry) {
  return WriteStringValue(HKEY_CURRENT_USER, kTaskBaselineKey, BaselineValueName(entry).c_str(),
                          std::to_string(kTypeScheduledTask).c_str());
}

int ForgetTask(const CatalogueEntry& entry) {
  return DeleteValue(HKEY_CURRENT_USER, kTaskBaselineKey, BaselineValueName(entry).c_str());
}

int InitTaskBaseline() {
  const int count = EnumerateTasks();
  for (int i = 0; i < count; ++i) AcceptTask(CatalogueAt(i));
  ClearCatalogueEntries();
  return 1;
}

int RecordTaskFirstSeen() {
  const int count = EnumerateTasks();
  for (int i = 0; i < count; ++i)
    if (!CatalogueAt(i).path.empty()) RecordFirstSeen(CatalogueAt(i).path.c_str(), kTaskFirstSeenArea);
  ClearCatalogueEntries();
  return 1;
}

}  // namespace sentrel
