// The hijack-style log: a line-coded inventory of the places browser
// hijackers and other unwanted programs use, written in one pass.
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
#include "system_files.h"
#include "system_settings.h"
#include "tasks.h"

namespace sentrel {

// How much of each file is read, and how many hidden files are named.
constexpr size_t kHostsReadBytes = 652780;
constexpr size_t kIEResetReadBytes = 16384;
constexpr int kHiddenFilesListed = 41;

namespace {

constexpr const char* kEnd = "\r\n";

// A value on one line: a line break inside a registry value or a file name
// would otherwise start a line of the log's own making.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}
constexpr const char* kIEMain = "\\Software\\Microsoft\\Internet Explorer\\Main,";
constexpr const char* kIEMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kUrlKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL";
constexpr const char* kControlSets[][2] = {
    {"ControlSet001", "CS1"}, {"CurrentControlSet", "CCS"}, {"ControlSet002", "CS2"}, {"ControlSet003", "CS3"}};

// The first bytes of a file, up to limit; "" when it cannot be read.
std::string ReadHead(const std::string& path, size_t limit) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text(limit, '\0');
  size_t total = 0;
  DWORD got = 0;
  while (total < limit && ReadFile(file, &text[total], static_cast<DWORD>(limit - total), &got, nullptr) && got > 0)
    total += got;
  CloseHandle(file);
  text.resize(total);
  return text;
}

// A profile string of whatever length.
std::string ProfileText(const char* section, const char* key, const std::string& file) {
  std::vector<char> buffer(1024);
  for (;;) {
    const DWORD length = file.empty()
                             ? GetProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(buffer.size()))
                             : GetPrivateProfileStringA(section, key, "", buffer.data(),
                                                        static_cast<DWORD>(buffer.size()), file.c_str());
    if (length + 2 < buffer.size() || buffer.size() >= 65536) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

bool IsMicrosoftShellClass(const std::string& classId) {
  for (const char* known : {"{7849596a-48ea-486e-8937-a2a3009f31a9}", "{fbeb8a05-beee-4442-804e-409d6c4515e9}",
                            "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}", "{35CEC8A3-2BE6-11D2-8773-92E220524153}"})
    if (SameLetters(known, classId)) return true;
  return false;
}

std::string CommonStartupFolder() {
  return ReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    "Common Startup");
}

bool StartsWithFolder(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() > folder.size() && SameLetters(path.substr(0, folder.size()), folder) &&
         path[folder.size()] == '\\';
}

const char* RunFormat(int type) {
  static const char* const kFormats[] = {"O4 - HKLM\\..\\Run: [%s]%s%s",
                                         "O4 - HKLM\\..\\RunOnce: [%s]%s%s",
                                         "O4 - HKLM\\..\\RunOnceEx: [%s]%s%s",
                                         "O4 - HKLM\\..\\RunServices: [%s]%s%s",
                                         "O4 - HKLM\\..\\RunServicesOnce: [%s]%s%s",
                                         "O4 - HKLM\\..\\RunOnceSetup: [%s]%s%s",
                                         "O4 - HKLM\\..\\Policies\\Explorer\\Run: [%s]%s%s",
                                         "O4 - HKCU\\..\\Run: [%s]%s%s",
                                         "O4 - HKCU\\..\\RunOnce: [%s]%s%s",
                                         "O4 - HKCU\\..\\RunOnceEx: [%s]%s%s",
                                         "O4 - HKCU\\..\\RunServices: [%s]%s%s",
                                         "O4 - HKCU\\..\\RunServicesOnce: [%s]%s%s",
                                         "O4 - HKCU\\..\\RunOnceSetup: [%s]%s%s",
                                         "O4 - HKU\\..\\Run: [%s]%s%s",
                                         "O4 - HKU\\..\\RunOnce: [%s]%s%s",
                                         "O4 - HKU\\..\\RunOnceEx: [%s]%s%s",
                                         "O4 - HKU\\..\\RunService: [%s]%s%s",
                                         "O4 - HKU\\..\\RunServicesOnce: [%s]%s%s",
                                         "O4 - HKU\\..\\RunOnceSetup: [%s]%s%s"};
  if (type >= 1 && type <= 7) return kFormats[type - 1];
  if (type >= 11 && type <= 16) return kFormats[7 + type - 11];
  if (type >= 21 && type <= 26) return kFormats[13 + type - 21];
  return "O4 - Other Run: [%s]%s%s";
}

void WriteProcesses(ReportFile& out) {
  out.Write(kEnd);
  out.Printf("%s%s", OneLine(LoadText(IDS_RUNNING_PROCESSES)).c_str(), kEnd);
  EnumerateProcesses(
      [](DWORD, WORD, const char* path, void* context) {
        if (path && *path) static_cast<ReportFile*>(context)->Printf("%s%s", path, kEnd);
        return true;
      },
      &out);
  out.Write(kEnd);
}

void WriteStartPages(ReportFile& out) {
  struct Page {
    const char* prefix;
    HKEY root;
    const char* rootName;
    const char* name;
  };
  for (const Page& p : {Page{"R1 - ", HKEY_CURRENT_USER, "HKCU", "Default_Page_URL"},
                        Page{"R0 - ", HKEY_CURRENT_USER, "HKCU", "Start Page"},
                        Page{"R1 - ", HKEY_LOCAL_MACHINE, "HKLM", "Default_Page_URL"},
                        Page{"R0 - ", HKEY_LOCAL_MACHINE, "HKLM", "Start Page"},
                        Page{"R1 - ", HKEY_CURRENT_USER, "HKCU", "Window Title"},
                        Page{"R0 - ", HKEY_LOCAL_MACHINE, "HKLM", "Window Title"}}) {
    const std::string value = ReadString(p.root, kIEMainKey, p.name);
    if (!value.empty())
      out.Printf("%s%s%s%s = %s%s", p.prefix, p.rootName, kIEMain, p.name, OneLine(value).c_str(), kEnd);
  }
}

void WriteProfileLines(ReportFile& out) {
  const std::string systemIni = WindowsFolder() + "\\system.ini";
  const std::string shell = ProfileText("Boot", "Shell", systemIni);
  if (!shell.empty() && !SameLetters(shell, "Explorer.exe"))
    out.Printf("F0 - system.ini: Shell=%s%s", OneLine(shell).c_str(), kEnd);
  const std::string run = ProfileText("Windows", "run", "");
  if (!run.empty()) out.Printf("F1 - win.ini: run=%s%s", OneLine(run).c_str(), kEnd);
  const std::string load = ProfileText("Windows", "load", "");
  if (!load.empty()) out.Printf("F1 - win.ini: load=%s%s", OneLine(load).c_str(), kEnd);
  const std::string userInit = ProfileText("Boot", "UserInit", systemIni);
  if (!userInit.empty()) out.Printf("F2 - REG: system.ini: UserInit=%s%s", OneLine(userInit).c_str(), kEnd);
  const char* windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
  const std::string userLoad = ReadString(HKEY_CURRENT_USER, windowsKey, "Load");
  if (!userLoad.empty()) out.Printf("F3 - HKCU Load=%s%s", OneLine(userLoad).c_str(), kEnd);
  const std::string userRun = ReadString(HKEY_CURRENT_USER, windowsKey, "Run");
  if (!userRun.empty()) out.Printf("F3 - HKCU Run=%s%s", OneLine(userRun).c_str(), kEnd);
}

void WriteStartupEntries(ReportFile& out) {
  const int count = EnumerateStartupEntries(0);
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& item = CatalogueAt(i);
    if (item.type == kTypeStartupFolder || item.fromDisabledStore) continue;
    out.Printf(RunFormat(item.type), OneLine(item.title).c_str(), OneLine(item.path).c_str(), kEnd);
  }
  const std::string common = CommonStartupFolder();
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& item = CatalogueAt(i);
    if (item.type != kTypeStartupFolder || item.fromDisabledStore) continue;
    out.Printf(StartsWithFolder(item.data, common) ? "O4 - Global Startup: %s=%s%s" : "O4 - Startup: %s=%s%s",
               OneLine(FileNamePart(item.data)).c_str(), OneLine(item.path).c_str(), kEnd);
  }
}

