// Program file identification.
#include "fileid.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "library.h"
#include "registry.h"
#include "strings.h"

namespace sentrel {
namespace {

// Case-insensitive search for needle in haystack, both in the ANSI code page.
bool FindNoCase(const char* text, size_t textLength, const char* part, size_t partLength) {
  if (partLength == 0) return true;
  for (size_t i = 0; i + partLength <= textLength; ++i)
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text + i, static_cast<int>(partLength), part,
                       static_cast<int>(partLength)) == CSTR_EQUAL)
      return true;
  return false;
}

}  // namespace

int ContainsText(const char* text, const char* part) {
  if (!text || !part) return 0;
  size_t textLength = strnlen(text, kMaxContainsText);
  if (textLength >= static_cast<size_t>(kMaxContainsText)) return 0;
  size_t partLength = std::strlen(part);
  if (partLength > textLength) return 0;
  return FindNoCase(text, textLength, part, partLength) ? 1 : 0;
}

std::string ProgramFilesFolder() {
  std::string folder =
      ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
  return folder.empty() ? "C:\\Program Files" : folder;
}

std::string NormalizeFilePath(const char* text) {
  return NormalizeFilePathWith(text, WindowsFolder().c_str(), ProgramFilesFolder().c_str());
}

namespace {
bool ExistsAsShortPath(const std::string& path, std::string* shortPath) {
  char buffer[MAX_PATH];
  DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) {
    // A file only in the machine's own System32 (64-bit Windows): this
    // program's view of the folder does not show it.
    const std::string native = NativeFilePath(path);
    if (native == path || GetFileAttributesA(native.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    if (shortPath) *shortPath = path;
    return true;
  }
  if (GetFileAttributesA(buffer) == INVALID_FILE_ATTRIBUTES) return false;
  if (shortPath) *shortPath = buffer;
  return true;
}
}  // namespace

int FileExists(std::string& path) {
  if (path.empty()) return 0;
  if (ExistsAsShortPath(path, nullptr)) return 1;
  if (path.size() >= 32) return 0;
  if (ExistsAsShortPath(WindowsFolder() + "\\" + path, nullptr)) return 1;
  std::string shortPath;
  if (ExistsAsShortPath(SystemFolder() + "\\" + path, &shortPath)) {
    path = shortPath;
    return 1;
  }
  return 0;
}

int FileExists(const char* path) {
  std::string copy = path ? path : "";
  return FileExists(copy);
}

namespace {
LongPathFunction g_longPathFunction = nullptr;  // null: the system's

// A path on another machine (a share, or a drive mapped to one): asking for
// its long form waits on the network, on every patrol.
bool IsNetworkPath(const char* path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (separator(path[0]) && separator(path[1])) return true;
  if (!IsCharAlphaA(path[0]) || path[1] != ':') return false;
  const char root[] = {path[0], ':', '\\', '\0'};
  return GetDriveTypeA(root) == DRIVE_REMOTE;
}
}  // namespace

void SetLongPathFunction(LongPathFunction function) { g_longPathFunction = function; }

int LongPathOf(const char* path, char* dest) {
  if (!dest) return 0;
  dest[0] = '\0';
  if (!path) return 0;
  auto copyUnchanged = [&] {
    lstrcpynA(dest, path, kPathWidth);
    return 0;
  };
  if (IsWindows95() || IsNetworkPath(path)) return copyUnchanged();
  // Windows 95 and NT 4 lack it, so it is looked up by name.
  auto getLongPathName =
      g_longPathFunction ? g_longPathFunction : FunctionOf<LongPathFunction>("kernel32.dll", "GetLongPathNameA");
  if (!getLongPathName) return copyUnchanged();
  char buffer[kPathWidth];
  DWORD length = getLongPathName(path, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return copyUnchanged();
  std::memcpy(dest, buffer, length + 1);
  return static_cast<int>(length);
}

bool ExpandEnvironment(const std::string& text, std::string& expanded) {
  expanded = text;
  if (text.find('%') == std::string::npos) return true;
  const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (needed == 0 || needed > 32768) return false;
  std::string buffer(needed, '\0');
  const DWORD written = ExpandEnvironmentStringsA(text.c_str(), &buffer[0], needed);
  if (written == 0 || written > needed) return false;
  buffer.resize(strnlen(buffer.c_str(), needed));
  expanded = buffer;
  return true;
}

std::wstring WidePath(const std::string& path) {
  if (path.empty()) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0], length) != length) return {};
  return wide;
}

