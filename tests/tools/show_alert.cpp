// show_alert KIND FILE: opens one of the monitor's alerts for a sample item,
// for the screenshot script (KIND: startup, task, service, iehelper,
// activex, hidden, cameback, filetype, filechange). For filetype a third
// argument names the program now associated; for filechange FILE is the
// monitored file.
#include <windows.h>

#include <cstring>

#include "alerts.h"
#include "monitor.h"
#include "settings.h"
#include "strings.h"

using namespace sentrel;

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  struct Kind {
    const char* name;
    AlertKind kind;
    int type;
  };
  const Kind kinds[] = {{"startup", AlertKind::NewStartup, 11},  {"task", AlertKind::NewTask, 0},
                        {"service", AlertKind::NewService, 700}, {"iehelper", AlertKind::NewIEHelper, 900},
                        {"activex", AlertKind::NewActiveX, 900}, {"hidden", AlertKind::NewHidden, 370},
                        {"cameback", AlertKind::CameBack, 11},   {"filetype", AlertKind::FileType, 400},
                        {"filechange", AlertKind::FileChange, 0}};
  Process().kind = ProgramKind::Monitor;
  InitLanguageId();
  LoadOptions();
  Monitor().instance = GetModuleHandleA(nullptr);
  CreateMonitorFonts();
  for (const Kind& kind : kinds)
    if (std::strcmp(argv[1], kind.name) == 0) {
      CurrentItem& item = CurrentAlertItem();
      item.text = argv[2];
      item.name = argc > 3 ? argv[3] : "Sample";
      item.type = kind.type;
      if (kind.kind == AlertKind::FileType) {
        item.name = ".txt";
        item.secondProgram = argc > 3 ? argv[3] : "";
      } else if (kind.kind == AlertKind::FileChange) {
        item.filePath = argv[2];
        const char* slash = std::strrchr(argv[2], '\\');
        item.name = slash ? slash + 1 : argv[2];
      }
      return ShowAlert(nullptr, kind.kind);
    }
  return 2;
}
