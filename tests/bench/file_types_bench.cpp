// Benchmark: every extension of the initial monitored list associated in all
// three places (93 monitored types, each pointing at a real program of the
// system folder) and all of them in the baseline. Times one file type check
// of the patrol against a floor measured in the same run: the bare reads of
// the same values (association value and open command of each source, the
// baseline value and command of each type). Then one Windows settings watch
// and one browser pages check, all unchanged, against the bare reads of their
// values, and a fill of the File Types page. Prints the ratios.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_sheet.h"
#include "catalogue.h"
#include "explorer.h"
#include "file_type_check.h"
#include "file_types.h"
#include "fileid.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "settings_watch.h"
#include "sheet.h"
#include "strings.h"
#include "system_settings.h"

using namespace sentrel;

namespace {

const char* const kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

std::vector<std::string> Extensions() { return SplitExtensionList(LoadText(IDS_AVI_BAT_CAB_CAT)); }

std::string Program(size_t i) {
  static const char* const kNames[] = {"notepad.exe", "regedit.exe", "winhlp32.exe", "write.exe"};
  return "\"" + WindowsFolder() + "\\" + kNames[i % 4] + "\" \"%1\"";
}

void Plant() {
  const std::vector<std::string> extensions = Extensions();
  for (size_t i = 0; i < extensions.size(); ++i) {
    const std::string dotted = "." + extensions[i], cls = "BenchType." + extensions[i];
    WriteStringValue(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + dotted).c_str(), "", cls.c_str());
    WriteStringValue(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + cls).c_str(), "", ("Bench " + extensions[i]).c_str());
    WriteStringValue(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + cls + "\\shell\\open\\command").c_str(), "",
                     Program(i).c_str());
    const std::string exts = std::string(kFileExts) + "\\" + dotted;
    const std::string app = "benchapp" + std::to_string(i) + ".exe", progId = "BenchUser." + extensions[i];
    WriteStringValue(HKEY_CURRENT_USER, exts.c_str(), "Application", app.c_str());
    WriteStringValue(HKEY_CLASSES_ROOT, ("Applications\\" + app + "\\shell\\open\\command").c_str(), "",
                     Program(i + 1).c_str());
    WriteStringValue(HKEY_CURRENT_USER, exts.c_str(), "ProgID", progId.c_str());
    WriteStringValue(HKEY_CLASSES_ROOT, (progId + "\\shell\\open\\command").c_str(), "", Program(i + 2).c_str());
  }
}

// One value read the plain way: open, query, close.
bool BareRead(HKEY root, const std::string& path, const char* name, std::string& text) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  char data[1024];
  DWORD size = sizeof data - 1, type = 0;
  const bool read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  data[read ? std::min<DWORD>(size, sizeof data - 1) : 0] = '\0';
  text = data;
  return read;
}

int FileTypesFloor() {
  int reads = 0;
  std::string value, command, baseline;
  for (const std::string& extension : Extensions()) {
    const std::string dotted = "." + extension;
    const std::string exts = std::string(kFileExts) + "\\" + dotted;
    struct Source {
      HKEY root;
      std::string path;
      const char* name;
      HKEY commandRoot;
      std::string prefix;
      const char* baselineKey;
    };
    const Source sources[] = {
        {HKEY_LOCAL_MACHINE, "Software\\Classes\\" + dotted, "", HKEY_LOCAL_MACHINE, "Software\\Classes\\", kExtKey},
        {HKEY_CURRENT_USER, exts, "Application", HKEY_CLASSES_ROOT, "Applications\\", kExtAppKey},
        {HKEY_CURRENT_USER, exts, "ProgID", HKEY_CLASSES_ROOT, "", kExtProgIdKey}};
    for (const Source& source : sources) {
      if (!BareRead(source.root, source.path, source.name, value)) continue;
      BareRead(source.commandRoot, source.prefix + value + "\\shell\\open\\command", "", command);
      BareRead(HKEY_CURRENT_USER, source.baselineKey, dotted.c_str(), baseline);
      BareRead(HKEY_CURRENT_USER, kClassKey, baseline.c_str(), command);
      reads += 4;
    }
  }
  return reads;
}

