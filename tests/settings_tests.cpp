// Options, the string loader, window positions and the settings
// initialisation, against the real (Wine) registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fileid.h"
#include "initialization.h"
#include "registry.h"
#include "settings.h"
#include "strings.h"
#include "test_support.h"
#include "trace.h"
#include "winpos.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

constexpr const char* kRunSentrel = "Sentrel";

// Removes every trace of Sentrel from the registry before and after a test.
class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    Clean();
    Process() = ProcessState{};
  }
  void TearDown() override {
    Clean();
    Process() = ProcessState{};
  }
  static void Clean() {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    RawDeleteTree(HKEY_CLASSES_ROOT, kExplorerMenuKey);
    HKEY run;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineRunKey, 0, KEY_ALL_ACCESS, &run) == ERROR_SUCCESS) {
      RegDeleteValueA(run, kRunSentrel);
      RegDeleteValueA(run, "Sentrel OMNI");
      RegCloseKey(run);
    }
  }
  static std::string OptionText(const char* name) { return RawText(HKEY_CURRENT_USER, kOptionsKey, name); }
};

// ---- Options ---------------------------------------------------------------

TEST(LeadingInt, TakesOnlyTheLeadingDigits) {
  EXPECT_EQ(12, ParseLeadingInt("12a"));
  EXPECT_EQ(0, ParseLeadingInt("abc"));
  EXPECT_EQ(0, ParseLeadingInt(" 5"));
  EXPECT_EQ(-5, ParseLeadingInt("-5x"));
  EXPECT_EQ(7, ParseLeadingInt("+7"));
  EXPECT_EQ(0, ParseLeadingInt(""));
  EXPECT_EQ(0, ParseLeadingInt(nullptr));
  EXPECT_EQ(2147483647, ParseLeadingInt("99999999999999999999"));
  EXPECT_EQ(-2147483647 - 1, ParseLeadingInt("-99999999999999999999"));
}

TEST_F(SettingsTest, ReadOptionFallsBackOnlyWhenMissingOrEmpty) {
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Num", "12a");
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Letters", "abc");
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Empty", "");
  EXPECT_EQ(12, ReadOption("Num", 5));
  EXPECT_EQ(0, ReadOption("Letters", 5));
  EXPECT_EQ(5, ReadOption("Empty", 5));
  EXPECT_EQ(5, ReadOption("Missing", 5));
  // Options are read with a capacity of 128: longer text is missing.
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Long", "9" + std::string(127, '0'));
  EXPECT_EQ(5, ReadOption("Long", 5));
}

TEST_F(SettingsTest, WriteOptionStoresDecimalTextAndRaisesTheChangeFlag) {
  EXPECT_EQ(1, WriteOption("Sound", -3));
  EXPECT_EQ("-3", OptionText("Sound"));
  EXPECT_EQ("1", OptionText("Update"));
}

TEST_F(SettingsTest, MaxCookieDefaultDependsOnTheProgram) {
  Process().kind = ProgramKind::Explorer;
  LoadOptions();
  EXPECT_EQ(4096, Option(kOptMaxCookie));
  Process().kind = ProgramKind::Monitor;
  LoadOptions();
  EXPECT_EQ(315, Option(kOptMaxCookie));
  EXPECT_EQ(6026, Option(kOptStartTab));
  EXPECT_EQ(1, Option(kOptSound));
  EXPECT_EQ(11, Option(kOptTasks));
}

