// Delayed start: moving startup entries into the store and back, the
// launcher the monitor steps, the came-back alert, the Delayed Start and
// Active Tasks pages, and the real monitor launching a delayed program.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "delayed_start.h"
#include "explorer.h"
#include "fileid.h"
#include "history.h"
#include "list_page.h"
#include "monitor.h"
#include "patrol.h"
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

const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kDelayLoad = "Software\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char* const kBaseline = "Software\\Orvane Works\\Sentrel\\Run";
const std::string kDelay = "Software\\Orvane Works\\Sentrel\\Delay";
std::string DelayKey(const char* sub) { return kDelay + "\\" + sub; }

// The questions asked, answered with a chosen button.
std::vector<UINT> g_asked;
int g_answer = IDOK;
int RecordQuestion(HWND, UINT id, UINT) {
  g_asked.push_back(id);
  return g_answer;
}

// A copy of the witness under its own name: what it logs says which ran.
std::string Witness(const char* name) {
  const std::string copy = TestFolder() + "\\" + name;
  CopyFileA((TestFolder() + "\\witness.exe").c_str(), copy.c_str(), FALSE);
  return copy;
}
std::string WitnessLog() { return ReadWholeFile(TestFolder() + "\\witness.txt"); }
int Count(const std::string& text, std::string part) {
  CharUpperBuffA(&part[0], static_cast<DWORD>(part.size()));
  std::string upper = text;
  if (!upper.empty()) CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  int count = 0;
  for (size_t at = upper.find(part); at != std::string::npos; at = upper.find(part, at + 1)) ++count;
  return count;
}
std::string Fixture(const char* name) { return TestFolder() + "\\fixtures\\" + name; }
std::string Upper(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

void DeleteRunValues(HKEY root, std::initializer_list<const char*> names) {
  HKEY key;
  if (RegOpenKeyExA(root, kUserRun, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  for (const char* name : names) RegDeleteValueA(key, name);
  RegCloseKey(key);
}

const char* const kPlantedNames[] = {"Quoted", "Dll", "Plain", "Expand", "Machine", "Own", "Back", "Forged"};

class Delayed : public testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    Clean();
    SetDelayQuestion(nullptr);
  }
  static void Clean() {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
      for (const char* name : kPlantedNames) DeleteRunValues(root, {name});
    DeleteFileA((TestFolder() + "\\witness.txt").c_str());
    ClearCatalogueEntries();
    g_asked.clear();
    g_answer = IDOK;
    SetDelayQuestion(RecordQuestion);
  }
  // The startup entry listed under a name, as the Startup Programs page has it.
  static CatalogueEntry Listed(const char* name) {
    EnumerateStartupEntries(0);
    for (int i = 0; i < CatalogueCount(); ++i)
      if (CatalogueAt(i).name == name) return CatalogueAt(i);
    return {};
  }
  static CatalogueEntry ListedDelayed(const std::string& program) {
    ListDelayedEntries();
    for (int i = 0; i < CatalogueCount(); ++i)
      if (CatalogueAt(i).name == program) return CatalogueAt(i);
    return {};
  }
};

TEST(SplitCommand, ProgramInUpperCaseAndArgumentsWithTheirBlank) {
  const std::string windows = Upper(WindowsFolder());
  struct Case {
    const char* command;
    std::string program, arguments;
  } cases[] = {
      {"c:\\apps\\app.exe -min", "C:\\APPS\\APP.EXE", " -min"},
      {"C:\\apps\\thing.dll,Start now", "C:\\APPS\\THING.DLL", ",Start now"},
      {"c:\\windows\\control.cpl", "C:\\WINDOWS\\CONTROL.CPL", ""},
      {"%SystemRoot%\\notes.exe /a", windows + "\\NOTES.EXE", " /a"},
      {"noextension", "NOEXTENSION", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    std::string program, arguments;
    SplitCommand(c.command, program, arguments);
    EXPECT_EQ(c.program, program) << c.command;
    EXPECT_EQ(c.arguments, arguments) << c.command;
  }
  // A program path at the field's limit is cut, never overrun.
  std::string program, arguments, longCommand = "c:\\" + std::string(300, 'a') + ".exe /x";
  SplitCommand(longCommand, program, arguments);
  EXPECT_EQ(259u, program.size());
  EXPECT_EQ(" /x", arguments);
}

// Delay then move back: the Run value comes back byte for byte, and the
// baseline knows it again.
TEST_F(Delayed, MovingBackRestoresTheCommandUnchangedAndItsBaseline) {
  struct Case {
    const char* name;
    DWORD type;
    std::string command, program, parameters, applet;
  } cases[] = {
      {"Quoted", REG_SZ, "\"C:\\Program Files\\App\\app.exe\" -min /x", "C:\\PROGRAM FILES\\APP\\APP.EXE", " -min /x",
       ""},
      {"Dll", REG_SZ, "rundll32.exe c:\\apps\\thing.dll,Start now", "C:\\APPS\\THING.DLL", ",Start now", kRundllApplet},
      {"Plain", REG_SZ, "c:\\apps\\plain.exe", "C:\\APPS\\PLAIN.EXE", "<missing>", ""},
      {"Expand", REG_EXPAND_SZ, "%WINDIR%\\expand.exe", "", "<missing>", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawSet(HKEY_CURRENT_USER, kUserRun, c.name, c.type, c.command.c_str(), static_cast<DWORD>(c.command.size() + 1));
    const CatalogueEntry entry = Listed(c.name);
    ASSERT_EQ(11, entry.type);
    ASSERT_EQ(kDelayDone, DelayStartupEntry(nullptr, entry));
    EXPECT_TRUE(g_asked.empty());  // a user entry asks nothing
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, c.name));
    EXPECT_EQ("1103", RawText(HKEY_CURRENT_USER, kBaseline, BaselineName(entry.path).c_str()));
    std::string program, arguments;
    SplitCommand(entry.path, program, arguments);
    if (!c.program.empty()) {
      EXPECT_EQ(c.program, program);
    }
    EXPECT_EQ("11", RawText(HKEY_CURRENT_USER, kDelay.c_str(), program.c_str()));
    EXPECT_EQ("30", RawText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), program.c_str()));
    EXPECT_EQ(c.name, RawText(HKEY_CURRENT_USER, DelayKey("Title").c_str(), program.c_str()));
    if (!c.program.empty()) {
      EXPECT_EQ(c.parameters, RawText(HKEY_CURRENT_USER, DelayKey("Parameters").c_str(), program.c_str()));
    }
    EXPECT_EQ(c.applet.empty() ? "<missing>" : c.applet,
              RawText(HKEY_CURRENT_USER, DelayKey("Applet").c_str(), program.c_str()));

    const CatalogueEntry delayed = ListedDelayed(program);
    ASSERT_EQ(1, delayed.value);  // listed from HKCU
    ASSERT_EQ(1, UndelayEntry(delayed));
    const RawValue back = RawGet(HKEY_CURRENT_USER, kUserRun, c.name);
    EXPECT_EQ(c.type, back.type);
    EXPECT_EQ(c.command, std::string(reinterpret_cast<const char*>(back.data.data())));
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kDelay.c_str(), program.c_str()));
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), program.c_str()));
    EXPECT_EQ("11", RawText(HKEY_CURRENT_USER, kBaseline, BaselineName(Listed(c.name).path).c_str()));
    DeleteRunValues(HKEY_CURRENT_USER, {c.name});
  }
}

