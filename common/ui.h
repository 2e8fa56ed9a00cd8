// Small window helpers both programs share: fonts made from a table, and the
// message loop.
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

// Runs the thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace sentrel
