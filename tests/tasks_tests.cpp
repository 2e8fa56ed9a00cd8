// The scheduled tasks area against Wine's real Task Scheduler: the list, one
// task's texts, deletion, the baseline built by the settings initialisation,
// the Scheduled Tasks page, hostile task files, the 95/98/Me family and a
// scheduler that cannot be started.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "explorer.h"
#include "first_seen.h"
#include "initialization.h"
#include "list_page.h"
#include "process_support.h"
#include "resource.h"
#include "settings.h"
#include "sheet_support.h"
#include "strings.h"
#include "task_support.h"
#include "tasks.h"
#include "tasks_page.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kNames[] = {"TT Never",   "TT Five Past", "TT Half Past", "TT No Program",
                              "TT Junk",    "TT Order 1",   "TT Order 2",   "TT Order 3",
                              "TT Order 4", "TT Order 5",   "TT Order 6",   "TT Order 7"};
// A name the ANSI code page cannot hold (U+4E00), and one longer than a title.
const std::wstring kWideName = L"TT Wide \x4E00";
const std::string kLongName = "TT Long " + std::string(140, 'x');

std::string Notepad() {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  return std::string(system) + "\\notepad.exe";
}

const CatalogueEntry* Listed(const std::string& title) {
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).title == title) return &CatalogueAt(i);
  return nullptr;
}

class Tasks : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    CleanTasks();
    Process() = ProcessState{};
    LoadOptions();
  }
  void TearDown() override {
    ClearCatalogueEntries();
    CleanTasks();
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  }
  static bool NineX() { return Is9xFamily(); }
  static void CleanTasks() {
    for (const char* name : kNames) DeleteTaskFile(name);
    DeleteTaskFile(kLongName);
    DeleteFileW((Wide(TasksFolder()) + L"\\" + kWideName + L".job").c_str());
  }
};

// ---- Texts ---------------------------------------------------------------------

TEST(TaskTexts, RunTimesAreMonthFirstOnATwelveHourClock) {
  struct Case {
    SYSTEMTIME time;
    const char* text;
  } cases[] = {
      {{0, 0, 0, 0, 0, 0, 0, 0}, "Never"},
      {{2030, 1, 3, 2, 0, 5, 0, 0}, "01/02/2030  12:05 AM"},
      {{2030, 1, 3, 2, 12, 30, 0, 0}, "01/02/2030  12:30 PM"},
      {{2009, 12, 4, 31, 23, 59, 0, 0}, "12/31/2009  11:59 PM"},
      {{2009, 7, 4, 4, 11, 0, 0, 0}, "07/04/2009  11:00 AM"},
      {{0, 0, 0, 0, 9, 15, 0, 0}, "Never"},  // a time without a date is no time
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, RunTimeText(c.time)) << c.text;
}

TEST(TaskTexts, StatusAndNames) {
  EXPECT_EQ("Status: Running", TaskStatusText(SCHED_S_TASK_RUNNING));
  EXPECT_EQ("Status: Not Scheduled", TaskStatusText(SCHED_S_TASK_NOT_SCHEDULED));
  EXPECT_EQ("Status: Ready", TaskStatusText(SCHED_S_TASK_HAS_NOT_RUN));
  EXPECT_EQ("Status: Ready", TaskStatusText(SCHED_S_TASK_READY));
  EXPECT_EQ(L"Backup", WorkItemName(L"Backup.job"));
  EXPECT_EQ(L"Backup", WorkItemName(L"Backup.JOB"));
  EXPECT_EQ(L"Backup.job", WorkItemName(L"Backup.job.job"));
  EXPECT_EQ(L".job", WorkItemName(L".job"));
  EXPECT_EQ(L"Backup", WorkItemName(L"Backup"));
  EXPECT_EQ("Backup", TaskNameText("Backup.job"));
  EXPECT_EQ("abcd", TaskNameText("abcd"));
}

// ---- The list -------------------------------------------------------------------

