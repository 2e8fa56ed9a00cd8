// The picture buttons at the top right of every page (help, and on the list
// pages the watchdog that sets the area's patrol time): owner-drawn statics
// that light up under the mouse and give one command per click.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

namespace sentrel {

enum WatchdogLook { kWatchdogPatrolling, kWatchdogRealtime, kWatchdogOff };

// One control's new place (left, top, width, height); a layout applies all of
// its moves together.
using ControlMoves = std::vector<std::pair<HWND, RECT>>;

// Subclasses the page's pictures and makes their labels owner-drawn.
void InstallPictureButtons(HWND page);
// WM_DRAWITEM of a picture or a label; false for any other control.
bool DrawPictureButton(const DRAWITEMSTRUCT& item, WatchdogLook look);
// The pictures and labels of a page `width` pixels wide, right-aligned.
void PlacePictureButtons(HWND page, int width, ControlMoves& moves);
void ApplyMoves(const ControlMoves& moves);

}  // namespace sentrel
