// The tick and patrol state machine driven directly, with a controlled
// clock, a recording area table and a scripted process watch.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "catalogue.h"
#include "companion_changes.h"
#include "fileid.h"
#include "monitor.h"
#include "patrol.h"
#include "processes.h"
#include "service_support.h"
#include "services.h"
#include "services_check.h"
#include "settings.h"
#include "startup.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

std::vector<std::string> g_checked;
DWORD g_now = 100000;
bool g_nextChange = false;
int g_watches = 0;

DWORD Clock() { return g_now; }
int Watch(bool* changed) {
  ++g_watches;
  *changed = g_nextChange;
  g_nextChange = false;
  return 0;
}
DWORD g_checkMs = 0;  // how long the startup check takes
int CheckStartup() {
  g_now += g_checkMs;
  return g_checked.push_back("startup"), 1;
}
int CheckHelpers() { return g_checked.push_back("helpers"), 1; }
int CheckTasks() { return g_checked.push_back("tasks"), 1; }
int CheckNever() { return g_checked.push_back("never"), 1; }

const PatrolArea kTestAreas[] = {
    {"Startup", 0, kOptStart, kOptRealtimeStartup, nullptr, CheckStartup},  // patrol time 2
    {"Helpers", 0, kOptHidden, kOptRealtimeHidden, nullptr, CheckHelpers},  // patrol time 0
    {"Tasks", 1, kOptCookies, kOptRealtimeFileType, nullptr, CheckTasks},   // patrol time from the test
    {"Never", 1, kOptNuts, -1, [] { return false; }, CheckNever},           // condition fails
};

class PatrolStateMachine : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Hidden", "0");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "RealtimeHidden", "1");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Cookies", "1");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Nuts", "1");
    LoadOptions();
    Patrol() = PatrolState{};
    Monitor() = MonitorState{};
    SetPatrolAreas(kTestAreas, 4);
    SetPatrolClock(Clock);
    SetProcessWatch(Watch);
    LoadAreaCountdowns();
    g_checked.clear();
    g_watches = 0;
    g_now = 100000;
    g_checkMs = 0;
    Patrol().referenceTime = g_now;
  }
  void TearDown() override {
    SetPatrolAreas(nullptr, 0);
    SetPatrolClock(nullptr);
    SetProcessWatch(nullptr);
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  }
  // Ticks once, two seconds later; returns the checks it made.
  static std::vector<std::string> Tick() {
    g_now += 2000;
    g_checked.clear();
    PatrolTick();
    return g_checked;
  }
};

TEST_F(PatrolStateMachine, FirstPatrolOnTheSeventeenthTickThenEverySeventeen) {
  std::vector<int> patrols;
  for (int tick = 1; tick <= 17 * 5; ++tick) {
    const int half = Patrol().half;
    const DWORD before = Patrol().referenceTime;
    Tick();
    if (Patrol().referenceTime != before || Patrol().half != half) patrols.push_back(tick);
  }
  EXPECT_EQ((std::vector<int>{17, 34, 51, 68, 85}), patrols);
}

TEST_F(PatrolStateMachine, ExpressBootHoldsTheFirstPatrolFor45Ticks) {
  Monitor().startDelay = 45;
  Monitor().checkRequested = true;
  for (int tick = 1; tick <= 44; ++tick) {
    const DWORD before = Patrol().referenceTime;
    Tick();
    ASSERT_EQ(before, Patrol().referenceTime) << "patrol on tick " << tick;
  }
  EXPECT_EQ(0, g_watches);  // no immediate check during the delay either
  const DWORD before = Patrol().referenceTime;
  Tick();
  EXPECT_NE(before, Patrol().referenceTime);
}

TEST_F(PatrolStateMachine, HalvesAlternateAndAreasCountDown) {
  std::vector<std::string> all;
  for (int tick = 1; tick <= 17 * 4; ++tick)
    for (const std::string& check : Tick()) all.push_back(std::to_string(tick) + ":" + check);
  // Startup (time 2) on the second first-half patrol: the third patrol, and
  // the fifth would be next. Tasks (time 1) on every second-half patrol.
  // Patrol time 0 and a failed condition never check.
  EXPECT_EQ((std::vector<std::string>{"34:tasks", "51:startup", "68:tasks"}), all);
}

