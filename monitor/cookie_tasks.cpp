// The patrol's cookie tasks.
#include "cookie_tasks.h"

#include <windows.h>

#include <shellapi.h>

#include <set>
#include <string>

#include "alerts.h"
#include "catalogue.h"
#include "cookies.h"
#include "monitor.h"
#include "patrol.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "system_settings.h"
#include "trace.h"

namespace sentrel {
namespace {

constexpr int kCookieAlertSound = 2;
int g_kind = 0;

// The kind derived by the last filter task; derived here when that task has
// not run (its patrol time is 0 by default).
int Kind() {
  if (g_kind == 0) g_kind = DefaultBrowserKind();
  return g_kind;
}

}  // namespace

int RememberedBrowserKind() { return g_kind; }
void ForgetBrowserKind() { g_kind = 0; }

int FilterCookies() {
  g_kind = DefaultBrowserKind();
  if (IsMozillaKind(g_kind)) return 1;
  LoadCookieFilters();
  ListCookies(g_kind, true);
  FreeCookieFilters();
  ClearCatalogueEntries();
  return 1;
}

int CommitMozillaCookies() {
  const int kind = Kind();
  if (!IsMozillaKind(kind)) return 1;
  std::string folder;
  if (!FindMozillaProfileFolder(kind, folder)) return 1;
  if (ReadOption(kUpdateCookieFile, 0) > 0 && !FindWindowA(LoadText(IDS_MOZILLA_WINDOW_CLASS).c_str(), nullptr)) {
    // The browser saves cookies.txt as it closes, after the page staged its
    // copy: staged afresh from the saved file, no cookie saved since is lost.
    LoadCookieFilters();
    ListCookies(kind, true);
    FreeCookieFilters();
    ClearCatalogueEntries();
  }
  const int committed = CommitStagedCookies(folder);
  // A copy that failed is tried again on the next patrol; the removal
  // requests stay until cookies.txt no longer holds their cookies.
  if (committed != 0) DeleteValue(HKEY_CURRENT_USER, kOptionsKey, kUpdateCookieFile);
  if (committed == 1) PurgeRemovalRequests();
  return 1;
}

int CheckForNewCookies() {
  ListCookies(Kind(), false);
  MonitorState& monitor = Monitor();
  const std::set<std::string> kept = KeptCookieKeys();
  for (int i = 0; i < CatalogueCount(); ++i) {
    if (kept.count(CookieKey(CatalogueAt(i).name))) continue;
    ClearCatalogueEntries();
    UpdateTrayIcon(NIM_MODIFY, IDI_TAVVY_ALERT, IDS_TIP_COOKIES);
    monitor.alertOpen = true;
    SetTraceDialogFlag();
    if (ElevationHandOver()) return 0;
    PlayAlertSound(kCookieAlertSound);
    const int answer = ShowMessage(monitor.window, LoadText(IDS_TAVVY_NOTICED_HAVE_NEW).c_str(),
                                   MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND);
    monitor.alertOpen = false;
    if (monitor.exiting) return 0;
    if (answer == IDYES) StartExplorer("-COOKIES");
    return 1;
  }
  ClearCatalogueEntries();
  return 1;
}

}  // namespace sentrel
