// Entry point of every test program. A copy named *_win95.exe or *_win98.exe
// must really see that Windows family, or its tests prove nothing.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  char path[MAX_PATH];
  std::string name(path, GetModuleFileNameA(nullptr, path, sizeof path));
  const bool wants9x = name.find("_win95.exe") != std::string::npos || name.find("_win98.exe") != std::string::npos;
  const OSVERSIONINFOA version = sentrel_test::WindowsVersion();
  if (wants9x != sentrel_test::Is9xFamily()) {
    fprintf(stderr, "%s reports Windows %lu.%lu platform %lu: the prefix lacks its version setting\n", name.c_str(),
            version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId);
    return 1;
  }
  return RUN_ALL_TESTS();
}