void WritePolicies(ReportFile& out) {
  const std::string dontLoad = ReadString(HKEY_CURRENT_USER, "Control Panel\\don't load", "inetcpl.cpl");
  if (ContainsText(dontLoad.c_str(), "no"))
    out.Printf("O5 - control.ini: inetcpl.cpl=%s%s", OneLine(dontLoad).c_str(), kEnd);
  for (const char* key : {"Restrictions", "Control Panel"}) {
    const std::string path = std::string("Software\\Policies\\Microsoft\\Internet Explorer\\") + key;
    StoredValue value;
    if (ReadStoredValue(HKEY_CURRENT_USER, path.c_str(), "", value))
      out.Printf("O6 - HKCU\\%s present%s", OneLine(path).c_str(), kEnd);
  }
  const char* systemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  struct Policy {
    const char* name;
    const char* format;
  };
  for (const Policy& p :
       {Policy{"DisableRegistryTools", "DisableRegistryTools =%d%s"}, Policy{"DisableRegEdit", "DisableRegEdit=%d%s"},
        Policy{"DisableTaskMgr", "DisableTaskMgr =%d%s"}}) {
    StoredValue value;
    if (!ReadStoredValue(HKEY_CURRENT_USER, systemKey, p.name, value) || value.bytes.empty()) continue;
    const int first = static_cast<unsigned char>(value.bytes[0]);
    if (first > 0) {
      out.Printf("O7 - HKCU\\%s, ", systemKey);
      out.Printf(p.format, first, kEnd);
    }
  }
}

