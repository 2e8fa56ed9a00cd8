// Remembered window positions.
#include "winpos.h"

#include <cstdio>

#include "registry.h"
#include "settings.h"

namespace sentrel {

const WindowPositionNames kSheetPosition = {"xPos", "yPos", "dxPos", "dyPos"};
const WindowPositionNames kAlertPosition = {"xPosAlert", "yPosAlert", "dxAlert", "dyAlert"};
const WindowPositionNames kInfoPosition = {"xInfo", "yInfo", "dxInfo", "dyInfo"};
const WindowPositionNames kSysFilesPosition = {"xPosSysFiles", "yPosSysFiles", "dxSysFiles", "dySysFiles"};
const WindowPositionNames kCookiePosition = {"xCookie", "yCookie", "dxCookie", "dyCookie"};
const WindowPositionNames kDefaultWarningPosition = {"xDefaultWarning", "yDefaultWarning", "dxDefaultWarning",
                                                     "dyDefaultWarning"};
const WindowPositionNames kAddFileTypePosition = {"xPosAddFileType", "yPosAddFileType", "dxPosAddFileType",
                                                  "dyPosAddFileType"};
const WindowPositionNames* const kAllWindowPositions[7] = {
    &kSheetPosition,  &kAlertPosition,          &kInfoPosition,       &kSysFilesPosition,
    &kCookiePosition, &kDefaultWarningPosition, &kAddFileTypePosition};

ScreenMetrics CurrentScreenMetrics() {
  return {GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN), GetSystemMetrics(SM_CXSCREEN),
          GetSystemMetrics(SM_CYSCREEN)};
}

POINT PlaceWindow(const int* left, const int* top, int width, int height, const ScreenMetrics& screen) {
  if (!left || !top) return {(screen.screenWidth - width) / 2, (screen.screenHeight - height) / 3};
  // Windows 95 and NT 4 have no virtual screen (the metrics read 0); the
  // primary screen is the whole desktop there.
  int limitX = screen.virtualWidth > 0 ? screen.virtualWidth : screen.screenWidth;
  int limitY = screen.virtualHeight > 0 ? screen.virtualHeight : screen.screenHeight;
  POINT at = {*left, *top};
  // As far off to the left or top is as lost as beyond the right or bottom.
  if (at.x > limitX || at.x < -limitX) at.x = screen.screenWidth / 2;
  if (at.y > limitY || at.y < -limitY) at.y = screen.screenHeight / 2;
  return at;
}

void RestoreWindowPosition(HWND window, const WindowPositionNames& names) {
  char leftText[32], topText[32];
  bool haveLeft = ReadStringValue(HKEY_CURRENT_USER, kSentrelKey, names.left, leftText, sizeof leftText) > 0;
  bool haveTop = ReadStringValue(HKEY_CURRENT_USER, kSentrelKey, names.top, topText, sizeof topText) > 0;
  int left = ParseLeadingInt(leftText), top = ParseLeadingInt(topText);
  RECT rect{};
  GetWindowRect(window, &rect);
  POINT at = PlaceWindow(haveLeft && haveTop ? &left : nullptr, haveLeft && haveTop ? &top : nullptr,
                         rect.right - rect.left, rect.bottom - rect.top, CurrentScreenMetrics());
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (Process().kind == ProgramKind::Monitor) WriteOption("StartTab", 0);
}

void SaveWindowPosition(HWND window, const WindowPositionNames& names) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return;
  const int values[4] = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  const char* const keys[4] = {names.left, names.top, names.width, names.height};
  for (int i = 0; i < 4; ++i) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", values[i]);
    WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, keys[i], text);
  }
  if (Process().kind == ProgramKind::Monitor) WriteOption("StartTab", 0);
}

}  // namespace sentrel
