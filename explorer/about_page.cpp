// The About page: what the sheet's plain-page procedure hands over for the
// page of command 6027.
#include "about_page.h"

#include <string>

#include "explorer.h"
#include "lookup.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

// The type code the vendor's lookup knows a search by name under.
constexpr int kTypeProgramSearch = 450;

bool IsAboutPage(HWND page) { return GetWindowLongPtrA(page, DWLP_USER) == IDC_CMD_SHOW_OMNI; }

void SearchProgram(HWND page) {
  char name[MAX_PATH] = "";
  GetDlgItemTextA(page, IDC_ABOUT_SEARCH_NAME, name, sizeof name);
  // A bare name has no folder part: the lookup takes it as the item's title.
  if (name[0]) LookUpProgramOnline(kTypeProgramSearch, name, name);
}

}  // namespace

void InitAboutPage(HWND page) {
  SetDlgItemTextA(page, IDC_PAGE_INTRO, (ProgramCaption() + "\n" + kVersionText).c_str());
  SetDlgItemTextA(page, IDC_ABOUT_CHECK_VERSION, LoadText(IDS_CHECK_NEW_VERSION).c_str());
  // The first run's date, as the settings store keeps it.
  char installed[64] = "";
  if (ReadStringValue(HKEY_CURRENT_USER, kSentrelKey, "", installed, sizeof installed) > 0)
    SetDlgItemTextA(page, IDC_ABOUT_INSTALLED, FillText(LoadText(IDS_ABOUT_INSTALLED), {installed}).c_str());
  SetDlgItemTextA(page, IDC_ABOUT_NEWS, LoadText(IDS_ABOUT_NEWS).c_str());
  SendDlgItemMessageA(page, IDC_ABOUT_NEWS, WM_SETFONT, reinterpret_cast<WPARAM>(ExplorerFontOf(kFontLink)), FALSE);
  SetDlgItemTextA(page, IDC_ABOUT_SEARCH_LABEL, LoadText(IDS_ENTER_PROGRAM_FILENAME_SEARCH).c_str());
  SetDlgItemTextA(page, IDC_ABOUT_SEARCH, LoadText(IDS_SEARCH).c_str());
  SendDlgItemMessageA(page, IDC_ABOUT_SEARCH_NAME, EM_LIMITTEXT, MAX_PATH - 1, 0);
}

bool AboutPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (!IsAboutPage(page)) return false;
  *result = TRUE;
  switch (message) {
    case WM_CTLCOLORSTATIC:
      // The news line reads as a link.
      if (reinterpret_cast<HWND>(lParam) != GetDlgItem(page, IDC_ABOUT_NEWS)) return false;
      SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 255));
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      *result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      return true;
    case WM_SETCURSOR: {
      if (reinterpret_cast<HWND>(wParam) != GetDlgItem(page, IDC_ABOUT_NEWS)) return false;
      // The hand cursor came with Windows 98 and 2000; the arrow before.
      HCURSOR hand = LoadCursor(nullptr, MAKEINTRESOURCE(32649));
      SetCursor(hand ? hand : LoadCursor(nullptr, IDC_ARROW));
      SetWindowLongPtrA(page, DWLP_MSGRESULT, TRUE);
      return true;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_ABOUT_CHECK_VERSION:
          OpenWebAddress(VersionCheckAddress().c_str());  // nothing is read back
          return true;
        case IDC_ABOUT_NEWS:
          if (HIWORD(wParam) == STN_CLICKED) OpenWebAddress((std::string(kVendorSite) + "/news.html").c_str());
          return true;
        case IDC_ABOUT_SEARCH:
          SearchProgram(page);
          return true;
        case IDOK:  // Enter, forwarded by the sheet: a search when a name is being typed
          if (GetFocus() == GetDlgItem(page, IDC_ABOUT_SEARCH_NAME)) SearchProgram(page);
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

}  // namespace sentrel
