// The property sheet's frame: pages becoming active, placement, layout and
// the geometry remembered between runs.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace sentrel {

// Sent to the active page to refill its list (a second start asking for
// Active Tasks while the sheet is open).
constexpr UINT WM_SENTREL_REFILL_PAGE = WM_APP + 1;

// The first page to initialise places the sheet and prepares the frame.
void PlaceSheet(HWND page);
// A page became active: its command is the current page; the frame's buttons
// and caption are set and the frame laid out.
void ActivatePage(HWND page, UINT command);
// Lays out the frame and the given page, the current one when none is given.
void LayoutFrame(HWND sheet, HWND page = nullptr);
void SaveSheetGeometry();
// A page is destroyed: the sheet is closing.
void SheetPageDestroyed(HWND page);
// A page without a list: the help picture at the top right, Close in the
// bottom right corner.
void LayoutPlainPage(HWND page);
// Activation and leaving of a page without a list, whose command is given;
// false for any other notification.
bool OnPlainPageNotify(HWND page, const NMHDR& header, UINT command);

// The saved coordinate after the virtual-screen rule (0 when beyond it).
int ClampToVirtualScreen(int value, int virtualExtent);

}  // namespace sentrel