TEST_F(SettingsTest, SaveOptionsWritesTheSavedValuesInPageOrder) {
  const std::vector<std::string> pageOrder = {"SendHistory",
                                              "HideTavvy",
                                              "HideStartup",
                                              "HideIEHelper",
                                              "HideActiveX",
                                              "HideServices",
                                              "HideFileType",
                                              "HideTasks",
                                              "HideHidden",
                                              "HideSystemFiles",
                                              "HideHomePage",
                                              "Format",
                                              "ConfirmExit",
                                              "Sound",
                                              "History",
                                              "HideMicrosoftServices",
                                              "HideMicrosoftActiveX",
                                              "IncludeKillBit",
                                              "ActiveXListAll",
                                              "OmniFormat",
                                              "LockFileTypes",
                                              "ShowAllStartup",
                                              "NoMicrosoftStartup",
                                              "Start",
                                              "Cookies",
                                              "Nuts",
                                              "Tasks",
                                              "IEHelpers",
                                              "FileType",
                                              "StartPage",
                                              "HOSTFile",
                                              "WinInit",
                                              "Services",
                                              "Hidden",
                                              "ViewCookies",
                                              "ActiveX",
                                              "RealtimeStartup",
                                              "RealtimeIEHelper",
                                              "RealtimeSysFiles",
                                              "RealtimeFileType",
                                              "RealtimeStartPage",
                                              "RealtimeHidden",
                                              "RealtimeActiveX",
                                              "RealtimeServices",
                                              "ExplorerMenu",
                                              "ShowAlerts",
                                              "HideRunOnce"};
  std::vector<std::string> saved;
  for (int i = 0; i < kOptionCount; ++i)
    if (OptionDefinition(static_cast<OptionId>(i)).saved)
      saved.push_back(OptionDefinition(static_cast<OptionId>(i)).name);
  EXPECT_EQ(pageOrder, saved);

  // Round trip: every saved option comes back; the others are not written.
  LoadOptions();
  for (int i = 0; i < kOptionCount; ++i) SetOption(static_cast<OptionId>(i), 100 + i);
  SaveOptions();
  EXPECT_EQ("1", OptionText("Update"));
  EXPECT_EQ("<missing>", OptionText("MaxCookie"));
  EXPECT_EQ("<missing>", OptionText("WindowSettings"));
  for (int i = 0; i < kOptionCount; ++i) SetOption(static_cast<OptionId>(i), -1);
  LoadOptions();
  for (int i = 0; i < kOptionCount; ++i) {
    const OptionDef& option = OptionDefinition(static_cast<OptionId>(i));
    SCOPED_TRACE(option.name);
    EXPECT_EQ(option.saved ? 100 + i : OptionDefault(option.id), Option(option.id));
  }
  // The HOSTS patrol value is one value whatever the spelling.
  EXPECT_EQ(100 + kOptHostFile, ReadOption("HostFile", 0));
}

// ---- Texts -----------------------------------------------------------------

TEST(LanguageCodes, MapToPrimaryLanguageIds) {
  EXPECT_EQ(9, LanguageIdOfCode("us"));
  EXPECT_EQ(9, LanguageIdOfCode("US"));
  EXPECT_EQ(7, LanguageIdOfCode("de"));
  EXPECT_EQ(25, LanguageIdOfCode("\xEA\xE0\xEA"));
  EXPECT_EQ(22, LanguageIdOfCode("br"));
  EXPECT_EQ(4, LanguageIdOfCode("cn"));
  EXPECT_EQ(0, LanguageIdOfCode("xx"));
  EXPECT_EQ(0, LanguageIdOfCode(""));
}

TEST(FillText, ReplacesOnlyAsManyPlaceholdersAsGiven) {
  EXPECT_EQ("a X b Y c", FillText("a %s b %s c", {"X", "Y"}));
  EXPECT_EQ("a X b %s %d %n", FillText("a %s b %s %d %n", {"X"}));
  EXPECT_EQ("50%s", FillText("%s", {"50%s"}));  // arguments are not read again
  EXPECT_EQ("100%", FillText("100%", {}));
}

TEST_F(SettingsTest, TheShippedTableIsEnglish) {
  InitLanguageId();
  EXPECT_EQ(9, Process().languageId);
  EXPECT_EQ("Sentrel", LoadText(2));
  EXPECT_EQ("SentrelEx", LoadText(9));
  EXPECT_EQ("us", LoadText(634));
  EXPECT_EQ("\nProgram not found", LoadText(795).substr(0, 18));
  EXPECT_NE(std::string::npos, LoadText(7).find("%s"));
  EXPECT_NE(std::string::npos, LoadText(1065).find("should be \"http://\" \n")) << LoadText(1065);
}

