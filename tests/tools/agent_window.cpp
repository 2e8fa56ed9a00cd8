// agent_window: stands in for the Task Scheduler agent of Windows 95/98/Me
// (mstask.exe), which shows itself by its window. Copied as mstask.exe beside
// a test, it is what the scheduler start finds on the search path. It ends
// when ended, or after two minutes.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA type{};
  type.lpfnWndProc = DefWindowProcA;
  type.hInstance = instance;
  type.lpszClassName = "SAGEWINDOWCLASS";
  if (!RegisterClassA(&type)) return 1;
  HWND window = CreateWindowA("SAGEWINDOWCLASS", "SYSTEM AGENT COM WINDOW", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, instance, nullptr);
  if (!window) return 1;
  SetTimer(nullptr, 0, 120000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) break;
    DispatchMessageA(&message);
  }
  DestroyWindow(window);
  return 0;
}