TEST_F(PatrolStateMachine, ImmediateCheckBringsRealtimeAreasForward) {
  Monitor().checkRequested = true;
  g_nextChange = true;
  Tick();
  EXPECT_EQ(1, g_watches);
  EXPECT_FALSE(Monitor().checkRequested);
  EXPECT_EQ(16, Patrol().tickCounter);
  // The next tick patrols the first half: startup and the area whose patrol
  // time is 0 but whose real-time option is set, once.
  std::vector<std::string> checks = Tick();
  EXPECT_EQ((std::vector<std::string>{"startup", "helpers"}), checks);
  for (int tick = 0; tick < 17 * 4; ++tick)
    for (const std::string& check : Tick()) EXPECT_NE("helpers", check);
}

TEST_F(PatrolStateMachine, FourthConsecutiveRequestIsDropped) {
  for (int tick = 1; tick <= 4; ++tick) {
    Monitor().checkRequested = true;
    Tick();
  }
  EXPECT_EQ(3, g_watches);
  EXPECT_EQ(0, Patrol().consecutiveRequests);
  Monitor().checkRequested = true;
  Tick();
  EXPECT_EQ(4, g_watches);
}

TEST_F(PatrolStateMachine, ChangedAreaIsCheckedAloneAndOnlyPutOffByTheLimit) {
  // Checked on the tick that finds it, alone: the halves' turn and the
  // other countdowns stay as they were.
  Monitor().changedAreas = kChangedStartup | kChangedFileTypes;  // the latter's Realtime option is off
  const int tasksCountdown = Patrol().countdown[2];
  EXPECT_EQ((std::vector<std::string>{"startup"}), Tick());
  EXPECT_EQ(0, Patrol().half);
  EXPECT_EQ(tasksCountdown, Patrol().countdown[2]);
  EXPECT_EQ(0u, Monitor().changedAreas);
  // A change that comes as the fourth request for changes in a row waits
  // one tick, and is then checked: left to the patrol it could wait for
  // hours.
  Tick();  // no request: the count of requests in a row starts again
  for (int tick = 1; tick <= 3; ++tick) {
    Monitor().changedAreas = kChangedFileTypes;  // served, checks nothing
    Tick();
  }
  Monitor().changedAreas = kChangedStartup;
  EXPECT_TRUE(Tick().empty());
  EXPECT_EQ((std::vector<std::string>{"startup"}), Tick());
}

TEST_F(PatrolStateMachine, ChangesNeverUseUpTheRequestsForThePrograms) {
  // Changes on three ticks in a row, then a change in the programs: it is
  // the first request for them, and is served.
  for (int tick = 1; tick <= 3; ++tick) {
    Monitor().changedAreas = kChangedFileTypes;
    Tick();
  }
  Monitor().checkRequested = true;
  Tick();
  EXPECT_EQ(1, g_watches);
  // And the programs' requests never put a change off.
  for (int tick = 1; tick <= 3; ++tick) {
    Monitor().checkRequested = true;
    Tick();
  }
  Monitor().changedAreas = kChangedStartup;
  EXPECT_EQ((std::vector<std::string>{"startup"}), Tick());
}

// The ticks on which the startup area was checked, the companion naming it
// changed on every tick up to the given one.
std::vector<int> ChangeChecks(int changingTicks, int ticks) {
  Patrol().tickCounter = -1000;  // no regular patrol in between
  std::vector<int> checked;
  for (int tick = 1; tick <= ticks; ++tick) {
    if (tick <= changingTicks) Monitor().changedAreas = kChangedStartup;
    g_now += 2000;
    g_checked.clear();
    PatrolTick();
    if (!g_checked.empty()) checked.push_back(tick);
  }
  return checked;
}

TEST_F(PatrolStateMachine, AreaThatKeepsChangingRestsLongerAndIsCheckedWhenItsRestEnds) {
  // Two checks in a row, then rests of 2, 4 and 8 ticks; the change seen
  // during the last rest is checked when it ends.
  EXPECT_EQ((std::vector<int>{1, 2, 3, 6, 11, 20}), ChangeChecks(16, 30));
  // Quiet for longer than a tick past its rest (16 ticks): checked at once
  // again.
  EXPECT_TRUE(ChangeChecks(0, 18).empty());
  EXPECT_EQ((std::vector<int>{1, 2}), ChangeChecks(2, 3));
}

TEST_F(PatrolStateMachine, SlowCheckForAChangeRestsTwentyTimesItsTime) {
  g_checkMs = 1500;  // 15 ticks of rest
  EXPECT_EQ((std::vector<int>{1, 17, 33}), ChangeChecks(40, 40));
}

