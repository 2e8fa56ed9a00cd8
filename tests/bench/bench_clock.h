// The benchmarks' clock: the performance counter, in seconds.
#pragma once

#include <windows.h>

inline LARGE_INTEGER BenchNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

inline double BenchSeconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}
