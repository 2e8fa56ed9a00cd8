// The questions about changed system settings, and what the answers do.
#include "settings_watch.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "fileid.h"
#include "monitor.h"
#include "patrol.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "system_settings.h"
#include "trace.h"

namespace sentrel {
namespace {

// A question without owner, topmost, in the monitor's language.
int Ask(const std::string& text, const std::string& caption, UINT icon) {
  Monitor().alertOpen = true;
  const int answer =
      MessageBoxExA(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_TOPMOST | icon, Process().languageId);
  Monitor().alertOpen = false;
  return answer;
}

std::string CaptionWith(UINT id) { return ProgramCaption() + " - " + LoadText(id); }

std::string Shown(const std::string& page) {
  return page.size() > kShownPageChars ? page.substr(0, kShownPageChars) : page;
}

bool NewerWindows() { return WindowsMajorVersion() > 5; }

}  // namespace

int CheckBrowserPages() {
  size_t count = 0;
  const BrowserPage* pages = BrowserPages(&count);
  for (size_t i = 0; i < count; ++i) {
    const BrowserPage& page = pages[i];
    const std::string current = ReadPage(page);
    const std::string baseline = ReadPageBaseline(page);
    if (baseline.empty()) {
      WritePageBaseline(page, current);
      continue;
    }
    if (SamePage(current, baseline)) continue;
    UpdateTrayIcon(NIM_MODIFY, IDI_TAVVY_ALERT, IDS_TIP_DEFAULT_PAGES);
    const std::string message = FillText(LoadText(page.message), {Shown(current), Shown(baseline)});
    SetTraceDialogFlag();
    const int hide = Option(kOptHideHomePage);
    bool keep = hide == 1;
    if (hide == 0 || Option(kOptShowAlerts) != 0) keep = Ask(message, ProgramCaption(), MB_ICONEXCLAMATION) == IDYES;
    // Both are written whole, as read (a trailing "/" included).
    if (keep)
      WritePageBaseline(page, current);
    else
      WritePage(page, baseline);
  }
  return 1;
}

int CheckWindowsSettings() {
  const DWORD approved = AutoUpdateBaseline();
  const DWORD system = AutoUpdateSystemValue();
  if (approved < 1 || approved > 4) {
    // Nothing approved yet: the first reading is recorded, no question.
    if (system != 0 && system != approved) {
      StoreAutoUpdateBaseline(system);
      return 0;
    }
  } else if (system != approved) {
    const std::string message =
        FillText(LoadText(IDS_CHANGE_DETECTED_WINDOWS_AUTO), {AutoUpdateText(approved), AutoUpdateText(system)});
    if (ElevationHandOver()) return 1;
    if (Ask(message, CaptionWith(IDS_WINDOWS_AUTO_UPDATE_SETTINGS), MB_ICONEXCLAMATION) != IDYES)
      StoreAutoUpdateBaseline(system);
    else if (NewerWindows())
      StartExplorer("-AUOption");
    else
      RestoreAutoUpdateDirectly();
  }

  const std::string baseline = PrefixBaseline();
  const std::string current = CurrentPrefix();
  if (lstrcmpiA(baseline.c_str(), current.c_str()) == 0) return 0;
  const std::string message = FillText(LoadText(IDS_UNUSUAL_CHANGE_DETECTED_DEFAULT), {baseline, current});
  if (ElevationHandOver()) return 1;
  if (Ask(message, CaptionWith(IDS_INTERNET_BROWSER_DEFAULT_PREFIX), MB_ICONERROR) != IDYES)
    StorePrefixBaseline(current);
  else if (NewerWindows())
    StartExplorer("-SetPrefix");
  else
    RestorePrefixDirectly();
  return 0;
}

int CheckUserAccountControl() {
  const DWORD approved = UacBaselineSum();
  const DWORD system = UacSystemSum();
  if (approved == system) return 0;
  const std::string message =
      FillText(LoadText(IDS_CHANGE_DETECTED_WINDOWS_USER), {UacLevelText(approved), UacLevelText(system)});
  if (ElevationHandOver()) return 1;
  if (Ask(message, CaptionWith(IDS_WINDOWS_USER_ACCOUNT_CONTROL), MB_ICONEXCLAMATION) == IDYES)
    RestoreUacValues();
  else
    StoreUacBaselines();
  return 0;
}

int WatchWindowsSettings() {
  if (CheckWindowsSettings()) return 1;
  if (NewerWindows() && CheckUserAccountControl()) return 1;
  return 0;
}

}  // namespace sentrel
