// Running processes on every Windows family: enumeration, the list of
// running programs ("active tasks"), finding and ending a program.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

// Called for every process: id, 16-bit task handle (0 for ordinary
// processes), program path ("" when unreadable). Returns false to stop.
using ProcessVisitor = bool (*)(DWORD processId, WORD task, const char* path, void* context);

// 1 when the enumeration ran, 0 when the platform's functions are missing.
int EnumerateProcesses(ProcessVisitor visit, void* context);
// The program file a visited path stands for; "" when it does not resolve.
std::string ProgramFileOf(const char* path);

int ListActiveTasks();  // fills the catalogue entry list, type 600
int IsProgramRunning(const char* file);
DWORD FindProcessOfProgram(const char* file);
DWORD KillProgram(HWND owner, const char* file, const char* title, bool ask);
int KillProcess(DWORD processId);
// Whether a program (a command or file) is one of the Windows processes
// whose end stops the session or the system.
bool IsVitalWindowsProgram(const char* command);
int RecordRunningPrograms();

// The monitor's trigger: lists the active tasks and compares their number
// with the last call's (options are reloaded on a change when flagged).
// Returns the count; changed tells whether it differs.
int WatchProcessCount(bool* changed);
void ResetProcessCountWatch();

// The explorer's Active Tasks page: ends, without asking, the process of
// each given row of the active task list (its value is the process id) and
// records each success. A row whose process id now runs another program is
// left alone.
int KillTasks(const int* rows, int count);

}  // namespace sentrel
