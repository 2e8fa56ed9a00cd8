// Remembered window positions: four decimal values per window under
// HKCU Software\Orvane Works\Sentrel.
#pragma once

#include <windows.h>

namespace sentrel {

struct WindowPositionNames {
  const char* left;
  const char* top;
  const char* width;
  const char* height;
};

// The windows whose positions are remembered.
extern const WindowPositionNames kSheetPosition;
extern const WindowPositionNames kAlertPosition;
extern const WindowPositionNames kInfoPosition;
extern const WindowPositionNames kSysFilesPosition;
extern const WindowPositionNames kCookiePosition;
extern const WindowPositionNames kDefaultWarningPosition;
extern const WindowPositionNames kAddFileTypePosition;
extern const WindowPositionNames* const kAllWindowPositions[7];

struct ScreenMetrics {
  int virtualWidth, virtualHeight;  // 0 where the system has no virtual screen
  int screenWidth, screenHeight;
};
ScreenMetrics CurrentScreenMetrics();

// Where a window of the given size goes; left/top are null when not stored.
POINT PlaceWindow(const int* left, const int* top, int width, int height, const ScreenMetrics& screen);

void RestoreWindowPosition(HWND window, const WindowPositionNames& names);
void SaveWindowPosition(HWND window, const WindowPositionNames& names);

}  // namespace sentrel
