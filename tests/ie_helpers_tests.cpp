// Browser add-ons against the real Wine registry: IE helpers and ActiveX
// controls registered with fixture DLLs, their listing, removal, kill bit,
// baselines, the patrol's checks, the two pages and the report lists.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "activex.h"
#include "addon_checks.h"
#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "history.h"
#include "history_events.h"
#include "ie_helpers.h"
#include "monitor.h"
#include "process_support.h"
#include "resource.h"
#include "settings.h"
#include "sheet_support.h"
#include "startup.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

// Class ids of this test program only.
const std::string kBho = "{5E47E100-0000-4000-8000-000000000001}";
const std::string kBhoBare = "5E47E100-0000-4000-8000-000000000002";  // registered without braces
const std::string kBhoNoServer = "{5E47E100-0000-4000-8000-000000000003}";
const std::string kBhoExpand = "{5E47E100-0000-4000-8000-000000000004}";
const std::string kToolbar = "{5E47E100-0000-4000-8000-000000000005}";
const std::string kToolbarQuote = "{5E47E100-0000-4000-8000-000000000006}";
const std::string kToolbarSame = "{5E47E100-0000-4000-8000-000000000007}";
const std::string kControl = "{5E47E100-0000-4000-8000-000000000011}";
const std::string kControlUnused = "{5E47E100-0000-4000-8000-000000000012}";
const std::string kControlNoName = "{5E47E100-0000-4000-8000-000000000013}";
const std::string kControlMicrosoft = "{5E47E100-0000-4000-8000-000000000014}";
const std::string kControlNoFile = "{5E47E100-0000-4000-8000-000000000015}";
const std::string kKilled = "{5E47E100-0000-4000-8000-000000000016}";
const std::string kRedirected = "{5E47E100-0000-4000-8000-000000000017}";
const std::string kLongId = "{" + std::string(300, 'A') + "}";
const std::string kSlashId = "{5E47E100}\\InprocServer32";

std::string Fixture(const char* name) { return TestFolder() + "\\fixtures\\" + name; }

const std::vector<std::string>& AllClassIds() {
  static const std::vector<std::string> ids = {kBho,           kBhoNoServer,        kBhoExpand,     kToolbar,
                                               kToolbarQuote,  kToolbarSame,        kControl,       kControlUnused,
                                               kControlNoName, kControlMicrosoft,   kControlNoFile, kKilled,
                                               kRedirected,    "{" + kBhoBare + "}"};
  return ids;
}

void RegisterClassId(const std::string& id, const std::string& name, const std::string* file, DWORD type = REG_SZ) {
  const std::string key = "CLSID\\" + id;
  RawSetText(HKEY_CLASSES_ROOT, key.c_str(), "", name);
  if (file)
    RawSet(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "", type, file->c_str(),
           static_cast<DWORD>(file->size() + 1));
}

void DeleteValueRaw(HKEY root, const char* path, const std::string& name) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

void CleanAll() {
  for (const std::string& id : AllClassIds()) {
    RawDeleteTree(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
    RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str());
    RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kExtensionsKey) + "\\" + id).c_str());
    RawDeleteTree(HKEY_CURRENT_USER, (std::string(kExtensionsKey) + "\\" + id).c_str());
    RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + id).c_str());
    RawDeleteTree(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + id).c_str());
    DeleteValueRaw(HKEY_LOCAL_MACHINE, kToolbarKey, id);
  }
  RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kBhoBare).c_str());
  for (const std::string& id : {kLongId, kSlashId}) DeleteValueRaw(HKEY_LOCAL_MACHINE, kToolbarKey, id);
  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
  DeleteFileA(HistoryFile().c_str());
}

void AddBrowserHelper(const std::string& id) {
  RawSetText(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str(), "", "");
}
void AddToolbar(const std::string& id) { RawSetText(HKEY_LOCAL_MACHINE, kToolbarKey, id.c_str(), ""); }
void AddExtension(const std::string& id, std::initializer_list<std::pair<const char*, std::string>> values) {
  const std::string key = std::string(kExtensionsKey) + "\\" + id;
  RawSetText(HKEY_LOCAL_MACHINE, key.c_str(), "clsid", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
  for (const auto& [name, text] : values) RawSetText(HKEY_LOCAL_MACHINE, key.c_str(), name, text);
}
void AddUsedControl(const std::string& id, DWORD type, bool withType = true) {
  const std::string key = std::string(kActiveXStatsKey) + "\\" + id + "\\iexplore";
  if (withType)
    RawSet(HKEY_CURRENT_USER, key.c_str(), "Type", REG_DWORD, &type, sizeof type);
  else
    RawSetText(HKEY_CURRENT_USER, key.c_str(), "Count", "1");
}
void SetFlags(const std::string& id, DWORD flags) {
  RawSet(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + id).c_str(), "Compatibility Flags",
         REG_DWORD, &flags, sizeof flags);
}
DWORD StoredFlags(const std::string& id) {  // 0xDEADBEEF: none
  RawValue value =
      RawGet(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + id).c_str(), "Compatibility Flags");
  DWORD flags = 0xDEADBEEF;
  if (value.type == REG_DWORD && value.data.size() == 4) memcpy(&flags, value.data.data(), 4);
  return flags;
}

