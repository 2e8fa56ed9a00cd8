// Drives the explorer's sheet inside the test program as a user would: the
// sheet is shown on the test's thread while a helper thread reads the page's
// list, selects rows, presses buttons and answers the boxes that come up.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "explorer.h"
#include "process_support.h"
#include "resource.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"

namespace sentrel_test {

// Empties every Run key (the test prefix carries entries of its own).
inline void EmptyRunKeys() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    for (const char* const path : sentrel::kRunKeyPaths) {
      HKEY key;
      if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
      char name[512];
      for (;;) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
      }
      RegCloseKey(key);
    }
}

// The state the explorer's start-up leaves behind, for a sheet shown here.
inline void StartExplorerInProcess() {
  sentrel::Process().kind = sentrel::ProgramKind::Explorer;
  sentrel::InitLanguageId();
  sentrel::Explorer() = sentrel::ExplorerState{};
  sentrel::Explorer().instance = GetModuleHandleA(nullptr);
  sentrel::Explorer().caption = "Sentrel OMNI";
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  sentrel::CreateExplorerFonts();
}
inline void EndExplorerInProcess() { sentrel::DeleteExplorerFonts(); }

// Shows the sheet opened by the command and runs the user's steps on a
// helper thread once its page is up; the sheet is closed afterwards.
inline void WithSheet(UINT command, const std::function<void(HWND sheet, HWND page)>& steps) {
  std::thread user([&] {
    HWND sheet = WaitForVisibleWindow(GetCurrentProcessId(), "#32770", 10000);
    HWND page = nullptr;
    for (int i = 0; i < 200 && sheet && !page; ++i) {
      page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
      if (!page) Sleep(20);
    }
    if (!page) ADD_FAILURE() << "no sheet page came up";
    if (page) steps(sheet, page);
    if (sheet) PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
  });
  sentrel::ShowSheet(command);
  user.join();
}

// The last shown top-level dialog of this process that is none of `except`
// (a message box or one of the explorer's dialogs), once its texts are in;
// its static texts go to *text.
inline HWND WaitForDialog(std::initializer_list<HWND> except, std::string* text = nullptr, int tries = 500) {
  HWND box = nullptr;
  for (int i = 0; i < tries && !box; ++i) {
    HWND found = nullptr;
    while ((found = FindWindowExA(nullptr, found, "#32770", nullptr)) != nullptr) {
      DWORD process = 0;
      GetWindowThreadProcessId(found, &process);
      bool excepted = false;
      for (HWND window : except) excepted = excepted || window == found;
      if (!excepted && process == GetCurrentProcessId() && IsWindowVisible(found)) box = found;
    }
    if (!box) Sleep(20);
  }
  if (box && text) {
    text->clear();
    for (int i = 0; i < 100 && text->empty(); ++i) {
      EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(text));
      if (text->empty()) Sleep(20);
    }
  }
  return box;
}
inline HWND WaitForDialog(HWND except, std::string* text = nullptr, int tries = 500) {
  return WaitForDialog({except}, text, tries);
}

// Presses a button of the dialog and waits until it is gone.
inline void Press(HWND dialog, int button) {
  PostMessageA(dialog, WM_COMMAND, button, 0);
  for (int i = 0; i < 250 && IsWindow(dialog); ++i) Sleep(20);
}

// Returns once the window's thread is back in its message loop: a command
// posted to it has finished.
inline void Settle(HWND window) { SendMessageA(window, WM_NULL, 0, 0); }

// Answers the next dialog that is none of `except` with the button; its texts.
inline std::string Answer(std::initializer_list<HWND> except, int button) {
  std::string text;
  HWND box = WaitForDialog(except, &text);
  if (!box) return "<no box>";
  Press(box, button);
  return text;
}
inline std::string Answer(HWND except, int button) { return Answer({except}, button); }

// Posts a command to the page, answers the box it opens with the button and
// returns the box's texts once the command has finished.
inline std::string AnswerCommand(HWND page, int command, int button) {
  PostMessageA(page, WM_COMMAND, command, 0);
  std::string text = Answer({GetParent(page)}, button);
  Settle(page);
  return text;
}

// Restores a registry value as it was when the guard was made.
class ValueGuard {
 public:
  ValueGuard(HKEY root, const char* path, const char* name)
      : root_(root), path_(path), name_(name), saved_(RawGet(root, path, name)) {}
  ~ValueGuard() {
    if (saved_.type != 0)
      RawSet(root_, path_, name_, saved_.type, saved_.data.data(), static_cast<DWORD>(saved_.data.size()));
    else
      RegDeleteKeyValueA(root_, path_, name_);
  }
  ValueGuard(const ValueGuard&) = delete;
  ValueGuard& operator=(const ValueGuard&) = delete;

 private:
  HKEY root_;
  const char* path_;
  const char* name_;
  RawValue saved_;
};

// ---- The page's list -------------------------------------------------------

inline int RowCount(HWND page) {
  return static_cast<int>(SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_GETITEMCOUNT, 0, 0));
}

inline std::string CellText(HWND page, int row, int column) {
  char text[300] = "";
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

inline std::vector<std::string> Column(HWND page, int column) {
  std::vector<std::string> texts;
  for (int row = 0, rows = RowCount(page); row < rows; ++row) texts.push_back(CellText(page, row, column));
  return texts;
}

inline std::vector<std::string> RowTexts(HWND page, int row, int columns = 6) {
  std::vector<std::string> texts;
  for (int column = 0; column < columns; ++column) texts.push_back(CellText(page, row, column));
  return texts;
}

// The first row whose column holds the text, -1 when none does.
inline int RowWith(HWND page, int column, const std::string& text, bool anyCase = false) {
  for (int row = 0, rows = RowCount(page); row < rows; ++row) {
    const std::string cell = CellText(page, row, column);
    if (anyCase ? lstrcmpiA(cell.c_str(), text.c_str()) == 0 : cell == text) return row;
  }
  return -1;
}

// Makes the rows the only selected ones; the last of them gets the focus.
inline void Select(HWND page, std::initializer_list<int> rows) {
  HWND list = GetDlgItem(page, IDC_PAGE_LIST);
  LVITEMA clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  for (int row : rows) {
    if (row < 0) continue;
    LVITEMA item{};
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
}

inline void ClickColumn(HWND page, int column) {
  NMLISTVIEW click{};
  click.hdr.hwndFrom = GetDlgItem(page, IDC_PAGE_LIST);
  click.hdr.idFrom = IDC_PAGE_LIST;
  click.hdr.code = LVN_COLUMNCLICK;
  click.iSubItem = column;
  SendMessageA(page, WM_NOTIFY, IDC_PAGE_LIST, reinterpret_cast<LPARAM>(&click));
}

inline int CurrentTab(HWND sheet) {
  return static_cast<int>(
      SendMessageA(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0)), TCM_GETCURSEL, 0, 0));
}

}  // namespace sentrel_test
