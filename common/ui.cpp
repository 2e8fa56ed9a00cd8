// Small window helpers both programs share.
#include "ui.h"

#include <commctrl.h>
#include <shlwapi.h>

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

void InitCommonControlsOfAnyVersion(DWORD classes) {
  HMODULE comctl = LoadLibraryA("comctl32.dll");  // stays loaded: the controls live in it
  using InitExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  using InitFn = void(WINAPI*)();
  auto initEx =
      comctl ? reinterpret_cast<InitExFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")))
             : nullptr;
  INITCOMMONCONTROLSEX controls = {sizeof controls, classes};
  if (initEx && initEx(&controls)) return;
  auto init = comctl ? reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControls")))
                     : nullptr;
  if (init) init();
}

int CommonControlsVersion() {
  HMODULE comctl = GetModuleHandleA("comctl32.dll");
  auto getVersion =
      comctl ? reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")))
             : nullptr;
  DLLVERSIONINFO info = {};
  info.cbSize = sizeof info;
  if (!getVersion || FAILED(getVersion(&info))) return 400;
  return static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion);
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
