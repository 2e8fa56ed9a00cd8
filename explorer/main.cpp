// SentrelEx.exe: the explorer.
#include <windows.h>

#include "explorer.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return sentrel::RunExplorer(instance, commandLine);
}
