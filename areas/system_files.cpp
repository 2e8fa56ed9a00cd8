// The system file register, its saved copies and the change rule.
#include "system_files.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileid.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "trace.h"

namespace sentrel {
namespace {

std::string SubkeyOf(const std::string& name) { return std::string(kSysfilesKey) + "\\" + name; }

struct DateFormats {
  char shortDate[24] = "";
  char timeFormat[24] = "";
  DateFormats() {
    const char* key = "Control Panel\\International";
    ReadStringValue(HKEY_CURRENT_USER, key, "sShortDate", shortDate, sizeof shortDate);
    ReadStringValue(HKEY_CURRENT_USER, key, "sTimeFormat", timeFormat, sizeof timeFormat);
  }
};

// The file's last-write time as local date text and its size; false when
// the file is not there.
bool DateAndSize(const std::string& path, const DateFormats& formats, std::string& date, std::string& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &time)) return false;
  date = FormatDateTimeWith(time, formats.shortDate, formats.timeFormat);
  size = std::to_string((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  return true;
}

bool StoreDateAndSize(const std::string& name, const std::string& path) {
  std::string date, size;
  if (!DateAndSize(path, DateFormats(), date, size)) return false;
  const std::string key = SubkeyOf(name);
  return WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "Date", date.c_str()) &&
         WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "Size", size.c_str());
}

std::string FolderPart(const std::string& path) {
  const size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

// Puts a finished copy in the target's place. 95/98/Me cannot replace with
// MoveFileEx: the old file steps aside and comes back when the move fails.
bool PutInPlace(const std::string& temp, const std::string& to, bool targetExists) {
  if (IsNtFamily()) return MoveFileExA(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!targetExists) return MoveFileA(temp.c_str(), to.c_str()) != 0;
  char aside[MAX_PATH];
  if (!GetTempFileNameA(FolderPart(to).c_str(), "sno", 0, aside)) return false;
  DeleteFileA(aside);
  if (!MoveFileA(to.c_str(), aside)) return false;
  if (MoveFileA(temp.c_str(), to.c_str())) {
    DeleteFileA(aside);
    return true;
  }
  const DWORD error = GetLastError();
  MoveFileA(aside, to.c_str());
  SetLastError(error);
  return false;
}

}  // namespace

std::string HostsPath() {
  return IsNtFamily() ? SystemFolder() + "\\drivers\\etc\\HOSTS" : WindowsFolder() + "\\HOSTS";
}

void ShowSystemError(HWND owner, DWORD error, const char* caption) {
  char message[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message, sizeof message,
                 nullptr);
  char text[640];
  std::snprintf(text, sizeof text, "%lu  %s", static_cast<unsigned long>(error), message);
  if (caption)
    MessageBoxExA(owner, text, caption, MB_OK | MB_ICONINFORMATION | MB_TOPMOST, Process().languageId);
  else
    ShowMessage(owner, text, MB_OK | MB_ICONINFORMATION);
}

int ViewFile(HWND owner, const std::string& path) {
  DWORD error = ERROR_FILE_NOT_FOUND;
  if (!path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // Quoted: a path with blanks is one argument, and cannot add another.
    const INT_PTR result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(owner, "open", "notepad.exe", ("\"" + path + "\"").c_str(), nullptr, SW_SHOWNORMAL));
    error = result > 32 ? ERROR_SUCCESS : static_cast<DWORD>(result);
  }
  if (error == ERROR_SUCCESS) return 1;
  ShowSystemError(owner, error, nullptr);
  return 0;
}

int ViewHostsFile(HWND owner) {
  const std::string hosts = HostsPath();
  if (GetFileAttributesA(hosts.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ShowMessageId(owner, IDS_HOSTS_FILE_COULD_NOT, MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  return reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", "notepad.exe", ("\"" + hosts + "\"").c_str(),
                                                 FolderPart(hosts).c_str(), SW_SHOWNORMAL)) > 32
             ? 1
             : 0;
}

std::string SavedCopyPath(const std::string& name) {
  const std::string data = DataFolder();
  if (data.empty() || name.empty() || name.find_first_of("\\/:") != std::string::npos || name == "." || name == "..")
    return "";
  return data + "\\" + name;
}