// The first listed entry of a class id, and how many rows carry it.
int IndexOf(const std::string& id) {
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).data == id) return i;
  return -1;
}
const CatalogueEntry* Listed(const std::string& id) { return IndexOf(id) < 0 ? nullptr : &CatalogueAt(IndexOf(id)); }
int RowsOf(const std::string& id) {
  int rows = 0;
  for (int i = 0; i < CatalogueCount(); ++i) rows += CatalogueAt(i).data == id ? 1 : 0;
  return rows;
}

class BrowserAddOns : public testing::Test {
 protected:
  void SetUp() override {
    CleanAll();
    Process() = ProcessState{};
    InitLanguageId();
    LoadOptions();
  }
  void TearDown() override {
    CleanAll();
    ClearCatalogueEntries();
  }
};

// ---- IE helpers -----------------------------------------------------------------

TEST_F(BrowserAddOns, HelpersToolbarsAndExtensionsAreListedInOrderWithTheirTitles) {
  const std::string addon = Fixture("addon.dll"), plain = Fixture("noversion.dll"), system = Fixture("opsys.dll");
  SetEnvironmentVariableA("SENTREL_ADDON_DIR", (TestFolder() + "\\fixtures").c_str());
  const std::string expandable = "%SENTREL_ADDON_DIR%\\addon.dll", quoted = "C:\\odd\"dir\\helper.dll";
  const std::string longPath = "C:\\" + std::string(1100, 'x') + ".dll";  // longer than the layer's reads
  RegisterClassId(kBho, "Helper Object", &addon);
  RegisterClassId("{" + kBhoBare + "}", "", &plain);
  RegisterClassId(kBhoNoServer, "No Server", nullptr);
  RegisterClassId(kBhoExpand, "", &expandable, REG_EXPAND_SZ);
  RegisterClassId(kToolbar, "", &system);
  RegisterClassId(kToolbarQuote, "", &quoted);
  RegisterClassId(kToolbarSame, "", &longPath);
  for (const std::string& id : {kBho, kBhoBare, kBhoNoServer, kBhoExpand, kToolbarSame}) AddBrowserHelper(id);
  for (const std::string& id : {kToolbar, kToolbarQuote, kLongId, kSlashId}) AddToolbar(id);
  AddExtension(kControl, {{"ButtonText", "@C:\\WINDOWS\\system32\\SHDOCLC.DLL,-864"}, {"Exec", plain}});
  AddExtension(kControlUnused, {{"ButtonText", "Tool"}, {"script", "c:\\scripts\\tool.htm"}, {"HotIcon", "hot.ico"}});
  AddExtension(kControlNoName, {{"ButtonText", "Anything"}, {"Exec", addon}});
  AddExtension(kControlNoFile, {{"Exec", addon}});  // neither button nor menu item: nothing the browser shows
  AddExtension(kKilled, {{"MenuText", "Menu Only"}, {"script", "c:\\scripts\\menu.htm"}});  // a Tools menu item

  EnumerateIEHelpers();
  struct Expected {
    std::string id;
    int type;
    std::string title, path, description;
  };
  const Expected expected[] = {
      {kBho, 900, "Fixture Add-On", addon, "2.5.0"},
      {kBhoBare, 900, "noversion.dll", plain, ""},
      {kBhoExpand, 900, "Fixture Add-On", addon, "2.5.0"},
      {kToolbarSame, 900, std::string(kTitleWidth, 'x'), longPath.substr(0, kPathChars), ""},  // listed, cut
      {kToolbar, 901, "Shell Helper Library", system, "6.1.7601"},  // "Operating System" gives way
      {kToolbarQuote, 901, "helper.dll", "C:\\odddir\\helper.dll", ""},
      {kLongId, 901, kLongId.substr(0, kTitleWidth), "", ""},
      {kSlashId, 901, kSlashId, "", ""},
      {kControl, 902, LoadText(IDS_RELATED_EXTENSION), plain, plain},
      {kControlUnused, 902, "Tool", "c:\\scripts\\tool.htm", "hot.ico"},
      {kControlNoName, 902, "Fixture Add-On", addon, addon},
      {kKilled, 902, "Menu Only", "c:\\scripts\\menu.htm", "c:\\scripts\\menu.htm"},
  };
  for (const Expected& row : expected) {
    const int index = IndexOf(row.id.substr(0, kPathChars));
    ASSERT_LE(0, index) << row.id;
    const CatalogueEntry& entry = CatalogueAt(index);
    EXPECT_EQ(row.type, entry.type) << row.id;
    EXPECT_EQ(row.title, entry.title) << row.id;
    EXPECT_EQ(0, lstrcmpiA(row.path.c_str(), entry.path.c_str())) << row.id << ": " << entry.path;
    EXPECT_EQ(row.description, entry.description) << row.id;
  }
  for (int i = 1; i < CatalogueCount(); ++i)  // 900s, then 901s, then 902s
    EXPECT_LE(CatalogueAt(i - 1).type, CatalogueAt(i).type) << i;
  EXPECT_EQ(nullptr, Listed(kBhoNoServer));  // nothing to load: not listed
  EXPECT_EQ(nullptr, Listed(kControlNoFile));
}