TEST_F(PatrolStateMachine, RequestsWaitWhileAnAlertIsOpen) {
  Monitor().checkRequested = true;
  Monitor().alertOpen = true;
  Tick();
  EXPECT_EQ(0, g_watches);
  EXPECT_TRUE(Monitor().checkRequested);
  Monitor().alertOpen = false;
  Tick();
  EXPECT_EQ(1, g_watches);
}

TEST_F(PatrolStateMachine, TwoPatrolsUnderASecondApart) {
  g_now += 5000;
  EXPECT_EQ(1, RunPatrol());
  const int half = Patrol().half;
  g_now += 400;
  EXPECT_EQ(0, RunPatrol());
  EXPECT_EQ(g_now, Patrol().referenceTime);  // still moves the reference time
  EXPECT_EQ(half, Patrol().half);            // and completes nothing
  EXPECT_FALSE(Patrol().running);
}

TEST_F(PatrolStateMachine, HandOverInTheSettingsWatchEndsThePatrol) {
  SetSettingsWatch([] { return 1; });
  Patrol().countdown[0] = 1;  // the startup area is due
  g_now += 5000;
  g_checked.clear();
  EXPECT_EQ(1, RunPatrol());
  SetSettingsWatch(nullptr);
  EXPECT_TRUE(g_checked.empty());
  EXPECT_EQ(0, Patrol().half);  // not a completed patrol
  EXPECT_FALSE(Patrol().running);
}

std::vector<int> g_launchSteps;
int Launch(int seconds) {
  g_launchSteps.push_back(seconds);
  return seconds % 10 == 0 && seconds <= 20 ? 1 : 0;  // one program at 10 s, one at 20 s
}

TEST_F(PatrolStateMachine, DelayedProgramsStartEverySixthTickDuringTheStartDelay) {
  g_launchSteps.clear();
  SetDelayedLauncher(Launch);
  Monitor().startDelay = 45;
  Patrol().delayedTotal = 2;
  for (int tick = 1; tick <= 18; ++tick) Tick();
  SetDelayedLauncher(nullptr);
  // Steps of 10 seconds on ticks 6 and 12; with both programs started the
  // launcher is not called again.
  EXPECT_EQ((std::vector<int>{10, 20}), g_launchSteps);
  EXPECT_EQ(2, Patrol().launched);
}

TEST_F(PatrolStateMachine, LauncherKeepsStepping) {
  g_launchSteps.clear();
  SetDelayedLauncher([](int seconds) { return g_launchSteps.push_back(seconds), 0; });
  Patrol().delayedTotal = 1;  // a program whose time never comes
  for (int tick = 1; tick <= 24; ++tick) Tick();
  SetDelayedLauncher(nullptr);
  EXPECT_EQ((std::vector<int>{10, 20, 30, 40}), g_launchSteps);
}

TEST_F(PatrolStateMachine, NoHandOverWithoutUserAccountControl) {
  const char* policies = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  RawValue saved = RawGet(HKEY_LOCAL_MACHINE, policies, "EnableLUA");
  DWORD off = 0;
  RawSet(HKEY_LOCAL_MACHINE, policies, "EnableLUA", REG_DWORD, &off, sizeof off);
  EXPECT_EQ(0, ElevationHandOver());
  if (saved.type)
    RawSet(HKEY_LOCAL_MACHINE, policies, "EnableLUA", saved.type, saved.data.data(),
           static_cast<DWORD>(saved.data.size()));
}

// ---- The startup programs comparison, answered by the hide options --------------

class StartupCheck : public testing::Test {
 protected:
  static constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  static constexpr const char* kUserRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  void SetUp() override {
    Clean();
    // The comparison hands over instead of answering while UAC is on.
    DWORD off = 0;
    RawSet(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "EnableLUA", REG_DWORD,
           &off, sizeof off);
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    for (const char* key : {kUserRun, kUserRunOnce})
      for (const char* name : {"Newcomer", "Once", "Equals"})
        if (HKEY opened; RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS) {
          RegDeleteValueA(opened, name);
          RegCloseKey(opened);
        }
    Monitor() = MonitorState{};
  }
  static void Answer(const char* hide, const char* hideRunOnce = "0") {
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAlerts", "0");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "HideStartup", hide);
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "HideRunOnce", hideRunOnce);
    LoadOptions();
  }
  static std::string Baseline(const char* name) {
    return RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Sentrel\\Run", name);
  }
};

