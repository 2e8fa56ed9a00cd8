// The trace log: timed steps of the monitor's patrol, written as key=value
// lines in the [Trace] section of a file beside the program.
#pragma once

#include <string>

namespace sentrel {

constexpr int kTraceOff = 9999;
constexpr int kTraceLastLine = 9000;

void SetTraceFile(const std::string& path);
const std::string& TraceFile();
void SetTraceCounter(int counter);  // 0 = on, kTraceOff = off
int TraceCounter();
void SetTraceDialogFlag();  // the next timing line reports 1: an alert was open

// The millisecond clock; tests replace it to measure without waiting.
using TraceClock = unsigned long (*)();
void SetTraceClock(TraceClock clock);  // null restores GetTickCount

void TraceStep(const char* tag, const char* text);
void TraceTiming();

// Pure parts, for tests.
std::string TraceBar(unsigned measured);

}  // namespace sentrel