TEST_F(BrowserAddOns, RemovingAFileTakesEachOfItsRegistrationsAndRecordsThem) {
  const std::string addon = Fixture("addon.dll"), plain = Fixture("noversion.dll");
  RegisterClassId(kBho, "Helper", &addon);
  RegisterClassId(kToolbarSame, "Toolbar", &addon);
  RegisterClassId(kToolbar, "Other", &plain);
  AddBrowserHelper(kBho);
  AddToolbar(kToolbarSame);
  AddToolbar(kToolbar);
  AddToolbar(kSlashId);  // no file: removed only as itself
  AddExtension(kControlNoName, {{"ButtonText", "Same file"}, {"Exec", addon}});
  struct Witness {
    std::string copy = TestFolder() + "\\regsvr32.exe", log = TestFolder() + "\\witness.txt";
    Witness() {
      CopyFileA((TestFolder() + "\\witness.exe").c_str(), copy.c_str(), FALSE);
      DeleteFileA(log.c_str());
    }
    ~Witness() {
      DeleteFileA(copy.c_str());
      DeleteFileA(log.c_str());
    }
  } beside;  // first on this program's search path: must never be the one started

  const std::string mark = addon + ".unregistered";  // left by the library's DllUnregisterServer
  DeleteFileA(mark.c_str());

  EnumerateIEHelpers();
  const std::string path = Listed(kBho)->path;
  EXPECT_EQ(3, RemoveIEHelper(path.c_str(), IndexOf(kBho)));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kBho).c_str()));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kExtensionsKey) + "\\" + kControlNoName).c_str()));
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarSame.c_str()));
  EXPECT_EQ("", RawText(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbar.c_str()));  // another file: stays
  EXPECT_TRUE(RawKeyExists(HKEY_CLASSES_ROOT, ("CLSID\\" + kBho).c_str()));   // the class is the file's own

  EnumerateIEHelpers();
  EXPECT_EQ(1, RemoveIEHelper("", IndexOf(kSlashId)));
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kToolbarKey, kSlashId.c_str()));
  EXPECT_EQ("", RawText(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbar.c_str()));

  ASSERT_EQ(4, LoadHistory());
  EXPECT_EQ("addon.dll", CatalogueAt(0).title);
  EXPECT_EQ(0, lstrcmpiA(path.c_str(), CatalogueAt(0).command.c_str()));
  EXPECT_EQ(std::string(kBrowserHelpersKey) + "\\" + kBho, CatalogueAt(0).data);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(kActionIEHelperRemove, CatalogueAt(i).value);
    EXPECT_EQ(900, CatalogueAt(i).type);
  }
  // The system's regsvr32 really unregistered the machine's class server.
  for (int i = 0; i < 100 && GetFileAttributesA(mark.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(mark.c_str()));
  DeleteFileA(mark.c_str());
  EXPECT_EQ("", ReadWholeFile(beside.log));
}

TEST(UnregisterCommand, RunsTheSystemsRegsvr32OnTheQuotedPathOrNothing) {
  const std::string regsvr32 = "\"" + SystemFolder() + "\\regsvr32.exe\" /u /s ";
  EXPECT_EQ(regsvr32 + "\"C:\\Program Files\\Add On\\helper.dll\"",
            UnregisterCommand("C:\\Program Files\\Add On\\helper.dll"));
  for (const char* path : {"", "C:\\x\" /i \"C:\\evil.dll", "C:\\folder\\"}) EXPECT_EQ("", UnregisterCommand(path));
}

// ---- ActiveX --------------------------------------------------------------------

TEST_F(BrowserAddOns, KillBitIsTheOnlyBitThatChanges) {
  struct Case {
    const char* what;
    std::function<void()> plant;
    DWORD read;
    DWORD afterEnable;  // 0xDEADBEEF: no value written
    DWORD afterDisable;
  };
  const Case cases[] = {
      {"other bits kept", [] { SetFlags(kKilled, 0x00800400); }, 0x00800400, 0x00800000, 0x00800400},
      {"no key", [] {}, 0, 0xDEADBEEF, 0x400},
      {"text flags",
       [] {
         RawSetText(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + kKilled).c_str(),
                    "Compatibility Flags", "1024");
       },
       0, 0, 0x400},
  };
  for (const Case& c : cases) {
    RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + kKilled).c_str());
    c.plant();
    EXPECT_EQ(c.read, ReadCompatibilityFlags(kKilled.c_str())) << c.what;
    EXPECT_EQ((c.read & kKillBit) ? 0 : 1, IsActiveXEnabled(kKilled.c_str())) << c.what;
    EXPECT_EQ(1, EnableActiveX(kKilled.c_str())) << c.what;
    EXPECT_EQ(c.afterEnable, StoredFlags(kKilled)) << c.what;
    EXPECT_EQ(1, DisableActiveX(kKilled.c_str())) << c.what;
    EXPECT_EQ(c.afterDisable, StoredFlags(kKilled)) << c.what;
    EXPECT_EQ(0, IsActiveXEnabled(kKilled.c_str())) << c.what;
  }
  for (const std::string& bad : {std::string(), kSlashId, kLongId}) {
    EXPECT_EQ(0, DisableActiveX(bad.c_str())) << bad;
    EXPECT_EQ(0, EnableActiveX(bad.c_str())) << bad;
  }
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\{5E47E100}").c_str()));
}

