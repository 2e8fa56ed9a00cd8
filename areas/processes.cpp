// Running processes: PSAPI (and VDMDBG for 16-bit tasks) on the NT family,
// Tool Help on Windows 95/98/Me; every function looked up by name.
#include "processes.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "library.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"

namespace sentrel {
namespace {

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using TaskEnumProcEx = BOOL(WINAPI*)(DWORD, WORD, WORD, PSZ, PSZ, LPARAM);
using VDMEnumTaskWOWExFn = INT(WINAPI*)(DWORD, TaskEnumProcEx, LPARAM);
using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

// A library loaded for one enumeration and freed before it returns.
struct Library {
  explicit Library(const char* name) : module(LoadLibraryA(name)) {}
  ~Library() {
    if (module) FreeLibrary(module);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  HMODULE module;
};

struct VdmVisit {
  ProcessVisitor visit;
  void* context;
  DWORD processId;
  bool stopped;
};
BOOL WINAPI VisitVdmTask(DWORD, WORD, WORD task, PSZ, PSZ file, LPARAM data) {
  auto* vdm = reinterpret_cast<VdmVisit*>(data);
  if (!vdm->visit(vdm->processId, task, file ? file : "", vdm->context)) vdm->stopped = true;
  return vdm->stopped;  // TRUE ends the task enumeration
}

int EnumerateNt(ProcessVisitor visit, void* context) {
  Library psapi("PSAPI.DLL"), vdmdbg("VDMDBG.DLL");
  auto enumProcesses = FunctionOf<EnumProcessesFn>(psapi.module, "EnumProcesses");
  auto enumModules = FunctionOf<EnumProcessModulesFn>(psapi.module, "EnumProcessModules");
  auto moduleFileName = FunctionOf<GetModuleFileNameExFn>(psapi.module, "GetModuleFileNameExA");
  auto enumTasks = FunctionOf<VDMEnumTaskWOWExFn>(vdmdbg.module, "VDMEnumTaskWOWEx");
  if (!enumProcesses || !enumModules || !moduleFileName || !enumTasks) return 0;

  std::vector<DWORD> ids(1024 / sizeof(DWORD));
  DWORD bytes = 0;
  for (;;) {
    if (!enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return 0;
    if (bytes < ids.size() * sizeof(DWORD)) break;
    ids.resize(ids.size() * 2);
  }
  ids.resize(bytes / sizeof(DWORD));
  // A 32-bit program cannot read the modules of a 64-bit process; Vista and
  // later name its program file all the same.
  using QueryImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
  static const auto queryImageName =
      FunctionOf<QueryImageNameFn>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
  constexpr DWORD kQueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista and later
  for (DWORD id : ids) {
    char path[MAX_PATH] = "";
    if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id)) {
      HMODULE first = nullptr;
      DWORD needed = 0;
      if (!enumModules(process, &first, sizeof first, &needed) || !moduleFileName(process, first, path, sizeof path))
        path[0] = '\0';
      CloseHandle(process);
    }
    if (!path[0] && queryImageName) {
      if (HANDLE process = OpenProcess(kQueryLimitedInformation, FALSE, id)) {
        DWORD size = sizeof path;
        if (!queryImageName(process, 0, path, &size) || size >= sizeof path) path[0] = '\0';
        path[sizeof path - 1] = '\0';
        CloseHandle(process);
      }
    }
    if (!visit(id, 0, path, context)) return 1;
    const size_t length = std::strlen(path);
    if (length >= 9 && lstrcmpiA(path + length - 9, "NTVDM.EXE") == 0) {
      VdmVisit vdm = {visit, context, id, false};
      enumTasks(id, VisitVdmTask, reinterpret_cast<LPARAM>(&vdm));
      if (vdm.stopped) return 1;
    }
  }
  return 1;
}

int Enumerate9x(ProcessVisitor visit, void* context) {
  HMODULE kernel = GetModuleHandleA("Kernel32.DLL");
  auto snapshot = FunctionOf<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
  auto first = FunctionOf<ProcessWalkFn>(kernel, "Process32First");
  auto next = FunctionOf<ProcessWalkFn>(kernel, "Process32Next");
  if (!snapshot || !first || !next) return 0;
  HANDLE handle = snapshot(TH32CS_SNAPPROCESS, 0);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = first(handle, &entry); more; more = next(handle, &entry))
    if (!visit(entry.th32ProcessID, 0, entry.szExeFile, context)) break;
  CloseHandle(handle);
  return 1;
}

// Program descriptions, kept between listings: the count watch lists the
// running programs on every immediate check, and the same programs run on.
std::string DescriptionOf(const std::string& file) {
  static std::map<std::string, std::string> known;
  std::string key = file;
  CharUpperA(&key[0]);
  auto found = known.find(key);
  if (found != known.end()) return found->second;
  if (known.size() >= 1024) known.clear();  // bounded: a long-running monitor sees many programs
  VersionFields fields;
  ReadVersionInfo(file.c_str(), fields);
  return known[key] = fields.slot[kFileDescription];
}

// The program file of a running process's path, kept like the descriptions:
// a running program's file does not move while it runs.
std::string CachedProgramFileOf(const char* path) {
  static std::map<std::string, std::string> known;
  std::string key = path ? path : "";
  auto found = known.find(key);
  if (found != known.end()) return found->second;
  if (known.size() >= 1024) known.clear();
  return known[key] = ProgramFileOf(path);
}

bool AddActiveTask(DWORD processId, WORD, const char* path, void*) {
  std::string file = CachedProgramFileOf(path);
  if (file.empty()) return true;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (lstrcmpiA(CatalogueAt(i).path.c_str(), file.c_str()) == 0) return true;
  AddCatalogueEntry(DescriptionOf(file).c_str(), file.c_str(), "", "", kTypeRunningProgram,
                    static_cast<int>(processId));
  return true;
}

struct Search {
  std::string file;  // the program file, in its long form
  std::string bare;  // a command that names no folder: the program's file name
  DWORD found;
};
bool MatchProgram(DWORD processId, WORD, const char* path, void* context) {
  auto* search = static_cast<Search*>(context);
  std::string file = CachedProgramFileOf(path);
  std::string bare = FileNamePart(path ? path : "");
  if ((!file.empty() && lstrcmpiA(file.c_str(), search->file.c_str()) == 0) ||
      (!search->bare.empty() && lstrcmpiA(bare.c_str(), search->bare.c_str()) == 0)) {
    search->found = processId;
    return false;
  }
  return true;
}

// The program file a command runs: its arguments dropped and its variables
// expanded, as a command line is read everywhere else.
std::string ProgramOfCommand(const char* command, std::string* bare) {
  std::string text;
  ExpandEnvironment(command ? command : "", text);
  std::string named = StripQuotes(text);  // a file name with blanks and no arguments
  std::string program = ProgramFileOf(named.c_str());
  if (program.empty()) {
    named = NormalizeFilePath(text.c_str());
    program = ProgramFileOf(named.c_str());
  }
  if (bare) *bare = named.find('\\') == std::string::npos && named.find(':') == std::string::npos ? named : "";
  return program;
}

int g_lastCount = -1;

// The code a process is ended with: its exit code, except that a running
// process reads STILL_ACTIVE (259), and ending it with that code would make
// it look alive to everyone who asks afterwards.
DWORD TerminationCode(HANDLE process) {
  DWORD code = 0;
  if (!GetExitCodeProcess(process, &code) || code == STILL_ACTIVE) code = 1;
  return code;
}

}  // namespace