TEST_F(Tasks, ListShowsProgramsAndRunTimes) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  ASSERT_TRUE(CreateTask("TT Five Past", Notepad(), {2030, 1, 2, 0, 5}));
  ASSERT_TRUE(CreateTask("TT Half Past", "c:\\apps\\half past.exe", {2030, 1, 2, 12, 30}));
  const int count = EnumerateTasks();
  EXPECT_EQ(count, CatalogueCount());
  struct Expected {
    const char* title;
    std::string path, next;
  } expected[] = {
      {"TT Never.job", Notepad(), "Never"},
      {"TT Five Past.job", Notepad(), "01/02/2030  12:05 AM"},
      {"TT Half Past.job", "c:\\apps\\half past.exe", "01/02/2030  12:30 PM"},
  };
  for (const Expected& e : expected) {
    const CatalogueEntry* entry = Listed(e.title);
    ASSERT_NE(nullptr, entry) << e.title;
    EXPECT_TRUE(lstrcmpiA(e.path.c_str(), entry->path.c_str()) == 0) << entry->path;
    EXPECT_EQ(e.next, entry->data) << e.title;
    EXPECT_EQ("Never", entry->description) << e.title;  // never ran
    EXPECT_EQ(kTypeScheduledTask, entry->type);
  }
}

// A task without a program is listed (it can be activated); bytes that are no
// task cannot be, and are left out without upsetting the others.
TEST_F(Tasks, TaskWithoutProgramIsListedAndJunkFileIsLeftOut) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTask("TT No Program", ""));
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  ASSERT_TRUE(WriteJunkJob("TT Junk"));
  EnumerateTasks();
  const CatalogueEntry* empty = Listed("TT No Program.job");
  ASSERT_NE(nullptr, empty);
  EXPECT_EQ("", empty->path);
  EXPECT_NE(nullptr, Listed("TT Never.job"));
  EXPECT_EQ(nullptr, Listed("TT Junk.job"));
  // The junk is not found by the single-task operations either.
  EXPECT_EQ("", TaskNextRunTime("TT Junk.job"));
}

TEST_F(Tasks, OneTaskIsFoundByItsTitleInAnyCase) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTask("TT Half Past", Notepad(), {2030, 1, 2, 12, 30}, "Looks at the clock"));
  EXPECT_EQ("Looks at the clock", TaskComment("tt half past.JOB"));
  EXPECT_EQ("01/02/2030  12:30 PM", TaskNextRunTime("TT Half Past.job"));
  const std::string status = TaskStatus("TT Half Past.job");
  EXPECT_TRUE(status == "Status: Ready" || status == "Status: Not Scheduled") << status;
  // Unknown titles give empty texts; the name without its extension is not the title.
  EXPECT_EQ("", TaskComment("TT Half Past"));
  EXPECT_EQ("", TaskStatus("TT Nothing.job"));
}

TEST_F(Tasks, DeleteRemovesTheTaskAndSaysWhenThereWasNone) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  ASSERT_TRUE(CreateTask("TT Five Past", Notepad(), {2030, 1, 2, 0, 5}));
  EXPECT_EQ(S_OK, DeleteTask("tt never.job"));
  EXPECT_FALSE(TaskFileExists("TT Never"));
  EXPECT_EQ(0, DeleteTask("TT Never.job"));  // gone: not found
  // A listed task is deleted by its exact name.
  EnumerateTasks();
  const CatalogueEntry* listed = Listed("TT Five Past.job");
  ASSERT_NE(nullptr, listed);
  const CatalogueEntry entry = *listed;
  EXPECT_EQ(S_OK, DeleteTask(entry));
  EXPECT_FALSE(TaskFileExists("TT Five Past"));
  EXPECT_EQ(0, DeleteTask(entry));
}

// The settings initialisation of a first run knows every task there is, and
// dates the programs it has seen.
TEST_F(Tasks, FirstRunBuildsTheTaskBaseline) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  ASSERT_TRUE(CreateTask("TT No Program", ""));
  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  InitializeSettings();
  EXPECT_EQ("800", RawText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT Never.job"));
  EXPECT_EQ("800", RawText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT No Program.job"));
  char date[32] = "";
  EXPECT_GT(ReadFirstSeen(Notepad().c_str(), kTypeScheduledTask, date), 0);
  ClearCatalogueEntries();

  // Known: a value that reads non-zero; "0" or text is not.
  CatalogueEntry entry;
  entry.title = entry.name = "TT Other.job";
  EXPECT_EQ(0, IsTaskKnown(entry));
  RawSetText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT Other.job", "0");
  EXPECT_EQ(0, IsTaskKnown(entry));
  RawSetText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT Other.job", "x");
  EXPECT_EQ(0, IsTaskKnown(entry));
  AcceptTask(entry);
  EXPECT_EQ(1, IsTaskKnown(entry));
  ForgetTask(entry);
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT Other.job"));
}

// The scheduler hands its names over five at a time; each five are taken
// from the last to the first.
TEST_F(Tasks, EachBatchOfFiveIsListedFromItsEnd) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  for (int i = 1; i <= 7; ++i) ASSERT_TRUE(CreateTask("TT Order " + std::to_string(i), Notepad()));
  const std::vector<std::wstring> names = EnumeratedNames();
  ASSERT_GE(names.size(), 7u);
  std::vector<std::string> expected;
  for (size_t start = 0; start < names.size(); start += 5) {
    const size_t end = std::min(names.size(), start + 5);
    for (size_t i = end; i-- > start;) {
      char title[MAX_PATH] = "";
      WideCharToMultiByte(CP_ACP, 0, names[i].c_str(), -1, title, sizeof title, nullptr, nullptr);
      expected.push_back(title);
    }
  }
  EnumerateTasks();
  std::vector<std::string> listed;
  for (int i = 0; i < CatalogueCount(); ++i) listed.push_back(CatalogueAt(i).title);
  EXPECT_EQ(expected, listed);
}

