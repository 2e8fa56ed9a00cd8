// Hostile input in every watched place at once: names and values of every
// awkward length, texts without terminators, the wrong value types, bytes of
// other code pages, control characters, a flood of entries, and files that
// are long-named, read-only, locked, huge or junk. Then every enumeration,
// every list page's fill, every check of the patrol and all three reports
// run over it: none may crash or hang, and what Windows would run is still
// listed. Each step is timed on the clean state and on the corpus (printed,
// not asserted).
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
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
#include "history.h"
#include "history_events.h"
#include "ie_helpers.h"
#include "monitor.h"
#include "patrol.h"
#include "processes.h"
#include "report_common.h"
#include "resource.h"
#include "services.h"
#include "settings.h"
#include "sheet_support.h"
#include "startup.h"
#include "system_files.h"
#include "system_settings.h"
#include "tasks.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

constexpr size_t kLengths[] = {0, 1, 255, 256, 259, 260, 1023, 1024, 1025, 4096, 65535};
constexpr int kFloodEntries = 4097;
constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr double kStepBoundSeconds = 120;  // far beyond any step's cost: only a hang reaches it

std::string Padded(std::string head, size_t length, char fill) {
  if (head.size() > length) head.resize(length);
  head.append(length - head.size(), fill);
  return head;
}
std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// ---- The corpus --------------------------------------------------------------

// Set: the same places get as many well-formed entries and files of the same
// sizes instead, for the comparison of the corpus with ordinary content.
bool g_benign = false;

struct HostileValue {
  std::string name;
  std::wstring wideName;  // set: a name outside the ANSI code page, written as such
  DWORD type = REG_SZ;
  std::string data;
  bool terminated = true;
  bool runs = true;  // Windows would start it from a Run key
};

// Every shape of value, the data naming a program of the location's tag so
// that equal texts in two keys stay two entries.
std::vector<HostileValue> ValueCorpus(const std::string& tag) {
  const std::string program = "c:\\hostile\\" + tag + ".exe";
  std::vector<HostileValue> corpus;
  for (size_t length : kLengths) {
    corpus.push_back({Padded("Hostile " + tag + " name " + std::to_string(length) + " ", length, 'n'),
                      {},
                      REG_SZ,
                      program + " /n" + std::to_string(length)});
    corpus.push_back({"Hostile " + tag + " data " + std::to_string(length),
                      {},
                      REG_SZ,
                      Padded("c:\\hostile\\" + tag + "\\" + std::to_string(length) + "\\", length, 'd')});
    corpus.back().runs = length > 0;
  }
  corpus.push_back({"Hostile " + tag + " unterminated", {}, REG_SZ, program + " /unterminated", false});
  corpus.push_back(
      {"Hostile " + tag + " unterminated expand", {}, REG_EXPAND_SZ, "%SystemRoot%\\" + tag + ".exe", false});
  corpus.push_back({"Hostile " + tag + " binary", {}, REG_BINARY, program, true, false});
  corpus.push_back({"Hostile " + tag + " dword", {}, REG_DWORD, std::string("\x01\x02\x03\x04", 4), true, false});
  corpus.push_back({"Hostile " + tag + " multi", {}, REG_MULTI_SZ, program + '\0' + program + '\0', true, false});
  corpus.push_back(
      {"Hostile " + tag + " \x80\x9F\xA0\xE9\xFF", {}, REG_SZ, "c:\\hostile\\\xE9\xE8\xFF" + tag + ".exe"});
  corpus.push_back({"", L"Hostile " + Widened(tag) + L" \x0141\x4E2D\x263A", REG_SZ, program + " /wide"});
  corpus.push_back({"Hostile " + tag + " \"quoted\"\ttab\r\nbreak",
                    {},
                    REG_SZ,
                    "\"c:\\hostile\\" + tag + " q.exe\" \"a\tb\"\r\nc:\\other.exe"});
  return corpus;
}

// Writes the value as a hostile program would; false when the registry
// refuses it (a name beyond the registry's own limit).
bool PlantValue(HKEY key, const HostileValue& value) {
  const DWORD extra = value.terminated && (value.type == REG_SZ || value.type == REG_EXPAND_SZ) ? 1 : 0;
  const DWORD size = static_cast<DWORD>(value.data.size()) + extra;
  if (!value.wideName.empty()) {
    const std::wstring data = Widened(value.data);
    return RegSetValueExW(key, value.wideName.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + extra) * sizeof(wchar_t)) == ERROR_SUCCESS;
  }
  return RegSetValueExA(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.c_str()),
                        size) == ERROR_SUCCESS;
}

// Key names a hostile program may give a subkey (the registry holds at most
// 255 characters; longer ones are tried and refused).
std::vector<std::wstring> KeyNameCorpus(const std::string& tag) {
  std::vector<std::wstring> names;
  for (size_t length : kLengths)
    if (length > 0 && length <= 1025)
      names.push_back(Widened(Padded("Hostile " + tag + " " + std::to_string(length) + " ", length, 'k')));
  names.push_back(L"Hostile " + Widened(tag) + L" \x00E9\x00FF\x0080");
  names.push_back(L"Hostile " + Widened(tag) + L" \x0141\x4E2D");
  names.push_back(L"Hostile " + Widened(tag) + L" \"q\"\t\r\n");
  names.push_back(L"{" + Widened(Padded(tag, 8, '0')) + L"-0000-0000-0000-000000000000}");
  if (g_benign)
    for (size_t i = 0; i < names.size(); ++i) names[i] = L"Benign " + Widened(tag) + L" " + std::to_wstring(i);
  return names;
}

