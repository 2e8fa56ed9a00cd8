// witness: stands in for a program that must not be started; when it is,
// it appends its command line to witness.txt beside itself. With "-stay" it
// then runs on for a minute (a program to end).
#include <windows.h>

#include <string>

int main() {
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return 1;
  std::string log(path);
  log = log.substr(0, log.rfind('\\')) + "\\witness.txt";
  HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::string line = std::string(GetCommandLineA()) + "\r\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  if (line.find(" -stay") != std::string::npos) Sleep(60000);
  return 0;
}