std::string LongPathOf(const std::string& path) {
  char dest[kPathWidth];
  LongPathOf(path.c_str(), dest);
  return dest;
}

std::string NativeFilePath(const std::string& path) {
  // Only a 32-bit program on 64-bit Windows sees another System32; the
  // Sysnative alias (Vista and later) names the real one.
  if (!IsWow64()) return path;
  static const std::string system = SystemFolder() + "\\", native = WindowsFolder() + "\\Sysnative";
  if (path.size() <= system.size() ||
      CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path.data(), static_cast<int>(system.size()),
                     system.data(), static_cast<int>(system.size())) != CSTR_EQUAL ||
      GetFileAttributesA(native.c_str()) == INVALID_FILE_ATTRIBUTES)
    return path;
  return native + path.substr(system.size() - 1);
}

int ReadVersionInfo(const char* file, VersionFields& fields) {
  for (std::string& slot : fields.slot) slot.clear();
  if (!file || !*file) return 0;
  DWORD handle = 0;
  const std::string native = NativeFilePath(file);
  file = native.c_str();
  DWORD size = GetFileVersionInfoSizeA(file, &handle);
  if (size == 0 || size > static_cast<DWORD>(kMaxVersionBlock)) return 0;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(file, 0, size, block.data())) return 0;

  struct Translation {
    WORD language;
    WORD codePage;
  };
  // The lengths inside the block are the file's word: a value that does not
  // lie wholly inside the block we read is taken as missing.
  const char* const begin = block.data();
  const char* const end = begin + block.size();
  auto inside = [&](const void* value, size_t length) {
    const char* at = static_cast<const char*>(value);
    return at && at >= begin && at <= end && length <= static_cast<size_t>(end - at);
  };
  Translation* translations = nullptr;
  UINT translationBytes = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                      &translationBytes) ||
      !inside(translations, translationBytes) || translationBytes < sizeof(Translation))
    return 0;

  static const char* const kNames[kVersionSlots] = {"ProductName", "ProductVersion", "CompanyName", "FileDescription",
                                                    "LegalCopyright"};
  for (UINT t = 0; t < translationBytes / sizeof(Translation); ++t) {
    for (int slot = 0; slot < kVersionSlots; ++slot) {
      char query[64];
      std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations[t].language,
                    translations[t].codePage, kNames[slot]);
      char* value = nullptr;
      UINT length = 0;
      bool found =
          VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &length) && inside(value, length);
      std::string text;
      if (found) {
        // The length may or may not count the terminator; never read past it.
        size_t chars = strnlen(value, length);
        if (chars <= static_cast<size_t>(kVersionFieldWidth)) text.assign(value, chars);
      }
      fields.slot[slot] = text;
      if (slot == kProductName && !found) break;
    }
  }
  if (ContainsText(fields.slot[kProductName].c_str(), "Operating System"))
    fields.slot[kProductName] = fields.slot[kFileDescription];
  return fields.slot[kProductName].empty() ? 0 : 1;
}

std::string FormatDateTimeWith(const SYSTEMTIME& t, const char* shortDate, const char* timeFormat) {
  return FormatDateParts(PartsOf(t), shortDate, timeFormat);
}

std::string FormatDateTime(const SYSTEMTIME& localTime) {
  const char* key = "Control Panel\\International";
  char shortDate[24], timeFormat[24];
  ReadStringValue(HKEY_CURRENT_USER, key, "sShortDate", shortDate, sizeof shortDate);
  ReadStringValue(HKEY_CURRENT_USER, key, "sTimeFormat", timeFormat, sizeof timeFormat);
  return FormatDateTimeWith(localTime, shortDate, timeFormat);
}

std::string NowText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FormatDateTime(now);
}