int EnumerateProcesses(ProcessVisitor visit, void* context) {
  return IsNtFamily() ? EnumerateNt(visit, context) : Enumerate9x(visit, context);
}

std::string ProgramFileOf(const char* path) {
  if (!path || !*path) return {};
  std::string file = path;
  if (!FileExists(file)) return {};
  // A bare name (Tool Help gives some systems no folder) found in the
  // Windows folder: name the file there, as in the system folder.
  if (file.find('\\') == std::string::npos) file = WindowsFolder() + "\\" + file;
  return LongPathOf(file);
}

int ListActiveTasks() {
  ClearCatalogueEntries();
  EnumerateProcesses(AddActiveTask, nullptr);
  return CatalogueCount();
}

DWORD FindProcessOfProgram(const char* file) {
  Search search = {"", "", 0};
  search.file = ProgramOfCommand(file, &search.bare);
  if (search.file.empty() && search.bare.empty()) return 0;
  EnumerateProcesses(MatchProgram, &search);
  return search.found;
}

int IsProgramRunning(const char* file) { return FindProcessOfProgram(file) != 0 ? 1 : 0; }

int KillProcess(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId);
  if (!process) return 0;
  int result = TerminateProcess(process, TerminationCode(process)) ? 1 : 0;
  CloseHandle(process);
  return result;
}

// Processes whose end stops the session or the system. A refused entry may
// name one of them, by its bare name or in the Windows folder: it goes
// from the registry, but the process is not ended unasked.
bool IsVitalWindowsProgram(const char* command) {
  std::string bare;
  const std::string file = ProgramOfCommand(command, &bare);
  const std::string name = bare.empty() ? FileNamePart(file) : bare;
  static const char* const kVital[] = {"csrss.exe",    "smss.exe",    "winlogon.exe", "lsass.exe",
                                       "services.exe", "wininit.exe", "svchost.exe",  "explorer.exe"};
  bool vital = false;
  for (const char* known : kVital) vital = vital || lstrcmpiA(name.c_str(), known) == 0;
  if (!vital || !bare.empty()) return vital;
  const std::string folder = file.substr(0, file.size() - name.size() - 1);
  return lstrcmpiA(folder.c_str(), LongPathOf(WindowsFolder()).c_str()) == 0 ||
         lstrcmpiA(folder.c_str(), LongPathOf(SystemFolder()).c_str()) == 0;
}