// ---- The watched places --------------------------------------------------------

struct ValuePlace {
  HKEY root;
  std::string path;
  std::string tag;
  int runType;  // the type its entries are listed with; 0 for places that are not Run keys
};

std::vector<ValuePlace> ValuePlaces() {
  std::vector<ValuePlace> places;
  for (int index = 0; index < 7; ++index) {
    places.push_back({HKEY_LOCAL_MACHINE, kRunKeyPaths[index], "m" + std::to_string(index + 1), index + 1});
    places.push_back({HKEY_CURRENT_USER, kRunKeyPaths[index], "u" + std::to_string(index + 1), 11 + index});
  }
  const std::pair<HKEY, const char*> others[] = {
      {HKEY_LOCAL_MACHINE, kDelayLoadKey},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"},
      {HKEY_LOCAL_MACHINE, kToolbarKey},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions"},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt"},
      // Sentrel's own stores: a hostile program can write them too.
      {HKEY_CURRENT_USER, kStartupBaselineKey},
      {HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run"},
      {HKEY_LOCAL_MACHINE, kDisabledKey},
      {HKEY_CURRENT_USER, kDelayKey},
      {HKEY_CURRENT_USER, kIEHelperBaselineKey},
      {HKEY_CURRENT_USER, kServicesBaselineKey},
      {HKEY_CURRENT_USER, kHiddenBaselineKey},
      {HKEY_CURRENT_USER, kTaskBaselineKey},
      {HKEY_CURRENT_USER, kActiveXBaselineKey},
      {HKEY_CURRENT_USER, kNutsKey},
      {HKEY_CURRENT_USER, kKeptCookiesKey},
      {HKEY_CURRENT_USER, kExtKey},
  };
  int n = 0;
  for (const auto& other : others) places.push_back({other.first, other.second, "o" + std::to_string(++n), 0});
  return places;
}

// Keys whose subkeys are the entries, and what a hostile entry holds.
struct KeyPlace {
  HKEY root;
  const char* parent;
  const char* tag;
  std::vector<std::pair<const char*, DWORD>> values;  // text values get hostile data, DWORDs the number
  DWORD number;
};

const std::vector<KeyPlace>& KeyPlaces() {
  static const std::vector<KeyPlace> places = {
      // Demand start only: a planted service must never start with the prefix.
      {HKEY_LOCAL_MACHINE,
       kServicesKey,
       "svc",
       {{"ImagePath", REG_EXPAND_SZ},
        {"DisplayName", REG_SZ},
        {"Description", REG_SZ},
        {"Type", REG_DWORD},
        {"Start", REG_DWORD}},
       3},
      {HKEY_LOCAL_MACHINE, kBrowserHelpersKey, "bho", {{"", REG_SZ}}, 0},
      {HKEY_LOCAL_MACHINE, kExtensionsKey, "ext", {{"ButtonText", REG_SZ}, {"Exec", REG_SZ}, {"CLSID", REG_SZ}}, 0},
      {HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", "cls", {{"", REG_SZ}}, 0},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units", "dpf", {{"", REG_SZ}}, 0},
      {HKEY_LOCAL_MACHINE, kActiveXCompatibilityKey, "kill", {{"Compatibility Flags", REG_DWORD}}, 0x400},
      {HKEY_CURRENT_USER, kActiveXStatsKey, "stats", {{"", REG_SZ}}, 0},
      {HKEY_LOCAL_MACHINE,
       "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify",
       "ntf",
       {{"DllName", REG_SZ}},
       0},
      {HKEY_LOCAL_MACHINE, "Software\\Classes", "ftype", {{"", REG_SZ}}, 0},
      {HKEY_CURRENT_USER,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains",
       "zone",
       {{"http", REG_DWORD}},
       2},
      {HKEY_CURRENT_USER, "Software\\Orvane Works\\Sentrel\\Delay\\Title", "delay", {{"", REG_SZ}}, 0},
  };
  return places;
}

// Single values the settings watch and the area listings read.
struct SingleValue {
  HKEY root;
  const char* path;
  const char* name;
};
const SingleValue kSingleValues[] = {
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Search Page"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Main", "Default_Page_URL"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix", ""},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes", "www"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\HTTP\\shell\\open\\command", ""},
    {HKEY_CURRENT_USER, "Control Panel\\International", "sShortDate"},
    {HKEY_CURRENT_USER, "Control Panel\\International", "sTimeFormat"},
    {HKEY_CURRENT_USER, kClassKey, ""},
};

// A text value at its worst: long, unterminated, with quotes, tabs and line
// breaks and a high byte, naming a program first.
std::string WorstText(const std::string& tag) {
  if (g_benign) return "c:\\benign\\" + tag + ".exe";
  return Padded("\"c:\\hostile\\" + tag + " x.exe\" \"a\tb\";.exe;..;\r\n\xE9\xFF", 4096, ';');
}

// ---- Files -------------------------------------------------------------------

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::string Junk(size_t size, unsigned seed) {
  if (g_benign) return Padded("", size, 'b');
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return bytes;
}

