// Sentrel.exe and SentrelUac.exe: the resident monitor.
#include <windows.h>

#include "monitor.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return sentrel::RunMonitor(instance, commandLine);
}
