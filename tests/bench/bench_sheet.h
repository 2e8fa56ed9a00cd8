// The sheet shown in the benchmark's own process: its start-up state, and the
// page a measuring thread waits for while the sheet's thread runs it.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include "bench_clock.h"
#include "explorer.h"
#include "resource.h"
#include "settings.h"
#include "sheet.h"
#include "strings.h"

inline void StartBenchExplorer() {
  sentrel::Process().kind = sentrel::ProgramKind::Explorer;
  sentrel::InitLanguageId();
  sentrel::Explorer().instance = GetModuleHandleA(nullptr);
  sentrel::Explorer().caption = "Sentrel OMNI";
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
}

// The sheet's current page once it is up (null when it never came); the
// sheet goes to *sheet.
inline HWND WaitForSheetPage(HWND* sheet) {
  *sheet = nullptr;
  for (int i = 0; i < 1000 && !*sheet; ++i) {
    *sheet = FindWindowA("#32770", nullptr);
    if (!*sheet) Sleep(20);
  }
  HWND page = nullptr;
  for (int i = 0; i < 1000 && *sheet && !page; ++i) {
    page = reinterpret_cast<HWND>(SendMessageA(*sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!page) Sleep(20);
  }
  return page;
}

inline double TimedMessage(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  LARGE_INTEGER start = BenchNow();
  SendMessageA(window, message, wParam, lParam);
  return BenchSeconds(start, BenchNow());
}

inline int PageRows(HWND page) {
  return static_cast<int>(SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_GETITEMCOUNT, 0, 0));
}

// On a thread of its own while the sheet's thread shows the page: the best
// of three refills of the page (or the median of `medianOf`) and its rows;
// the sheet is closed after.
inline void MeasureRefill(double& fill, int& rows, int medianOf = 0) {
  HWND sheet = nullptr;
  HWND page = WaitForSheetPage(&sheet);
  if (!page) return;
  auto refill = [page] { SendMessageA(page, sentrel::WM_SENTREL_REFILL_PAGE, 0, 0); };
  fill = medianOf > 0 ? MedianOf(medianOf, refill) : BestOf(refill, 3);
  rows = PageRows(page);
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}