// The lines of a history file a hostile program (or a cut write) left.
std::string HostileHistory() {
  if (g_benign) {
    std::string text;
    for (int i = 0; i < 2100; ++i) text += "07/04/2009  1:05 PM\tSTART_Alert\tMACHINE_RUN\tT\tc:\\p.exe\td\r\n";
    return text;
  }
  std::string text = Junk(3000, 7) + "\r\n";
  text += std::string(5000, 'x') + "\t*START_Remove\tCURRENT_RUN\t" + std::string(3000, 't') + "\r\n";
  text += "07/04/2009  1:05 PM\t*START_Remove\tCURRENT_RUN\tTitle\t" + std::string(70000, 'p') + "\tdata\r\n";
  text += "07/04/2009  1:05 PM\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\t\t\t\r\n\t\t\t\t\t\t\t\r\n\n\r\r\r\n";
  for (int i = 0; i < 2000; ++i) text += "07/04/2009  1:05 PM\tSTART_Alert\tMACHINE_RUN\tT\tc:\\p.exe\td\r\n";
  return text + "07/04/2009  1:05 PM\t*START_Remove\tCURRENT_R";  // cut short
}

// A cookies.txt of junk, overlong lines and the odd real line.
std::string HostileCookies() {
  if (g_benign) {
    std::string text;
    for (int i = 0; text.size() < 270000; ++i)
      text += ".benign" + std::to_string(i) + ".example\tTRUE\t/\tFALSE\t1262304000\tid\tvalue\n";
    return text;
  }
  std::string text = Junk(200000, 3);
  text += "\n.hostile.example\tTRUE\t/\tFALSE\t99999999999999999999\tname\t" + std::string(70000, 'v') + "\n";
  text += "\t\t\t\t\t\t\n.\tTRUE\t/\tFALSE\t-99999999999\tn\x00me\tv\r\n";
  return text;
}

// ---- The steps -----------------------------------------------------------------

struct Step {
  std::string name;
  std::function<void()> run;
};

