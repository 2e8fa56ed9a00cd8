// Small window helpers both programs share: fonts made from a table, the
// common controls of any version, and the message loop.
#pragma once

#include <windows.h>

namespace sentrel {

struct FontSpec {
  const char* face;
  int height;  // as CreateFont takes it: negative for the character height
  int weight;
  bool underline;
};
// Makes the fonts of the table into the slots that are still empty.
void MakeFonts(const FontSpec* specs, int count, HFONT* fonts);
void DeleteFonts(HFONT* fonts, int count);

// Registers the common controls: InitCommonControlsEx where comctl32 has it
// (4.70 and later), else the classes every version registers at load.
void InitCommonControlsOfAnyVersion(DWORD classes);

// The version of the loaded comctl32 (major * 100 + minor; 400 when it
// cannot tell, as version 4.00 of Windows 95 and NT 4.0 cannot).
int CommonControlsVersion();

// Window subclassing on every comctl32: its SetWindowSubclass family where
// comctl32 has it (6.0 by name, 5.80 and later by ordinal), else the classic
// way (one subclass per window, the old procedure kept in a window property).
// The procedure has the shape of SUBCLASSPROC.
using SubclassProcedure = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
bool SubclassWindow(HWND window, SubclassProcedure procedure, UINT_PTR id, DWORD_PTR data);
void RemoveSubclass(HWND window, SubclassProcedure procedure, UINT_PTR id);
LRESULT CallNextProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Tests: the classic way even where comctl32 offers its own.
void UseClassicSubclassing(bool classic);

// Asks for WM_MOUSELEAVE: TrackMouseEvent (98, NT 4.0), else comctl32's
// _TrackMouseEvent (4.70); false where neither exists.
bool TrackMouseLeave(HWND window);

// Runs the thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace sentrel
