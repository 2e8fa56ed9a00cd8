// What the three reports share: the time stamp, the platform text, the
// escaping of hostile texts, the file they are written to, and opening it.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "report_text.h"

namespace sentrel {

// "%2d:%02d:%02d AM|PM"; the noon hour is PM.
std::string ReportTimeText(const SYSTEMTIME& time);
// "%2d/%02d/%4d" (month, day, year).
std::string ReportDateText(const SYSTEMTIME& time);

// What the platform text is made from.
struct PlatformFacts {
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD major = 0, minor = 0, build = 0;
  std::string service;  // the service text (szCSDVersion)
  WORD servicePackMajor = 0;
  WORD suiteMask = 0;
  BYTE productType = 0;
  bool extended = false;      // the extended version information was given
  bool tabletPc = false;      // SM_TABLETPC
  std::string productOption;  // ProductType of ProductOptions ("WINNT", ...), basic information only
  bool q246009 = false;       // NT 4 "Service Pack 6" with the 6a hotfix
};
PlatformFacts CurrentPlatform();
std::string PlatformText(const PlatformFacts& facts);

// Equal texts, letters of either case (the C runtime's own comparison is not
// on the oldest systems).
bool SameLetters(const std::string& a, const std::string& b);
// The file a report is written to, created anew. Lines go out in blocks of
// at most 64 KB (one system call per line made long reports slow); the
// text is never held whole.
class ReportFile {
 public:
  explicit ReportFile(const std::string& path);
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  explicit operator bool() const { return file_ != INVALID_HANDLE_VALUE; }
  void Write(const std::string& text);
  void Printf(const char* format, ...);
  void Flush();

 private:
  HANDLE file_;
  std::string pending_;
};

// The wait cursor while a report is written; the previous one afterwards.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// Opens a written report with the shell; tests replace the opener.
using ReportOpener = void (*)(const std::string& path);
void SetReportOpener(ReportOpener opener);
void OpenReport(const std::string& path);

// Facts the header block and the hijack log share.
struct ProgramFacts {
  bool found = false;
  std::string path, productName, description, version;
};
ProgramFacts DefaultBrowserFacts();
ProgramFacts InternetExplorerFacts();
// A program of an App Paths entry (its default value).
ProgramFacts AppPathProgram(const char* exeName);
std::string FolderPart(const std::string& path);
// Memory facts with the digits grouped.
struct MemoryFacts {
  DWORD load = 0;
  unsigned long long physicalFree = 0, pageFree = 0, virtualFree = 0;  // bytes
};
MemoryFacts CurrentMemory();

// The time stamp of now, as the reports write it.
void NowStamp(std::string& time, std::string& date);

// The three reports; each returns 1 when its file was written.
int WriteReportLog();    // SentrelLog.html or .txt in the current folder, by option Format
int WriteSpreadsheet();  // SentrelLog.csv in the explorer's folder
int WriteHijackLog();    // HijackSentrel.log in the explorer's folder
// The report's path (the current folder or the explorer's).
std::string ReportLogPath();
std::string SpreadsheetPath();
std::string HijackLogPath();

// The file-name part of a command's program, the program's version fields
// and the first-seen time: what every per-entry line reads. A report reads
// each program's version data once (the cache lives as long as the report).
struct VersionCache;
struct EntryFacts {
  std::string file, name;
  std::string productName, version, company, description, copyright;
  std::string firstSeen;
};
EntryFacts FactsOfEntry(int entry, VersionCache& cache);
struct VersionCache {
  struct Impl;
  VersionCache();
  ~VersionCache();
  VersionCache(const VersionCache&) = delete;
  VersionCache& operator=(const VersionCache&) = delete;
  Impl* impl;
};

}  // namespace sentrel