DWORD WINAPI StepThread(void* parameter) {
  // As on the programs' own threads: COM is there for shortcuts and tasks.
  const HRESULT com = CoInitialize(nullptr);
  static_cast<const Step*>(parameter)->run();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

// Runs the step on a thread of its own; false when it did not end within
// the bound (the test then stops: the program is in no state to go on).
bool RunBounded(const Step& step, double& seconds) {
  const auto start = std::chrono::steady_clock::now();
  HANDLE thread = CreateThread(nullptr, 0, StepThread, const_cast<Step*>(&step), 0, nullptr);
  if (!thread) return false;
  const DWORD waited = WaitForSingleObject(thread, static_cast<DWORD>(kStepBoundSeconds * 1000));
  CloseHandle(thread);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return waited == WAIT_OBJECT_0;
}

void AsMonitor() {
  Process().kind = ProgramKind::Monitor;
  InitLanguageId();
  LoadOptions();
}

int g_lastCount = 0;

std::vector<Step> Steps() {
  std::vector<Step> steps;
  auto listing = [&steps](const char* name, std::function<int()> list) {
    steps.push_back({std::string("list: ") + name, [list] {
                       AsMonitor();
                       WholeCatalogue whole;
                       g_lastCount = list();
                     }});
  };
  listing("startup", [] { return EnumerateStartupEntries(0); });
  listing("IE helpers", EnumerateIEHelpers);
  const std::pair<const char*, int (*)()> addOnLists[] = {{"helper objects", ListHelperObjects},
                                                          {"toolbars", ListToolbars},
                                                          {"menu extensions", ListMenuExtensions},
                                                          {"extensions", ListExtensions},
                                                          {"plug-ins", ListPlugins},
                                                          {"downloaded programs", ListDownloadedProgramFiles},
                                                          {"delay-load objects", ListDelayLoadObjects},
                                                          {"task schedulers", ListSharedTaskSchedulers},
                                                          {"advanced options", ListAdvancedOptions},
                                                          {"zone domains", ListZoneDomains}};
  for (const auto& list : addOnLists) listing(list.first, list.second);
  listing("ActiveX", [] { return EnumerateActiveX(false, true); });
  listing("all ActiveX", EnumerateAllActiveX);
  listing("services (names)", [] { return EnumerateServices(ServiceListing::NamesOnly); });
  listing("services (full)", [] { return EnumerateServices(ServiceListing::Full); });
  listing("scheduled tasks", EnumerateTasks);
  listing("file types", [] { return EnumerateMonitoredTypes(); });
  listing("hidden files", [] { return ScanHiddenFiles(); });
  listing("IE cookies", [] { return ListCookies(0, false); });
  listing("Mozilla cookies", [] { return ListCookies(3, false); });
  listing("delayed start", ListDelayedEntries);
  listing("active tasks", ListActiveTasks);
  listing("history", LoadHistory);
  listing("system files", [] { return static_cast<int>(ChangedSystemFiles().size()); });

  const std::pair<UINT, const char*> pages[] = {{IDC_CMD_SHOW_STARTUP, "Startup Programs"},
                                                {IDC_CMD_SHOW_DELAY, "Delayed Start"},
                                                {IDC_CMD_SHOW_ACTIVEX, "ActiveX"},
                                                {IDC_CMD_SHOW_IE_HELPERS, "IE Helpers"},
                                                {IDC_CMD_SHOW_TASKS, "Scheduled Tasks"},
                                                {IDC_CMD_SHOW_SERVICES, "Services"},
                                                {IDC_CMD_SHOW_ACTIVE_TASKS, "Active Tasks"},
                                                {IDC_CMD_SHOW_COOKIES, "Cookies"},
                                                {IDC_CMD_SHOW_FILE_TYPES, "File Types"},
                                                {IDC_CMD_SHOW_HIDDEN, "Hidden Files"},
                                                {IDC_CMD_SHOW_RECENT, "Recent"}};
  for (const auto& entry : pages) {
    const UINT page = entry.first;
    steps.push_back({std::string("page: ") + entry.second, [page] {
                       StartExplorerInProcess();
                       LoadOptions();
                       WithSheet(page, [](HWND, HWND page) { g_lastCount = RowCount(page); });
                       EndExplorerInProcess();
                     }});
  }

  size_t count = 0;
  const PatrolArea* areas = PatrolAreas(&count);
  for (size_t i = 0; i < count; ++i) {
    const PatrolArea area = areas[i];
    steps.push_back({std::string("patrol: ") + area.label, [area] {
                       AsMonitor();
                       Monitor() = MonitorState{};
                       // -1: not a check of this system.
                       g_lastCount = area.check && (!area.condition || area.condition()) ? area.check() : -1;
                     }});
  }

  const std::pair<const char*, int (*)()> reports[] = {
      {"report log", WriteReportLog}, {"spreadsheet", WriteSpreadsheet}, {"hijack log", WriteHijackLog}};
  for (const auto& report : reports)
    steps.push_back({std::string("report: ") + report.first, [report] {
                       StartExplorerInProcess();
                       LoadOptions();
                       SetReportOpener([](const std::string&) {});
                       g_lastCount = report.second();
                       SetReportOpener(nullptr);
                       EndExplorerInProcess();
                     }});
  return steps;
}

// ---- The fixture -------------------------------------------------------------

class HostileCorpus : public testing::Test {
 protected:
  // Sentrel as first installed: no baselines, every question answered by
  // the options (allow), never by a box.
  static void ResetSentrel() {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    for (const char* option : {"HideStartup", "HideIEHelper", "HideActiveX", "HideServices", "HideFileType",
                               "HideTasks", "HideHidden", "HideSystemFiles", "HideHomePage"})
      RawSetText(HKEY_CURRENT_USER, kOptionsKey, option, "1");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAlerts", "0");
    DWORD off = 0;  // the checks hand over instead of answering while UAC is on
    RawSet(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, "EnableLUA", REG_DWORD, &off, sizeof off);
  }
  void SetUp() override {
    ResetSentrel();
    hosts_ = HostsPath();
    savedHosts_ = ReadWholeFile(hosts_);
    history_ = HistoryFile();
    savedHistory_ = ReadWholeFile(history_);
  }
  void TearDown() override {
    Unplant();
    WriteFileBytes(hosts_, savedHosts_);
    if (savedHistory_.empty())
      DeleteFileA(history_.c_str());
    else
      WriteFileBytes(history_, savedHistory_);
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
  }

  void Plant();
  void Unplant();

  // What was planted in the Run keys, for the listing check.
  std::vector<std::pair<int, HostileValue>> planted_;
  std::vector<std::string> startupFiles_;
  std::map<std::string, std::vector<std::wstring>> plantedKeys_;  // subkeys planted, by place
  std::vector<std::string> files_, folders_;
  std::vector<HANDLE> locks_;
  std::vector<std::unique_ptr<ValueGuard>> guards_;
  std::string hosts_, savedHosts_, history_, savedHistory_;
};

void HostileCorpus::Plant() {
  for (const ValuePlace& place : ValuePlaces()) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(place.root, place.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      continue;
    for (const HostileValue& value : ValueCorpus(place.tag))
      if (PlantValue(key, value) && place.runType) planted_.emplace_back(place.runType, value);
    RegCloseKey(key);
  }
  // The flood: one location holding more entries than a list shows.
  HKEY run = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kRunKeyPaths[0], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr);
  for (int i = 0; i < kFloodEntries; ++i) {
    HostileValue flood{"Hostile flood " + std::to_string(i), {}, REG_SZ, "c:\\flood\\" + std::to_string(i) + ".exe"};
    if (PlantValue(run, flood)) planted_.emplace_back(11, flood);
  }
  RegCloseKey(run);

  for (const KeyPlace& place : KeyPlaces()) {
    HKEY parent = nullptr;
    if (RegCreateKeyExA(place.root, place.parent, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent, nullptr) !=
        ERROR_SUCCESS)
      continue;
    for (const std::wstring& name : KeyNameCorpus(place.tag)) {
      HKEY child = nullptr;
      if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr) !=
          ERROR_SUCCESS)
        continue;
      plantedKeys_[place.tag].push_back(name);
      for (const auto& value : place.values) {
        const std::string text = WorstText(place.tag);
        if (value.second == REG_DWORD)
          RegSetValueExA(child, value.first, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&place.number),
                         sizeof place.number);
        else  // unterminated
          RegSetValueExA(child, value.first, 0, value.second, reinterpret_cast<const BYTE*>(text.data()),
                         static_cast<DWORD>(text.size()));
      }
      for (const HostileValue& value : ValueCorpus(place.tag))
        if (value.data.size() < 2000) PlantValue(child, value);
      HKEY inproc = nullptr;  // a class's server, where one is looked up
      if (RegCreateKeyExA(child, "InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &inproc, nullptr) ==
          ERROR_SUCCESS) {
        const std::string text = WorstText(place.tag);
        RegSetValueExA(inproc, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                       static_cast<DWORD>(text.size()));
        RegCloseKey(inproc);
      }
      RegCloseKey(child);
    }
    RegCloseKey(parent);
  }

  for (const SingleValue& single : kSingleValues) {
    guards_.push_back(std::make_unique<ValueGuard>(single.root, single.path, single.name));
    const std::string text = WorstText("single");
    RawSet(single.root, single.path, single.name, REG_SZ, text.data(), static_cast<DWORD>(text.size()));
  }
  // The monitored extensions: junk tokens, one of them a planted type.
  const std::string list = ";;." + std::string(300, 'e') + ";\xE9\xFF;.hst1;\t;" + std::string(5000, ';');
  RawSet(HKEY_CURRENT_USER, kClassKey, "", REG_SZ, list.data(), static_cast<DWORD>(list.size()));
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.hst1", "", "Hostile ftype 1 k");

  // Files: the Startup folder, the tasks folder and a hidden file in the
  // Windows folder, each long-named, read-only, locked and junk; the HOSTS
  // file, cookies.txt and the history file.
  const std::string startup = RawText(HKEY_CURRENT_USER, kShellFolders, "Startup");
  const std::string tasks = WindowsFolder() + "\\Tasks";
  CreateDirectoryA(startup.c_str(), nullptr);
  CreateDirectoryA(tasks.c_str(), nullptr);
  struct FileCase {
    std::string folder, name, bytes;
    DWORD attributes;
    bool lock;
  };
  const std::string longName = Padded("Hostile long ", 240, 'f');
  const std::vector<FileCase> files = {
      {startup, longName + ".lnk", Junk(4096, 1), FILE_ATTRIBUTE_NORMAL, false},
      {startup, "Hostile junk.lnk", Junk(100, 2), FILE_ATTRIBUTE_READONLY, false},
      {startup, "Hostile locked.lnk", Junk(100, 3), FILE_ATTRIBUTE_NORMAL, true},
      {startup, "Hostile \xE9\xFF.exe", "MZ", FILE_ATTRIBUTE_NORMAL, false},
      {startup, "Hostile empty.pif", "", FILE_ATTRIBUTE_READONLY, false},
      {tasks, longName + ".job", Junk(4096, 4), FILE_ATTRIBUTE_NORMAL, false},
      {tasks, "Hostile empty.job", "", FILE_ATTRIBUTE_READONLY, false},
      {tasks, "Hostile locked.job", Junk(68, 5), FILE_ATTRIBUTE_NORMAL, true},
      {WindowsFolder(), longName + ".dll", Junk(100, 6), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, false},
      {WindowsFolder(), "Hostile \"q\" locked.exe", "MZ", FILE_ATTRIBUTE_HIDDEN, true},
  };
  for (const FileCase& file : files) {
    const std::string path = file.folder + "\\" + file.name;
    if (!WriteFileBytes(path, file.bytes)) continue;
    files_.push_back(path);
    // A program or PIF there is started; a shortcut to nothing is not.
    if (file.folder == startup && file.name.find(".lnk") == std::string::npos) startupFiles_.push_back(path);
    SetFileAttributesA(path.c_str(), file.attributes);
    if (file.lock) locks_.push_back(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  // Ten megabytes of HOSTS: long lines, junk, a few real ones.
  std::string hosts;
  while (hosts.size() < 10 * 1024 * 1024)
    hosts += "10.0.0." + std::to_string(hosts.size() % 250) + " " +
             std::string(g_benign ? 20 : hosts.size() % 700, 'h') + "\r\n" +
             Junk(300, static_cast<unsigned>(hosts.size())) + "\n";
  WriteFileBytes(hosts_, hosts);
  WriteFileBytes(history_, HostileHistory());
  const std::string appData = RawText(HKEY_CURRENT_USER, kShellFolders, "AppData");
  const std::string mozilla = appData + "\\Mozilla";
  if (GetFileAttributesA(mozilla.c_str()) == INVALID_FILE_ATTRIBUTES) {
    for (const std::string& folder : {mozilla, mozilla + "\\FireFox", mozilla + "\\FireFox\\Profiles",
                                      mozilla + "\\FireFox\\Profiles\\hst.default"}) {
      CreateDirectoryA(folder.c_str(), nullptr);
      folders_.insert(folders_.begin(), folder);
    }
    const std::string cookies = mozilla + "\\FireFox\\Profiles\\hst.default\\cookies.txt";
    if (WriteFileBytes(cookies, HostileCookies())) files_.push_back(cookies);
  }
  std::string ieCookies;
  if (FindIECookieFolder(ieCookies)) {
    CreateDirectoryA(ieCookies.c_str(), nullptr);
    for (const std::string& name : {longName + ".txt", std::string("hostile@junk[1].txt")})
      if (WriteFileBytes(ieCookies + name, Junk(5000, 9))) files_.push_back(ieCookies + name);
  }
}

void HostileCorpus::Unplant() {
  planted_.clear();
  plantedKeys_.clear();
  startupFiles_.clear();
  for (HANDLE lock : locks_)
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
  locks_.clear();
  for (const std::string& file : files_) {
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
  }
  files_.clear();
  for (const std::string& folder : folders_) RemoveDirectoryA(folder.c_str());
  folders_.clear();
  for (const ValuePlace& place : ValuePlaces()) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(place.root, place.path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
    for (const HostileValue& value : ValueCorpus(place.tag))
      value.wideName.empty() ? RegDeleteValueA(key, value.name.c_str()) : RegDeleteValueW(key, value.wideName.c_str());
    RegCloseKey(key);
  }
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKeyPaths[0], 0, KEY_ALL_ACCESS, &run) == ERROR_SUCCESS) {
    for (int i = 0; i < kFloodEntries; ++i) RegDeleteValueA(run, ("Hostile flood " + std::to_string(i)).c_str());
    RegCloseKey(run);
  }
  for (const KeyPlace& place : KeyPlaces()) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(place.root, place.parent, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) continue;
    for (const std::wstring& name : KeyNameCorpus(place.tag)) RegDeleteTreeW(parent, name.c_str());
    RegCloseKey(parent);
  }
  RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\.hst1");
  guards_.clear();
}

