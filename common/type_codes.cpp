// The type code table.
#include "type_codes.h"

#include <cstring>

namespace sentrel {
namespace {

struct TypeRow {
  int code;
  const char* name;
};
// In lookup order: the first matching row wins.
constexpr TypeRow kTypes[] = {
    {1, "MACHINE_RUN"},
    {2, "MACHINE_RUNONCE"},
    {3, "MACHINE_RUNONCEEX"},
    {4, "MACHINE_RUNSERVICES"},
    {5, "MACHINE_RUNSERVICESONCE"},
    {11, "CURRENT_RUN"},
    {12, "CURRENT_RUNONCE"},
    {13, "CURRENT_RUNONCEEX"},
    {14, "CURRENT_RUNSERVICES"},
    {15, "CURRENT_RUNSERVICESONCE"},
    {21, "WOW64_RUN"},
    {22, "WOW64_RUNONCE"},
    {23, "WOW64_RUNONCEEX"},
    {24, "WOW64_RUNSERVICES"},
    {25, "WOW64_RUNSERVICESONCE"},
    {31, "SENTREL_RUN"},
    {32, "SENTREL_RUNONCE"},
    {33, "SENTREL_RUNONCEEX"},
    {34, "SENTREL_RUNSERVICES"},
    {35, "SENTREL_RUNSERVICESONCE"},
    {100, "WIN_LOAD"},
    {101, "WIN_RUN"},
    {200, "GROUP_STARTUP"},
    {250, "WINLOGON_Userinit"},
    {251, "WINLOGON_Shell"},
    {252, "REG_Delayload"},
    {253, "REG_TaskScheduler"},
    {254, "REG_ShellExecuteHook"},
    {255, "REG_AppInitDLLs"},
    {500, "INFO_COOKIE"},
    {501, "INFO_NETCOOKIE"},
    {502, "INFO_SAVECOOKIE"},
    {503, "INFO_NUTS"},
    {600, "INFO_TASK"},
    {700, "SERVICE_EXE"},
    {701, "SERVICE_SVCHOST"},
    {800, "TASK_SCHEDULED"},
    {900, "TYPE_BHO"},
    {300, "RESTART_DELETE"},
    {301, "RESTART_RENAME"},
    {901, "TYPE_TOOLBAR"},
    {902, "TYPE_EXTENSION"},
    {350, "TYPE_MONITOR"},
    {360, "TYPE_BLACKLIST"},
    {450, "TYPE_PROSEARCH"},
    {400, "TYPE_FILETYPE"},
    {370, "TYPE_HIDDEN"},
    {256, "RUN_WINLOGONNOTIFY"},
    {6, "MACHINE_RUNONCESETUP"},
    {7, "MACHINE_RUNPOLICY"},
    {3000, "TYPE_UNKNOWN"},
};
static_assert(sizeof kTypes / sizeof kTypes[0] == 51, "the type table has 51 rows");

}  // namespace

const char* TypeName(int type) {
  for (const TypeRow& row : kTypes)
    if (row.code == type) return row.name;
  return "TYPE_UNKNOWN";
}

int TypeOfName(const char* name) {
  for (const TypeRow& row : kTypes)
    if (name && std::strcmp(row.name, name) == 0) return row.code;
  return kTypeUnknown;
}

}  // namespace sentrel
