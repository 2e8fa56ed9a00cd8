// The patrol's check for newly installed services.
#include "services_check.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "alerts.h"
#include "catalogue.h"
#include "first_seen.h"
#include "monitor.h"
#include "patrol.h"
#include "registry.h"
#include "resource.h"
#include "services.h"
#include "trace.h"

namespace sentrel {
namespace {

// What the services looked like when a full check last found every one of
// them known: while nothing of it changes, the full listing (display names
// from the Service Control Manager, version resources) is not needed.
std::string g_quietSignature;

}  // namespace

void ForgetServicesSignature() { g_quietSignature.clear(); }

int CheckForNewServices() {
  const std::string signature = ServicesSignature();
  if (!g_quietSignature.empty() && signature == g_quietSignature) return 1;
  g_quietSignature.clear();

  const WholeCatalogue whole;
  EnumerateServices(ServiceListing::Full);
  // The list is rebuilt by other catalogues while an alert is open: a copy.
  std::vector<CatalogueEntry> entries;
  for (int i = 0; i < CatalogueCount(); ++i) entries.push_back(CatalogueAt(i));
  MonitorState& monitor = Monitor();
  RegKey baseline;  // read through one handle; it sees the values written meanwhile
  baseline.Open(HKEY_CURRENT_USER, kServicesBaselineKey, KEY_READ);
  for (const CatalogueEntry& entry : entries) {
    if (monitor.exiting) return 0;
    if (IsServiceKnown(baseline.get(), entry.name)) continue;
    RecordFirstSeen(entry.path.c_str(), FirstSeenArea(entry.type));
    UpdateTrayIcon(NIM_MODIFY, IDI_TAVVY_ALERT, IDS_TIP_STARTUP);
    monitor.alertOpen = true;
    SetTraceDialogFlag();
    if (ElevationHandOver()) return 0;
    CurrentItem& item = CurrentAlertItem();
    item.text = entry.path;
    item.name = entry.name;
    item.type = entry.type;
    item.serviceKey = entry.key;
    // Shown, or answered by HideServices while ShowAlerts is 0.
    const int answer = ShowAlert(monitor.window, AlertKind::NewService);
    monitor.alertOpen = false;
    if (answer == kAnswerNo) {
      SetServiceStartType(entry.name.c_str(), 4, entry.key.c_str());
      SendServiceControl(entry.name.c_str(), 1, entry.key.c_str());
    }
    // Either way the service is known now: a refused one is not asked about
    // again.
    if (answer == kAnswerYes || answer == kAnswerNo) WriteServiceBaseline(entry.name, entry.type);
  }
  if (monitor.exiting) return 0;
  g_quietSignature = signature;
  return 1;
}

}  // namespace sentrel