TEST_F(StartupCheck, AllowedEntriesJoinTheBaselineWithColons) {
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Equals", "c:\\apps\\eq.exe /x=1");
  Answer("1");
  EXPECT_EQ(1, CheckStartupPrograms());
  EXPECT_EQ("11", Baseline("c:\\apps\\eq.exe /x:1"));
  EXPECT_EQ(0, StartupBaselineChanged());  // recognised on the next patrol
}

TEST_F(StartupCheck, RefusedEntriesAreRemovedAndLeaveNoBaseline) {
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Newcomer", "c:\\apps\\newcomer.exe");
  Answer("2");
  EXPECT_EQ(1, CheckStartupPrograms());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Newcomer"));
  EXPECT_EQ("<missing>", Baseline("c:\\apps\\newcomer.exe"));
}

TEST_F(StartupCheck, RunOnceEntriesArePassedOverWhenAsked) {
  RawSetText(HKEY_CURRENT_USER, kUserRunOnce, "Once", "c:\\apps\\once.exe");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Newcomer", "c:\\apps\\newcomer.exe");
  Answer("1", "1");
  EXPECT_EQ(1, CheckStartupPrograms());
  EXPECT_EQ("<missing>", Baseline("c:\\apps\\once.exe"));  // no record at all
  EXPECT_EQ("11", Baseline("c:\\apps\\newcomer.exe"));     // later entries still checked
}

// A key whose access list grants reading only, or everything again.
bool SetKeyAccess(HKEY root, const char* path, REGSAM granted) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  alignas(DWORD) char buffer[256];
  auto* acl = reinterpret_cast<PACL>(buffer);
  SECURITY_DESCRIPTOR descriptor;
  const bool done = InitializeAcl(acl, sizeof buffer, ACL_REVISION) &&
                    AddAccessAllowedAce(acl, ACL_REVISION, granted | READ_CONTROL | WRITE_DAC, everyone) &&
                    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
                    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
  FreeSid(everyone);
  RegCloseKey(key);
  return done;
}

TEST_F(StartupCheck, UnwritableBaselineIsNotRetriedAndComesBackNextPatrol) {
  const char* baseline = "Software\\Orvane Works\\Sentrel\\Run";
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Newcomer", "c:\\apps\\newcomer.exe");
  ASSERT_TRUE(SetKeyAccess(HKEY_CURRENT_USER, baseline, KEY_READ));
  HKEY probe;
  const bool refused = RegOpenKeyExA(HKEY_CURRENT_USER, baseline, 0, KEY_SET_VALUE, &probe) != ERROR_SUCCESS;
  if (!refused) RegCloseKey(probe);
  Answer("1");
  EXPECT_EQ(1, CheckStartupPrograms());
  EXPECT_EQ("c:\\apps\\newcomer.exe", RawText(HKEY_CURRENT_USER, kUserRun, "Newcomer"));  // allowed, kept
  ASSERT_TRUE(SetKeyAccess(HKEY_CURRENT_USER, baseline, KEY_ALL_ACCESS));
  if (!refused) GTEST_SKIP() << "this registry does not enforce key access lists";
  EXPECT_EQ("<missing>", Baseline("c:\\apps\\newcomer.exe"));
  EXPECT_EQ(1, StartupBaselineChanged());  // still unknown: raised again on the next patrol
  EXPECT_EQ(1, CheckStartupPrograms());
  EXPECT_EQ("11", Baseline("c:\\apps\\newcomer.exe"));
}

TEST_F(StartupCheck, CommandsAtTheFieldLimitAreRecognised) {
  std::string command = "c:\\apps\\" + std::string(259 - 12, 'x') + ".exe";
  ASSERT_EQ(259u, command.size());
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Newcomer", command);
  Answer("1");
  EXPECT_EQ(1, CheckStartupPrograms());
  EXPECT_EQ("11", Baseline(command.c_str()));
  EXPECT_EQ(0, StartupBaselineChanged());
}

// A refused entry naming a process Windows cannot run without goes from the
// registry; the process is left running.
TEST_F(StartupCheck, RefusalNeverEndsAVitalWindowsProcess) {
  const DWORD services = FindProcessOfProgram("services.exe");
  if (services == 0) GTEST_SKIP() << "no services.exe process on this system";
  for (const std::string& command : {std::string("services.exe"), SystemFolder() + "\\services.exe -x"}) {
    RawSetText(HKEY_CURRENT_USER, kUserRun, "Newcomer", command);
    Answer("2");
    EXPECT_EQ(1, CheckStartupPrograms()) << command;
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Newcomer")) << command;
    EXPECT_EQ(services, FindProcessOfProgram("services.exe")) << command;
  }
}