TEST_F(SettingsTest, TranslationsReplaceTextsExceptInEnglish) {
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString5", "Erste%nZweite");
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString2", "Wachhund");
  Process().languageId = 9;
  EXPECT_EQ("Sentrel", LoadText(2));
  EXPECT_EQ("", LoadText(5));

  Process().languageId = 7;
  EXPECT_EQ("Wachhund", LoadText(2));
  char text[64];
  // The result is the length of the registry text, before "%n" shrinks it.
  EXPECT_EQ(13, LoadText(5, text, sizeof text));
  EXPECT_STREQ("Erste\nZweite", text);
  // A small destination cuts the text; a negative capacity only measures.
  char small[4] = "zzz";
  EXPECT_EQ(3, LoadText(2, small, sizeof small));
  EXPECT_STREQ("Wac", small);
  EXPECT_EQ(13, LoadText(5, nullptr, -1));
  // Without a translation the table still answers.
  EXPECT_EQ("us", LoadText(634));
}

TEST_F(SettingsTest, OverlongTranslationsAreIgnored) {
  Process().languageId = 7;
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString2", std::string(771, 't'));
  EXPECT_EQ(771u, LoadText(2).size());
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString2", std::string(772, 't'));
  EXPECT_EQ("Sentrel", LoadText(2));
}

// ---- Window positions ------------------------------------------------------

TEST(WindowPlacement, FollowsTheStoredPositionWithinTheScreen) {
  const ScreenMetrics screen = {2560, 1024, 1280, 1024};
  int left = 100, top = 50;
  POINT at = PlaceWindow(&left, &top, 400, 300, screen);
  EXPECT_EQ(100, at.x);
  EXPECT_EQ(50, at.y);
  left = 3000;
  top = 2000;
  at = PlaceWindow(&left, &top, 400, 300, screen);
  EXPECT_EQ(640, at.x);
  EXPECT_EQ(512, at.y);
  // As far off to the left or top: back on the screen too. A monitor left of
  // the primary one (negative, within the virtual width) is kept.
  left = -50000;
  top = -3000;
  at = PlaceWindow(&left, &top, 400, 300, screen);
  EXPECT_EQ(640, at.x);
  EXPECT_EQ(512, at.y);
  left = -1200;
  top = 10;
  EXPECT_EQ(-1200, PlaceWindow(&left, &top, 400, 300, screen).x);
  left = 3000;
  // Nothing stored: centred across, one third down.
  at = PlaceWindow(nullptr, nullptr, 400, 300, screen);
  EXPECT_EQ(440, at.x);
  EXPECT_EQ(241, at.y);
  // No virtual screen (Windows 95): the primary screen bounds the position.
  at = PlaceWindow(&left, &top, 400, 300, ScreenMetrics{0, 0, 1280, 1024});
  EXPECT_EQ(640, at.x);
  left = 1000;
  at = PlaceWindow(&left, &top, 400, 300, ScreenMetrics{0, 0, 1280, 1024});
  EXPECT_EQ(1000, at.x);
}