DWORD KillProgram(HWND owner, const char* file, const char* title, bool ask) {
  DWORD processId = FindProcessOfProgram(file);
  if (processId == 0) return 0;
  if (!ask && (processId == GetCurrentProcessId() || IsVitalWindowsProgram(file))) return 0;
  const char* name = title && *title ? title : file;
  if (ask) {
    std::string text = FillText(LoadText(IDS_PROGRAM_IS_RUNNING), {name});
    if (ShowMessage(owner, text.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) return processId;
  }
  HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId);
  if (!process) return 0;
  DWORD code = 0;
  TerminateProcess(process, TerminationCode(process));
  for (int poll = 0; poll < 5; ++poll) {
    GetExitCodeProcess(process, &code);
    if (code != STILL_ACTIVE) break;
    Sleep(10);
  }
  CloseHandle(process);
  AppendHistory(title, file, "", kTypeRunningProgram, kActionTaskKill);
  if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) InvalidateRect(taskbar, nullptr, TRUE);
  return processId;
}

int RecordRunningPrograms() {
  ListActiveTasks();
  for (int i = 0; i < CatalogueCount(); ++i) RecordFirstSeen(CatalogueAt(i).path.c_str(), "ActiveTasks");
  int count = CatalogueCount();
  ClearCatalogueEntries();
  return count;
}

// The ids of the running processes, sorted: cheap on every family, and
// unchanged exactly when no process started or ended.
std::vector<DWORD> RunningProcessIds() {
  std::vector<DWORD> ids;
  if (IsNtFamily()) {
    Library psapi("PSAPI.DLL");
    auto enumProcesses = FunctionOf<EnumProcessesFn>(psapi.module, "EnumProcesses");
    if (!enumProcesses) return ids;
    ids.resize(256);
    DWORD bytes = 0;
    for (;;) {
      if (!enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
      if (bytes < ids.size() * sizeof(DWORD)) break;
      ids.resize(ids.size() * 2);
    }
    ids.resize(bytes / sizeof(DWORD));
  } else {
    EnumerateProcesses(
        [](DWORD processId, WORD, const char*, void* context) {
          static_cast<std::vector<DWORD>*>(context)->push_back(processId);
          return true;
        },
        &ids);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::vector<DWORD> g_lastIds;

int WatchProcessCount(bool* changed) {
  // The same processes as last time: the same programs, so the same count.
  std::vector<DWORD> ids = RunningProcessIds();
  if (g_lastCount >= 0 && !ids.empty() && ids == g_lastIds) {
    if (changed) *changed = false;
    return g_lastCount;
  }
  g_lastIds.swap(ids);
  const int count = ListActiveTasks();
  const bool differs = count != g_lastCount;
  if (differs && ReadOption("Update", 0) != 0) {
    LoadOptions();
    WriteStringValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
  }
  if (changed) *changed = differs;
  g_lastCount = count;
  ClearCatalogueEntries();
  return count;
}

void ResetProcessCountWatch() {
  g_lastCount = -1;
  g_lastIds.clear();
}

namespace {

// The processes of the rows to end, with the program each one runs now.
struct RowProcesses {
  std::map<DWORD, std::string> running;  // process id -> program file, "" until seen
};
bool NoteRowProcess(DWORD processId, WORD task, const char* path, void* context) {
  auto* rows = static_cast<RowProcesses*>(context);
  auto found = rows->running.find(processId);
  if (task == 0 && found != rows->running.end()) found->second = CachedProgramFileOf(path);
  return true;
}

}  // namespace

int KillTasks(const int* rows, int count) {
  std::vector<CatalogueEntry> tasks;
  RowProcesses processes;
  for (int i = 0; i < count; ++i) {
    if (rows[i] < 0 || rows[i] >= CatalogueCount()) continue;
    const CatalogueEntry& entry = CatalogueAt(rows[i]);
    if (entry.type != kTypeRunningProgram || entry.value <= 0) continue;
    tasks.push_back(entry);
    processes.running[static_cast<DWORD>(entry.value)];
  }
  if (tasks.empty()) return 0;
  // A process id may have passed to another program since the list was
  // made: a row ends its own process only while it still runs that program.
  EnumerateProcesses(NoteRowProcess, &processes);
  int ended = 0;
  for (const CatalogueEntry& task : tasks) {
    const DWORD processId = static_cast<DWORD>(task.value);
    const std::string& now = processes.running[processId];
    if (now.empty() || lstrcmpiA(now.c_str(), task.path.c_str()) != 0) continue;
    if (!KillProcess(processId)) continue;
    AppendHistory(FileNamePart(task.path).c_str(), task.path.c_str(), "", kTypeRunningProgram, kActionTaskKill);
    ++ended;
  }
  return ended;
}

}  // namespace sentrel
