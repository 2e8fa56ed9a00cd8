// The patrol's checks of the IE helpers and of the ActiveX controls.
#include "addon_checks.h"

#include <windows.h>

#include <shellapi.h>

#include <set>
#include <string>
#include <vector>

#include "activex.h"
#include "alerts.h"
#include "catalogue.h"
#include "first_seen.h"
#include "ie_helpers.h"
#include "monitor.h"
#include "patrol.h"
#include "processes.h"
#include "registry.h"
#include "resource.h"
#include "trace.h"

namespace sentrel {
namespace {

// The steps before every question: the current item, the busy icon and the
// alert mark, the hand-over. False when the monitor handed over.
bool PrepareAlert(const CatalogueEntry& entry) {
  CurrentItem& item = CurrentAlertItem();
  item.text = entry.path;
  item.name = entry.title;
  item.type = entry.type;
  UpdateTrayIcon(NIM_MODIFY, IDI_TAVVY_SECOND_HALF, IDS_TIP_IE_HELPERS);
  Monitor().alertOpen = true;
  SetTraceDialogFlag();
  return ElevationHandOver() == 0;
}

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};

std::vector<CatalogueEntry> CopyOfList() {
  std::vector<CatalogueEntry> entries;
  entries.reserve(static_cast<size_t>(CatalogueCount()));
  for (int i = 0; i < CatalogueCount(); ++i) entries.push_back(CatalogueAt(i));
  return entries;
}

}  // namespace

int CheckIEHelpers() {
  const WholeCatalogue whole;  // a flood of known items must not push a new one out of the list
  EnumerateIEHelpers();
  const std::vector<CatalogueEntry> entries = CopyOfList();
  RegKey baseline;  // opened once for the walk; answers are written through the layer
  baseline.Open(HKEY_CURRENT_USER, kIEHelperBaselineKey, KEY_READ);
  std::set<std::string, NoCase> refused;  // paths removed in this walk
  MonitorState& monitor = Monitor();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (monitor.exiting) return 0;
    const CatalogueEntry& entry = entries[i];
    if (IsKnownIEHelper(baseline.get(), entry.title)) continue;
    if (!entry.path.empty() && refused.count(entry.path)) continue;  // went with an earlier refusal
    RecordFirstSeen(entry.path.c_str(), FirstSeenArea(entry.type));
    if (!PrepareAlert(entry)) return 0;
    const int answer = ShowAlert(monitor.window, AlertKind::NewIEHelper);
    monitor.alertOpen = false;
    if (answer == kAnswerYes) {
      WriteStringValue(HKEY_CURRENT_USER, kIEHelperBaselineKey, entry.title.c_str(),
                       std::to_string(entry.type).c_str());
      if (!baseline) baseline.Open(HKEY_CURRENT_USER, kIEHelperBaselineKey, KEY_READ);  // made just now
    } else if (answer == kAnswerNo) {
      KillProgram(nullptr, entry.path.c_str(), entry.title.c_str(), false);
      // The removal works on the listing: the same list, whatever the alert did.
      EnumerateIEHelpers();
      int index = -1;
      for (int row = 0; row < CatalogueCount() && index < 0; ++row)
        if (CatalogueAt(row).type == entry.type && CatalogueAt(row).data == entry.data) index = row;
      if (index >= 0) RemoveIEHelper(entry.path.c_str(), index);
      DeleteValue(HKEY_CURRENT_USER, kIEHelperBaselineKey, entry.title.c_str());
      refused.insert(entry.path);
    }
  }
  TraceTiming();
  return 1;
}

int CheckActiveX() {
  const WholeCatalogue whole;
  EnumerateActiveX(false, true);
  const std::vector<CatalogueEntry> entries = CopyOfList();
  RegKey baseline;
  baseline.Open(HKEY_CURRENT_USER, kActiveXBaselineKey, KEY_READ);
  MonitorState& monitor = Monitor();
  for (const CatalogueEntry& entry : entries) {
    if (monitor.exiting) return 0;
    if (entry.data.empty() || (baseline && RegQueryValueExA(baseline.get(), entry.data.c_str(), nullptr, nullptr,
                                                            nullptr, nullptr) == ERROR_SUCCESS))
      continue;
    RecordFirstSeen(entry.path.c_str(), FirstSeenArea(kTypeActiveX));
    // Handed over, it stays new: the elevated monitor asks about it.
    if (!PrepareAlert(entry)) return 0;
    // Known from now on, whatever the answer: a control is asked about once.
    WriteStringValue(HKEY_CURRENT_USER, kActiveXBaselineKey, entry.data.c_str(), std::to_string(kTypeActiveX).c_str());
    if (!baseline) baseline.Open(HKEY_CURRENT_USER, kActiveXBaselineKey, KEY_READ);
    const int answer = ShowAlert(monitor.window, AlertKind::NewActiveX);
    monitor.alertOpen = false;
    if (answer == kAnswerNo) DisableActiveX(entry.data.c_str());
  }
  TraceTiming();
  return 1;
}

}  // namespace sentrel