int FileDateText(const char* file, std::string& text) {
  text.clear();
  HANDLE handle = CreateFileA(NativeFilePath(file ? file : "").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  FILETIME created, local;
  SYSTEMTIME t;
  bool read = GetFileTime(handle, &created, nullptr, nullptr) != 0;
  CloseHandle(handle);
  if (!read) return 1;
  if (!FileTimeToLocalFileTime(&created, &local) || !FileTimeToSystemTime(&local, &t)) return 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
  text = buffer;
  return 1;
}

std::string GroupDigits(unsigned long long number) {
  std::string digits = std::to_string(number);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string FolderOfProgram() {
  // A buffer that the name fills completely may have cut it: grow and ask again.
  std::string path(MAX_PATH, '\0');
  DWORD length = 0;
  for (;;) {
    length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size() - 1) break;
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  path.resize(length);
  size_t slash = path.rfind('\\');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

std::string FileBesideProgram(const char* name) {
  const std::string folder = FolderOfProgram();
  return folder.empty() ? std::string() : folder + "\\" + name;
}

size_t NamePosition(const std::string& text) {
  size_t slash = text.rfind('\\');
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string FileNamePart(const std::string& text) { return text.substr(NamePosition(text)); }

std::string TrimLeadingBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::string ExtensionOf(const std::string& text) {
  size_t dot = text.find('.');
  return dot == std::string::npos ? std::string() : text.substr(dot + 1);
}

std::string WindowsFolder() {
  char folder[MAX_PATH];
  UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  return length > 0 && length < sizeof folder ? std::string(folder, length) : std::string();
}

std::string SystemFolder() {
  char folder[MAX_PATH];
  UINT length = GetSystemDirectoryA(folder, sizeof folder);
  return length > 0 && length < sizeof folder ? std::string(folder, length) : std::string();
}

namespace {
OSVERSIONINFOA Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&info);
#pragma GCC diagnostic pop
  return info;
}
}  // namespace

bool IsNtFamily() { return Version().dwPlatformId == VER_PLATFORM_WIN32_NT; }
bool IsWindows95() {
  OSVERSIONINFOA info = Version();
  return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMinorVersion == 0;
}
DWORD WindowsMajorVersion() { return Version().dwMajorVersion; }

std::string FileSummaryText(const char* file, UINT id, const VersionFields& f) {
  std::string message = LoadText(id);
  char text[772];
  if (!f.slot[kFileDescription].empty())
    std::snprintf(text, sizeof text, "%s\n\n%s\n\n%s   \n%s   \n\n\n%s   %s   \n%s   ", message.c_str(), file,
                  f.slot[kFileDescription].c_str(), f.slot[kLegalCopyright].c_str(), f.slot[kProductName].c_str(),
                  f.slot[kProductVersion].c_str(), f.slot[kCompanyName].c_str());
  else
    std::snprintf(text, sizeof text, "%s  \n%s  \n\n%s     ", message.c_str(), file, LoadText(56).c_str());
  return text;
}

int ShowFileSummary(HWND owner, const char* file, UINT id, std::string* description) {
  VersionFields fields;
  ReadVersionInfo(file, fields);
  if (id == 0) {
    if (description) *description = fields.slot[kFileDescription];
    return 1;
  }
  std::string text = FileSummaryText(file ? file : "", id, fields);
  UINT flags = id == 7 ? (MB_YESNO | MB_ICONWARNING) : (MB_OK | MB_ICONINFORMATION);
  return ShowMessage(owner, text.c_str(), flags);
}

}  // namespace sentrel

namespace sentrel {
std::string DataFolder() {
  // The user's application data folder, with the vault beside the settings;
  // where that cannot be had, the program's own folder serves.
  char appData[MAX_PATH] = "";
  ReadStringValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData",
                  appData, sizeof appData);
  // Both fall-backs give "" when even the program's folder is unknown:
  // callers then have no vault, rather than one at the root of the drive.
  if (!appData[0]) return FolderOfProgram();
  std::string folder = std::string(appData) + "\\Sentrel";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string vault = folder + "\\vault";
  CreateDirectoryA(vault.c_str(), nullptr);
  if (GetFileAttributesA(vault.c_str()) == INVALID_FILE_ATTRIBUTES) return FolderOfProgram();
  return folder;
}
}  // namespace sentrel