TEST_F(SettingsTest, WindowPositionsRoundTripThroughTheRegistry) {
  HWND window = CreateWindowExA(0, "STATIC", "position", WS_POPUP, 120, 80, 300, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, window);
  Process().kind = ProgramKind::Monitor;
  SaveWindowPosition(window, kAlertPosition);
  EXPECT_EQ("120", RawText(HKEY_CURRENT_USER, kSentrelKey, "xPosAlert"));
  EXPECT_EQ("80", RawText(HKEY_CURRENT_USER, kSentrelKey, "yPosAlert"));
  EXPECT_EQ("300", RawText(HKEY_CURRENT_USER, kSentrelKey, "dxAlert"));
  EXPECT_EQ("200", RawText(HKEY_CURRENT_USER, kSentrelKey, "dyAlert"));
  // The monitor also sends the explorer back to its first page.
  EXPECT_EQ("0", OptionText("StartTab"));
  EXPECT_EQ("1", OptionText("Update"));

  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RestoreWindowPosition(window, kAlertPosition);
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(120, rect.left);
  EXPECT_EQ(80, rect.top);
  EXPECT_EQ(300, rect.right - rect.left);

  // Without a stored top the window is centred, one third down.
  RawDeleteTree(HKEY_CURRENT_USER, kSentrelKey);
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "xPosAlert", "5");
  Process().kind = ProgramKind::Explorer;
  RestoreWindowPosition(window, kAlertPosition);
  GetWindowRect(window, &rect);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 300) / 2, rect.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 200) / 3, rect.top);
  EXPECT_EQ("<missing>", OptionText("StartTab"));
  DestroyWindow(window);
}

// ---- Settings initialisation -------------------------------------------------

struct Calls {
  static std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
  }
};
int RecordRebuild() { return Calls::Log().push_back("rebuild"), 1; }
int RecordInitial() { return Calls::Log().push_back("initial"), 1; }
int RecordEarlier() { return Calls::Log().push_back("earlier"), 1; }
int RecordFirstSeen() { return Calls::Log().push_back("first-seen"), 1; }
int RecordSysFiles() { return Calls::Log().push_back("sysfiles"), 1; }
int RecordFileTypes() { return Calls::Log().push_back("filetypes"), 1; }
int g_ownEntries = 0;
int FindOwnEntries(bool remove) {
  Calls::Log().push_back(remove ? "remove-own" : "find-own");
  return g_ownEntries;
}

const BaselineBuilder kTestBuilders[] = {
    {"FileTypes", InitStage::FileTypes, RecordFileTypes},
    {"SysFiles", InitStage::SystemFiles, RecordSysFiles},
    {"FirstSeen", InitStage::Baselines, RecordFirstSeen},
};
const SettingsInitHooks kTestHooks = {kTestBuilders, 3, {RecordRebuild, RecordInitial, RecordEarlier, FindOwnEntries}};

class Initialization : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    Calls::Log().clear();
  }
  void TearDown() override {
    SettingsTest::TearDown();
    InitializeSettings(DefaultSettingsInitHooks());  // leave no test hooks behind
    Clean();
  }
};

TEST_F(Initialization, FirstRunBuildsTheKeyTreeAndRegistersTheMonitor) {
  InitializeSettings(kTestHooks);
  EXPECT_EQ((std::vector<std::string>{"initial", "earlier", "first-seen", "sysfiles", "rebuild", "filetypes"}),
            Calls::Log());
  for (const char* key : {"Nuts", "Cookies", "Options", "Run", "IEHelpers", "HostFile", "Tasks"})
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, (std::string(kSentrelKey) + "\\" + key).c_str())) << key;
  EXPECT_EQ(NowText().substr(0, 10), RawText(HKEY_CURRENT_USER, kSentrelKey, "").substr(0, 10));
  EXPECT_EQ("16.0.2009.0", RawText(HKEY_CURRENT_USER, kSentrelKey, "Version"));

  std::string command = TestFolder() + "\\sentrel.exe -expressboot";
  EXPECT_EQ("\"" + TestFolder() + "\\sentrel.exe\" -expressboot",
            RawText(HKEY_LOCAL_MACHINE, kMachineRunKey, kRunSentrel));
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, (std::string(kSentrelKey) + "\\Run").c_str(), command.c_str()));
  EXPECT_TRUE(Process().runAtStart);
  EXPECT_EQ(1, IsRunAtStart());
  EXPECT_EQ(9, Process().languageId);
  EXPECT_EQ(kTraceOff, TraceCounter());
}

