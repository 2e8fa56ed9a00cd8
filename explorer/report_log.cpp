// The report log: every watched area in one HTML page (or a tab-separated
// text, by option Format), freshly enumerated, then opened.
#include <windows.h>

#include <string>
#include <vector>

#include "activex.h"
#include "catalogue.h"
#include "cookies.h"
#include "delayed_start.h"
#include "explorer.h"
#include "file_types.h"
#include "fileid.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "lookup.h"
#include "processes.h"
#include "registry.h"
#include "report_common.h"
#include "resource.h"
#include "services.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"
#include "tasks.h"

namespace sentrel {
namespace {

constexpr const char* kBreak = "<br>\r\n";
constexpr const char* kIEMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kWinlogonKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

struct Section {
  UINT title;
  int (*enumerate)();
};

int AllStartupEntries() { return EnumerateStartupEntries(0); }
int MonitoredTypes() { return EnumerateMonitoredTypes(true); }
int FullServices() { return EnumerateServices(ServiceListing::Full); }
int HiddenFiles() { return ScanHiddenFiles(true); }
int ListedActiveX() { return EnumerateActiveX(false); }

constexpr Section kSections[] = {
    {IDS_STARTUP_PROGRAMS, AllStartupEntries},
    {IDS_DELAYED_START, ListDelayedEntries},
    {IDS_ACTIVE_TASKS, ListActiveTasks},
    {IDS_SCHEDULED_TASKS, EnumerateTasks},
    {IDS_IE_HELPERS, EnumerateIEHelpers},
    {IDS_FILE_TYPES, MonitoredTypes},
    {IDS_SERVICES, FullServices},
    {IDS_HIDDEN_FILES, HiddenFiles},
    {IDS_ACTIVEX, ListedActiveX},
};
constexpr int kServicesSection = 6, kHiddenSection = 7, kIndexedSections = 7;

std::string E(const std::string& text) { return HtmlEscaped(text); }

void WriteHeader(ReportFile& out, const std::string& time, const std::string& date) {
  const std::string end = kBreak;
  out.Printf("Report created by %s version %s", E(Explorer().caption).c_str(), kVersionText);
  out.Printf(" at %s, on %s%s", time.c_str(), date.c_str(), end.c_str());
  out.Write(end);
  out.Printf("<b>Platform:</b> %s%s", E(PlatformText(CurrentPlatform())).c_str(), end.c_str());
  const ProgramFacts browser = DefaultBrowserFacts();
  if (browser.found)
    out.Printf("<b>Browser:</b> %s - <i>%s</i> version %s%s", E(browser.productName).c_str(),
               E(browser.description).c_str(), E(browser.version).c_str(), end.c_str());
  else
    out.Printf("Browser: Unable to find default browser.%s", end.c_str());
  out.Printf("Memory currently in use: %ld%%%s%s", static_cast<long>(CurrentMemory().load), end.c_str(), "<br>");
  const ProgramFacts ie = InternetExplorerFacts();
  if (ie.found) {
    out.Printf("MSIE: %s (%s)%s", E(ie.description).c_str(), E(ie.version).c_str(), end.c_str());
    std::string cookies;
    FindIECookieFolder(cookies);
    out.Printf("IE Cookie Path: %s %s", E(cookies).c_str(), end.c_str());
  } else {
    out.Printf("MSIE: Internet Explorer Not found.%s", end.c_str());
  }
  out.Write("\r\n");
  struct Browser {
    const char* exe;
    const char* format;
  };
  const ProgramFacts aol = AppPathProgram("AOL.EXE");
  if (aol.found) out.Printf("America Online version %s%s", E(aol.version).c_str(), end.c_str());
  for (const Browser& b :
       {Browser{"firefox.exe", "Firefox %s installed in %s%s"}, Browser{"Mozilla.exe", "Mozilla %s installed in %s%s"},
        Browser{"Netscp.exe", "Netscape %s installed in %s%s"}}) {
    const ProgramFacts program = AppPathProgram(b.exe);
    if (program.found)
      out.Printf(b.format, E(program.version).c_str(), E(FolderPart(program.path)).c_str(), end.c_str());
  }
  out.Write(end);
  struct PageValue {
    HKEY root;
    const char* format;
    const char* name;
  };
  for (const PageValue& v : {PageValue{HKEY_CURRENT_USER, "HKCU Window Title = %s%s", "Window Title"},
                             PageValue{HKEY_CURRENT_USER, "HKCU Default_Page_URL = %s%s", "Default_Page_URL"},
                             PageValue{HKEY_LOCAL_MACHINE, "HKLM Default_Page_URL = %s%s", "Default_Page_URL"},
                             PageValue{HKEY_CURRENT_USER, "HKCU Start Page = %s%s", "Start Page"},
                             PageValue{HKEY_LOCAL_MACHINE, "HKLM Start Page = %s%s", "Start Page"}}) {
    const std::string value = ReadString(v.root, kIEMainKey, v.name);
    if (!value.empty()) out.Printf(v.format, E(value).c_str(), end.c_str());
  }
  out.Write(end);
  for (const char* name : {"DefaultUserName", "DefaultDomainName", "Shell", "UserInit"}) {
    const std::string value = ReadString(HKEY_LOCAL_MACHINE, kWinlogonKey, name);
    if (!value.empty()) out.Printf("WinLogon %s=%s%s", name, E(value).c_str(), end.c_str());
  }
  out.Write(end + "<br>");
}

const char* HelperKeyOf(int type) {
  if (type == kTypeToolbar) return kToolbarKey;
  if (type == kTypeExtension) return kExtensionsKey;
  return kBrowserHelpersKey;
}

std::string LocationOf(int section, const CatalogueEntry& item) {
  if (section == 0 && item.type < 300) return LocationText(item.type, IsEntryDisabled(item) != 0);
  return LocationText(item.type, false);
}

// Created, accessed and written times and the size of a hidden file.
void WriteHiddenFacts(ReportFile& out, const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return;
  auto text = [](const FILETIME& time) {
    FILETIME local;
    SYSTEMTIME system;
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &system)) return std::string();
    return FormatDateTime(system);
  };
  out.Printf("\tCreated: %s<br>\r\n", E(text(data.ftCreationTime)).c_str());
  out.Printf("\tAccessed: %s<br>\r\n", E(text(data.ftLastAccessTime)).c_str());
  out.Printf("\tWritten: %s<br>\r\n", E(text(data.ftLastWriteTime)).c_str());
  const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  out.Printf("\tFile Size: %s Bytes<br>\r\n", GroupDigits(size).c_str());
}

