// The restart commands of Windows 95/98/Me: files deleted at the next
// restart, and the viewer of wininit.ini.
#include "restart_commands.h"

#include <windows.h>

#include <cctype>
#include <string>

#include "fileid.h"
#include "resource.h"
#include "strings.h"

namespace sentrel {
namespace {

std::string WininitFile() { return WindowsFolder() + "\\wininit.ini"; }

// A deletion at the next start is carried out by the machine's own 64-bit
// components, which know the real System32 by that name only: a path through
// the Sysnative alias of a 32-bit program is written as System32.
std::string BootTimePath(const std::string& path) {
  const std::string alias = WindowsFolder() + "\\Sysnative\\";
  if (path.size() > alias.size() &&
      CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path.data(), static_cast<int>(alias.size()), alias.data(),
                     static_cast<int>(alias.size())) == CSTR_EQUAL)
    return SystemFolder() + path.substr(alias.size() - 1);
  return path;
}

INT_PTR CALLBACK ViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, LoadText(IDS_SENTREL_WINDOWS_RESTART_COMMANDS).c_str());
      SetDlgItemTextA(dialog, IDC_RESTART_TEXT, RestartCommandsText().c_str());
      SetDlgItemTextA(dialog, IDC_RESTART_LEGEND, LoadText(IDS_NUL_INDICATES_FILE_DELETED).c_str());
      SetDlgItemTextA(dialog, IDC_RESTART_DELETE, LoadText(IDS_DELETE).c_str());
      SetDlgItemTextA(dialog, IDC_RESTART_CLOSE, LoadText(IDS_CLOSE).c_str());
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_RESTART_DELETE:
          DeleteFileA(WininitFile().c_str());
          EndDialog(dialog, IDC_RESTART_DELETE);
          return TRUE;
        case IDC_RESTART_CLOSE:
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

std::string RestartCommandsText() {
  std::string text;
  HANDLE file = CreateFileA(WininitFile().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[16384];
  DWORD read = 0;
  if (ReadFile(file, buffer, sizeof buffer, &read, nullptr)) text.assign(buffer, read);
  CloseHandle(file);
  // A line feed alone becomes CR LF; one that already has its CR keeps it
  // (doubling it would show stray breaks in the text field).
  std::string shown;
  shown.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) shown += '\r';
    shown += text[i];
  }
  return shown;
}

int RestartCommands(HWND owner, bool show) {
  const bool present = GetFileAttributesA((WindowsFolder() + "\\wininit.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool commands = present && GetFileAttributesExA(WininitFile().c_str(), GetFileExInfoStandard, &data) &&
                        (data.nFileSizeLow > 0 || data.nFileSizeHigh > 0);
  if (!show) return commands ? 1 : 0;
  if (!commands) {
    ShowMessageId(owner, IDS_NO_COMMANDS_HAVE_FOUND, MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RESTART_COMMANDS), owner, ViewerProc, 0);
  return 1;
}

int DeleteFileOnReboot(const char* path) {
  if (!path || !*path) return 0;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  if (IsNtFamily()) return MoveFileExA(BootTimePath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;

  char shortPath[MAX_PATH] = "";
  DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
  if (length == 0 || length >= sizeof shortPath) return 0;
  const std::string file = WininitFile();
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