// Names the code page cannot hold, or longer than a title, are listed and
// deleted by their exact names, never hidden; the baseline knows the whole name.
TEST_F(Tasks, OddNamesAreListedAndDeletedExactly) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTaskW(kWideName, Notepad()));
  ASSERT_TRUE(CreateTask(kLongName, Notepad()));
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  EnumerateTasks();
  std::vector<CatalogueEntry> odd;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).wideName == kWideName + L".job" || CatalogueAt(i).name == kLongName + ".job")
      odd.push_back(CatalogueAt(i));
  ASSERT_EQ(2u, odd.size());
  for (const CatalogueEntry& entry : odd) {
    EXPECT_EQ(kTypeScheduledTask, entry.type);
    EXPECT_TRUE(lstrcmpiA(Notepad().c_str(), entry.path.c_str()) == 0) << entry.title;
    EXPECT_LE(entry.title.size(), kTitleWidth);
    AcceptTask(entry);
    EXPECT_EQ(1, IsTaskKnown(entry)) << entry.title;
    EXPECT_EQ(S_OK, DeleteTask(entry)) << entry.title;
  }
  EXPECT_EQ("800", RawText(HKEY_CURRENT_USER, kTaskBaselineKey, (kLongName + ".job").c_str()));
  EnumerateTasks();
  EXPECT_EQ(nullptr, Listed(kLongName.substr(0, kTitleWidth)));
  for (int i = 0; i < CatalogueCount(); ++i) EXPECT_NE(kWideName + L".job", CatalogueAt(i).wideName);
  EXPECT_NE(nullptr, Listed("TT Never.job"));  // only those two went
  EXPECT_FALSE(TaskFileExists(kLongName));
}

// ---- 95/98/Me: the agent window and mstask.exe ---------------------------------------

TEST_F(Tasks, WithoutTheAgentNothingIsListedOrDeleted) {
  if (!NineX()) GTEST_SKIP() << "the 95/98/Me family only";
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  EXPECT_EQ(0, IsSchedulerRunning());
  EXPECT_NE(0u, StartScheduler());  // no agent window and no mstask.exe on the path
  EXPECT_FALSE(SchedulerStartedHere());
  EXPECT_EQ(0, EnumerateTasks());
  EXPECT_EQ("", TaskComment("TT Never.job"));
  EXPECT_LT(DeleteTask("TT Never.job"), 0);  // a failure, never "done"
  EXPECT_TRUE(TaskFileExists("TT Never"));
  EXPECT_EQ(1u, StopScheduler());  // no agent to stop
}

// The agent stand-in copied as mstask.exe into the system folder, where
// Windows keeps the agent; removed again afterwards.
std::string SystemFile(const char* name) {
  char system[MAX_PATH] = "";
  GetSystemDirectoryA(system, sizeof system);
  return std::string(system) + "\\" + name;
}

