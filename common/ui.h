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

// Runs the thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace sentrel
