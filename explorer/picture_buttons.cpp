// The pages' picture buttons: hover, one command per click, drawing and
// their place at the page's top right.
#include "picture_buttons.h"

#include <commctrl.h>

#include "resource.h"
#include "ui.h"

namespace sentrel {
namespace {

// A picture's state lives in its own user data: pages of every kind share it.
constexpr LONG_PTR kHover = 1;
constexpr LONG_PTR kPressed = 2;

LONG_PTR StateOf(HWND picture) { return picture ? GetWindowLongPtrA(picture, GWLP_USERDATA) : 0; }

int LabelOf(int picture) { return picture == IDC_PAGE_HELP_PICTURE ? IDC_PAGE_HELP_LABEL : IDC_PAGE_WATCHDOG_LABEL; }
int PictureOf(int label) { return label == IDC_PAGE_HELP_LABEL ? IDC_PAGE_HELP_PICTURE : IDC_PAGE_WATCHDOG_PICTURE; }
bool IsPicture(UINT id) { return id == IDC_PAGE_HELP_PICTURE || id == IDC_PAGE_WATCHDOG_PICTURE; }
bool IsLabel(UINT id) { return id == IDC_PAGE_HELP_LABEL || id == IDC_PAGE_WATCHDOG_LABEL; }

void SetState(HWND picture, LONG_PTR state) {
  const LONG_PTR old = StateOf(picture);
  if (old == state) return;
  SetWindowLongPtrA(picture, GWLP_USERDATA, state);
  if ((old ^ state) & kHover) {
    InvalidateRect(picture, nullptr, TRUE);
    InvalidateRect(GetDlgItem(GetParent(picture), LabelOf(GetDlgCtrlID(picture))), nullptr, TRUE);
  }
}

// The command runs on the button's release over the picture it was pressed
// on. The press itself is kept from the static: its click notification would
// be a second command for the same click.
LRESULT CALLBACK PictureProc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  const LONG_PTR state = StateOf(picture);
  switch (message) {
    case WM_MOUSEMOVE: {
      TrackMouseLeave(picture);
      SetState(picture, state | kHover);
      break;
    }
    case WM_MOUSELEAVE:
      SetState(picture, 0);  // a press dragged away is given up
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetState(picture, state | kPressed);
      return 0;
    case WM_LBUTTONUP:
      if (state & kPressed) {
        SetState(picture, state & ~kPressed);
        PostMessageA(GetParent(picture), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(picture), STN_CLICKED),
                     reinterpret_cast<LPARAM>(picture));
      }
      return 0;
    case WM_NCDESTROY:
      RemoveSubclass(picture, PictureProc, 0);
      break;
    default:
      break;
  }
  return CallNextProcedure(picture, message, wParam, lParam);
}

void DrawShadowText(HDC dc, const RECT& box, const char* text, COLORREF color) {
  SetBkMode(dc, TRANSPARENT);
  RECT shadow = box;
  OffsetRect(&shadow, 1, 1);
  SetTextColor(dc, RGB(192, 192, 192));
  DrawTextA(dc, text, -1, &shadow, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
  RECT front = box;
  SetTextColor(dc, color);
  DrawTextA(dc, text, -1, &front, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
}

void DrawPicture(const DRAWITEMSTRUCT& item, WatchdogLook look) {
  const bool hover = (StateOf(item.hwndItem) & kHover) != 0;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (hover) {
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FrameRect(item.hDC, &item.rcItem, blue);
    DeleteObject(blue);
  }
  if (item.CtlID == IDC_PAGE_HELP_PICTURE) {
    DrawShadowText(item.hDC, item.rcItem, "?", hover ? RGB(0, 0, 255) : RGB(0, 0, 128));
    return;
  }
  const UINT iconId = look == kWatchdogRealtime ? IDI_TAVVY_FIRST_HALF : IDI_TAVVY;
  HICON icon =
      static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 16, 16, 0));
  if (!icon) return;
  const int x = (item.rcItem.left + item.rcItem.right - 16) / 2, y = (item.rcItem.top + item.rcItem.bottom - 16) / 2;
  DrawState(item.hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x, y, 16, 16,
            DST_ICON | (look == kWatchdogOff ? DSS_DISABLED : DSS_NORMAL));
  DestroyIcon(icon);
}

void DrawLabel(const DRAWITEMSTRUCT& item) {
  HWND picture = GetDlgItem(GetParent(item.hwndItem), PictureOf(static_cast<int>(item.CtlID)));
  const bool hover = (StateOf(picture) & kHover) != 0;
  char text[64] = "";
  GetWindowTextA(item.hwndItem, text, sizeof text);
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  DrawShadowText(item.hDC, item.rcItem, text, hover ? RGB(0, 0, 255) : GetSysColor(COLOR_BTNTEXT));
}

}  // namespace

void InstallPictureButtons(HWND page) {
  for (int id : {IDC_PAGE_HELP_PICTURE, IDC_PAGE_WATCHDOG_PICTURE})
    if (HWND picture = GetDlgItem(page, id)) SubclassWindow(picture, PictureProc, 0, 0);
  for (int id : {IDC_PAGE_HELP_LABEL, IDC_PAGE_WATCHDOG_LABEL}) {
    HWND label = GetDlgItem(page, id);
    if (!label) continue;
    LONG_PTR style = GetWindowLongPtrA(label, GWL_STYLE);
    SetWindowLongPtrA(label, GWL_STYLE, (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | SS_OWNERDRAW);
  }
}

bool DrawPictureButton(const DRAWITEMSTRUCT& item, WatchdogLook look) {
  if (IsPicture(item.CtlID)) {
    DrawPicture(item, look);
    return true;
  }
  if (IsLabel(item.CtlID)) {
    DrawLabel(item);
    return true;
  }
  return false;
}

void PlacePictureButtons(HWND page, int width, ControlMoves& moves) {
  // Each right-aligned by a multiple of its own width.
  struct Place {
    int id, top, widths4;  // widths4: the multiple of the width, in quarters
  };
  static constexpr Place kPlaces[] = {{IDC_PAGE_HELP_PICTURE, 3, 12},
                                      {IDC_PAGE_HELP_LABEL, 25, 7},
                                      {IDC_PAGE_WATCHDOG_PICTURE, 38, 12},
                                      {IDC_PAGE_WATCHDOG_LABEL, 60, 6}};
  for (const Place& place : kPlaces) {
    HWND control = GetDlgItem(page, place.id);
    if (!control) continue;
    RECT box;
    GetWindowRect(control, &box);
    const int w = box.right - box.left, h = box.bottom - box.top;
    moves.push_back({control, RECT{width - w * place.widths4 / 4, place.top, w, h}});
  }
}

void ApplyMoves(const ControlMoves& moves) {
  HDWP batch = BeginDeferWindowPos(static_cast<int>(moves.size()));
  for (const auto& [control, box] : moves)
    if (batch)
      batch = DeferWindowPos(batch, control, nullptr, box.left, box.top, box.right, box.bottom,
                             SWP_NOZORDER | SWP_NOACTIVATE);
  if (batch) EndDeferWindowPos(batch);
}

}  // namespace sentrel