bool CopyOverKeepingAttributes(const std::string& from, const std::string& to) {
  const DWORD fromAttributes = GetFileAttributesA(from.c_str());
  if (fromAttributes == INVALID_FILE_ATTRIBUTES) return false;  // the last error says why
  const DWORD toAttributes = GetFileAttributesA(to.c_str());
  const bool targetExists = toAttributes != INVALID_FILE_ATTRIBUTES;
  if ((fromAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (targetExists && (toAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  char temp[MAX_PATH];
  if (!GetTempFileNameA(FolderPart(to).c_str(), "snt", 0, temp)) return false;
  if (!CopyFileA(from.c_str(), temp, FALSE)) {
    const DWORD error = GetLastError();
    DeleteFileA(temp);
    SetLastError(error);
    return false;
  }
  SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
  if (targetExists) SetFileAttributesA(to.c_str(), toAttributes & ~FILE_ATTRIBUTE_READONLY);
  if (!PutInPlace(temp, to, targetExists)) {
    const DWORD error = GetLastError();
    DeleteFileA(temp);
    if (targetExists) SetFileAttributesA(to.c_str(), toAttributes);
    SetLastError(error);
    return false;
  }
  SetFileAttributesA(to.c_str(), targetExists ? toAttributes : fromAttributes);
  return true;
}

int RegisterSystemFile(const char* name, const char* path, const char* comment, int type) {
  if (!name || !*name || !path) return 0;
  const std::string key = SubkeyOf(name);
  CreateSettingsKey(HKEY_LOCAL_MACHINE, key.c_str());
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;
  StoreDateAndSize(name, path);
  WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "Type", std::to_string(type).c_str());
  if (comment && *comment) WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "Comment", comment);
  WriteStringValue(HKEY_LOCAL_MACHINE, key.c_str(), "Location", path);
  const std::string saved = SavedCopyPath(name);
  return !saved.empty() && CopyOverKeepingAttributes(path, saved) ? 1 : 0;
}

int CreateSystemFileRegister() {
  if (!ReadString(HKEY_LOCAL_MACHINE, kSysfilesKey, "").empty()) return 1;
  TraceStep("SYSFILES", "Initialize Sysfiles");
  CreateSettingsKey(HKEY_LOCAL_MACHINE, kSysfilesKey);
  TraceStep("SYSFILES", "GetHOSTSFile");
  RegisterSystemFile("HOSTS", HostsPath().c_str(), LoadText(IDS_SYSFILE_COMMENT_HOSTS).c_str(), 0);
  RegisterSystemFile("Autoexec.bat", "C:\\autoexec.bat", LoadText(IDS_SYSFILE_COMMENT_AUTOEXEC).c_str(), 0);
  RegisterSystemFile("Config.sys", "C:\\Config.sys", LoadText(IDS_SYSFILE_COMMENT_CONFIG).c_str(), 0);
  return WriteStringValue(HKEY_LOCAL_MACHINE, kSysfilesKey, "", NowText().c_str());
}

std::vector<ChangedSystemFile> ChangedSystemFiles() {
  std::vector<ChangedSystemFile> changed;
  RegKey root;
  if (root.Open(HKEY_LOCAL_MACHINE, kSysfilesKey, KEY_READ) != ERROR_SUCCESS) return changed;
  std::vector<std::string> names;
  char name[256];
  // Bounded by the count: a key deleted under the open handle answers every
  // index with an error, never with the end of the list.
  DWORD count = 0;
  if (RegQueryInfoKeyA(root.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return changed;
  for (DWORD index = 0; index <= count; ++index) {
    DWORD length = sizeof name;
    const LONG result = RegEnumKeyExA(root.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) names.push_back(name);  // a longer name is no file we registered
  }
  const DateFormats formats;
  for (const std::string& file : names) {
    RegKey key;
    if (key.Open(root.get(), file.c_str(), KEY_READ) != ERROR_SUCCESS) continue;  // readable without rights
    char location[MAX_PATH], type[32], size[32], date[64];
    if (ReadStringValueFrom(key.get(), "Location", location, sizeof location) <= 0) continue;
    std::string currentDate, currentSize;
    if (!DateAndSize(location, formats, currentDate, currentSize)) continue;  // gone: skipped silently
    if (ReadStringValueFrom(key.get(), "Type", type, sizeof type) <= 0) type[0] = '\0';
    // A stored "0" is the size of an empty file (Autoexec.bat and Config.sys
    // often are): only a missing size, or one that is no number, is filled
    // in, or the first lines written to such a file would pass unseen.
    if (ReadStringValueFrom(key.get(), "Size", size, sizeof size) <= 0 || size[0] < '0' || size[0] > '9') {
      WriteStringValue(HKEY_LOCAL_MACHINE, SubkeyOf(file).c_str(), "Size", currentSize.c_str());
      lstrcpynA(size, currentSize.c_str(), sizeof size);
    }
    if (ReadStringValueFrom(key.get(), "Date", date, sizeof date) <= 0) {
      WriteStringValue(HKEY_LOCAL_MACHINE, SubkeyOf(file).c_str(), "Date", currentDate.c_str());
      continue;
    }
    // Another size is always a change: the date text keeps only minutes and
    // a program can set a file's date back.
    const bool standard = std::atoi(type) == 0;
    if (currentSize != size || (currentDate != date && !standard)) changed.push_back({file, location});
  }
  return changed;
}

int AcceptFileChange(const std::string& name, const std::string& path, bool stopMonitoring) {
  if (stopMonitoring) DeleteKeyTree(HKEY_LOCAL_MACHINE, SubkeyOf(name).c_str());
  const std::string saved = SavedCopyPath(name);
  if (saved.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  // The register takes the change only once its copy is kept: after a failed
  // copy the change is asked about again, and a later Reject cannot put back
  // an older copy than the one accepted.
  if (!CopyOverKeepingAttributes(path, saved)) return 0;
  if (!stopMonitoring) StoreDateAndSize(name, path);
  return 1;
}

int RejectFileChange(const std::string& name, const std::string& path, bool stopMonitoring) {
  if (stopMonitoring) DeleteKeyTree(HKEY_LOCAL_MACHINE, SubkeyOf(name).c_str());
  const std::string saved = SavedCopyPath(name);
  if (saved.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  return CopyOverKeepingAttributes(saved, path) ? 1 : 0;
}

}  // namespace sentrel