void PlantControls() {
  const std::string addon = Fixture("addon.dll"), system = Fixture("opsys.dll");
  RegisterClassId(kControl, "Fixture Control", &addon);
  RegisterClassId(kControlUnused, "Unused Control", &addon);
  RegisterClassId(kControlNoName, "", &addon);
  RegisterClassId(kControlMicrosoft, "Microsoft Control", &system);
  RegisterClassId(kControlNoFile, "No File", nullptr);
  RegisterClassId(kKilled, "Killed Control", &addon);
  AddUsedControl(kControl, 1);
  AddUsedControl(kControlUnused, 2);  // the browser's Type above 1: not one it uses
  AddUsedControl(kControlNoName, 0, false);
  AddUsedControl(kControlMicrosoft, 0);
  AddUsedControl(kControlNoFile, 0);
  // Known only to the compatibility list: itself, and one that points at kControl.
  SetFlags(kKilled, 0x00800400);
  RawSetText(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + kRedirected).c_str(), "AlternateCLSID",
             kControl);
}

TEST_F(BrowserAddOns, ControlsTheBrowserUsedAndWithListAllEveryCompatibilityEntry) {
  PlantControls();
  EnumerateActiveX(false);
  const CatalogueEntry* control = Listed(kControl);
  ASSERT_NE(nullptr, control);
  EXPECT_EQ("Fixture Control", control->title);
  EXPECT_EQ(NormalizeFilePath(Fixture("addon.dll").c_str()), control->path);
  EXPECT_EQ("2.5.0", control->description);
  EXPECT_EQ(kTypeActiveX, control->type);
  ASSERT_NE(nullptr, Listed(kControlNoName));
  EXPECT_EQ("Fixture add-on library", Listed(kControlNoName)->title);  // the file's description
  ASSERT_NE(nullptr, Listed(kControlMicrosoft));
  for (const std::string& id : {kControlUnused, kControlNoFile, kKilled, kRedirected})
    EXPECT_EQ(nullptr, Listed(id)) << id;

  SetOption(kOptHideMicrosoftActiveX, 1);
  EnumerateActiveX(false);
  EXPECT_EQ(nullptr, Listed(kControlMicrosoft));
  EXPECT_NE(nullptr, Listed(kControl));

  EnumerateAllActiveX();
  EXPECT_EQ(2, RowsOf(kControl));  // used by the browser, and the alternate of kRedirected
  ASSERT_NE(nullptr, Listed(kKilled));
  EXPECT_EQ(0x00800400, Listed(kKilled)->value);
  EXPECT_EQ(nullptr, Listed(kRedirected));
}

TEST_F(BrowserAddOns, ActiveXBaselineIsBuiltOnceWithItsMarker) {
  PlantControls();
  SetOption(kOptHideMicrosoftActiveX, 1);  // the page's filter: every control is still remembered
  EXPECT_EQ(1, CreateActiveXBaseline());
  EXPECT_EQ("P", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, ""));
  EXPECT_EQ("1200", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, kControl.c_str()));
  EXPECT_EQ("1200", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, kControlMicrosoft.c_str()));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, kKilled.c_str()));  // not used by the browser
  EXPECT_EQ(0, CatalogueCount());
  DeleteValueRaw(HKEY_CURRENT_USER, kActiveXBaselineKey, kControl);
  CreateActiveXBaseline();  // the marker stands: nothing is rebuilt
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, kControl.c_str()));
  RawSetText(HKEY_CURRENT_USER, kActiveXBaselineKey, "", "old");
  CreateActiveXBaseline();
  EXPECT_EQ("1200", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, kControl.c_str()));
}

// ---- The patrol's checks ----------------------------------------------------------

TEST_F(BrowserAddOns, RefusedControlIsDisabledAndNeverAskedAboutAgain) {
  PlantControls();
  SetOption(kOptShowAlerts, 0);
  SetOption(kOptHideActiveX, 2);
  SetOption(kOptHideMicrosoftActiveX, 1);  // the page's filter: a file claiming Microsoft is still watched
  EXPECT_EQ(1, CheckActiveX());
  EXPECT_EQ(0x400u, StoredFlags(kControl));
  EXPECT_EQ(0x400u, StoredFlags(kControlMicrosoft));
  EXPECT_EQ("1200", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, kControl.c_str()));
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\ActiveX",
                                 NormalizeFilePath(Fixture("addon.dll").c_str()).c_str()));
  EnableActiveX(kControl.c_str());
  EXPECT_EQ(1, CheckActiveX());
  EXPECT_EQ(0u, StoredFlags(kControl));  // known: not refused a second time
}

