// The Options page: how the watchdog behaves, saved as a whole after every
// change; and the alert-hiding dialog it opens.
#pragma once

#include <windows.h>

namespace sentrel {

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Options of the page whose stored text is not a number in the option's
// range (or not text at all) take their defaults and are written back;
// returns how many were mended.
int RepairSpoiltOptions();

// The alert-hiding dialog (template 213), modal; it changes the options in
// memory, the caller saves them.
INT_PTR ShowHideAlertsDialog(HWND owner);

}  // namespace sentrel