TEST_F(Initialization, LaterStartsLeaveCurrentBaselinesAlone) {
  InitializeSettings(kTestHooks);
  Calls::Log().clear();
  InitializeSettings(kTestHooks);
  EXPECT_EQ((std::vector<std::string>{"first-seen", "sysfiles", "filetypes"}), Calls::Log());

  // Containment, not equality, decides whether the version is current.
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "Version", "16.0.2009.0 beta");
  Calls::Log().clear();
  InitializeSettings(kTestHooks);
  EXPECT_EQ((std::vector<std::string>{"first-seen", "sysfiles", "filetypes"}), Calls::Log());
}

TEST_F(Initialization, AnEarlierVersionRebuildsAndRecreatesInitialValues) {
  InitializeSettings(kTestHooks);
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "Version", "15.1");
  Calls::Log().clear();
  InitializeSettings(kTestHooks);
  EXPECT_EQ((std::vector<std::string>{"first-seen", "sysfiles", "rebuild", "initial", "earlier", "filetypes"}),
            Calls::Log());
  EXPECT_EQ("16.0.2009.0", RawText(HKEY_CURRENT_USER, kSentrelKey, "Version"));
}

TEST_F(Initialization, CleanupRequestRebuildsOnceAndClears) {
  InitializeSettings(kTestHooks);
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Cleanup", "1");
  Calls::Log().clear();
  InitializeSettings(kTestHooks);
  EXPECT_EQ((std::vector<std::string>{"first-seen", "sysfiles", "rebuild", "filetypes"}), Calls::Log());
  EXPECT_EQ("0", OptionText("Cleanup"));
}

TEST_F(Initialization, DebugOptionTurnsTracingOn) {
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Debug", "1");
  Process().kind = ProgramKind::Explorer;
  InitializeSettings(kTestHooks);
  EXPECT_EQ(0, TraceCounter());
  EXPECT_EQ(TestFolder() + "\\sendex2ow.txt", TraceFile());
  SetTraceCounter(kTraceOff);
}

TEST_F(Initialization, WindowsSettingsAreMirroredOnce) {
  const char* autoUpdate = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
  const char* policies = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  RawValue savedAu = RawGet(HKEY_LOCAL_MACHINE, autoUpdate, "AUOptions");
  RawValue savedLua = RawGet(HKEY_LOCAL_MACHINE, policies, "EnableLUA");
  RawValue savedPrompt = RawGet(HKEY_LOCAL_MACHINE, policies, "PromptOnSecureDesktop");
  DWORD four = 4, one = 1;
  RawSet(HKEY_LOCAL_MACHINE, autoUpdate, "AUOptions", REG_DWORD, &four, sizeof four);
  RawSet(HKEY_LOCAL_MACHINE, policies, "EnableLUA", REG_DWORD, &one, sizeof one);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, policies, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "PromptOnSecureDesktop");
    RegCloseKey(key);
  }

  InitializeSettings(kTestHooks);
  EXPECT_EQ(4u, ReadDwordValue(HKEY_CURRENT_USER, kSentrelKey, "AUOptions"));
  if (WindowsMajorVersion() > 5) {
    EXPECT_EQ(1, ReadDwordValueOr(HKEY_CURRENT_USER, kSentrelKey, "EnableLUA"));
    // A missing system value is remembered as -1.
    EXPECT_TRUE(DwordValueExists(HKEY_CURRENT_USER, kSentrelKey, "PromptOnSecureDesktop"));
    EXPECT_EQ(-1, ReadDwordValueOr(HKEY_CURRENT_USER, kSentrelKey, "PromptOnSecureDesktop"));
  } else {
    EXPECT_FALSE(DwordValueExists(HKEY_CURRENT_USER, kSentrelKey, "EnableLUA"));
  }
  // Once mirrored, the baseline is kept even when Windows changes.
  DWORD two = 2;
  RawSet(HKEY_LOCAL_MACHINE, autoUpdate, "AUOptions", REG_DWORD, &two, sizeof two);
  InitializeSettings(kTestHooks);
  EXPECT_EQ(4u, ReadDwordValue(HKEY_CURRENT_USER, kSentrelKey, "AUOptions"));

  auto restore = [](const char* path, const char* name, const RawValue& value) {
    if (value.type)
      RawSet(HKEY_LOCAL_MACHINE, path, name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    else if (HKEY opened; RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS) {
      RegDeleteValueA(opened, name);
      RegCloseKey(opened);
    }
  };
  restore(autoUpdate, "AUOptions", savedAu);
  restore(policies, "EnableLUA", savedLua);
  restore(policies, "PromptOnSecureDesktop", savedPrompt);
}