TEST_F(Delayed, MachineEntriesAskFirstAndTheMonitorsOwnIsRefused) {
  RawSetText(HKEY_LOCAL_MACHINE, kUserRun, "Machine", "c:\\apps\\machine.exe");
  g_answer = IDCANCEL;
  EXPECT_EQ(kDelaySkipped, DelayStartupEntry(nullptr, Listed("Machine")));
  EXPECT_EQ(std::vector<UINT>{IDS_STARTUP_PROGRAM_USED_BY}, g_asked);
  EXPECT_EQ("c:\\apps\\machine.exe", RawText(HKEY_LOCAL_MACHINE, kUserRun, "Machine"));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, kDelay.c_str()));

  g_answer = IDOK;
  EXPECT_EQ(kDelayDone, DelayStartupEntry(nullptr, Listed("Machine")));
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kUserRun, "Machine"));
  EXPECT_EQ("1", RawText(HKEY_LOCAL_MACHINE, kDelay.c_str(), "C:\\APPS\\MACHINE.EXE"));

  g_asked.clear();
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Own", "\"c:\\program files\\sentrel\\Sentrel.exe\" -expressboot");
  EXPECT_EQ(kDelayRefusedAll, DelayStartupEntry(nullptr, Listed("Own")));
  EXPECT_EQ(std::vector<UINT>{IDS_PROGRAM_MUST_REMAIN_AS}, g_asked);
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Own"));
}