class StandInAgent {
 public:
  explicit StandInAgent(const std::string& copy = SystemFile("mstask.exe")) : copy_(copy) {
    CopyFileA((TestFolder() + "\\agent_window.exe").c_str(), copy_.c_str(), FALSE);
  }
  ~StandInAgent() {
    if (HWND agent = FindWindowA("SAGEWINDOWCLASS", nullptr)) PostMessageA(agent, WM_CLOSE, 0, 0);
    for (int i = 0; i < 50 && !DeleteFileA(copy_.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND; ++i) Sleep(100);
  }

 private:
  std::string copy_;
};

bool AgentGoneWithin(DWORD milliseconds) {
  for (DWORD waited = 0; waited <= milliseconds; waited += 50) {
    if (!IsSchedulerRunning()) return true;
    Sleep(50);
  }
  return false;
}

// mstask.exe on the search path: the list starts the agent, lists the tasks
// and ends the agent it started; an agent that was running stays.
TEST_F(Tasks, TheAgentIsStartedForTheListAndEndedAfterIt) {
  if (!NineX()) GTEST_SKIP() << "the 95/98/Me family only";
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  StandInAgent agent;
  ASSERT_EQ(0, IsSchedulerRunning());
  EnumerateTasks();
  EXPECT_NE(nullptr, Listed("TT Never.job"));
  EXPECT_FALSE(SchedulerStartedHere());
  EXPECT_TRUE(AgentGoneWithin(3000));

  EXPECT_EQ(0u, StartScheduler());  // started and left running: the mark stays
  EXPECT_TRUE(SchedulerStartedHere());
  EXPECT_EQ(1, IsSchedulerRunning());
  EXPECT_EQ("", TaskComment("TT Never.job"));  // it has none; the agent was running already
  EXPECT_FALSE(SchedulerStartedHere());
  EXPECT_EQ(1, IsSchedulerRunning());
  EXPECT_EQ(0u, StopScheduler());
  EXPECT_TRUE(AgentGoneWithin(3000));
  EXPECT_EQ(1u, StopScheduler());  // nothing left to stop
}

// A mstask.exe beside the program or in the current folder is not Windows'
// agent: it is never started.
TEST_F(Tasks, AnAgentPlantedBesideTheProgramIsNeverStarted) {
  if (!NineX()) GTEST_SKIP() << "the 95/98/Me family only";
  StandInAgent planted(TestFolder() + "\\mstask.exe");
  char current[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof current, current);
  SetCurrentDirectoryA(TestFolder().c_str());
  EXPECT_NE(0u, StartScheduler());
  SetCurrentDirectoryA(current);
  EXPECT_FALSE(SchedulerStartedHere());
  Sleep(500);
  EXPECT_EQ(0, IsSchedulerRunning());
}

// ---- A scheduler that cannot be started -------------------------------------------------
// Run by scripts/tasks-unavailable with the Schedule service disabled.

bool Flagged(const char* variable) {
  const char* flag = std::getenv(variable);
  return flag && *flag == '1';
}

// The script makes a real task first: none can be made without the scheduler.
TEST(TaskFixture, TaskForTheUnavailableScheduler) {
  if (!Flagged("SENTREL_SCHEDULER_PREPARE")) GTEST_SKIP() << "run by scripts/tasks-unavailable";
  ASSERT_TRUE(CreateTask("TT Unseen", Notepad()));
}

TEST_F(Tasks, UnavailableSchedulerAnswersAtOnceWithNothing) {
  if (!Flagged("SENTREL_SCHEDULER_DISABLED")) GTEST_SKIP() << "run by scripts/tasks-unavailable";
  ASSERT_TRUE(TaskFileExists("TT Unseen"));
  EXPECT_EQ(0, IsSchedulerRunning());
  EXPECT_NE(0u, StartScheduler());
  EXPECT_EQ(0, IsSchedulerRunning());
  EXPECT_EQ(0, EnumerateTasks());
  EXPECT_EQ("", TaskComment("TT Unseen.job"));
  EXPECT_EQ("", TaskStatus("TT Unseen.job"));
  EXPECT_EQ("", TaskNextRunTime("TT Unseen.job"));
  EXPECT_LT(DeleteTask("TT Unseen.job"), 0);
  EXPECT_TRUE(TaskFileExists("TT Unseen"));
  // The first run still completes, with an empty task baseline.
  InitializeSettings();
  EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, kTaskBaselineKey));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT Unseen.job"));
}

// Run by scripts/tasks-unavailable after a restart of the wine server, with
// the Schedule service startable but not started.
TEST_F(Tasks, StoppedSchedulerIsStartedForTheListAndStoppedAfterIt) {
  if (!Flagged("SENTREL_SCHEDULER_STOPPED")) GTEST_SKIP() << "run by scripts/tasks-unavailable";
  ASSERT_EQ(0, IsSchedulerRunning());
  EnumerateTasks();
  EXPECT_NE(nullptr, Listed("TT Unseen.job"));
  // The stop after use was asked for (Wine's service refuses it).
  EXPECT_FALSE(SchedulerStartedHere());
}

// ---- The Scheduled Tasks page ------------------------------------------------------------

