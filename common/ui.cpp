// Small window helpers both programs share.
#include "ui.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "library.h"

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
  auto initEx = comctl ? FunctionOf<InitExFn>(comctl, "InitCommonControlsEx") : nullptr;
  INITCOMMONCONTROLSEX controls = {sizeof controls, classes};
  if (initEx && initEx(&controls)) return;
  auto init = comctl ? FunctionOf<InitFn>(comctl, "InitCommonControls") : nullptr;
  if (init) init();
}

int CommonControlsVersion() {
  HMODULE comctl = GetModuleHandleA("comctl32.dll");
  auto getVersion = comctl ? FunctionOf<DLLGETVERSIONPROC>(comctl, "DllGetVersion") : nullptr;
  DLLVERSIONINFO info = {};
  info.cbSize = sizeof info;
  if (!getVersion || FAILED(getVersion(&info))) return 400;
  return static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion);
}

namespace {

struct Subclassing {
  using Set = BOOL(WINAPI*)(HWND, SubclassProcedure, UINT_PTR, DWORD_PTR);
  using Remove = BOOL(WINAPI*)(HWND, SubclassProcedure, UINT_PTR);
  using Next = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
  Set set = nullptr;
  Remove remove = nullptr;
  Next next = nullptr;
};
bool g_classic = false;

const Subclassing& ComctlSubclassing() {
  static const Subclassing calls = [] {
    Subclassing found;
    HMODULE comctl = GetModuleHandleA("comctl32.dll");
    found.set = FunctionOf<Subclassing::Set>(comctl, "SetWindowSubclass");
    found.remove = FunctionOf<Subclassing::Remove>(comctl, "RemoveWindowSubclass");
    found.next = FunctionOf<Subclassing::Next>(comctl, "DefSubclassProc");
    // Version 5.80 exports them by ordinal only (410, 412, 413); earlier
    // versions may use those ordinals for other things.
    if ((!found.set || !found.remove || !found.next) && CommonControlsVersion() >= 580) {
      found.set = FunctionOf<Subclassing::Set>(comctl, MAKEINTRESOURCEA(410));
      found.remove = FunctionOf<Subclassing::Remove>(comctl, MAKEINTRESOURCEA(412));
      found.next = FunctionOf<Subclassing::Next>(comctl, MAKEINTRESOURCEA(413));
    }
    if (!found.set || !found.remove || !found.next) found = Subclassing{};
    return found;
  }();
  return calls;
}

bool UseComctl() { return !g_classic && ComctlSubclassing().set; }

// The classic way: the window's own procedure is replaced by this one.
constexpr const char* kSubclassProperty = "SentrelSubclass";
struct ClassicSubclass {
  WNDPROC original;
  SubclassProcedure procedure;
  UINT_PTR id;
  DWORD_PTR data;
};

LRESULT CALLBACK ClassicProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* subclass = static_cast<ClassicSubclass*>(GetPropA(window, kSubclassProperty));
  if (!subclass) return DefWindowProcA(window, message, wParam, lParam);
  const WNDPROC original = subclass->original;
  LRESULT result = subclass->procedure(window, message, wParam, lParam, subclass->id, subclass->data);
  // A window going away takes its subclass with it.
  if (message == WM_NCDESTROY && GetPropA(window, kSubclassProperty)) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    delete static_cast<ClassicSubclass*>(RemovePropA(window, kSubclassProperty));
  }
  return result;
}

}  // namespace

void UseClassicSubclassing(bool classic) { g_classic = classic; }

bool SubclassWindow(HWND window, SubclassProcedure procedure, UINT_PTR id, DWORD_PTR data) {
  if (UseComctl()) return ComctlSubclassing().set(window, procedure, id, data) != FALSE;
  if (!window || GetPropA(window, kSubclassProperty)) return false;
  auto* subclass = new ClassicSubclass{nullptr, procedure, id, data};
  if (!SetPropA(window, kSubclassProperty, subclass)) {
    delete subclass;
    return false;
  }
  subclass->original =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ClassicProc)));
  return true;
}

void RemoveSubclass(HWND window, SubclassProcedure procedure, UINT_PTR id) {
  if (UseComctl()) {
    ComctlSubclassing().remove(window, procedure, id);
    return;
  }
  auto* subclass = static_cast<ClassicSubclass*>(GetPropA(window, kSubclassProperty));
  if (!subclass || subclass->procedure != procedure || subclass->id != id) return;
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass->original));
  delete static_cast<ClassicSubclass*>(RemovePropA(window, kSubclassProperty));
}

LRESULT CallNextProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (UseComctl()) return ComctlSubclassing().next(window, message, wParam, lParam);
  auto* subclass = static_cast<ClassicSubclass*>(GetPropA(window, kSubclassProperty));
  if (subclass) return CallWindowProcA(subclass->original, window, message, wParam, lParam);
  // Removed while handling this message (WM_NCDESTROY): the window's own
  // procedure is back in place.
  auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
  if (current && current != &ClassicProc) return CallWindowProcA(current, window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

bool TrackMouseLeave(HWND window) {
  TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
  using TrackFn = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
  static const TrackFn trackUser = FunctionOf<TrackFn>(GetModuleHandleA("user32.dll"), "TrackMouseEvent");
  static const TrackFn trackComctl = FunctionOf<TrackFn>(GetModuleHandleA("comctl32.dll"), "_TrackMouseEvent");
  if (trackUser) return trackUser(&track) != FALSE;
  return trackComctl && trackComctl(&track) != FALSE;
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