// Handed over to the elevated monitor, a control stays out of the baseline,
// so that the elevated monitor asks about it.
TEST_F(BrowserAddOns, ControlHandedOverForElevationStaysNew) {
  const char* policies = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  if (WindowsVersion().dwMajorVersion <= 5) GTEST_SKIP() << "no user account control before Windows Vista";
  const RawValue saved = RawGet(HKEY_LOCAL_MACHINE, policies, "EnableLUA");
  DWORD on = 1;
  ASSERT_TRUE(RawSet(HKEY_LOCAL_MACHINE, policies, "EnableLUA", REG_DWORD, &on, sizeof on));
  PlantControls();
  std::string told;
  std::thread answer([&] { told = AnswerMessageBox(GetCurrentProcessId(), IDOK); });
  EXPECT_EQ(0, CheckActiveX());
  answer.join();
  Monitor().alertOpen = false;
  if (saved.type)
    RawSet(HKEY_LOCAL_MACHINE, policies, "EnableLUA", saved.type, saved.data.data(),
           static_cast<DWORD>(saved.data.size()));
  else
    DeleteValueRaw(HKEY_LOCAL_MACHINE, policies, "EnableLUA");
  EXPECT_NE(std::string::npos, told.find("administrative functionality")) << told;
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, kControl.c_str()));
  EXPECT_EQ(0xDEADBEEFu, StoredFlags(kControl));
}

TEST_F(BrowserAddOns, RefusedHelperIsRemovedAndRaisedAgainWhenItComesBack) {
  const std::string addon = Fixture("addon.dll");
  RegisterClassId(kBho, "Helper", &addon);
  AddBrowserHelper(kBho);
  SetOption(kOptShowAlerts, 0);
  SetOption(kOptHideIEHelper, 1);
  EXPECT_EQ(1, CheckIEHelpers());
  EXPECT_EQ("900", RawText(HKEY_CURRENT_USER, kIEHelperBaselineKey, "Fixture Add-On"));
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kBho).c_str()));

  DeleteValueRaw(HKEY_CURRENT_USER, kIEHelperBaselineKey, "Fixture Add-On");
  SetOption(kOptHideIEHelper, 2);
  for (int round = 0; round < 2; ++round) {  // refused, back again, refused again
    AddBrowserHelper(kBho);
    EXPECT_EQ(1, CheckIEHelpers()) << round;
    EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kBho).c_str())) << round;
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kIEHelperBaselineKey, "Fixture Add-On")) << round;
  }
  EXPECT_EQ(2, LoadHistory());
  EXPECT_EQ(kActionIEHelperRemove, CatalogueAt(1).value);
}

// More items than a page lists, all known, registered before a new one: the
// patrol still finds the new one (an IE extension after 4096 toolbars, a
// control after 4096 controls) and acts on the refusal.
TEST_F(BrowserAddOns, NewItemsBeyondAFullListAreStillCaught) {
  const std::string addon = Fixture("addon.dll");
  HKEY toolbars = nullptr, stats = nullptr, classes = nullptr, helpers = nullptr, controls = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kToolbarKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &toolbars, nullptr);
  RegCreateKeyExA(HKEY_CURRENT_USER, kActiveXStatsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stats, nullptr);
  RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes, nullptr);
  RegCreateKeyExA(HKEY_CURRENT_USER, kIEHelperBaselineKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &helpers, nullptr);
  RegCreateKeyExA(HKEY_CURRENT_USER, kActiveXBaselineKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &controls, nullptr);
  ASSERT_TRUE(toolbars && stats && classes && helpers && controls);
  RegSetValueExA(controls, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("P"), 2);
  // Every one of them names a file whose helper the user accepted.
  RegSetValueExA(helpers, "Fixture Add-On", 0, REG_SZ, reinterpret_cast<const BYTE*>("901"), 4);
  std::vector<std::string> flood;
  for (int i = 0; i < kMaxCatalogueEntries; ++i) {
    char id[64];
    wsprintfA(id, "{5E47E1FE-0000-4000-8000-%012X}", i);
    flood.push_back(id);
    RegSetValueExA(toolbars, id, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    HKEY key = nullptr;
    RegCreateKeyExA(classes, (std::string(id) + "\\InprocServer32").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(addon.c_str()),
                   static_cast<DWORD>(addon.size() + 1));
    RegCloseKey(key);
    RegCreateKeyExA(stats, id, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
    RegSetValueExA(controls, id, 0, REG_SZ, reinterpret_cast<const BYTE*>("1200"), 5);
  }
  AddExtension(kControl, {{"ButtonText", "Beyond The List"}, {"script", "c:\\scripts\\beyond.htm"}});
  const std::string beyond = "{5E47E1FF-0000-4000-8000-000000000001}";  // enumerated after the flood
  RegisterClassId(beyond, "Beyond Control", &addon);
  AddUsedControl(beyond, 1);
  SetOption(kOptShowAlerts, 0);
  SetOption(kOptHideIEHelper, 2);
  SetOption(kOptHideActiveX, 2);

  EXPECT_EQ(1, CheckIEHelpers());
  EXPECT_EQ(1, CheckActiveX());
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kExtensionsKey) + "\\" + kControl).c_str()));
  EXPECT_EQ("1200", RawText(HKEY_CURRENT_USER, kActiveXBaselineKey, beyond.c_str()));
  EXPECT_EQ(0x400u, StoredFlags(beyond));

  for (const std::string& id : flood) {
    RegDeleteValueA(toolbars, id.c_str());
    RawDeleteTree(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
    RawDeleteTree(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + id).c_str());
  }
  RawDeleteTree(HKEY_CLASSES_ROOT, ("CLSID\\" + beyond).c_str());
  RawDeleteTree(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + beyond).c_str());
  RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kActiveXCompatibilityKey) + "\\" + beyond).c_str());
  for (HKEY key : {toolbars, stats, classes, helpers, controls}) RegCloseKey(key);
}

