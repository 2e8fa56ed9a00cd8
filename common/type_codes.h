// The type codes naming the places where items live, and their names as the
// history file writes them.
#pragma once

namespace sentrel {

// Type codes of the places items live.
enum TypeCode : int {
  kTypeMachineRun = 1,  // 1-7 machine Run keys, 11-17 user, 21-27 32-bit view
  kTypeUserBase = 10,
  kTypeWow64Base = 20,
  kTypeWinLoad = 100,
  kTypeWinRun = 101,
  kTypeStartupFolder = 200,
  kTypeUserinit = 250,
  kTypeShell = 251,
  kTypeDelayLoad = 252,
  kTypeSharedTaskScheduler = 253,
  kTypeShellExecuteHook = 254,
  kTypeAppInitDlls = 255,
  kTypeWinlogonNotify = 256,
  kTypeHidden = 370,
  kTypeCookie = 500,
  kTypeRunningProgram = 600,
  kTypeScheduledTask = 800,
  kTypeUnknown = 3000,
};

// "MACHINE_RUN" ... ; "TYPE_UNKNOWN" for codes not in the table.
const char* TypeName(int type);
// The code of a type name; 3000 when the name is unknown.
int TypeOfName(const char* name);

}  // namespace sentrel
