// Small window helpers both programs share.
#include "ui.h"

namespace sentrel {

void MakeFonts(const FontSpec* specs, int count, HFONT* fonts) {
  for (int i = 0; i < count; ++i)
    if (!fonts[i])
      fonts[i] = CreateFontA(specs[i].height, 0, 0, 0, specs[i].weight, FALSE, specs[i].underline, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, specs[i].face);
}

void DeleteFonts(HFONT* fonts, int count) {
  for (int i = 0; i < count; ++i) {
    if (fonts[i]) DeleteObject(fonts[i]);
    fonts[i] = nullptr;
  }
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace sentrel