// A location that cannot take the entry back leaves it in the store.
TEST_F(Delayed, EntryThatCannotGoBackStaysDelayed) {
  const char* program = "C:\\APPS\\GONE.EXE";
  RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), program, "200");
  RawSetText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), program, "30");
  RawSetText(HKEY_CURRENT_USER, DelayKey("Shortcuts").c_str(), program, "c:\\no such folder\\x\\gone.lnk");
  EXPECT_EQ(0, UndelayEntry(ListedDelayed(program)));
  EXPECT_EQ("200", RawText(HKEY_CURRENT_USER, kDelay.c_str(), program));
  EXPECT_EQ(0, RestoreAllDelayed());
  EXPECT_EQ(1, ListDelayedEntries());
}

// A second startup entry of a program delayed already stays where it is:
// its record would overwrite the first one's.
TEST_F(Delayed, SecondEntryOfADelayedProgramStaysInStartup) {
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Plain", "c:\\apps\\plain.exe /first");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Quoted", "\"c:\\apps\\plain.exe\" /second");
  ASSERT_EQ(kDelayDone, DelayStartupEntry(nullptr, Listed("Plain")));
  EXPECT_EQ(kDelaySkipped, DelayStartupEntry(nullptr, Listed("Quoted")));
  EXPECT_EQ("\"c:\\apps\\plain.exe\" /second", RawText(HKEY_CURRENT_USER, kUserRun, "Quoted"));
  ASSERT_EQ(1, UndelayEntry(ListedDelayed("C:\\APPS\\PLAIN.EXE")));
  EXPECT_EQ("c:\\apps\\plain.exe /first", RawText(HKEY_CURRENT_USER, kUserRun, "Plain"));
}

// A user's record goes back only to a location a user's entry can be
// delayed from: a forged type adds no machine entry or shell extension.
TEST_F(Delayed, ForgedTypeTakesNothingBackToAMachineLocation) {
  const char* program = "C:\\APPS\\FORGED.DLL";
  for (const char* type : {"1", "252"}) {
    SCOPED_TRACE(type);
    RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), program, type);
    RawSetText(HKEY_CURRENT_USER, DelayKey("Title").c_str(), program, "Forged");
    EXPECT_EQ(0, UndelayEntry(ListedDelayed(program)));
    EXPECT_EQ(type, RawText(HKEY_CURRENT_USER, kDelay.c_str(), program));
    EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kUserRun, "Forged"));
    EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kDelayLoad, "Forged"));
  }
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kDelayLoad, "Forged");
}

// The command kept for the way back goes back only while it names the listed
// program; otherwise the entry is rebuilt from its parts.
TEST_F(Delayed, ChangedKeptCommandPutsNoOtherProgramIntoStartup) {
  for (const char* kept : {"c:\\evil\\other.exe /x", "rundll32.exe c:\\evil\\x.dll,Go", "\"c:\\apps\\plain\" .exe"}) {
    SCOPED_TRACE(kept);
    RawSetText(HKEY_CURRENT_USER, kUserRun, "Plain", "c:\\apps\\plain.exe /x");
    ASSERT_EQ(kDelayDone, DelayStartupEntry(nullptr, Listed("Plain")));
    RawSetText(HKEY_CURRENT_USER, DelayKey("Command").c_str(), "C:\\APPS\\PLAIN.EXE", kept);
    ASSERT_EQ(1, UndelayEntry(ListedDelayed("C:\\APPS\\PLAIN.EXE")));
    EXPECT_EQ("C:\\APPS\\PLAIN.EXE /x", RawText(HKEY_CURRENT_USER, kUserRun, "Plain"));
    Clean();
  }
}

