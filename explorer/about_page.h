// The About page (the tab titled "OMNI"): the version, the installation date,
// the version check, the vendor's news and the program search.
#pragma once

#include <windows.h>

namespace sentrel {

// Sets the page's texts (on WM_INITDIALOG).
void InitAboutPage(HWND page);
// The page's own messages; true (with the dialog result) when handled.
bool AboutPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

}  // namespace sentrel
