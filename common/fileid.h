// Program file identification: turning registry and command-line text into a
// file, and describing that file (version fields, dates, sizes).
#pragma once

#include <windows.h>

#include <string>

#include "command_text.h"
#include "date_text.h"

namespace sentrel {

constexpr int kMaxContainsText = 773;  // texts this long or longer contain nothing
constexpr int kMaxVersionBlock = 8191;
constexpr int kVersionFieldWidth = 127;

// The five version fields in slot order.
enum VersionSlot { kProductName, kProductVersion, kCompanyName, kFileDescription, kLegalCopyright, kVersionSlots };
struct VersionFields {
  std::string slot[kVersionSlots];
};

int ContainsText(const char* text, const char* part);

// The upper-case program path of a command line or registry text.
std::string NormalizeFilePath(const char* text);
// The ProgramFilesDir the system names, "C:\\Program Files" when none.
std::string ProgramFilesFolder();

// May replace path by the short path of the file found in the system folder.
int FileExists(std::string& path);
int FileExists(const char* path);
// The long form of a local path; a network path is copied unchanged.
int LongPathOf(const char* path, char* dest);  // dest of kPathWidth
std::string LongPathOf(const std::string& path);
// For tests: the function that gives a long form (null: the system's).
using LongPathFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
void SetLongPathFunction(LongPathFunction function);

// The path to read a file through: on 64-bit Windows a file named in
// System32 lies in the machine's own System32, which this 32-bit program
// reaches as Sysnative; everywhere else the path itself.
std::string NativeFilePath(const std::string& path);

int ReadVersionInfo(const char* file, VersionFields& fields);

inline DateParts PartsOf(const SYSTEMTIME& t) {
  DateParts parts;
  parts.year = t.wYear, parts.month = t.wMonth, parts.day = t.wDay, parts.hour = t.wHour, parts.minute = t.wMinute;
  return parts;
}
// Date-time text by the user's sShortDate and sTimeFormat.
std::string FormatDateTime(const SYSTEMTIME& localTime);
std::string FormatDateTimeWith(const SYSTEMTIME& localTime, const char* shortDate, const char* timeFormat);
std::string NowText();  // FormatDateTime of the current local time
int FileDateText(const char* file, std::string& text);
std::string GroupDigits(unsigned long long number);

// The running program's folder, however long; "" when it cannot be told.
std::string FolderOfProgram();
// A file of that name in the program's folder; "" when the folder cannot be
// told, never a file at the root of the drive.
std::string FileBesideProgram(const char* name);
std::string FileNamePart(const std::string& text);
std::string TrimLeadingBlanks(const std::string& text);
std::string ExtensionOf(const std::string& text);
size_t NamePosition(const std::string& text);  // index after the last backslash

// A text with its environment variables expanded, whole; false (and the
// text unchanged) when it cannot be expanded.
bool ExpandEnvironment(const std::string& text, std::string& expanded);

// A path in UTF-16 for the calls that take no other form ("" when it cannot
// be converted); never cut.
std::wstring WidePath(const std::string& path);

std::string WindowsFolder();
std::string SystemFolder();
bool IsNtFamily();
bool IsWindows95();
DWORD WindowsMajorVersion();

// With id 0 gives the file's description without a box; otherwise shows the
// file summary box built around string id and returns its answer.
int ShowFileSummary(HWND owner, const char* file, UINT id, std::string* description);
std::string FileSummaryText(const char* file, UINT id, const VersionFields& fields);

}  // namespace sentrel

namespace sentrel {
// The user's application data folder followed by "\Sentrel".
std::string DataFolder();
}  // namespace sentrel