// Hostile store contents: nothing crashes, nothing hides an entry, and only
// a whole number of seconds ever starts a program.
TEST_F(Delayed, BadTimesNeverStartAndEveryEntryIsListed) {
  const std::string program = Upper(Witness("delaybad.exe"));
  RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), program.c_str(), "11");
  RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), "C:\\APPS\\NOTIME.EXE", "11");  // in no other key
  // A program name and a title the ANSI code page cannot hold.
  const std::wstring wide = L"C:\\APPS\\\x0416UK.EXE";
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, kDelay.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegSetValueExW(key, wide.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"11"), 6);
  RegCloseKey(key);
  const char* titled = "C:\\APPS\\TITLED.EXE";
  RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), titled, "11");
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, DelayKey("Title").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  RegSetValueExW(key, L"C:\\APPS\\TITLED.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"\x0416uk"), 8);
  RegCloseKey(key);
  for (const char* time : {"abc", "-10", "30s", "", "99999999999"}) {
    RawSetText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), program.c_str(), time);
    for (int seconds = 10; seconds <= 40; seconds += 10) EXPECT_EQ(0, LaunchDelayedEntries(seconds)) << time;
  }
  Sleep(500);
  EXPECT_EQ(0, Count(WitnessLog(), "delaybad.exe"));
  EXPECT_EQ(4, ListDelayedEntries());  // none hidden
  EXPECT_EQ(4, CountDelayedEntries());
  EXPECT_EQ("?uk", ListedDelayed(titled).title);
  EXPECT_EQ("NOTIME", ListedDelayed("C:\\APPS\\NOTIME.EXE").title);  // no title, no file: its name
  EXPECT_EQ(-1, DelaySeconds(HKEY_CURRENT_USER, "C:\\APPS\\NOTIME.EXE"));
  EXPECT_EQ("0 Sec.", DelayText(-1));
  EXPECT_EQ("50 Sec.", DelayText(50));
  EXPECT_EQ("1 Min. : 30 Sec.", DelayText(90));
}

// The launcher as the monitor steps it: 10, 20, 30 seconds.
TEST_F(Delayed, EntryStartsOnTheCallOfItsTimeAndThroughItsApplet) {
  const std::string at30 = Upper(Witness("delay30.exe")), at35 = Upper(Witness("delay35.exe"));
  for (const auto& [program, time] : {std::pair{at30, "30"}, std::pair{at35, "35"}}) {
    RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), program.c_str(), "11");
    RawSetText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), program.c_str(), time);
  }
  RawSetText(HKEY_CURRENT_USER, DelayKey("Parameters").c_str(), at30.c_str(), " -from-store");
  EXPECT_EQ(0, LaunchDelayedEntries(10));
  EXPECT_EQ(0, LaunchDelayedEntries(20));
  EXPECT_EQ(1, LaunchDelayedEntries(30));
  EXPECT_EQ(0, LaunchDelayedEntries(40));
  std::string log;
  for (int i = 0; i < 100 && Count(log = WitnessLog(), "delay30.exe") == 0; ++i) Sleep(50);
  EXPECT_EQ(1, Count(log, "delay30.exe")) << log;
  EXPECT_EQ(1, Count(log, "-from-store")) << log;
  EXPECT_EQ(0, Count(log, "delay35.exe"));

  // A RUNDLL32 entry: moved with its applet, started as RunDLL32.exe with
  // the DLL's path and its arguments.
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Dll", "RUNDLL32.EXE c:\\apps\\thing.dll,Start now");
  ASSERT_EQ(kDelayDone, DelayStartupEntry(nullptr, Listed("Dll")));
  EXPECT_EQ(kRundllApplet, RawText(HKEY_CURRENT_USER, DelayKey("Applet").c_str(), "C:\\APPS\\THING.DLL"));
  // The system's own rundll32 is started with the library and its entry,
  // whatever program the stored applet text or one beside Sentrel names.
  const std::string dll = Upper(Fixture("addon.dll")), mark = dll + ".unregistered";
  DeleteFileA(mark.c_str());
  RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), dll.c_str(), "11");
  RawSetText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), dll.c_str(), "30");
  RawSetText(HKEY_CURRENT_USER, DelayKey("Parameters").c_str(), dll.c_str(), ",DllUnregisterServer");
  Witness("RunDLL32.exe");  // first on this program's search path
  for (const std::string& name : {std::string("C:\\APPS\\THING.DLL"), dll})
    RawSetText(HKEY_CURRENT_USER, DelayKey("Applet").c_str(), name.c_str(), Witness("applet.exe").c_str());
  ASSERT_EQ(3, LaunchDelayedEntries(30));  // with the entry of 30 seconds above
  for (int i = 0; i < 100 && GetFileAttributesA(mark.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(mark.c_str()));
  Sleep(500);
  log = WitnessLog();
  EXPECT_EQ(0, Count(log, "applet.exe")) << log;
  EXPECT_EQ(0, Count(log, "rundll32.exe")) << log;
  DeleteFileA(mark.c_str());
  DeleteFileA((TestFolder() + "\\RunDLL32.exe").c_str());
}