int SettingsFloor() {
  std::string text;
  int reads = 0;
  const std::pair<HKEY, std::pair<const char*, const char*>> values[] = {
      {HKEY_CURRENT_USER, {kSentrelKey, "AUOptions"}},
      {HKEY_LOCAL_MACHINE, {kAutoUpdateKey, "AUOptions"}},
      {HKEY_CURRENT_USER, {kSentrelKey, "wwwPrefix"}},
      {HKEY_LOCAL_MACHINE, {kUrlPrefixesKey, "www"}},
      {HKEY_CURRENT_USER, {kSentrelKey, "ConsentPromptBehaviorAdmin"}},
      {HKEY_CURRENT_USER, {kSentrelKey, "EnableLUA"}},
      {HKEY_CURRENT_USER, {kSentrelKey, "PromptOnSecureDesktop"}},
      {HKEY_LOCAL_MACHINE, {kPoliciesSystemKey, "ConsentPromptBehaviorAdmin"}},
      {HKEY_LOCAL_MACHINE, {kPoliciesSystemKey, "EnableLUA"}},
      {HKEY_LOCAL_MACHINE, {kPoliciesSystemKey, "PromptOnSecureDesktop"}},
      {HKEY_CURRENT_USER, {kSentrelKey, "StartPage"}},
      {HKEY_CURRENT_USER, {kIEMainKey, "Start Page"}},
      {HKEY_CURRENT_USER, {kSentrelKey, "SearchPage"}},
      {HKEY_CURRENT_USER, {kIEMainKey, "Search Page"}},
      {HKEY_CURRENT_USER, {kSentrelKey, "SourcePage"}},
      {HKEY_CURRENT_USER, {kDesktopComponentKey, "Source"}},
  };
  for (const auto& value : values) reads += BareRead(value.first, value.second.first, value.second.second, text);
  return reads;
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  Process().kind = ProgramKind::Monitor;
  InitLanguageId();
  LoadOptions();
  Plant();
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  const int written = CreateClassInfo();
  // Settings as the watch leaves them when nothing changed.
  StoreUacBaselines();
  size_t pageCount = 0;
  const BrowserPage* pages = BrowserPages(&pageCount);
  for (size_t i = 0; i < pageCount; ++i) WritePageBaseline(pages[i], ReadPage(pages[i]));
  StorePrefixBaseline(CurrentPrefix());

  int floorReads = 0;
  const double floor = BestOf([&] { floorReads = FileTypesFloor(); });
  const double check = BestOf([] { CheckFileTypes(); });
  std::printf("file types: %d monitored types in the baseline, floor of %d bare reads %.4f s\n", written, floorReads,
              floor);
  std::printf("file type check %.4f s, ratio %.2f (goal 1.5)\n", check, check / floor);

  int settingsReads = 0;
  const double settingsFloor = BestOf([&] { settingsReads = SettingsFloor(); });
  const double settings = BestOf([] {
    WatchWindowsSettings();
    CheckBrowserPages();
  });
  std::printf("settings: floor of %d bare reads %.5f s, watch + pages check %.5f s, ratio %.2f (goal 1.5)\n",
              settingsReads, settingsFloor, settings, settings / settingsFloor);

  StartBenchExplorer();
  double fill = 0;
  int rows = 0;
  std::thread user(MeasureRefill, std::ref(fill), std::ref(rows), 0);
  ShowSheet(IDC_CMD_SHOW_FILE_TYPES);
  user.join();
  std::printf("File Types page: %d rows filled in %.3f s (goal 1 s)\n", rows, fill);
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  const bool met = check <= 1.5 * floor && settings <= 1.5 * settingsFloor && fill < 1.0;
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  CoUninitialize();
  return met ? 0 : 2;
}
