// The monitor's command line.
#include "fileid.h"
#include "monitor.h"

namespace sentrel {

MonitorCommandLine ParseMonitorCommandLine(const char* commandLine) {
  MonitorCommandLine parsed;
  const char* text = commandLine ? commandLine : "";
  // A command line of 773 characters or more contains nothing.
  if (ContainsText(text, ".exe"))
    parsed.kind = MonitorCommandLine::kLookUpProgram;
  else if (ContainsText(text, ".dll"))
    parsed.kind = MonitorCommandLine::kLookUpLibrary;
  parsed.quit = ContainsText(text, "-Q") != 0;
  parsed.noOpen = ContainsText(text, "-NoOpen") != 0;
  parsed.expressBoot = ContainsText(text, "-expressboot") != 0;
  return parsed;
}

}  // namespace sentrel
