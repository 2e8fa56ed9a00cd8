// The explorer's command line: three one-shot switches, the page switches
// (later matches override earlier ones) and "-Q".
#include <cstring>

#include "explorer.h"
#include "fileid.h"
#include "resource.h"

namespace sentrel {
namespace {

struct PageSwitch {
  const char* text;
  UINT command;
};

// In test order: "-RESTART" last so that it wins over the "-START" it holds.
constexpr PageSwitch kPageSwitches[] = {
    {"-START", IDC_CMD_SHOW_STARTUP},
    {"-OMNI", IDC_CMD_SHOW_OMNI},
    {"-SERVICE", IDC_CMD_SHOW_SERVICES},
    {"-BHO", IDC_CMD_SHOW_IE_HELPERS},
    {"-COOKIE", 6045},
    {"-NUT", IDC_CMD_SHOW_COOKIES},
    {"-OPTION", IDC_CMD_SHOW_OPTIONS},
    {"-SCHEDULE", IDC_CMD_SHOW_TASKS},
    {"-TASK", IDC_CMD_SHOW_ACTIVE_TASKS},
    {"-DELAY", IDC_CMD_SHOW_DELAY},
    {"-FILETYPE", IDC_CMD_SHOW_FILE_TYPES},
    {"-HIDDEN", IDC_CMD_SHOW_HIDDEN},
    {"-ACTIVEX", IDC_CMD_SHOW_ACTIVEX},
    {"-MONITOR", IDC_CMD_SHOW_MONITOR},
    {"-BLACKLIST", IDC_CMD_SHOW_BLACKLIST},
    {"-EXIT", 6048},
    {"-RESTART", IDC_CMD_SHOW_OPTIONS},
};

}  // namespace

ExplorerCommand ParseExplorerCommandLine(const char* commandLine) {
  ExplorerCommand command;
  if (!commandLine) return command;
  command.restore = ContainsText(commandLine, "-Restore") != 0;
  command.auOption = ContainsText(commandLine, "-AUOption") != 0;
  command.setPrefix = ContainsText(commandLine, "-SetPrefix") != 0;
  command.quit = ContainsText(commandLine, "-Q") != 0;
  for (const PageSwitch& entry : kPageSwitches)
    if (ContainsText(commandLine, entry.text)) command.page = entry.command;
  return command;
}

UINT StartPageCommand(const ExplorerCommand& command, int startTab) {
  if (command.page) return command.page;
  // The store holds only pages: any other command there (quit, run at start,
  // ...) or a spoilt value opens the first tab.
  const UINT stored = startTab > 0 ? static_cast<UINT>(startTab) : 0;
  return IsSheetPageCommand(stored) ? stored : IDC_CMD_SHOW_STARTUP;
}

}  // namespace sentrel