void WriteAddOns(ReportFile& out) {
  int count = ListMenuExtensions();
  for (int i = 0; i < count; ++i)
    out.Printf("O8 - Extra context menu item: %s - %s%s", OneLine(CatalogueAt(i).title).c_str(),
               OneLine(CatalogueAt(i).path).c_str(), kEnd);
  count = ListExtensions();
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& item = CatalogueAt(i);
    out.Printf(item.type == 1 ? "O9 - Extra button: %s - %s - %s%s" : "O9 - Extra 'Tools' menuitem: %s - %s - %s%s",
               OneLine(item.title).c_str(), OneLine(item.data).c_str(), OneLine(item.path).c_str(), kEnd);
  }
  count = ListAdvancedOptions();
  for (int i = 0; i < count; ++i)
    out.Printf("O11 - Options group: [%s] %s - %s%s", OneLine(CatalogueAt(i).title).c_str(),
               OneLine(CatalogueAt(i).title).c_str(), OneLine(CatalogueAt(i).data).c_str(), kEnd);
  count = ListPlugins();
  for (int i = 0; i < count; ++i)
    out.Printf("O12 - Plugin for %s: %s%s", OneLine(CatalogueAt(i).title).c_str(), OneLine(CatalogueAt(i).path).c_str(),
               kEnd);
}

std::string PrefixesKey() { return std::string(kUrlKey) + "\\Prefixes"; }
std::string DefaultPrefixKey() { return std::string(kUrlKey) + "\\DefaultPrefix"; }

void WritePrefixes(ReportFile& out) {
  const std::string defaultPrefix = ReadString(HKEY_LOCAL_MACHINE, DefaultPrefixKey().c_str(), "");
  if (defaultPrefix.size() > 7) out.Printf("O13 - DefaultPrefix: %s%s", OneLine(defaultPrefix).c_str(), kEnd);
  const std::string www = ReadString(HKEY_LOCAL_MACHINE, PrefixesKey().c_str(), "www");
  if (www.size() > 7) out.Printf("O13 - WWW Prefix: %s%s", OneLine(www).c_str(), kEnd);
  const std::string wwwDot = ReadString(HKEY_LOCAL_MACHINE, PrefixesKey().c_str(), "www.");
  if (wwwDot.size() > 7) out.Printf("O13 -  WWW. Prefix: %s%s", OneLine(wwwDot).c_str(), kEnd);
}

