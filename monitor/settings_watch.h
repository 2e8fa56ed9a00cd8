// The monitor's watch over single system settings: the browser pages (an
// area of the patrol's first half) and the Windows settings (automatic
// update, URL prefix, user account control) at the start of every patrol.
#pragma once

namespace sentrel {

// The browser start, search and desktop pages; always 1.
int CheckBrowserPages();
// Automatic update and URL prefix: non-zero when it handed over to the
// elevated monitor.
int CheckWindowsSettings();
// User account control (Windows Vista and later): the same result.
int CheckUserAccountControl();
// Both, as the patrol runs them (installed with SetSettingsWatch).
int WatchWindowsSettings();

}  // namespace sentrel
