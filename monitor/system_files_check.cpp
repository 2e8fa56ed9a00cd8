// The system files, hidden files and restart commands checks of the patrol.
#include "system_files_check.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "alerts.h"
#include "catalogue.h"
#include "fileid.h"
#include "first_seen.h"
#include "hidden_files.h"
#include "monitor.h"
#include "patrol.h"
#include "registry.h"
#include "resource.h"
#include "restart_commands.h"
#include "settings.h"
#include "strings.h"
#include "system_files.h"
#include "trace.h"

namespace sentrel {
namespace {

// The busy icon, the alert mark and the hand-over before a question; false
// when the monitor handed over.
bool PrepareAlert(UINT icon, UINT tip) {
  UpdateTrayIcon(NIM_MODIFY, icon, tip);
  Monitor().alertOpen = true;
  SetTraceDialogFlag();
  return ElevationHandOver() == 0;
}

}  // namespace

int CheckSystemFiles() {
  MonitorState& monitor = Monitor();
  for (const ChangedSystemFile& file : ChangedSystemFiles()) {
    if (monitor.exiting) return 0;
    if (!PrepareAlert(IDI_TAVVY_ALERT, IDS_TIP_HOSTS)) return 0;
    // Answered by the options only while alerts are not all shown: 1 keeps
    // the change, any other value puts the saved copy back.
    if (const int answer = HiddenAlertAnswer(AlertKind::FileChange)) {
      if (answer == kAnswerYes)
        AcceptFileChange(file.name, file.path, false);
      else
        RejectFileChange(file.name, file.path, false);
      monitor.alertOpen = false;
      continue;
    }
    CurrentItem& item = CurrentAlertItem();
    item.text = item.filePath = file.path;
    item.name = file.name;
    item.type = 0;
    ShowAlert(monitor.window, AlertKind::FileChange);
    monitor.alertOpen = false;
  }
  return 1;
}

int CheckHiddenFiles() {
  std::vector<CatalogueEntry> entries;
  {
    const WholeCatalogue whole;  // every hidden file is looked at, however many
    ScanHiddenFiles(false);
    entries.reserve(static_cast<size_t>(CatalogueCount()));
    for (int i = 0; i < CatalogueCount(); ++i) entries.push_back(CatalogueAt(i));
    ClearCatalogueEntries();
  }
  RegKey baseline;  // opened once for the walk
  baseline.Open(HKEY_CURRENT_USER, kHiddenBaselineKey, KEY_READ);
  MonitorState& monitor = Monitor();
  for (const CatalogueEntry& entry : entries) {
    if (monitor.exiting) return 0;
    const std::string& path = entry.command;
    if (IsKnownHiddenFile(baseline.get(), path)) continue;
    RecordFirstSeen(path.c_str(), FirstSeenArea(kTypeHidden));
    if (!PrepareAlert(IDI_TAVVY_SECOND_HALF, IDS_TIP_IE_HELPERS)) return 0;
    const std::string title = HiddenFileTitle(path);  // only now: known files need none
    CurrentItem& item = CurrentAlertItem();
    item.text = path;
    item.name = title.empty() ? FileNamePart(path) : title;
    item.type = kTypeHidden;
    const int answer = ShowAlert(monitor.window, AlertKind::NewHidden);
    monitor.alertOpen = false;
    if (answer == kAnswerNo)
      DeleteHiddenFile(nullptr, title.c_str(), path.c_str());
    else
      WriteHiddenBaseline(path);
  }
  return 1;
}

int CheckRestartCommands() {
  if (!RestartCommands(nullptr, false)) return 1;
  // Asked once: the countdown goes out of reach, and an options load never
  // lowers it.
  size_t count = 0;
  const PatrolArea* areas = PatrolAreas(&count);
  for (size_t i = 0; i < count && i < 16; ++i)
    if (areas[i].patrolTimeOption == kOptWinInit) Patrol().countdown[i] = 99999;
  MonitorState& monitor = Monitor();
  monitor.alertOpen = true;
  SetTraceDialogFlag();
  if (ShowMessageId(monitor.window, IDS_SENTREL_DETECTED_COMMANDS_HAVE, MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
    RestartCommands(monitor.window, true);
  monitor.alertOpen = false;
  return 1;
}

}  // namespace sentrel