TEST_F(BrowserAddOns, HelpersOfTheInitialBaselinesAreKnownToThePatrol) {
  const std::string addon = Fixture("addon.dll");
  RegisterClassId(kBho, "Helper", &addon);
  AddBrowserHelper(kBho);
  InitRegStartups();  // the startup, IE helper and task baselines of the first run
  EXPECT_EQ("900", RawText(HKEY_CURRENT_USER, kIEHelperBaselineKey, "Fixture Add-On"));
  SetOption(kOptShowAlerts, 0);
  SetOption(kOptHideIEHelper, 2);
  EXPECT_EQ(1, CheckIEHelpers());
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kBho).c_str()));
}

// ---- Report lists ----------------------------------------------------------------

TEST_F(BrowserAddOns, ReportListsCarryTheirFields) {
  const std::string addon = Fixture("addon.dll");
  RegisterClassId(kBho, "Helper Object", &addon);
  RegisterClassId(kToolbar, "Toolbar Class", &addon);
  AddBrowserHelper(kBho);
  AddToolbar(kToolbar);
  const std::string menuExt = "Software\\Microsoft\\Internet Explorer\\MenuExt\\Addon Test Menu";
  RawSetText(HKEY_CURRENT_USER, menuExt.c_str(), "", "res://c:\\menu.htm");
  const std::string plugin = "SOFTWARE\\Microsoft\\Internet Explorer\\Plugins\\Extension\\.sntl";
  RawSetText(HKEY_LOCAL_MACHINE, plugin.c_str(), "Location", "c:\\plugins\\np.dll");
  const std::string unit = "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units\\" + kBho;
  RawSetText(HKEY_LOCAL_MACHINE, (unit + "\\DownloadInformation").c_str(), "CODEBASE", "http://example/x.cab");
  const std::string advanced = "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions\\SENTRELTEST";
  RawSetText(HKEY_LOCAL_MACHINE, advanced.c_str(), "Text", "Addon test option");
  RawSetText(HKEY_LOCAL_MACHINE, advanced.c_str(), "HelpID", "own.hlp#1");
  RawSetText(HKEY_LOCAL_MACHINE, advanced.c_str(), "Bitmap", "c:\\pictures\\option.bmp");
  const std::string zones = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\";
  DWORD restricted = 5, trusted = 4;
  RawSet(HKEY_CURRENT_USER, (zones + "addon-test.example\\www").c_str(), "*", REG_DWORD, &restricted, 4);
  RawSet(HKEY_CURRENT_USER, (zones + "addon-trusted.example\\www").c_str(), "*", REG_DWORD, &trusted, 4);
  AddExtension(kControl, {{"ButtonText", "Button"}, {"MenuText", "Menu item"}, {"script", "c:\\s.htm"}});
  RawSetText(HKEY_CURRENT_USER, (std::string(kExtensionsKey) + "\\" + kControl).c_str(), "exec", "c:\\user.exe");
  const char* delayLoad = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
  const char* schedulers = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
  RawSetText(HKEY_LOCAL_MACHINE, delayLoad, "Addon Test Object", kBho);
  RawSetText(HKEY_LOCAL_MACHINE, delayLoad, "Addon Test No Class", kBhoNoServer);  // no file: left out
  RawSetText(HKEY_LOCAL_MACHINE, schedulers, kToolbar.c_str(), "Addon test scheduler");

  struct Row {
    int (*list)();
    std::string title, path, data, description;
    int type;
    int rows;  // rows of that title
  };
  const std::string file = Fixture("addon.dll");
  const Row rows[] = {
      {ListHelperObjects, "Helper Object", file, kBho, "", 900, 1},
      {ListToolbars, "Toolbar Class", file, kToolbar, "Fixture Browser Works", 900, 1},
      {ListMenuExtensions, "Addon Test Menu", "res://c:\\menu.htm", "Addon Test Menu", "", 0, 1},
      {ListPlugins, ".sntl", "c:\\plugins\\np.dll", ".sntl", "", 0, 1},
      {ListDownloadedProgramFiles, "Helper Object", "http://example/x.cab", file, kBho, 0, 1},
      {ListAdvancedOptions, "Addon test option", "own.hlp#1", "option.bmp", "", 0, 1},
      {ListDelayLoadObjects, "Helper Object", file, kBho, "Addon Test Object", 0, 1},
      {ListSharedTaskSchedulers, "Toolbar Class", file, kToolbar, "Addon test scheduler", 0, 1},
      {ListZoneDomains, "addon-test.example", "", "", "", 0, 1},
      {ListZoneDomains, "addon-trusted.example", "", "", "", 0, 0},
      {ListExtensions, "Button", "c:\\s.htm", kControl, "", 1, 1},
      {ListExtensions, "Menu item", "c:\\s.htm", kControl, "", 2, 1},
      {ListExtensions, LoadText(IDS_NO_NAME), "c:\\user.exe (HKCU)", kControl, "", 1, 1},  // the user's after
  };
  for (const Row& row : rows) {
    row.list();
    int found = 0;
    for (int i = 0; i < CatalogueCount(); ++i) {
      const CatalogueEntry& entry = CatalogueAt(i);
      if (entry.title != row.title) continue;
      ++found;
      EXPECT_EQ(0, lstrcmpiA(row.path.c_str(), entry.path.c_str())) << row.title << ": " << entry.path;
      EXPECT_EQ(0, lstrcmpiA(row.data.c_str(), entry.data.c_str())) << row.title << ": " << entry.data;
      EXPECT_EQ(row.description, entry.description) << row.title;
      EXPECT_EQ(row.type, entry.type) << row.title;
    }
    EXPECT_EQ(row.rows, found) << row.title;
  }
  ListExtensions();
  EXPECT_EQ(LoadText(IDS_NO_NAME), CatalogueAt(CatalogueCount() - 1).title);  // the user's follow the machine's
  EXPECT_TRUE(IsKnownShellClass("{e6fb5e20-de35-11cf-9c87-00aa005127ed}"));
  EXPECT_FALSE(IsKnownShellClass(kBho.c_str()));

  DeleteValueRaw(HKEY_LOCAL_MACHINE, delayLoad, "Addon Test Object");
  DeleteValueRaw(HKEY_LOCAL_MACHINE, delayLoad, "Addon Test No Class");
  DeleteValueRaw(HKEY_LOCAL_MACHINE, schedulers, kToolbar);
  for (const std::string& key :
       {menuExt, plugin, unit, advanced, zones + "addon-test.example", zones + "addon-trusted.example"})
    RawDeleteTree(key.find("Domains") != std::string::npos || key == menuExt ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                  key.c_str());
}