// Each entry Windows would start from a Run key, looked for in the listing.
std::vector<std::string> MissingRunEntries(const std::vector<std::pair<int, HostileValue>>& planted) {
  std::map<std::pair<int, std::string>, int> listed;
  std::map<std::pair<int, std::wstring>, int> listedWide;
  for (int i = 0; i < CatalogueCount(); ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    if (!entry.wideName.empty())
      ++listedWide[{entry.type, entry.wideName}];
    else
      ++listed[{entry.type, entry.name}];
  }
  std::vector<std::string> missing;
  for (const auto& [type, value] : planted) {
    const bool found =
        value.wideName.empty() ? listed.count({type, value.name}) > 0 : listedWide.count({type, value.wideName}) > 0;
    if (found != value.runs)
      missing.push_back(std::to_string(type) + ": " + value.name.substr(0, 40) + " (" +
                        std::to_string(value.name.size()) + " characters, " + std::to_string(value.data.size()) +
                        " bytes of data)" + (value.runs ? " not listed" : " listed"));
  }
  return missing;
}

TEST_F(HostileCorpus, EveryStepEndsAndWhatWindowsRunsStaysListed) {
  const std::vector<Step> steps = Steps();
  std::vector<double> clean(steps.size()), benign(steps.size()), hostile(steps.size());
  std::vector<int> cleanCounts(steps.size()), benignCounts(steps.size()), counts(steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    ASSERT_TRUE(RunBounded(steps[i], clean[i])) << steps[i].name << " did not end on the clean state";
    cleanCounts[i] = g_lastCount;
  }

  // The same steps over as many ordinary entries and files of the same sizes.
  g_benign = true;
  ResetSentrel();
  Plant();
  for (size_t i = 0; i < steps.size(); ++i) {
    ASSERT_TRUE(RunBounded(steps[i], benign[i])) << steps[i].name << " did not end on ordinary content";
    benignCounts[i] = g_lastCount;
  }
  Unplant();
  g_benign = false;
  ResetSentrel();
  Plant();
  ASSERT_GT(planted_.size(), static_cast<size_t>(kFloodEntries));
  for (size_t i = 0; i < steps.size(); ++i) {
    g_lastCount = 0;
    if (!RunBounded(steps[i], hostile[i])) {
      ADD_FAILURE() << steps[i].name << " did not end within " << kStepBoundSeconds << " s";
      std::fflush(stdout);
      Unplant();
      ExitProcess(3);  // the step still runs: nothing else can be trusted
    }
    counts[i] = g_lastCount;
  }

  double cleanTotal = 0, benignTotal = 0, hostileTotal = 0;
  std::printf("  %-34s %8s %8s %8s  (results: empty, ordinary, hostile)\n", "step", "empty", "ordinary", "hostile");
  for (size_t i = 0; i < steps.size(); ++i) {
    std::printf("  %-34s %7.3fs %7.3fs %7.3fs  (%d, %d, %d)\n", steps[i].name.c_str(), clean[i], benign[i], hostile[i],
                cleanCounts[i], benignCounts[i], counts[i]);
    cleanTotal += clean[i];
    benignTotal += benign[i];
    hostileTotal += hostile[i];
  }
  std::printf("  all steps: empty %.2f s, ordinary content %.2f s, hostile corpus %.2f s; hostile/ordinary %.2f\n",
              cleanTotal, benignTotal, hostileTotal, hostileTotal / benignTotal);

  // Whatever Windows would start is listed, whatever its name or data; what
  // it would not (binary, number, list values, blank commands) is not.
  AsMonitor();
  {
    WholeCatalogue whole;
    EnumerateStartupEntries(0);
    for (const std::string& missing : MissingRunEntries(planted_)) ADD_FAILURE() << missing;
    for (const std::string& file : startupFiles_) {
      bool found = false;
      for (int i = 0; i < CatalogueCount() && !found; ++i) found = CatalogueAt(i).data == file;
      EXPECT_TRUE(found) << "Startup folder file not listed: " << file.substr(0, 40);
    }
    // Windows loads every Winlogon notification with a DllName, whatever
    // its key is called.
    int notifications = 0;
    for (int i = 0; i < CatalogueCount(); ++i)
      notifications += CatalogueAt(i).type == kTypeWinlogonNotify && CatalogueAt(i).command == WorstText("ntf");
    EXPECT_EQ(static_cast<int>(plantedKeys_["ntf"].size()), notifications);
  }
  // Every service key with a command, whatever its name.
  {
    WholeCatalogue whole;
    EnumerateServices(ServiceListing::NamesOnly);
    for (const std::wstring& name : plantedKeys_["svc"]) {
      // Windows refuses key names beyond 255 characters (Wine takes one more).
      if (name.size() > 255) continue;
      // A name outside the code page is titled by its nearest ANSI form.
      char lossy[1024] = "";
      WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, lossy, sizeof lossy, nullptr, nullptr);
      const std::string ansi = ExactAnsiForm(name);
      bool found = false;
      for (int i = 0; i < CatalogueCount() && !found; ++i)
        found = CatalogueAt(i).title == ansi.substr(0, kTitleWidth) ||
                CatalogueAt(i).title == std::string(lossy).substr(0, kTitleWidth);
      EXPECT_TRUE(found) << "service key not listed: " << ansi.substr(0, 40) << " (" << name.size() << " characters)";
    }
  }
  // A page shows at most a full list, however many entries there are.
  StartExplorerInProcess();
  WithSheet(IDC_CMD_SHOW_STARTUP, [](HWND, HWND page) { EXPECT_EQ(kMaxCatalogueEntries, RowCount(page)); });
  EndExplorerInProcess();
}