TEST_F(Delayed, ProgramAlreadyRunningIsNotStartedAgain) {
  const std::string running = Witness("delayrun.exe");
  Program first(running, "-stay");
  ASSERT_TRUE(first.started());
  Sleep(500);
  const std::string program = Upper(running);
  RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), program.c_str(), "11");
  RawSetText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), program.c_str(), "10");
  EXPECT_EQ(1, LaunchDelayedEntries(10));  // handled: it runs
  Sleep(1000);
  EXPECT_EQ(1, Count(WitnessLog(), "delayrun.exe"));  // the first start only
}

// The uninstaller's "-Restore" puts every delayed program back.
TEST_F(Delayed, ExplorerRestoreSwitchMovesEveryDelayedProgramBack) {
  const std::pair<const char*, const char*> planted[] = {{"Quoted", "\"c:\\apps dir\\q.exe\" /q"},
                                                         {"Plain", "c:\\apps\\plain.exe"}};
  for (const auto& [name, command] : planted) {
    RawSetText(HKEY_CURRENT_USER, kUserRun, name, command);
    ASSERT_EQ(kDelayDone, DelayStartupEntry(nullptr, Listed(name)));
  }
  ASSERT_EQ(2, CountDelayedEntries());
  Program restore(ProgramPath("SentrelEx.exe"), "-Restore");
  ASSERT_TRUE(restore.started());
  EXPECT_EQ(0u, restore.WaitForExit(15000));
  for (const auto& [name, command] : planted) EXPECT_EQ(command, RawText(HKEY_CURRENT_USER, kUserRun, name));
  EXPECT_EQ(0, CountDelayedEntries());
}

// ---- The came-back alert, answered by the hide options -------------------------

TEST_F(Delayed, EntryBackWhileDelayedRaisesTheCameBackAlertBothWays) {
  DWORD off = 0;  // the check hands over instead of answering while UAC is on
  RawSet(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "EnableLUA", REG_DWORD,
         &off, sizeof off);
  for (const char* hide : {"1", "2"}) {
    SCOPED_TRACE(hide);
    RawSetText(HKEY_CURRENT_USER, kUserRun, "Back", "c:\\apps\\back.exe -x");
    ASSERT_EQ(kDelayDone, DelayStartupEntry(nullptr, Listed("Back")));
    InitRegStartups();  // every other entry of this machine is known
    RawSetText(HKEY_CURRENT_USER, kUserRun, "Back", "c:\\apps\\back.exe -x");  // written back by its program
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAlerts", "0");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "HideStartup", hide);
    LoadOptions();
    Monitor() = MonitorState{};
    EXPECT_EQ(1, CheckStartupPrograms());
    EXPECT_EQ("11", RawText(HKEY_CURRENT_USER, kBaseline, "c:\\apps\\back.exe -x"));
    if (hide[0] == '1') {  // back on the regular list, the delayed record gone
      EXPECT_EQ("c:\\apps\\back.exe -x", RawText(HKEY_CURRENT_USER, kUserRun, "Back"));
      EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kDelay.c_str(), "C:\\APPS\\BACK.EXE"));
      EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), "C:\\APPS\\BACK.EXE"));
    } else {  // disabled
      EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Back"));
      EXPECT_EQ("11", RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled", "Back"));
    }
    Clean();
  }
}

// ---- The pages -------------------------------------------------------------------

class Pages : public Delayed {
 protected:
  void SetUp() override {
    Delayed::SetUp();
    Process() = ProcessState{};
    LoadOptions();
    StartExplorerInProcess();
  }
  void TearDown() override {
    EndExplorerInProcess();
    Delayed::TearDown();
  }
  static void OnPage(UINT command, const std::function<void(HWND page)>& steps) {
    WithSheet(command, [&](HWND, HWND page) { steps(page); });
  }
};