// ---- The pages -------------------------------------------------------------------

class AddOnPages : public BrowserAddOns {
 protected:
  void SetUp() override {
    BrowserAddOns::SetUp();
    StartExplorerInProcess();
  }
  void TearDown() override {
    EndExplorerInProcess();
    BrowserAddOns::TearDown();
  }
  static void WithPage(UINT command, const std::function<void(HWND sheet, HWND page)>& steps) {
    WithSheet(command, steps);
  }
  // The texts of the first row whose column holds key, which becomes the
  // only selected row (empty when there is none); count: rows that hold it.
  static std::vector<std::string> Row(HWND page, const std::string& key, int keyColumn, int* count = nullptr) {
    const int row = RowWith(page, keyColumn, key);
    Select(page, {row});
    if (count) {
      *count = 0;
      for (const std::string& cell : Column(page, keyColumn)) *count += cell == key ? 1 : 0;
    }
    return row < 0 ? std::vector<std::string>{} : RowTexts(page, row);
  }
};

TEST_F(AddOnPages, IEHelpersPageListsAndRemovesAfterAsking) {
  const std::string addon = Fixture("addon.dll");
  RegisterClassId(kBho, "Helper", &addon);
  AddBrowserHelper(kBho);
  AddExtension(kControl, {{"ButtonText", "Tool"}, {"script", "c:\\scripts\\tool.htm"}});
  std::vector<std::string> helper, extension, after;
  std::string question, declined;
  WithPage(IDC_CMD_SHOW_IE_HELPERS, [&](HWND sheet, HWND page) {
    extension = Row(page, "Tool", 0);
    helper = Row(page, "Fixture Add-On", 0);
    PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    declined = Answer(sheet, IDNO);
    PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    question = Answer(sheet, IDYES);
    SendMessageA(page, WM_NULL, 0, 0);
    after = Row(page, "Fixture Add-On", 0);
  });
  ASSERT_EQ(6u, helper.size());
  EXPECT_EQ("addon.dll", helper[1]);
  EXPECT_EQ("Fixture Browser Works", helper[2]);
  EXPECT_EQ("BHO", helper[3]);
  EXPECT_GT(helper[4].size(), 11u);  // first seen now, and recorded
  ASSERT_EQ(6u, extension.size());
  EXPECT_EQ("EXTENSION", extension[3]);
  EXPECT_NE(std::string::npos, declined.find("You have chosen to remove Fixture Add-On from the Windows registry"));
  EXPECT_NE(std::string::npos, question.find("Are you sure you want to remove this Internet Explorer Add-On?"));
  EXPECT_TRUE(after.empty());
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kBho).c_str()));
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\IEHelper",
                                 NormalizeFilePath(addon.c_str()).c_str()));
}