// What Windows loads through a valid registration is listed whatever its
// command's length, terminator, kind or code page: a helper object's server,
// a file type's open command and a service's image path (a program: the
// services page leaves drivers out).
struct LoadedCommand {
  const char* what;
  DWORD type;
  std::wstring data;
  bool terminated;
};

std::vector<LoadedCommand> LoadedCommands() {
  const auto path = [](size_t length) {
    return Widened(Padded("c:\\hostile\\loaded " + std::to_string(length) + "\\", length - 4, 'p') + ".exe");
  };
  return {
      {"259 characters", REG_SZ, path(259), true},
      {"260 characters", REG_SZ, path(260), true},
      {"1023 characters", REG_SZ, path(1023), true},
      {"1025 characters", REG_SZ, path(1025), true},
      {"unterminated", REG_SZ, L"c:\\hostile\\loaded unterminated.exe", false},
      {"unterminated, 1024 bytes", REG_SZ, path(1024), false},
      {"expandable", REG_EXPAND_SZ, L"%SystemRoot%\\loaded expandable.exe", true},
      {"expandable, unterminated", REG_EXPAND_SZ, L"%SystemRoot%\\loaded unterminated.exe", false},
      {"outside the code page", REG_SZ, L"c:\\hostile\\loaded \x4E2D\x0141.exe", true},
  };
}