TEST_F(Pages, DelayedStartRowsOptionsRemoveAndMoveBack) {
  const std::string present = Upper(Witness("delaypage.exe"));
  RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), present.c_str(), "11");
  RawSetText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), present.c_str(), "90");
  RawSetText(HKEY_CURRENT_USER, DelayKey("Title").c_str(), present.c_str(), "Present");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Plain", "c:\\apps\\plain.exe");
  ASSERT_EQ(kDelayDone, DelayStartupEntry(nullptr, Listed("Plain")));
  std::vector<std::string> titles, commands, status, delays, afterOptions, afterRemove;
  std::string removeQuestion, noSelection;
  OnPage(IDC_CMD_SHOW_DELAY, [&](HWND page) {
    titles = Column(page, 0);
    commands = Column(page, 1);
    status = Column(page, 2);
    delays = Column(page, 3);
    // Options: 2 minutes 10 seconds, minimised, new parameters.
    Select(page, {RowWith(page, 0, "Present", true)});
    PostMessageA(page, WM_COMMAND, IDC_DELAY_OPTIONS, 0);
    HWND dialog = nullptr;
    for (int i = 0; i < 300 && !dialog; ++i) {
      dialog = FindWindowA(nullptr, LoadText(IDS_PROGRAM_DELAY_STARTUP_OPTIONS).c_str());
      if (!dialog) Sleep(20);
    }
    ASSERT_NE(nullptr, dialog);
    SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_SETCURSEL, 2, 0);
    SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_SETCURSEL, 1, 0);
    SendDlgItemMessageA(dialog, IDC_DELAY_SHOW_AS, CB_SETCURSEL, 1, 0);
    SetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, " -later");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 250 && IsWindow(dialog); ++i) Sleep(20);
    SendMessageA(page, WM_NULL, 0, 0);
    afterOptions = Column(page, 3);
    // Remove, answered Yes: back to Windows start-up.
    Select(page, {RowWith(page, 0, "Plain", true)});
    removeQuestion = AnswerCommand(page, IDC_PAGE_REMOVE, IDYES);
    afterRemove = Column(page, 0);
    Select(page, {});
    noSelection = AnswerCommand(page, IDC_DELAY_RESTORE, IDOK);
  });
  ASSERT_EQ(2u, titles.size());
  const int p = titles[0] == "Present" ? 0 : 1, q = 1 - p;
  EXPECT_EQ("Plain", titles[q]);
  EXPECT_EQ("DELAYPAGE.EXE", Upper(commands[p]));
  EXPECT_EQ("", status[p]);
  EXPECT_EQ(LoadText(IDS_LOCAL_FILE_NOT_FOUND), status[q]);
  EXPECT_EQ("1 Min. : 30 Sec.", delays[p]);
  EXPECT_EQ("30 Sec.", delays[q]);
  EXPECT_EQ("130", RawText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), present.c_str()));
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, DelayKey("OpenAs").c_str(), present.c_str()));
  EXPECT_EQ(" -later", RawText(HKEY_CURRENT_USER, DelayKey("Parameters").c_str(), present.c_str()));
  EXPECT_EQ("Present", RawText(HKEY_CURRENT_USER, DelayKey("Title").c_str(), present.c_str()));
  EXPECT_NE(afterOptions, delays);
  EXPECT_NE(std::string::npos, removeQuestion.find("removed from the Delayed Start list")) << removeQuestion;
  EXPECT_EQ(std::vector<std::string>{"Present"}, afterRemove);
  EXPECT_EQ("c:\\apps\\plain.exe", RawText(HKEY_CURRENT_USER, kUserRun, "Plain"));
  EXPECT_NE(std::string::npos, noSelection.find("No selection has been made.")) << noSelection;
}

TEST_F(Pages, StartupPageMovesTheSelectedEntryToDelayedStart) {
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Plain", "c:\\apps\\plain.exe");
  std::vector<std::string> left;
  OnPage(IDC_CMD_SHOW_STARTUP, [&](HWND page) {
    Select(page, {RowWith(page, 0, "Plain", true)});
    SendMessageA(page, WM_COMMAND, IDM_STARTUP_MOVE_TO_DELAY, 0);
    left = Column(page, 0);
  });
  EXPECT_EQ(-1, [&] {
    for (size_t i = 0; i < left.size(); ++i)
      if (left[i] == "Plain") return static_cast<int>(i);
    return -1;
  }());
  EXPECT_EQ("11", RawText(HKEY_CURRENT_USER, kDelay.c_str(), "C:\\APPS\\PLAIN.EXE"));
}