void WriteIEReset(ReportFile& out) {
  const std::string file = WindowsFolder() + "\\inf\\iereset.inf";
  const std::string start = ProfileText("Strings", "START_PAGE_URL", file);
  if (!start.empty()) out.Printf("O14 - IERESET.INF: START_PAGE_URL = %s%s", OneLine(start).c_str(), kEnd);
  const std::string search = ProfileText("Strings", "SEARCH_PAGE_URL", file);
  if (!search.empty()) out.Printf("O14 - IERESET.INF: SEARCH_PAGE_URL = %s%s", OneLine(search).c_str(), kEnd);
  for (const std::string& line : TextLines(ReadHead(file, kIEResetReadBytes))) {
    const size_t comma = line.rfind(',');
    if (comma == std::string::npos) continue;
    const bool user = ContainsText(line.c_str(), "HKCU") != 0, machine = ContainsText(line.c_str(), "HKLM") != 0;
    const char* root = user ? "HKCU," : machine ? "HKLM," : "";
    for (const char* name : {"Start Page", "Default_Page_URL", "Default_Search_URL", "Search Page"})
      if (line.find(name) != std::string::npos)
        out.Printf("O14 - IERESET.INF:%s %s = %s%s", root, name, OneLine(line.substr(comma + 1)).c_str(), kEnd);
  }
}

void WriteNetwork(ReportFile& out) {
  int count = ListZoneDomains();
  for (int i = 0; i < count; ++i) out.Printf("O15 - Trusted Zone: %s%s", OneLine(CatalogueAt(i).title).c_str(), kEnd);
  count = ListDownloadedProgramFiles();
  for (int i = 0; i < count; ++i)
    out.Printf("O16 - DPF: %s (%s) - %s%s", OneLine(CatalogueAt(i).description).c_str(),
               OneLine(CatalogueAt(i).title).c_str(), OneLine(CatalogueAt(i).path).c_str(), kEnd);
  for (const auto& set : kControlSets) {
    const std::string tcpip = std::string("SYSTEM\\") + set[0] + "\\Services\\Tcpip\\Parameters";
    const std::string searchList = ReadString(HKEY_LOCAL_MACHINE, tcpip.c_str(), "SearchList");
    if (!searchList.empty()) out.Printf("O17 - HKLM\\%s: SearchList = %s%s", set[1], OneLine(searchList).c_str(), kEnd);
    const std::string nameServer = ReadString(HKEY_LOCAL_MACHINE, tcpip.c_str(), "NameServer");
    if (!nameServer.empty()) out.Printf("O17 - HKLM\\%s: NameServer = %s%s", set[1], OneLine(nameServer).c_str(), kEnd);
    const std::string mstcp = std::string("SYSTEM\\") + set[0] + "\\Services\\VxD\\MSTCP";
    const std::string vxdDomain = ReadString(HKEY_LOCAL_MACHINE, mstcp.c_str(), "Domain");
    if (!vxdDomain.empty())
      out.Printf("O17 - HKLM\\System\\%s\\Services\\VxD\\MSTCP: Domain = %s%s", set[1], OneLine(vxdDomain).c_str(),
                 kEnd);
    const std::string domain = ReadString(HKEY_LOCAL_MACHINE, tcpip.c_str(), "Domain");
    if (!domain.empty())
      out.Printf("O17 - HKLM\\System\\%s\\Services\\Tcpip\\Parameters: Domain = %s%s", set[1], OneLine(domain).c_str(),
                 kEnd);
  }
  const std::string sheet =
      ReadString(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Styles", "User Stylesheet");
  if (!sheet.empty()) out.Printf("O19 -  User style sheet: %s%s", OneLine(sheet).c_str(), kEnd);
  const std::string appInit =
      ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs");
  if (!appInit.empty()) out.Printf("O20 - AppInit_DLLs: %s%s%s", OneLine(appInit).c_str(), kEnd, kEnd);
}

void WriteShellObjects(ReportFile& out) {
  int count = ListDelayLoadObjects();
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& item = CatalogueAt(i);
    if (IsMicrosoftShellClass(item.data)) continue;
    out.Printf("O21 - %s - %s - %s - %s%s", OneLine(item.description).c_str(), OneLine(item.title).c_str(),
               OneLine(item.data).c_str(), OneLine(item.path).c_str(), kEnd);
  }
  count = ListSharedTaskSchedulers();
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& item = CatalogueAt(i);
    if (ContainsText(item.path.c_str(), "browseui.dll")) continue;
    out.Printf("O22 - SharedTaskScheduler: (%s) - %s - %s%s", OneLine(item.title).c_str(), OneLine(item.data).c_str(),
               OneLine(item.path).c_str(), kEnd);
  }
}