// A flood of known entries ahead of it must not push a new one out of sight.
TEST_F(StartupCheck, NewEntryBeyondAFullListIsStillCaught) {
  HKEY run = nullptr, baseline = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kUserRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr);
  RegCreateKeyExA(HKEY_CURRENT_USER, kStartupBaselineKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &baseline, nullptr);
  ASSERT_TRUE(run && baseline);
  for (int i = 0; i < kMaxCatalogueEntries; ++i) {
    char name[32], command[64];
    wsprintfA(name, "Flood %04d", i);
    wsprintfA(command, "c:\\flood\\%04d.exe", i);
    RegSetValueExA(run, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), lstrlenA(command) + 1);
    RegSetValueExA(baseline, command, 0, REG_SZ, reinterpret_cast<const BYTE*>("11"), 3);
  }
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Newcomer", "c:\\apps\\newcomer.exe");
  Answer("2");
  EXPECT_EQ(1, CheckStartupPrograms());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Newcomer"));
  for (int i = 0; i < kMaxCatalogueEntries; ++i) {
    char name[32];
    wsprintfA(name, "Flood %04d", i);
    RegDeleteValueA(run, name);
  }
  RegCloseKey(run);
  RegCloseKey(baseline);
}

}  // namespace

// ---- The services check, answered by the hide options --------------------------

class ServicesCheck : public testing::Test {
 protected:
  void SetUp() override {
    Clean();
    DWORD off = 0;  // the check hands over instead of answering while UAC is on
    RawSet(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "EnableLUA", REG_DWORD,
           &off, sizeof off);
    ForgetServicesSignature();
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    Monitor() = MonitorState{};
  }
  static void Answer(const char* hide) {
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAlerts", "0");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "HideServices", hide);
    LoadOptions();
  }
  static std::string Baseline(const char* title) { return RawText(HKEY_CURRENT_USER, kServicesBaselineKey, title); }
  static DWORD Start(const char* name) { return RawDword(HKEY_LOCAL_MACHINE, ServiceKeyPath(name).c_str(), "Start"); }
};

TEST_F(ServicesCheck, HiddenAnswersAllowOrDisableAndAskOnlyOnce) {
  ASSERT_EQ(1, CreateServicesBaseline());
  const std::string program = TestFolder() + "\\test_service.exe";
  ScratchService allowed("SvcTstPatrolYes", "Svc Patrol Allowed", "\"" + program + "\"", SERVICE_WIN32_OWN_PROCESS,
                         SERVICE_AUTO_START);
  ASSERT_TRUE(allowed.created());
  Answer("1");
  EXPECT_EQ(1, CheckForNewServices());
  EXPECT_EQ("700", Baseline("Svc Patrol Allowed"));
  EXPECT_EQ(2u, Start("SvcTstPatrolYes"));
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\Services", program.c_str()));

  ScratchService refused("SvcTstPatrolNo", "Svc Patrol Refused", "C:\\svc\\patrol-no.exe", SERVICE_WIN32_OWN_PROCESS,
                         SERVICE_AUTO_START);
  ASSERT_TRUE(refused.created());
  Answer("2");
  EXPECT_EQ(1, CheckForNewServices());
  EXPECT_EQ(4u, Start("SvcTstPatrolNo"));
  EXPECT_EQ("700", Baseline("Svc Patrol Refused"));
  EXPECT_EQ(2u, Start("SvcTstPatrolYes"));  // known: left alone

  // Known now, neither is refused again, whether the check lists in full or not.
  DWORD automatic = SERVICE_AUTO_START;
  RawSet(HKEY_LOCAL_MACHINE, ServiceKeyPath("SvcTstPatrolNo").c_str(), "Start", REG_DWORD, &automatic,
         sizeof automatic);
  EXPECT_EQ(1, CheckForNewServices());
  ForgetServicesSignature();
  EXPECT_EQ(1, CheckForNewServices());
  EXPECT_EQ(2u, Start("SvcTstPatrolNo"));
}