TEST_F(AddOnPages, ActiveXPageShowsTheKillBitAndItsCheckBoxesRefillAtOnce) {
  PlantControls();
  AddUsedControl(kKilled, 1);
  const std::string doomed = Fixture("doomed.dll");  // a copy: deleted at the next start of the prefix
  CopyFileA(Fixture("addon.dll").c_str(), doomed.c_str(), FALSE);
  RegisterClassId(kBhoExpand, "Doomed Control", &doomed);
  AddUsedControl(kBhoExpand, 1);
  const char* sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  const RawValue pending = RawGet(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations");
  const std::string wininit = WindowsFolder() + "\\wininit.ini", restartCommands = ReadWholeFile(wininit);
  char shortDoomed[MAX_PATH] = "";
  GetShortPathNameA(doomed.c_str(), shortDoomed, sizeof shortDoomed);
  std::vector<std::string> killed, enabled, declined;
  int before = 0, alternate = 0;
  std::string warning, deletion;
  WithPage(IDC_CMD_SHOW_ACTIVEX, [&](HWND sheet, HWND page) {
    killed = Row(page, kKilled, 5);
    SendMessageA(page, WM_COMMAND, IDC_PAGE_ENABLE, 0);  // no question
    enabled = Row(page, kKilled, 5);
    EXPECT_EQ(0x00800000u, StoredFlags(kKilled));  // the kill bit alone cleared
    PostMessageA(page, WM_COMMAND, IDC_PAGE_DISABLE, 0);
    warning = Answer(sheet, IDNO);  // asked per row; No leaves it
    SendMessageA(page, WM_NULL, 0, 0);
    declined = Row(page, kKilled, 5);
    PostMessageA(page, WM_COMMAND, IDC_PAGE_DISABLE, 0);
    Answer(sheet, IDYES);
    SendMessageA(page, WM_NULL, 0, 0);
    EXPECT_EQ(0x00800400u, StoredFlags(kKilled));
    Row(page, "Doomed Control", 0);
    PostMessageA(page, WM_COMMAND, IDC_PAGE_DELETE_ON_REBOOT, 0);  // its context menu's command
    deletion = Answer(sheet, IDYES);
    SendMessageA(page, WM_NULL, 0, 0);
    Row(page, kControl, 5, &before);
    CheckDlgButton(page, IDC_PAGE_SHOW_ALL, BST_CHECKED);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_PAGE_SHOW_ALL, BN_CLICKED), 0);
    Row(page, kControl, 5, &alternate);
    CheckDlgButton(page, IDC_PAGE_NON_MICROSOFT, BST_CHECKED);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_PAGE_NON_MICROSOFT, BN_CLICKED), 0);
    EXPECT_TRUE(Row(page, "Microsoft Control", 0).empty());
  });
  ASSERT_EQ(6u, killed.size());
  EXPECT_EQ("Killed Control", killed[0]);
  EXPECT_EQ("ADDON.DLL", killed[1]);  // the program file, as resolved
  EXPECT_EQ(LoadText(IDS_START_TYPE_DISABLED), killed[3]);
  ASSERT_EQ(6u, enabled.size());
  EXPECT_EQ(LoadText(IDS_ENABLED), enabled[3]);
  EXPECT_NE(std::string::npos, warning.find("Disabling an ActiveX control may cause some applications to fail."));
  EXPECT_EQ(LoadText(IDS_ENABLED), declined.at(3));
  EXPECT_EQ(1, before);
  EXPECT_EQ(2, alternate);  // listed again as the alternate of a compatibility entry
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptionsKey, "ActiveXListAll"));
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptionsKey, "HideMicrosoftActiveX"));
  EXPECT_NE(std::string::npos, deletion.find("Are you sure you want this file deleted?")) << deletion;
  RawValue now = RawGet(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations");
  std::string names(now.data.begin(), now.data.end());
  for (char& c : names) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  if (Is9xFamily())  // 95/98/Me delete it through wininit.ini
    EXPECT_NE(std::string::npos, ReadWholeFile(wininit).find(std::string("NUL=") + shortDoomed));
  else
    EXPECT_NE(std::string::npos, names.find("doomed.dll"));
  if (restartCommands.empty()) {
    DeleteFileA(wininit.c_str());
  } else {
    HANDLE file = CreateFileA(wininit.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, restartCommands.data(), static_cast<DWORD>(restartCommands.size()), &written, nullptr);
    CloseHandle(file);
  }
  if (pending.type)
    RawSet(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations", pending.type, pending.data.data(),
           static_cast<DWORD>(pending.data.size()));
  else
    DeleteValueRaw(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations");
  DeleteFileA(doomed.c_str());
}

}  // namespace