void PlantCommand(const std::string& path, const wchar_t* name, const LoadedCommand& command) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  // Text within the code page as a program writes it (ANSI); the rest in
  // Unicode, as only a Unicode program can.
  const bool ansi = command.data.find_first_of(L"\x4E2D\x0141") == std::wstring::npos;
  const std::string narrow(command.data.begin(), command.data.end()), narrowName(name, name + wcslen(name));
  const DWORD extra = command.terminated ? 1 : 0;
  const LONG result =
      ansi ? RegSetValueExA(key, narrowName.c_str(), 0, command.type, reinterpret_cast<const BYTE*>(narrow.c_str()),
                            static_cast<DWORD>(narrow.size()) + extra)
           : RegSetValueExW(key, name, 0, command.type, reinterpret_cast<const BYTE*>(command.data.c_str()),
                            static_cast<DWORD>(command.data.size() + extra) * sizeof(wchar_t));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, result);
}

// The text a listing should show: expanded where Windows expands it; a
// character outside the code page as the code page's stand-in.
std::string ShownCommand(const LoadedCommand& command) {
  char ansi[4096] = "";
  WideCharToMultiByte(CP_ACP, 0, command.data.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
  std::string text = ansi;
  if (command.type == REG_EXPAND_SZ) ExpandEnvironment(std::string(ansi), text);
  return text;
}

// Listed: the command shown is what Windows loads, whole or cut to the
// list's width but never to fewer than a path's 259 characters.
void ExpectShown(const LoadedCommand& command, const std::string& shown, const char* area) {
  const std::string expected = ShownCommand(command);
  EXPECT_TRUE(!shown.empty() && expected.compare(0, shown.size(), shown) == 0 &&
              shown.size() >= std::min<size_t>(expected.size(), kPathChars))
      << area << ", " << command.what << ": shows \"" << shown.substr(0, 60) << "\" (" << shown.size()
      << " characters) for \"" << expected.substr(0, 60) << "\" (" << expected.size() << ")";
}

TEST_F(HostileCorpus, WhatWindowsLoadsIsListedWhateverItsCommand) {
  const std::vector<LoadedCommand> commands = LoadedCommands();
  const auto classId = [](size_t i) { return "{D0C0FFEE-0000-4000-8000-0000000000" + std::to_string(10 + i) + "}"; };
  const auto extension = [](size_t i) { return ".hstl" + std::to_string(i); };
  const auto service = [](size_t i) { return "Hostile loaded " + std::to_string(i); };
  const auto clean = [&] {
    for (size_t i = 0; i < commands.size(); ++i) {
      RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + classId(i)).c_str());
      RawDeleteTree(HKEY_LOCAL_MACHINE, ("Software\\Classes\\CLSID\\" + classId(i)).c_str());
      RawDeleteTree(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + extension(i)).c_str());
      RawDeleteTree(HKEY_LOCAL_MACHINE, ("Software\\Classes\\hostile.loaded" + std::to_string(i)).c_str());
      RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kServicesKey) + "\\" + service(i)).c_str());
    }
  };
  clean();
  ValueGuard monitored(HKEY_CURRENT_USER, kClassKey, "");
  std::string list;
  for (size_t i = 0; i < commands.size(); ++i) {
    RawSetText(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + classId(i)).c_str(), "", "");
    PlantCommand("Software\\Classes\\CLSID\\" + classId(i) + "\\InprocServer32", L"", commands[i]);
    RawSetText(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + extension(i)).c_str(), "",
               "hostile.loaded" + std::to_string(i));
    PlantCommand("Software\\Classes\\hostile.loaded" + std::to_string(i) + "\\shell\\open\\command", L"", commands[i]);
    list += extension(i) + ";";
    // Demand start only: never started with the prefix.
    const std::string key = std::string(kServicesKey) + "\\" + service(i);
    const DWORD own = SERVICE_WIN32_OWN_PROCESS, demand = SERVICE_DEMAND_START;
    RawSet(HKEY_LOCAL_MACHINE, key.c_str(), "Type", REG_DWORD, &own, sizeof own);
    RawSet(HKEY_LOCAL_MACHINE, key.c_str(), "Start", REG_DWORD, &demand, sizeof demand);
    PlantCommand(key, L"ImagePath", commands[i]);
  }
  RawSetText(HKEY_CURRENT_USER, kClassKey, "", list);

  AsMonitor();
  {
    WholeCatalogue whole;
    EnumerateIEHelpers();
    for (size_t i = 0; i < commands.size(); ++i) {
      std::string shown;
      for (int e = 0; e < CatalogueCount(); ++e)
        if (CatalogueAt(e).type == kTypeBrowserHelper && CatalogueAt(e).data == classId(i)) shown = CatalogueAt(e).path;
      ExpectShown(commands[i], shown, "helper object");
    }
  }
  {
    WholeCatalogue whole;
    EnumerateMonitoredTypes();
    for (size_t i = 0; i < commands.size(); ++i) {
      std::string shown;
      for (int e = 0; e < CatalogueCount(); ++e)
        if (CatalogueAt(e).description == extension(i) && CatalogueAt(e).value == kMachineClasses)
          shown = CatalogueAt(e).command;
      ExpectShown(commands[i], shown, "file type");
    }
  }
  {
    WholeCatalogue whole;
    EnumerateServices(ServiceListing::Full);
    for (size_t i = 0; i < commands.size(); ++i) {
      std::string shown;
      for (int e = 0; e < CatalogueCount(); ++e)
        if (CatalogueAt(e).title == service(i)) shown = CatalogueAt(e).path;
      ExpectShown(commands[i], shown, "service");
    }
  }
  clean();
}

