// The benchmarks' clock: the performance counter, in seconds, and the
// median or best of repeated runs (the machine is shared: one run says little).
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fileid.h"

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

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <typename Work>
double MedianOf(int rounds, Work work) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    LARGE_INTEGER start = BenchNow();
    work();
    times.push_back(BenchSeconds(start, BenchNow()));
  }
  return Median(times);
}

// The best of several rounds, each timing `repeat` runs of the work.
template <typename Work>
double BestOf(Work work, int rounds = 5, int repeat = 1) {
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER start = BenchNow();
    for (int i = 0; i < repeat; ++i) work();
    best = std::min(best, BenchSeconds(start, BenchNow()) / repeat);
  }
  return best;
}

// Files of the system folder matching the pattern ("\\*.exe") that carry a
// version resource, so that their rows have a company and a description.
inline std::vector<std::string> VersionedSystemFiles(const char* pattern, size_t most) {
  std::vector<std::string> files;
  const std::string system = sentrel::SystemFolder();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((system + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    std::string file = system + "\\" + found.cFileName;
    DWORD handle = 0;
    if (GetFileVersionInfoSizeA(file.c_str(), &handle) > 0) files.push_back(file);
  } while (files.size() < most && FindNextFileA(search, &found));
  FindClose(search);
  return files;
}