class TasksPage : public Tasks {
 protected:
  void SetUp() override {
    Tasks::SetUp();
    StartExplorerInProcess();
  }
  void TearDown() override {
    EndExplorerInProcess();
    Tasks::TearDown();
  }
  static void WithPage(const std::function<void(HWND sheet, HWND page)>& steps) {
    WithSheet(IDC_CMD_SHOW_TASKS, steps);
  }
  // The texts of one row, by the text of its first column, with its index last.
  static std::vector<std::string> Row(HWND page, const std::string& name) {
    const int row = RowWith(page, 0, name);
    if (row < 0) return {};
    std::vector<std::string> texts = RowTexts(page, row, 5);
    texts.push_back(std::to_string(row));
    return texts;
  }
};

TEST_F(TasksPage, RowsShowNameProgramAndRunTimes) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTask("TT Five Past", Notepad(), {2030, 1, 2, 0, 5}));
  ASSERT_TRUE(CreateTask("TT No Program", ""));
  std::vector<std::string> fivePast, noProgram;
  WithPage([&](HWND, HWND page) {
    fivePast = Row(page, "TT Five Past");
    noProgram = Row(page, "TT No Program");
  });
  ASSERT_EQ(6u, fivePast.size());
  EXPECT_TRUE(lstrcmpiA("notepad.exe", fivePast[1].c_str()) == 0) << fivePast[1];
  EXPECT_EQ("01/02/2030  12:05 AM", fivePast[3]);
  EXPECT_EQ("Never", fivePast[4]);
  ASSERT_EQ(6u, noProgram.size());
  EXPECT_EQ("", noProgram[1]);
  EXPECT_EQ("", noProgram[2]);
  EXPECT_EQ("Never", noProgram[3]);
}

TEST_F(TasksPage, RemoveAsksThenDeletesTheTaskAndItsBaselineValue) {
  if (NineX()) GTEST_SKIP() << "no scheduler agent under Wine's 95/98/Me";
  ASSERT_TRUE(CreateTask("TT Never", Notepad()));
  RawSetText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT Never.job", "800");
  std::string noSelection, question;
  bool listedAfterNo = false, listedAfterYes = true;
  WithPage([&](HWND sheet, HWND page) {
    Select(page, {});
    PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    HWND box = WaitForDialog(sheet, &noSelection);
    ASSERT_NE(nullptr, box);
    Press(box, IDOK);

    std::vector<std::string> row = Row(page, "TT Never");
    ASSERT_FALSE(row.empty());
    Select(page, {std::stoi(row[5])});
    PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    box = WaitForDialog(sheet, &question);
    ASSERT_NE(nullptr, box);
    Press(box, IDNO);
    SendMessageA(page, WM_NULL, 0, 0);
    listedAfterNo = !Row(page, "TT Never").empty();

    Select(page, {std::stoi(Row(page, "TT Never")[5])});
    PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    box = WaitForDialog(sheet, nullptr);
    ASSERT_NE(nullptr, box);
    Press(box, IDYES);
    SendMessageA(page, WM_NULL, 0, 0);  // back in its loop: deleted and refilled
    listedAfterYes = !Row(page, "TT Never").empty();
  });
  EXPECT_NE(std::string::npos, noSelection.find("No selection has been made.")) << noSelection;
  EXPECT_NE(std::string::npos, question.find("You have chosen to remove TT Never.job")) << question;
  EXPECT_NE(std::string::npos, question.find("this task will no longer run as scheduled")) << question;
  EXPECT_TRUE(listedAfterNo);
  EXPECT_FALSE(listedAfterYes);
  EXPECT_FALSE(TaskFileExists("TT Never"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kTaskBaselineKey, "TT Unseen.job"));
}

TEST_F(TasksPage, PatrolPictureStoresTheTasksPatrolTime) {
  SetOption(kOptTasks, 11);
  std::string caption;
  WithPage([&](HWND sheet, HWND page) {
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_PAGE_WATCHDOG_PICTURE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_PAGE_WATCHDOG_PICTURE)));
    HWND dialog = WaitForDialog(sheet, nullptr);
    ASSERT_NE(nullptr, dialog);
    char text[128] = "";
    GetWindowTextA(dialog, text, sizeof text);
    caption = text;
    EXPECT_EQ(11u, GetDlgItemInt(dialog, IDC_PATROL_MINUTES, nullptr, FALSE));
    SetDlgItemTextA(dialog, IDC_PATROL_MINUTES, "4");
    Press(dialog, IDOK);
    SendMessageA(page, WM_NULL, 0, 0);
  });
  EXPECT_EQ("Patrol Time for Scheduled Tasks", caption);
  EXPECT_EQ(4, Option(kOptTasks));
  EXPECT_EQ("4", RawText(HKEY_CURRENT_USER, kOptionsKey, "Tasks"));
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptionsKey, "Update"));
}

}  // namespace