void WriteHtmlEntry(ReportFile& out, int section, int index, const EntryFacts& facts, const std::string& status,
                    WORD languageId) {
  const CatalogueEntry& item = CatalogueAt(index);
  if (section == kHiddenSection) {
    out.Printf("<li><b>%s</b>\r\n\t<ol>\r\n", E(facts.name).c_str());
  } else {
    out.Printf(
        "<li><b>%s</b>\r\n\t<ol>%s&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
        "&nbsp;&nbsp\r\n",
        item.title.empty() ? "No Description available" : E(item.title).c_str(), E(facts.name).c_str());
  }
  if (!facts.description.empty()) out.Printf("\t%s<br>", E(facts.description).c_str());
  if (!facts.version.empty())
    out.Printf("\tVersion: %s&nbsp;&nbsp;&nbsp;&nbsp&nbsp;&nbsp;&nbsp;&nbsp\r\n", E(facts.version).c_str());
  if (!facts.copyright.empty()) out.Printf("\t%s<br>\r\n", E(facts.copyright).c_str());
  if (facts.description.empty() && facts.copyright.empty()) out.Write("<br>");
  const std::string location = LocationOf(section, item);
  if (!location.empty()) out.Printf("\tLocation: %s<br>\r\n", E(location).c_str());
  if (!item.path.empty()) out.Printf("\tPath:     %s<br>\r\n", E(item.path).c_str());
  if (!facts.firstSeen.empty()) out.Printf("\tFirst Detected by Sentrel: %s<br>\r\n", E(facts.firstSeen).c_str());
  if (!item.description.empty()) out.Printf("\t%s<br>\r\n", E(item.description).c_str());
  if (section == kServicesSection) {
    out.Printf("\tStartup Type: %s<br>\r\n", E(item.data).c_str());
    if (!status.empty()) out.Printf("\tService Status: %s<br>\r\n", E(status).c_str());
  }
  if (section == kHiddenSection) WriteHiddenFacts(out, item.command.empty() ? item.path : item.command);
  if (item.type == kTypeBrowserHelper || item.type == kTypeToolbar || item.type == kTypeExtension)
    out.Printf("\t%s: \"HKLM\\%s\"<br>\r\n", E(LoadText(IDS_LOCATION)).c_str(), HelperKeyOf(item.type));
  LookupFacts lookup;
  lookup.type = item.type;
  // A bare program name still names the program, not the entry's title.
  lookup.path = facts.file.find('\\') == std::string::npos && !facts.name.empty() ? "\\" + facts.name : facts.file;
  lookup.title = item.title;
  lookup.company = facts.company;
  lookup.productVersion = facts.version;
  lookup.languageId = languageId;
  out.Printf("\t<A href='%s'>Click for Omni Info</A></ol>\r\n\r\n", E(ShortLookupAddress(lookup)).c_str());
  out.Write("\t</ol><br>\r\n\r\n");
}

