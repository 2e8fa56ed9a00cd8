// The history log.
#include "history.h"

#include "fileid.h"
#include "registry.h"
#include "settings.h"
#include "type_codes.h"

namespace sentrel {
std::string HistoryFile() { return FileBesideProgram("history.txt"); }

std::string HistoryDate(const SYSTEMTIME& t) { return HistoryDateOf(PartsOf(t)); }

std::string FormatHistoryRecord(const SYSTEMTIME& localTime, const char* title, const char* path, const char* data,
                                int type, int action) {
  return FormatHistoryLine(HistoryDate(localTime), title, path, data, type, action);
}

int AppendHistory(const char* title, const char* path, const char* data, int type, int action) {
  if (ReadOption("History", 1) <= 0) return 0;
  const std::string name = HistoryFile();
  if (name.empty()) return 0;  // no folder: never a file at the drive's root
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string record = FormatHistoryRecord(now, title, path, data, type, action);
  // The other program may be appending this very moment (the file is opened
  // without sharing): wait for it briefly rather than lose the record.
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 20; ++attempt) {
    file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
    Sleep(25);
  }
  if (file == INVALID_HANDLE_VALUE) return 0;
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == record.size() ? 1 : 0;
}

int ClearHistory() { return DeleteFileA(HistoryFile().c_str()) ? 1 : 0; }

}  // namespace sentrel
