// What the three reports share: time stamp, platform text, escaping, the
// report file and the facts of programs and of the machine.
#include "report_common.h"

#include <shellapi.h>

#include <cstdio>
#include <map>

#include "catalogue.h"
#include "fileid.h"
#include "first_seen.h"
#include "list_page.h"
#include "registry.h"
#include "settings.h"
#include "system_settings.h"

namespace sentrel {

std::string ReportTimeText(const SYSTEMTIME& time) {
  // 12:xx is the afternoon: only hours 0 to 11 are AM.
  const int hour = time.wHour > 12 ? time.wHour - 12 : time.wHour;
  return Format("%2d:%02d:%02d %s", hour, time.wMinute, time.wSecond, time.wHour >= 12 ? "PM" : "AM");
}

std::string ReportDateText(const SYSTEMTIME& time) {
  return Format("%2d/%02d/%4d", time.wMonth, time.wDay, time.wYear);
}

void NowStamp(std::string& time, std::string& date) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  time = ReportTimeText(now);
  date = ReportDateText(now);
}

PlatformFacts CurrentPlatform() {
  PlatformFacts facts;
  OSVERSIONINFOEXA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
    facts.extended = true;
  } else {
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return facts;
  }
  facts.platformId = info.dwPlatformId;
  facts.major = info.dwMajorVersion;
  facts.minor = info.dwMinorVersion;
  facts.build = info.dwBuildNumber;
  info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
  facts.service = info.szCSDVersion;
  if (facts.extended && facts.platformId == VER_PLATFORM_WIN32_NT) {
    facts.servicePackMajor = info.wServicePackMajor;
    facts.suiteMask = info.wSuiteMask;
    facts.productType = info.wProductType;
  } else if (facts.platformId == VER_PLATFORM_WIN32_NT) {
    facts.productOption =
        ReadString(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType");
  }
  facts.tabletPc = GetSystemMetrics(86 /* SM_TABLETPC */) != 0;
  facts.q246009 =
      KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009") != 0;
  return facts;
}

namespace {

std::string NtProductText(const PlatformFacts& facts) {
  if (!facts.extended) {
    std::string text;
    if (SameLetters(facts.productOption, "WINNT")) text = "Workstation ";
    if (SameLetters(facts.productOption, "LANMANNT")) text = "Server ";
    if (SameLetters(facts.productOption, "SERVERNT")) text = "Advanced Server ";
    return text + Format("%d.%d ", static_cast<int>(facts.major), static_cast<int>(facts.minor));
  }
  if (facts.productType == VER_NT_WORKSTATION) {
    if (facts.major == 4) return "Workstation 4.0 ";
    if (facts.suiteMask & VER_SUITE_PERSONAL) return "Home Edition ";
    return "";
  }
  const bool datacenter = (facts.suiteMask & VER_SUITE_DATACENTER) != 0;
  const bool enterprise = (facts.suiteMask & VER_SUITE_ENTERPRISE) != 0;
  if (facts.major == 5 && facts.minor == 2) {
    if (datacenter) return "Datacenter Edition ";
    if (enterprise) return "Enterprise Edition ";
    if (facts.suiteMask & VER_SUITE_BLADE) return "Web Edition ";
    return "Standard Edition ";
  }
  if (facts.major == 5 && facts.minor == 0) {
    if (datacenter) return "Datacenter Server ";
    if (enterprise) return "Advanced Server ";
    return "Server ";
  }
  if (facts.major <= 4) return enterprise ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
  return "";
}

}  // namespace

std::string PlatformText(const PlatformFacts& facts) {
  if (facts.platformId == VER_PLATFORM_WIN32s) return "Microsoft Win32s";
  const char second = facts.service.size() > 1 ? facts.service[1] : '\0';
  if (facts.platformId == VER_PLATFORM_WIN32_WINDOWS) {
    if (facts.major == 4 && facts.minor == 0)
      return std::string("Microsoft Windows 95 ") + (second == 'C' || second == 'B' ? "OSR2 " : "");
    if (facts.major == 4 && facts.minor == 10)
      return std::string("Microsoft Windows 98 ") + (second == 'A' ? "SE " : "");
    return "Microsoft Windows Millennium Edition";
  }
  std::string text;
  if (facts.major == 5 && facts.minor == 2)
    text = "Windows Server 2003 family, ";
  else if (facts.major == 5 && facts.minor == 1)
    text = "Windows XP ";
  else if (facts.major == 5 && facts.minor == 0)
    text = "Windows 2000 ";
  else if (facts.major <= 4)
    text = "Windows NT ";
  else if (facts.major == 6 && facts.minor == 0)
    text = "Windows Vista ";
  else
    text = "Windows 7 ";  // 6.1 is not Vista
  if (facts.servicePackMajor >= 1 && facts.servicePackMajor <= 3)
    text += Format("SP%d ", static_cast<int>(facts.servicePackMajor));
  if (facts.tabletPc) text += "Tablet PC Edition ";
  text += NtProductText(facts);
  const int build = static_cast<int>(facts.build & 0xFFFF);
  if (facts.major == 4 && facts.service == "Service Pack 6" && facts.q246009)
    return text + Format("Service Pack 6a (Build %d)", build);
  return text + Format("%s (Build %d)", facts.service.c_str(), build);
}