void WriteServicesAndComponents(ReportFile& out, VersionCache& cache) {
  const int count = EnumerateServices(ServiceListing::Full);
  for (int i = 0; i < count; ++i) {
    const EntryFacts facts = FactsOfEntry(i, cache);
    out.Write("O23 - Service: " + OneLine(CatalogueAt(i).title) + " - " + OneLine(facts.company) + " - " +
              OneLine(CatalogueAt(i).path) + kEnd);
  }
  for (int n = 0; n <= 8; ++n) {
    const std::string key = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\" + std::to_string(n);
    const std::string name = ReadString(HKEY_CURRENT_USER, key.c_str(), "FriendlyName");
    if (name.empty()) break;
    if (name == "Current Home Page") continue;
    out.Printf("O24 -  Desktop Component %d: %s - %s%s", n, OneLine(name).c_str(),
               OneLine(ReadString(HKEY_CURRENT_USER, key.c_str(), "Source")).c_str(), kEnd);
  }
}

void WriteIELine(ReportFile& out, const ProgramFacts& ie) {
  if (ie.found)
    out.Printf("MSIE: %s (%s)%s", OneLine(ie.description).c_str(), OneLine(ie.version).c_str(), kEnd);
  else
    out.Printf("MSIE: Internet Explorer Not found.%s", kEnd);
}

void WriteAdditionalInfo(ReportFile& out, const ProgramFacts& ie) {
  out.Write(kEnd);
  out.Printf("---  Additional Sentrel Info  ---%s", kEnd);
  const ProgramFacts browser = DefaultBrowserFacts();
  if (browser.found)
    out.Printf("Default Browser: %s - %s version %s%s", OneLine(browser.productName).c_str(),
               OneLine(browser.description).c_str(), OneLine(browser.version).c_str(), kEnd);
  else
    out.Printf("Browser: Unable to find default browser.%s", kEnd);
  WriteIELine(out, ie);
  const ProgramFacts aol = AppPathProgram("AOL.EXE");
  if (aol.found && FindOnlineServiceWindow())
    out.Printf("America Online version %s running %s%s", OneLine(aol.version).c_str(),
               OneLine(FolderPart(aol.path)).c_str(), kEnd);
  struct Browser {
    const char* exe;
    const char* format;
  };
  for (const Browser& b : {Browser{"firefox.exe", "Firefox %s installed in %s.%s"},
                           Browser{"Mozilla.exe", "Mozilla %s installed in %s.%s"},
                           Browser{"Netscp.exe", "Netscape %s installed in %s.%s"}}) {
    const ProgramFacts program = AppPathProgram(b.exe);
    if (program.found)
      out.Printf(b.format, OneLine(program.version).c_str(), OneLine(FolderPart(program.path)).c_str(), kEnd);
  }
  std::string folder;
  if (FindIECookieFolder(folder))
    out.Printf("%d IE Cookies in Folder: %s%s", ListCookies(1, false), OneLine(folder).c_str(), kEnd);
  const int kind = IsMozillaKind(DefaultBrowserKind()) ? DefaultBrowserKind() : 3;
  if (FindMozillaProfileFolder(kind, folder))
    out.Printf("%d Mozilla Cookies in Folder: %s%s", ListCookies(kind, false), OneLine(folder).c_str(), kEnd);
  out.Write(kEnd);
}