TEST_F(Initialization, ContextMenuVerbFollowsTheOption) {
  InitializeSettings(kTestHooks);
  EXPECT_EQ("Sentrel OMNI Info...", RawText(HKEY_CLASSES_ROOT, kExplorerMenuKey, ""));
  EXPECT_EQ("\"" + TestFolder() + "\\Sentrel.exe\" %1",
            RawText(HKEY_CLASSES_ROOT, (std::string(kExplorerMenuKey) + "\\command").c_str(), ""));
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ExplorerMenu", "0");
  InitializeSettings(kTestHooks);
  EXPECT_FALSE(RawKeyExists(HKEY_CLASSES_ROOT, kExplorerMenuKey));
}

TEST_F(Initialization, RunAtStartOffGoesThroughTheStartupCatalogue) {
  InitializeSettings(kTestHooks);
  Calls::Log().clear();
  g_ownEntries = 0;
  EXPECT_EQ(0, SetRunAtStart(false));
  EXPECT_TRUE(Process().runAtStart);
  g_ownEntries = 1;
  EXPECT_EQ(1, SetRunAtStart(false));
  EXPECT_FALSE(Process().runAtStart);
  EXPECT_EQ((std::vector<std::string>{"remove-own", "remove-own"}), Calls::Log());
}

// An installation that wrote its Run value without quotes has it quoted at
// the next start.
TEST_F(Initialization, UnquotedOwnRunValueIsQuotedAtStart) {
  InitializeSettings(kTestHooks);
  RawSetText(HKEY_LOCAL_MACHINE, kMachineRunKey, kRunSentrel, TestFolder() + "\\sentrel.exe -expressboot");
  InitializeSettings(kTestHooks);
  EXPECT_EQ("\"" + TestFolder() + "\\sentrel.exe\" -expressboot",
            RawText(HKEY_LOCAL_MACHINE, kMachineRunKey, kRunSentrel));
}

TEST_F(SettingsTest, IsRunAtStartAcceptsTheEarlierEditionsName) {
  EXPECT_EQ(0, IsRunAtStart());
  RawSetText(HKEY_LOCAL_MACHINE, kMachineRunKey, "Sentrel OMNI", "c:\\old\\sentrel.exe");
  EXPECT_EQ(1, IsRunAtStart());
  RawSetText(HKEY_LOCAL_MACHINE, kMachineRunKey, "Sentrel OMNI", "");
  EXPECT_EQ(0, IsRunAtStart());
}

TEST_F(SettingsTest, RestoreDropsTranslationsAndPositionsUnlessEnglish) {
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString0", "a");
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString1165", "b");
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString1166", "kept");
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "dyPosAddFileType", "9");
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "xPos", "9");
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "Version", "16.0.2009.0");

  Process().languageId = 9;
  EXPECT_EQ(0, ResetTranslationsAndPositions());
  EXPECT_EQ("a", RawText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString0"));

  Process().languageId = 7;
  EXPECT_EQ(1, ResetTranslationsAndPositions());
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString0"));
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString1165"));
  EXPECT_EQ("kept", RawText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString1166"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kSentrelKey, "dyPosAddFileType"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kSentrelKey, "xPos"));
  EXPECT_EQ("16.0.2009.0", RawText(HKEY_CURRENT_USER, kSentrelKey, "Version"));
}

}  // namespace