TEST_F(ServicesCheck, NewServiceIsNotTakenForAKnownOneItsListedTitleResembles) {
  const std::string shared(130, 'x');
  struct Case {
    const char* label;
    std::string known, added;
  } cases[] = {
      {"both hold the program's name", "Sentrel Helper One", "Sentrel Helper Two"},
      {"alike up to the title's width", shared + " One", shared + " Two"},
  };
  ASSERT_EQ(1, CreateServicesBaseline());
  for (const Case& c : cases) {
    ScratchService known("SvcTstAlikeKnown", c.known, "C:\\svc\\alike-known.exe", SERVICE_WIN32_OWN_PROCESS,
                         SERVICE_AUTO_START);
    ASSERT_TRUE(known.created()) << c.label;
    Answer("1");
    EXPECT_EQ(1, CheckForNewServices()) << c.label;
    ScratchService added("SvcTstAlikeAdded", c.added, "C:\\svc\\alike-added.exe", SERVICE_WIN32_OWN_PROCESS,
                         SERVICE_AUTO_START);
    ASSERT_TRUE(added.created()) << c.label;
    Answer("2");
    EXPECT_EQ(1, CheckForNewServices()) << c.label;
    EXPECT_EQ(4u, Start("SvcTstAlikeAdded")) << c.label;
    EXPECT_EQ(2u, Start("SvcTstAlikeKnown")) << c.label;
    EXPECT_EQ("700", Baseline(c.added.c_str())) << c.label;
  }
}

TEST_F(ServicesCheck, ProgramReplacedByAnotherMakersIsAskedAbout) {
  ASSERT_EQ(1, CreateServicesBaseline());
  const std::string fixtures = TestFolder() + "\\fixtures\\";
  const std::string program = fixtures + "swapped.exe";
  ASSERT_TRUE(CopyFileA((fixtures + "opsys.dll").c_str(), program.c_str(), FALSE));  // Microsoft's
  ScratchService swapped("SvcTstSwapped", "Svc Patrol Swapped", "\"" + program + "\"", SERVICE_WIN32_OWN_PROCESS,
                         SERVICE_AUTO_START);
  ASSERT_TRUE(swapped.created());
  Answer("2");
  for (int i = 0; i < 2; ++i) EXPECT_EQ(1, CheckForNewServices());  // left out, on every check
  EXPECT_EQ(2u, Start("SvcTstSwapped"));

  ASSERT_TRUE(CopyFileA((fixtures + "multi.dll").c_str(), program.c_str(), FALSE));
  HANDLE file = CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  SetFileTime(file, nullptr, nullptr, &now);  // written just now, as a replacement is
  CloseHandle(file);
  EXPECT_EQ(1, CheckForNewServices());
  EXPECT_EQ(4u, Start("SvcTstSwapped"));
  DeleteFileA(program.c_str());
}

TEST_F(ServicesCheck, RefusalActsOnTheListedServiceNotOnItsNamesake) {
  // Microsoft's service, left out of the listing, and a bare key of the same
  // display name that runs another program.
  const std::string fixtures = TestFolder() + "\\fixtures\\";
  const std::string program = fixtures + "namesake.exe";
  ASSERT_TRUE(CopyFileA((fixtures + "opsys.dll").c_str(), program.c_str(), FALSE));
  ScratchService microsofts("SvcTstNamesakeA", "Svc Patrol Namesake", "\"" + program + "\"", SERVICE_WIN32_OWN_PROCESS,
                            SERVICE_AUTO_START);
  ASSERT_TRUE(microsofts.created());
  ASSERT_EQ(1, CreateServicesBaseline());
  RawServiceKey twin("SvcTstNamesakeB");
  twin.Text("ImagePath", "C:\\svc\\namesake.exe");
  twin.Text("DisplayName", "Svc Patrol Namesake");
  twin.Dword("Start", SERVICE_AUTO_START);
  Answer("2");
  EXPECT_EQ(1, CheckForNewServices());
  EXPECT_EQ(4u, RawDword(HKEY_LOCAL_MACHINE, twin.path().c_str(), "Start"));
  EXPECT_EQ(2u, Start("SvcTstNamesakeA"));
  DeleteFileA(program.c_str());
}

TEST_F(ServicesCheck, DisplayNameOutsideTheCodePageIsNotTakenForAKnownOne) {
  ASSERT_EQ(1, CreateServicesBaseline());
  RawSetText(HKEY_CURRENT_USER, kServicesBaselineKey, "Svc Patrol Lookalike", "700");
  ScratchService::Remove("SvcTstLookalike");
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(nullptr, manager);
  SC_HANDLE service = CreateServiceW(manager, L"SvcTstLookalike", L"Svc Patrol \x0141ookalike", SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE,
                                     L"C:\\svc\\lookalike.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, service);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  Answer("2");
  EXPECT_EQ(1, CheckForNewServices());
  EXPECT_EQ(4u, Start("SvcTstLookalike"));
  ScratchService::Remove("SvcTstLookalike");
}