void WriteSessionManager(ReportFile& out) {
  bool any = false;
  for (const auto& set : kControlSets) {
    const std::string key = std::string("SYSTEM\\") + set[0] + "\\Control\\Session Manager";
    for (const char* name : {"BootExecute", "PendingFileRenameOperations"}) {
      const std::string value = ReadString(HKEY_LOCAL_MACHINE, key.c_str(), name);
      if (value.empty()) continue;
      out.Printf(name[0] == 'B' ? "SN00 - HKLM\\%s: BootExecute = %s%s"
                                : "SN01 - HKLM\\%s: PendingFileRenameOperations = %s%s",
                 set[1], OneLine(value).c_str(), kEnd);
      any = true;
    }
  }
  const std::string comSpec =
      ReadString(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "ComSpec");
  if (!comSpec.empty()) {
    out.Printf("SN02 - HKLM\\%s: Command = %s%s", "CCS", OneLine(comSpec).c_str(), kEnd);
    any = true;
  }
  if (any) out.Write(kEnd);
  const DWORD update = ReadDwordValue(
      HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update", "AUOptions");
  if (update != 0) {
    const std::string text = update <= 4 ? LoadText(IDS_WINDOWS_AUTO_UPDATE_SETTINGS + update) : "";
    out.Printf("SN03 - Windows Automatic Update = %d:%s%s", static_cast<int>(update), OneLine(text).c_str(), kEnd);
    out.Write(kEnd);
  }
}

void WriteCatalogues(ReportFile& out) {
  int count = ListDelayedEntries();
  for (int i = 0; i < count; ++i)
    out.Printf("SN06 - Delayed Start: [%s]%s%s", OneLine(CatalogueAt(i).title).c_str(),
               OneLine(CatalogueAt(i).path).c_str(), kEnd);
  out.Write(kEnd);
  const std::string defaultPrefix = ReadString(HKEY_LOCAL_MACHINE, DefaultPrefixKey().c_str(), "");
  const std::string www = ReadString(HKEY_LOCAL_MACHINE, PrefixesKey().c_str(), "www");
  if (!defaultPrefix.empty())
    out.Printf("SN08 - HKLM\\%s: Default = %s%s", OneLine(DefaultPrefixKey()).c_str(), OneLine(defaultPrefix).c_str(),
               kEnd);
  if (!www.empty())
    out.Printf("SN08 - HKLM\\%s: %s = %s%s", OneLine(PrefixesKey()).c_str(), "www", OneLine(www).c_str(), kEnd);
  if (!defaultPrefix.empty() || !www.empty()) out.Write(kEnd);
  count = EnumerateTasks();
  for (int i = 0; i < count; ++i)
    out.Printf("SN31 - Scheduled Tasks: [%s]%s %s%s", OneLine(CatalogueAt(i).title).c_str(),
               OneLine(CatalogueAt(i).path).c_str(), OneLine(CatalogueAt(i).description).c_str(), kEnd);
  out.Write(kEnd);
  count = EnumerateActiveX(false);
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& item = CatalogueAt(i);
    if (static_cast<DWORD>(item.value) & 0x400) continue;
    out.Printf("SN16 - ActiveX: %s [%s] %s %s%s", OneLine(item.data).c_str(), OneLine(item.title).c_str(),
               OneLine(item.path).c_str(), OneLine(item.description).c_str(), kEnd);
  }
  out.Write(kEnd);
  count = ScanHiddenFiles(false);
  for (int i = 0; i < count && i < kHiddenFilesListed; ++i)
    out.Printf("SN32 - Hidden File: %s%s", OneLine(CatalogueAt(i).path).c_str(), kEnd);
  out.Write(kEnd);
  count = EnumerateMonitoredTypes(true);
  for (int i = 0; i < count; ++i)
    out.Printf("SN33 - File Type %s: [%s]%s%s", OneLine(CatalogueAt(i).description).c_str(),
               OneLine(CatalogueAt(i).title).c_str(), OneLine(CatalogueAt(i).path).c_str(), kEnd);
  out.Write(kEnd);
}