TEST_F(Pages, ActiveTasksKillsTheSelectedProgramAndRecordsIt) {
  const std::string history = HistoryFile();
  DeleteFileA(history.c_str());
  Program task(Witness("killme.exe"), "-stay");
  ASSERT_TRUE(task.started());
  Sleep(500);
  std::string noSelection;
  bool listed = false, goneAfter = false;
  OnPage(IDC_CMD_SHOW_ACTIVE_TASKS, [&](HWND page) {
    Select(page, {});
    noSelection = AnswerCommand(page, IDC_TASKS_KILL, IDOK);
    const int row = RowWith(page, 0, "killme.exe", true);
    listed = row >= 0;
    Select(page, {row});
    SendMessageA(page, WM_COMMAND, IDC_TASKS_KILL, 0);
    goneAfter = RowWith(page, 0, "killme.exe", true) < 0;
  });
  EXPECT_NE(std::string::npos, noSelection.find("No selection has been made.")) << noSelection;
  EXPECT_TRUE(listed);
  EXPECT_NE(STILL_ACTIVE, task.WaitForExit(5000));
  EXPECT_TRUE(goneAfter);
  const std::string text = ReadWholeFile(history);
  EXPECT_NE(std::string::npos, text.find("TASK_Kill")) << text;
  EXPECT_NE(std::string::npos, Upper(text).find("KILLME.EXE")) << text;
  DeleteFileA(history.c_str());
}

// ---- The real monitor ---------------------------------------------------------------

TEST_F(Delayed, RealMonitorLaunchesDueProgramsOnceAfterItsStart) {
  ASSERT_EQ(nullptr, FindWindowA("Sentrel", nullptr)) << "a monitor is already running";
  // Without its explorer the monitor shows no first-run page.
  MoveFileA(ProgramPath("SentrelEx.exe").c_str(), ProgramPath("SentrelEx.exe.away").c_str());
  const std::string due = Upper(Witness("delaydue.exe")), never = Upper(Witness("delaynever.exe"));
  const std::string busy = Witness("delaybusy.exe");
  Program running(busy, "-stay");
  const std::pair<std::string, const char*> entries[] = {{due, "10"}, {never, "35"}, {Upper(busy), "10"}};
  for (const auto& [program, time] : entries) {
    RawSetText(HKEY_CURRENT_USER, kDelay.c_str(), program.c_str(), "11");
    RawSetText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), program.c_str(), time);
  }
  RawSetText(HKEY_CURRENT_USER, DelayKey("Parameters").c_str(), due.c_str(), " -delayed");
  {
    Program monitor(ProgramPath("Sentrel.exe"), "");
    ASSERT_TRUE(monitor.started());
    // The first launcher call comes on the sixth tick (12 s).
    std::string log;
    for (int i = 0; i < 250 && Count(log = WitnessLog(), "delaydue.exe") == 0; ++i) Sleep(100);
    EXPECT_EQ(1, Count(log, "delaydue.exe\" -delayed")) << log;  // its parameters from the store
    Sleep(13000);                                                // one more step: nothing is started twice, 35 never
    log = WitnessLog();
    EXPECT_EQ(1, Count(log, "delaydue.exe")) << log;
    EXPECT_EQ(0, Count(log, "delaynever.exe")) << log;
    EXPECT_EQ(1, Count(log, "delaybusy.exe")) << log;                                    // its own start only
    EXPECT_EQ("10", RawText(HKEY_CURRENT_USER, DelayKey("Time").c_str(), due.c_str()));  // the store is untouched
    Program quit(ProgramPath("Sentrel.exe"), "-Q");
    quit.WaitForExit(15000);
    monitor.WaitForExit(15000);
  }
  MoveFileA(ProgramPath("SentrelEx.exe.away").c_str(), ProgramPath("SentrelEx.exe").c_str());
  HKEY run;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUserRun, 0, KEY_ALL_ACCESS, &run) == ERROR_SUCCESS) {
    RegDeleteValueA(run, "Sentrel");
    RegCloseKey(run);
  }
}

}  // namespace