// An option a hostile program wrote in a shape no reader takes (another
// kind, too long for the registry layer or for the option's reader) reads
// as missing: its default, never a number made of the junk.
TEST_F(HostileCorpus, OptionsOfAnyOtherShapeReadAsTheirDefaults) {
  const DWORD number = 7;
  const std::string digits = std::string(1100, '7');
  const struct {
    const char* what;
    DWORD type;
    std::string data;
  } shapes[] = {
      {"binary", REG_BINARY, "7"},
      {"number", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)},
      {"1025 bytes", REG_SZ, digits.substr(0, 1025)},
      {"1024 bytes unterminated", REG_SZ, digits.substr(0, 1024)},
      {"200 bytes", REG_SZ, digits.substr(0, 199) + '\0'},
  };
  for (const auto& shape : shapes) {
    for (int i = 0; i < kOptionCount; ++i)
      RawSet(HKEY_CURRENT_USER, kOptionsKey, OptionDefinition(static_cast<OptionId>(i)).name, shape.type,
             shape.data.data(), static_cast<DWORD>(shape.data.size()));
    AsMonitor();
    for (int i = 0; i < kOptionCount; ++i) {
      const auto id = static_cast<OptionId>(i);
      EXPECT_EQ(OptionDefault(id), Option(id)) << OptionDefinition(id).name << " stored as " << shape.what;
    }
  }
}

// A hostile program deleting and making again a key while a listing walks
// it: the walk ends (a key deleted under an open handle answers every index
// with an error, never with the end of the list).
struct ChurnedKey {
  const char* path;
  const char* value;  // each churned subkey holds it
  const char* what;
  void (*walk)();
};
const ChurnedKey kChurnedKeys[] = {
    {"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify", "DllName", "startup listing",
     [] {
       WholeCatalogue whole;
       EnumerateStartupEntries(0);
     }},
    {kSysfilesKey, "Location", "system files check", [] { ChangedSystemFiles(); }},
};
const ChurnedKey* g_churned = nullptr;
volatile LONG g_stopChurn = 0;

DWORD WINAPI ChurnKey(void*) {
  while (!g_stopChurn) {
    for (int i = 0; i < 8; ++i)
      RawSetText(HKEY_LOCAL_MACHINE, (std::string(g_churned->path) + "\\Hostile churn " + std::to_string(i)).c_str(),
                 g_churned->value, "c:\\hostile\\churn.dll");
    RawDeleteTree(HKEY_LOCAL_MACHINE, g_churned->path);
  }
  return 0;
}

TEST_F(HostileCorpus, AWatchedKeyDeletedWhileWalkedEndsTheWalk) {
  for (const ChurnedKey& key : kChurnedKeys) {
    const bool existed = RawKeyExists(HKEY_LOCAL_MACHINE, key.path);
    g_churned = &key;
    g_stopChurn = 0;
    HANDLE churn = CreateThread(nullptr, 0, ChurnKey, nullptr, 0, nullptr);
    ASSERT_TRUE(churn);
    const Step walk{key.what, [&key] {
                      AsMonitor();
                      for (int round = 0; round < 300; ++round) key.walk();
                    }};
    double seconds = 0;
    const bool ended = RunBounded(walk, seconds);
    g_stopChurn = 1;
    WaitForSingleObject(churn, INFINITE);
    CloseHandle(churn);
    RawDeleteTree(HKEY_LOCAL_MACHINE, key.path);
    if (existed) RawSetText(HKEY_LOCAL_MACHINE, key.path, nullptr, "");
    if (!ended) {
      ADD_FAILURE() << "the " << key.what << " did not end while its key was deleted and made again";
      std::fflush(stdout);
      ExitProcess(3);  // the walk still runs
    }
  }
}

}  // namespace
