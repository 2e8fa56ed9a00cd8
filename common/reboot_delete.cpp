// Files deleted at the next restart of Windows.
#include "reboot_delete.h"

#include <windows.h>

#include <cctype>
#include <string>

#include "fileid.h"

namespace sentrel {

int DeleteFileOnReboot(const char* path) {
  if (!path || !*path) return 0;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  if (IsNtFamily()) return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;

  char shortPath[MAX_PATH] = "";
  DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
  if (length == 0 || length >= sizeof shortPath) return 0;
  const std::string file = WindowsFolder() + "\\wininit.ini";
  HANDLE handle =
      CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  // Windows only carries out lines of the [rename] section: a file without
  // one gets it, or the deletion would silently never happen.
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  std::string line;
  if (!text.empty() && text.back() != '\n') line = "\r\n";
  if (lower.find("[rename]") == std::string::npos) line += "[rename]\r\n";
  line += "NUL=" + std::string(shortPath) + "\r\n";
  SetFilePointer(handle, 0, nullptr, FILE_END);
  DWORD written = 0;
  const bool done =
      WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) && written == line.size();
  CloseHandle(handle);
  return done ? 1 : 0;
}

}  // namespace sentrel
