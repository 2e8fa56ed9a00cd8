// The catalogue entry list that every enumeration fills, and the type codes
// naming the places where items live.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

constexpr int kMaxCatalogueEntries = 4096;
constexpr size_t kTitleWidth = 127;
constexpr size_t kPathChars = 259;
constexpr size_t kDescriptionWidth = 1023;

struct CatalogueEntry {
  std::string title;        // at most 127 characters
  std::string path;         // at most 259
  std::string data;         // at most 259
  std::string description;  // at most 1023
  int type = 0;
  int value = 0;
};

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

int AddCatalogueEntry(const char* title, const char* path, const char* data, const char* description, int type,
                      int value);
void ClearCatalogueEntries();
int CatalogueCount();
const CatalogueEntry& CatalogueAt(int index);

// "MACHINE_RUN" ... ; "TYPE_UNKNOWN" for codes not in the table.
const char* TypeName(int type);
// The code of a type name; 3000 when the name is unknown.
int TypeOfName(const char* name);

// Where an entry lives, as the explorer shows it.
std::string LocationText(int type, bool disabled);
// The string explaining how the entry will start (the new-startup alert).
UINT StartExplanationId(int type);

}  // namespace sentrel
