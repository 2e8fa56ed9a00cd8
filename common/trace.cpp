// The trace log.
#include "trace.h"

#include <windows.h>

#include <cstdio>

namespace sentrel {
namespace {
std::string g_file;
int g_counter = kTraceOff;
unsigned long g_lastTime = 0;
std::string g_step;
bool g_dialog = false;

unsigned long TickCount() { return GetTickCount(); }
TraceClock g_clock = TickCount;

void WriteLine(const char* value) {
  if (g_file.empty()) return;  // the program's folder is unknown
  char key[32];
  std::snprintf(key, sizeof key, "%lu.%d", g_clock(), g_counter);
  WritePrivateProfileStringA("Trace", key, value, g_file.c_str());
}
}  // namespace

void SetTraceFile(const std::string& path) { g_file = path; }
const std::string& TraceFile() { return g_file; }
void SetTraceCounter(int counter) { g_counter = counter; }
int TraceCounter() { return g_counter; }
void SetTraceDialogFlag() { g_dialog = true; }
void SetTraceClock(TraceClock clock) { g_clock = clock ? clock : TickCount; }

std::string TraceBar(unsigned measured) {
  unsigned stars = measured / 1000;
  if (stars == 0) return {};
  if (stars > 16) stars = 16;
  return "\t" + std::string(stars, '*');
}

void TraceStep(const char* tag, const char* text) {
  if (g_counter > kTraceLastLine) return;
  g_lastTime = g_clock();
  g_step.assign(text ? text : "", 0, 255);
  ++g_counter;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char value[400];
  std::snprintf(value, sizeof value, "%02d-%02d  %02d:%02d:%02d %s: %s", now.wMonth, now.wDay, now.wHour, now.wMinute,
                now.wSecond, tag ? tag : "", g_step.c_str());
  WriteLine(value);
}

void TraceTiming() {
  if (g_counter > kTraceLastLine) return;
  unsigned measured;
  if (g_dialog) {
    measured = 1;
    g_dialog = false;
  } else {
    measured = static_cast<unsigned>(g_clock() - g_lastTime) >> 1;
  }
  ++g_counter;
  char value[400];
  std::snprintf(value, sizeof value, "**:**:** NanoCycles: %s = %d %s", g_step.c_str(), static_cast<int>(measured),
                TraceBar(measured).c_str());
  WriteLine(value);
}

}  // namespace sentrel