bool SameLetters(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

ReportFile::ReportFile(const std::string& path)
    : file_(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {}

ReportFile::~ReportFile() {
  if (file_ == INVALID_HANDLE_VALUE) return;
  Flush();
  CloseHandle(file_);
}

void ReportFile::Write(const std::string& text) {
  if (file_ == INVALID_HANDLE_VALUE) return;
  pending_ += text;
  if (pending_.size() >= 65536) Flush();
}

void ReportFile::Flush() {
  if (file_ == INVALID_HANDLE_VALUE || pending_.empty()) return;
  DWORD written = 0;
  WriteFile(file_, pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr);
  pending_.clear();
}

void ReportFile::Printf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Write(FormatList(format, arguments));
  va_end(arguments);
}

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514) /* IDC_WAIT */))) {}
WaitCursor::~WaitCursor() { SetCursor(previous_); }

namespace {

void ShellOpen(const std::string& path) {
  ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
ReportOpener g_opener = ShellOpen;

ProgramFacts FactsOfProgram(const std::string& path) {
  ProgramFacts facts;
  if (path.empty() || !FileExists(path.c_str())) return facts;
  facts.found = true;
  facts.path = path;
  VersionFields fields;
  ReadVersionInfo(path.c_str(), fields);
  facts.productName = fields.slot[kProductName];
  facts.description = fields.slot[kFileDescription];
  facts.version = fields.slot[kProductVersion];
  return facts;
}

}  // namespace

void SetReportOpener(ReportOpener opener) { g_opener = opener ? opener : ShellOpen; }
void OpenReport(const std::string& path) { g_opener(path); }

ProgramFacts DefaultBrowserFacts() { return FactsOfProgram(NormalizeFilePath(DefaultBrowserCommand().c_str())); }

ProgramFacts InternetExplorerFacts() {
  std::string folder =
      ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", "Path");
  if (!folder.empty() && folder.back() == ';') folder.pop_back();
  if (folder.empty()) return {};
  return FactsOfProgram(folder + "\\IExplore.exe");
}

ProgramFacts AppPathProgram(const char* exeName) {
  const std::string key = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exeName;
  return FactsOfProgram(StripQuotes(ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "")));
}

std::string FolderPart(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

MemoryFacts CurrentMemory() {
  MEMORYSTATUS status = {};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  MemoryFacts facts;
  facts.load = status.dwMemoryLoad;
  facts.physicalFree = status.dwAvailPhys;
  facts.pageFree = status.dwAvailPageFile;
  facts.virtualFree = status.dwAvailVirtual;
  return facts;
}

std::string ReportLogPath() {
  char folder[MAX_PATH] = "";
  const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
  const char* name = Option(kOptFormat) == 0 ? "SentrelLog.html" : "SentrelLog.txt";
  if (length == 0 || length >= sizeof folder) return name;
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + name;
}
std::string SpreadsheetPath() { return FileBesideProgram("SentrelLog.csv"); }
std::string HijackLogPath() { return FileBesideProgram("HijackSentrel.log"); }

EntryFacts FreshFactsOfEntry(int entry, VersionCache& cache);

struct VersionCache::Impl {
  std::map<std::string, VersionFields> fields;
  std::map<std::pair<int, std::string>, EntryFacts> entries;  // by type and command
};
VersionCache::VersionCache() : impl(new Impl) {}
VersionCache::~VersionCache() { delete impl; }

EntryFacts FactsOfEntry(int entry, VersionCache& cache) {
  const CatalogueEntry& item = CatalogueAt(entry);
  // Many entries start the same command: its file, version data and
  // first-seen time are worked out once.
  const auto key = std::make_pair(item.type, item.path);
  const auto known = cache.impl->entries.find(key);
  if (known != cache.impl->entries.end()) return known->second;
  EntryFacts facts = FreshFactsOfEntry(entry, cache);
  cache.impl->entries.emplace(key, facts);
  return facts;
}

EntryFacts FreshFactsOfEntry(int entry, VersionCache& cache) {
  EntryFacts facts;
  const CatalogueEntry& item = CatalogueAt(entry);
  facts.file = EntryFile(entry);
  facts.name = FileNamePart(facts.file.empty() ? item.path : facts.file);
  // The program's name as the command writes it, not upper-cased.
  if (!facts.name.empty()) {
    auto upperCased = [](std::string text) {
      for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      return text;
    };
    const std::string upper = upperCased(item.path), upperName = upperCased(facts.name);
    const size_t at = upper.rfind(upperName);
    if (at != std::string::npos) facts.name = item.path.substr(at, facts.name.size());
  }
  facts.name = Cut(facts.name, kPathChars);
  if (facts.file.empty()) return facts;
  auto found = cache.impl->fields.find(facts.file);
  if (found == cache.impl->fields.end()) {
    VersionFields fields;
    if (FileExists(facts.file.c_str())) ReadVersionInfo(facts.file.c_str(), fields);
    found = cache.impl->fields.emplace(facts.file, fields).first;
  }
  const VersionFields& fields = found->second;
  facts.productName = fields.slot[kProductName];
  facts.version = fields.slot[kProductVersion];
  facts.company = fields.slot[kCompanyName];
  facts.description = fields.slot[kFileDescription];
  facts.copyright = fields.slot[kLegalCopyright];
  char date[32] = "";
  if (ReadFirstSeen(facts.file.c_str(), item.type, date) > 0) facts.firstSeen = date;
  return facts;
}

}  // namespace sentrel