void WriteTextEntry(ReportFile& out, int section, int index, const EntryFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(index);
  out.Printf("%s\t%s\t", TabField(item.title).c_str(), TabField(facts.name).c_str());
  for (const std::string* field : {&facts.description, &facts.version, &facts.copyright})
    out.Printf("%s\t", TabField(*field).c_str());
  out.Printf("%s\t", TabField(LocationOf(section, item)).c_str());
  out.Printf("%s\r\n", TabField(item.path).c_str());
}

}  // namespace

int WriteReportLog() {
  WaitCursor wait;
  const bool html = Option(kOptFormat) == 0;
  const std::string path = ReportLogPath();
  {
    ReportFile out(path);
    if (!out) return 0;
    std::string time, date;
    NowStamp(time, date);
    const WORD languageId = LanguageIdOfCode(LoadText(IDS_LANGUAGE_CODE).c_str());
    if (html) {
      out.Write("<html><head><title>\r\n");
      out.Write("Sentrel Report Log");
      out.Write("</title></head>\r\n<body bgcolor=FloralWhite>\r\n");
      out.Printf("<H2 align='center'> %s </H2>\r\n", "Sentrel Report Log");
      WriteHeader(out, time, date);
      for (int i = 0; i < kIndexedSections; ++i) {
        std::string title = LoadText(kSections[i].title);
        if (i == kIndexedSections - 1 && !title.empty() && title[0] == ' ') title.erase(0, 1);
        out.Printf("<A href='SentrelLog.html#A%d'>%s</A><br>\r\n", i, E(title).c_str());
      }
    } else {
      out.Write("Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n");
    }
    VersionCache cache;
    for (int section = 0; section < static_cast<int>(sizeof kSections / sizeof kSections[0]); ++section) {
      const std::string title = LoadText(kSections[section].title);
      const int count = kSections[section].enumerate();
      if (html) {
        out.Printf("<A NAME=\"A%d\">\r\n", section);
        out.Printf("<center><b><BIG><BIG> \x95 %s \x95  </BIG></BIG></b></center>\r\n", E(title).c_str());
      } else {
        out.Printf("%s\r\n", title.c_str());
      }
      std::vector<int> states;
      if (html && section == kServicesSection) {
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) names.push_back(CatalogueAt(i).name);
        states = QueryServiceStates(names);
      }
      for (int i = 0; i < count; ++i) {
        const CatalogueEntry& item = CatalogueAt(i);
        if (item.title.empty() && item.path.empty()) continue;
        const EntryFacts facts = FactsOfEntry(i, cache);
        if (html)
          WriteHtmlEntry(out, section, i, facts, i < static_cast<int>(states.size()) ? StateText(states[i]) : "",
                         languageId);
        else
          WriteTextEntry(out, section, i, facts);
      }
    }
    ClearCatalogueEntries();
    if (html) out.Write("</body></html>\r\n");
  }
  OpenReport(path);
  return 1;
}

}  // namespace sentrel