void WriteMemory(ReportFile& out) {
  const MemoryFacts memory = CurrentMemory();
  out.Printf("Memory currently in use: %s%%%s", OneLine(GroupDigits(memory.load)).c_str(), kEnd);
  out.Printf("Physical Memory Free: %s KB%s", OneLine(GroupDigits(memory.physicalFree / 1024)).c_str(), kEnd);
  out.Printf("Paging File Free: %s KB%s", OneLine(GroupDigits(memory.pageFree / 1024)).c_str(), kEnd);
  out.Printf("Virtual Memory Free: %s KB%s", OneLine(GroupDigits(memory.virtualFree / 1024)).c_str(), kEnd);
  out.Write(std::string(kEnd) + kEnd);
  out.Printf("--%s", kEnd);
  out.Printf("End of file%s", kEnd);
}

}  // namespace

int WriteHijackLog() {
  WaitCursor wait;
  const std::string path = HijackLogPath();
  if (path.empty()) return 0;
  {
    ReportFile out(path);
    if (!out) return 0;
    std::string time, date;
    NowStamp(time, date);
    out.Printf("Log created by %s version %s%s", OneLine(Explorer().caption).c_str(), kVersionText, kEnd);
    out.Printf("Scan saved at %s, on %s%s", OneLine(time).c_str(), OneLine(date).c_str(), kEnd);
    out.Printf("Platform: %s%s", PlatformText(CurrentPlatform()).c_str(), kEnd);
    const ProgramFacts ie = InternetExplorerFacts();
    WriteIELine(out, ie);
    switch (GetSystemMetrics(SM_CLEANBOOT)) {
      case 0:
        out.Printf("Boot mode: Normal%s", kEnd);
        break;
      case 1:
        out.Printf("Boot mode: Safe%s", kEnd);
        break;
      case 2:
        out.Printf("Boot mode: Safe with Network%s", kEnd);
        break;
      default:
        out.Printf("Boot mode: Unknown%s", kEnd);
    }
    WriteProcesses(out);
    WriteStartPages(out);
    WriteProfileLines(out);
    for (const std::string& line : ListedHostsLines(ReadHead(HostsPath(), kHostsReadBytes)))
      out.Printf("O1 - Hosts: %s%s", OneLine(line).c_str(), kEnd);
    int count = ListHelperObjects();
    for (int i = 0; i < count; ++i)
      out.Printf("O2 - BHO: %s - %s - %s%s", OneLine(CatalogueAt(i).title).c_str(),
                 OneLine(CatalogueAt(i).data).c_str(), OneLine(CatalogueAt(i).path).c_str(), kEnd);
    count = ListToolbars();
    for (int i = 0; i < count; ++i)
      out.Printf("O3 - Toolbar: %s - %s - %s%s", OneLine(CatalogueAt(i).title).c_str(),
                 OneLine(CatalogueAt(i).data).c_str(), OneLine(CatalogueAt(i).path).c_str(), kEnd);
    WriteStartupEntries(out);
    WritePolicies(out);
    WriteAddOns(out);
    WritePrefixes(out);
    WriteIEReset(out);
    WriteNetwork(out);
    WriteShellObjects(out);
    VersionCache cache;
    WriteServicesAndComponents(out, cache);
    WriteAdditionalInfo(out, ie);
    WriteSessionManager(out);
    WriteCatalogues(out);
    WriteMemory(out);
    ClearCatalogueEntries();
  }
  OpenReport(path);
  return 1;
}

}  // namespace sentrel
