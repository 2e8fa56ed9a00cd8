// The file type check: a monitored extension whose program changed is put to
// the user, or put back at once when file types are locked.
#include "file_type_check.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "alerts.h"
#include "catalogue.h"
#include "file_types.h"
#include "fileid.h"
#include "first_seen.h"
#include "monitor.h"
#include "patrol.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "trace.h"

namespace sentrel {

namespace {

// Puts one changed source to the user (or back at once when file types are
// locked). `added`: a user's choice in front of an approved association.
// Returns 0 when the patrol must stop (exit, handed over for elevation).
int PutToUser(const std::string& extension, int source, const std::string& baseline, const std::string& current,
              bool added, bool program) {
  if (Option(kOptLockFileTypes) != 0) {
    if (added)
      RemoveUserChoice(extension, source);
    else
      RestoreAssociation(extension, source);
    return 1;
  }
  MonitorState& monitor = Monitor();
  RecordFirstSeen(baseline.c_str(), FirstSeenArea(kTypeFileType));
  if (program) RecordFirstSeen(current.c_str(), FirstSeenArea(kTypeFileType));
  UpdateTrayIcon(NIM_MODIFY, IDI_TAVVY_ALERT, IDS_TIP_FILE_TYPES);
  monitor.alertOpen = true;
  SetTraceDialogFlag();
  if (ElevationHandOver()) return 0;
  CurrentItem& item = CurrentAlertItem();
  item.text = baseline;
  item.name = extension;
  item.type = kTypeFileType;
  item.secondProgram = current;
  const int answer = ShowAlert(monitor.window, AlertKind::FileType);
  monitor.alertOpen = false;
  if (answer == kAnswerNo && added)
    RemoveUserChoice(extension, source);
  else if (answer == kAnswerNo)
    RestoreAssociation(extension, source);
  else
    WriteFileTypeBaseline(extension, source);
  return 1;
}

bool IsListed(const std::vector<CatalogueEntry>& entries, const std::string& extension, int source) {
  for (const CatalogueEntry& entry : entries)
    if (entry.value == source && lstrcmpiA(entry.description.c_str(), extension.c_str()) == 0) return true;
  return false;
}

}  // namespace

int CheckFileTypes() {
  if (ReadOption("Update", 0) != 0) {
    LoadOptions();
    LoadAreaCountdowns();
    WriteStringValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0");
  }
  if (Option(kOptFileType) <= 0) return 1;
  const WholeCatalogue whole;
  EnumerateMonitoredTypes(false);
  // Answers change the registry, not the list: still, work on a copy.
  std::vector<CatalogueEntry> entries;
  for (int i = 0; i < CatalogueCount(); ++i) entries.push_back(CatalogueAt(i));
  ClearCatalogueEntries();
  for (const CatalogueEntry& entry : entries) {
    if (Monitor().exiting) return 0;
    const std::string& extension = entry.description;
    const int source = entry.value;
    const std::string value = BaselineAssociationValue(extension, source);
    std::string baseline = ApprovedCommandOf(value);
    // A user's choice that appeared in front of an approved association
    // changes which program opens the type: it is not a first association.
    const bool added = value.empty() && !(baseline = ApprovedCommandBeside(extension, source)).empty();
    const std::string& current = entry.command;
    if (baseline.empty() || ContainsText(baseline.c_str(), "AVI;BAT")) {
      // Monitored before anything was associated: the first program is approved.
      WriteFileTypeBaseline(extension, source);
      continue;
    }
    // The same program moved, quoted or given other arguments is no change.
    if (lstrcmpiA(ProgramFileName(baseline).c_str(), ProgramFileName(current).c_str()) == 0) {
      if (added) WriteFileTypeBaseline(extension, source);
      continue;
    }
    if (!PutToUser(extension, source, baseline, current, added, true)) return 0;
  }
  // A value naming no class or application Sentrel can read (a name outside
  // the ANSI code page, say) leaves its source out of the listing while
  // Windows may still follow it: unless it is the approved value, it is a
  // change all the same.
  for (const std::string& token : SplitExtensionList(MonitoredExtensionList()))
    for (int source = kMachineClasses; source <= kChosenProgId; ++source) {
      if (Monitor().exiting) return 0;
      const std::string extension = DottedExtension(token);
      if (IsListed(entries, extension, source)) continue;
      const std::string current = AssociationValue(extension, source);
      if (current.empty()) continue;
      const std::string value = BaselineAssociationValue(extension, source);
      std::string baseline = ApprovedCommandOf(value);
      const bool added = value.empty() && !(baseline = ApprovedCommandBeside(extension, source)).empty();
      if (baseline.empty() || (!added && lstrcmpiA(value.c_str(), current.c_str()) == 0)) continue;
      if (!PutToUser(extension, source, baseline, current, added, false)) return 0;
    }
  return 1;
}

}  // namespace sentrel
