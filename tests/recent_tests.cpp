// The Recent page driven as a user drives it: the sheet opened, the Recent
// tab chosen, rows read and selected, the action button pressed and the
// questions answered.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "activex.h"
#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "history.h"
#include "history_events.h"
#include "ie_helpers.h"
#include "list_page.h"
#include "process_support.h"
#include "recent_page.h"
#include "resource.h"
#include "service_support.h"
#include "settings.h"
#include "sheet_support.h"
#include "startup.h"
#include "strings.h"
#include "task_support.h"
#include "tasks.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kHelperId = "{5E47E1A0-0000-4000-8000-000000000001}";
const std::string kControlId = "{5E47E1A0-0000-4000-8000-000000000002}";

void CleanAddOns() {
  for (const std::string& id : {kHelperId, kControlId}) {
    RawDeleteTree(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
    RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str());
    RawDeleteTree(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + id).c_str());
  }
}

class RecentPage : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    EmptyRunKeys();
    CleanAddOns();
    DeleteFileA(HistoryFile().c_str());
    Process() = ProcessState{};
    LoadOptions();
    StartExplorerInProcess();
    folder_ = TestFolder() + "\\snt_recent";
    deep_ = folder_ + "\\snt.exe.dir";  // a folder whose name looks like a program's
    CreateDirectoryA(folder_.c_str(), nullptr);
    CreateDirectoryA(deep_.c_str(), nullptr);
  }
  void TearDown() override {
    EndExplorerInProcess();
    running_.reset();
    stopped_.reset();
    DeleteTaskFile("SntRecentTask");
    EmptyRunKeys();
    CleanAddOns();
    for (const std::string& file : files_) {
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    }
    RemoveDirectoryA(deep_.c_str());
    RemoveDirectoryA(folder_.c_str());
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    ClearCatalogueEntries();
  }

  // A file with the text, removed after the test.
  std::string Plant(const std::string& path, const std::string& text = "MZ", DWORD attributes = 0) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    if (attributes) SetFileAttributesA(path.c_str(), attributes);
    files_.push_back(path);
    return path;
  }
  std::string ProgramFile(const std::string& name) { return Plant(folder_ + "\\" + name); }

  // One item in every area: a startup program, an IE helper, an ActiveX
  // control, a scheduled task (known to the baseline), a hidden file, and a
  // running and a stopped service.
  void PlantEveryArea() {
    RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentRun", ProgramFile("snt_run.exe"));
    RawSetText(HKEY_CLASSES_ROOT, ("CLSID\\" + kHelperId + "\\InprocServer32").c_str(), "",
               ProgramFile("snt_helper.dll"));
    RawSetText(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kHelperId).c_str(), "", "");
    RawSetText(HKEY_CLASSES_ROOT, ("CLSID\\" + kControlId + "\\InprocServer32").c_str(), "",
               ProgramFile("snt_control.ocx"));
    const DWORD used = 1;
    RawSet(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + kControlId + "\\iexplore").c_str(), "Type",
           REG_DWORD, &used, sizeof used);
    ASSERT_TRUE(CreateTask("SntRecentTask", ProgramFile("snt_task.exe")));
    RawSetText(HKEY_CURRENT_USER, kTaskBaselineKey, "SntRecentTask.job", "800");
    hidden_ = Plant(WindowsFolder() + "\\snt_recent_hidden.dat", "hidden", FILE_ATTRIBUTE_HIDDEN);
    files_.push_back(DataFolder() + "\\vault\\snt_recent_hidden.dat");
    const std::string service = "\"" + TestFolder() + "\\test_service.exe\"";
    running_ = std::make_unique<ScratchService>("SvcRecentRun", "Svc Recent Running", service);
    stopped_ = std::make_unique<ScratchService>("SvcRecentStop", "Svc Recent Stopped", service);
    ASSERT_TRUE(running_->created() && stopped_->created());
    ASSERT_TRUE(running_->Start());
  }

  // Opens the sheet, goes to the Recent tab as the user would, and runs the steps.
  void OnRecent(const std::function<void(HWND sheet, HWND page)>& steps) {
    WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND) {
      SendMessageA(sheet, PSM_SETCURSEL, TabOfPage(IDC_CMD_SHOW_RECENT), 0);
      HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
      ASSERT_NE(nullptr, page);
      steps(sheet, page);
    });
  }

  std::string folder_, deep_, hidden_;
  std::vector<std::string> files_;
  std::unique_ptr<ScratchService> running_, stopped_;
};

HWND ActionButton(HWND page) { return GetDlgItem(page, IDC_RECENT_ACTION); }

// The action button's caption, "" while it is hidden.
std::string ActionCaption(HWND page) {
  if (!IsWindowVisible(ActionButton(page))) return "";
  char text[64] = "";
  GetWindowTextA(ActionButton(page), text, sizeof text);
  return text;
}

// Presses the action button as an action that asks nothing; the text of a
// question that came nonetheless (answered No).
std::string PressUnasked(HWND sheet, HWND page) {
  PostMessageA(page, WM_COMMAND, IDC_RECENT_ACTION, 0);
  Settle(page);
  std::string text;
  HWND box = WaitForDialog({sheet}, &text, 15);
  if (box) Press(box, IDNO);
  return box ? "<asked> " + text : "";
}

// Whether a text control's whole text fits in it as it wraps its lines.
bool TextFits(HWND control) {
  char text[512] = "";
  GetWindowTextA(control, text, sizeof text);
  RECT box, needed;
  GetClientRect(control, &box);
  needed = box;
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return needed.bottom <= box.bottom && needed.right <= box.right;
}

std::string OwnFileName() {
  char path[MAX_PATH];
  const std::string own(path, GetModuleFileNameA(nullptr, path, sizeof path));
  return own.substr(own.rfind('\\') + 1);
}

// Opened: the program first seen today above the older ones (the whole list
// newest first, whatever sort was chosen before), its sighting recorded, a
// missing file not listed, no action until a row is chosen, both texts whole.
TEST_F(RecentPage, ProgramFirstSeenTodayStandsAboveOlderOnes) {
  const std::string today = ProgramFile("snt_today.exe"), older = ProgramFile("snt_older.exe"),
                    oldest = ProgramFile("snt_oldest.exe");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentOldest", oldest);
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentToday", today);
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentOlder", older);
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentGone", folder_ + "\\snt_gone.exe");
  const std::string seen = std::string(kDetectedKey) + "\\Startup";
  RawSetText(HKEY_CURRENT_USER, seen.c_str(), older.c_str(), "1/05/2009 10:15 PM");
  RawSetText(HKEY_CURRENT_USER, seen.c_str(), oldest.c_str(), "12/31/2008 9:00 AM");
  SetOption(kOptSortRecent, 2);
  WriteOption(OptionDefinition(kOptSortRecent).name, 2);
  OnRecent([&](HWND, HWND page) {
    const std::vector<std::string> firstSeen = Column(page, 4);
    for (size_t row = 1; row < firstSeen.size(); ++row)
      EXPECT_GE(SortableFirstSeen(firstSeen[row - 1]), SortableFirstSeen(firstSeen[row])) << row;
    const int todayRow = RowWith(page, 0, "snt_today.exe", true), oldestRow = RowWith(page, 0, "snt_oldest.exe", true);
    ASSERT_GE(todayRow, 0);
    EXPECT_LT(todayRow, oldestRow);
    EXPECT_EQ(RawText(HKEY_CURRENT_USER, seen.c_str(), today.c_str()), CellText(page, todayRow, 4));
    EXPECT_EQ("1/05/2009 10:15 PM", CellText(page, RowWith(page, 0, "snt_older.exe", true), 4));
    EXPECT_EQ(-1, RowWith(page, 0, "snt_gone.exe", true));
    EXPECT_EQ("", ActionCaption(page));
    char hint[512] = "";
    GetDlgItemTextA(page, IDC_PAGE_INTRO2, hint, sizeof hint);
    EXPECT_NE(nullptr, std::strstr(hint, "options including \"Delete on Reboot\".")) << hint;
    EXPECT_TRUE(TextFits(GetDlgItem(page, IDC_PAGE_INTRO)));
    EXPECT_TRUE(TextFits(GetDlgItem(page, IDC_PAGE_INTRO2)));
  });
}

// The row of an item listed by one area (the same file may stand in several).
int RowOf(HWND page, int column, const std::string& text, const char* type) {
  for (int row = 0, rows = RowCount(page); row < rows; ++row)
    if (lstrcmpiA(CellText(page, row, column).c_str(), text.c_str()) == 0 && CellText(page, row, 3) == type) return row;
  return -1;
}

// Every area's row with its type text and its action's caption; the action
// asks where it should and does its area's work on the very row chosen, also
// for hostile entries, which are listed as Windows runs them and shown as
// what they are. ActiveX has no action; a stopped service is not listed.
TEST_F(RecentPage, EachAreasActionAsksWhereItShouldAndHitsTheChosenRow) {
  PlantEveryArea();
  const std::string vault = DataFolder() + "\\vault\\snt_recent_hidden.dat";
  const std::string longName(1000, 'L'), bytesName = "snt\xE9\xFF\x81";
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentQuoted", "\"" + ProgramFile("snt prog.exe") + "\" -a \"b c\"");
  RawSetText(HKEY_CURRENT_USER, kUserRun, longName.c_str(), ProgramFile("snt_long.exe"));
  RawSetText(HKEY_CURRENT_USER, kUserRun, bytesName.c_str(), ProgramFile("snt_bytes.exe"));
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentNoFile", "snt_nofile_cmd /x");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentDeep", "\"" + ProgramFile("snt.exe.dir\\snt_deep.exe") + "\" /a");
  Plant(WindowsFolder() + "\\snt_bare.exe");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentBare", "snt_bare.exe /x");           // found in the Windows folder
  RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentTwin", folder_ + "\\snt_task.exe");  // also the task's program
  // A hidden file named like a Windows program: it has no version of its own.
  Plant(WindowsFolder() + "\\explorer.exe.snt.dat", "disguised", FILE_ATTRIBUTE_HIDDEN);
  auto runGone = [](std::string name) {
    return [name] { return RawText(HKEY_CURRENT_USER, kUserRun, name.c_str()) == "<missing>"; };
  };

  struct Case {
    int column;
    std::string row;
    const char* type;
    UINT caption;
    int answer;            // 0: no question may come
    const char* question;  // a piece of the question's text
    std::function<bool()> done;
  };
  const Case cases[] = {
      {0, "snt_run.exe", "STARTUP", IDS_REMOVE, 0, "", runGone("RecentRun")},
      {0, "snt prog.exe", "STARTUP", IDS_REMOVE, 0, "", runGone("RecentQuoted")},
      {0, "snt_long.exe", "STARTUP", IDS_REMOVE, 0, "", runGone(longName)},
      {0, "snt_bytes.exe", "STARTUP", IDS_REMOVE, 0, "", runGone(bytesName)},
      {0, "snt_deep.exe", "STARTUP", IDS_REMOVE, 0, "", runGone("RecentDeep")},
      {0, "snt_bare.exe", "STARTUP", IDS_REMOVE, 0, "", runGone("RecentBare")},
      {0, "snt_task.exe", "STARTUP", IDS_REMOVE, 0, "",
       [&] { return runGone("RecentTwin")() && TaskFileExists("SntRecentTask"); }},
      {0, "snt_recent_hidden.dat", "HIDDEN", IDS_DELETE, IDNO, "Adware",
       [&] { return GetFileAttributesA(hidden_.c_str()) != INVALID_FILE_ATTRIBUTES; }},
      {0, "snt_recent_hidden.dat", "HIDDEN", IDS_DELETE, IDYES, "Adware",
       [&] {
         return GetFileAttributesA(hidden_.c_str()) == INVALID_FILE_ATTRIBUTES && ReadWholeFile(vault) == "hidden";
       }},
      {0, "snt_helper.dll", "IE HELPER", IDS_REMOVE, IDYES, "Internet Explorer Add-On",
       [&] { return !RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + kHelperId).c_str()); }},
      {0, "snt_task.exe", "SCHEDULED", IDS_REMOVE, IDYES, "scheduled task",
       [&] {
         return !TaskFileExists("SntRecentTask") &&
                RawText(HKEY_CURRENT_USER, kTaskBaselineKey, "SntRecentTask.job") == "<missing>";
       }},
      {1, "Svc Recent Running", "SERVICES", IDS_STOP, 0, "",
       [&] {
         for (int i = 0; i < 100 && running_->State() != SERVICE_STOPPED; ++i) Sleep(50);
         return running_->State() == SERVICE_STOPPED;
       }},
  };
  OnRecent([&](HWND sheet, HWND page) {
    for (const char* title : {"RecentNoFile", "Svc Recent Stopped"}) EXPECT_EQ(-1, RowWith(page, 1, title)) << title;
    const int disguised = RowOf(page, 0, "explorer.exe.snt.dat", "HIDDEN");
    ASSERT_GE(disguised, 0);
    EXPECT_EQ("", CellText(page, disguised, 2));  // not the company of explorer.exe
    Select(page, {RowOf(page, 0, "snt_control.ocx", "ACTIVEX")});
    EXPECT_EQ("", ActionCaption(page));
    Select(page, {RowOf(page, 0, OwnFileName(), "ACTIVE")});
    EXPECT_EQ(LoadText(IDS_KILL_TASK), ActionCaption(page));
    // Chosen, then the list built again: no button is left over from the old list.
    Select(page, {RowOf(page, 0, "snt_recent_hidden.dat", "HIDDEN")});
    SendMessageA(page, WM_COMMAND, IDM_RECENT_REFRESH, 0);
    const int kept = ListView_GetNextItem(GetDlgItem(page, IDC_PAGE_LIST), -1, LVNI_SELECTED);
    EXPECT_EQ(kept < 0 ? "" : LoadText(IDS_DELETE), ActionCaption(page));
    for (const Case& c : cases) {
      const int row = RowOf(page, c.column, c.row, c.type);
      ASSERT_GE(row, 0) << c.row << " " << c.type;
      Select(page, {row});
      EXPECT_EQ(LoadText(c.caption), ActionCaption(page)) << c.row;
      if (c.answer) {
        EXPECT_NE(std::string::npos, AnswerCommand(page, IDC_RECENT_ACTION, c.answer).find(c.question)) << c.row;
      } else {
        EXPECT_EQ("", PressUnasked(sheet, page)) << c.row;
      }
      EXPECT_TRUE(c.done()) << c.row << " answered " << c.answer;
      // The list was built again: what went is no longer listed.
      if (c.answer != IDNO) {
        EXPECT_EQ(-1, RowOf(page, c.column, c.row, c.type)) << c.row;
      }
    }
    Select(page, {});
    EXPECT_EQ("", ActionCaption(page));
    EXPECT_NE(std::string::npos, AnswerCommand(page, IDC_RECENT_ACTION, IDOK).find("No selection"));
  });
  // The removed startup program and the deleted file can be put back from their history lines.
  const std::string history = ReadWholeFile(HistoryFile());
  EXPECT_NE(std::string::npos, history.find("RecentRun")) << history;
  EXPECT_NE(std::string::npos, history.find("snt_recent_hidden.dat")) << history;
  int removal = -1;
  for (int i = 0, events = LoadHistory(); i < events; ++i)
    if (CatalogueAt(i).title == "RecentRun") removal = i;
  ASSERT_GE(removal, 0) << history;
  EXPECT_EQ(1, RestoreHistoryEvent(removal));
  EXPECT_EQ(folder_ + "\\snt_run.exe", RawText(HKEY_CURRENT_USER, kUserRun, "RecentRun"));
}

// The list is kept while the sheet is open: coming back to the tab shows it
// as it was; Refresh builds it again; closing the sheet frees it.
TEST_F(RecentPage, ListIsKeptBetweenVisitsUntilRefresh) {
  const std::string later = ProgramFile("snt_later.exe");
  bool afterReturn = true, afterRefresh = false;
  OnRecent([&](HWND sheet, HWND page) {
    RawSetText(HKEY_CURRENT_USER, kUserRun, "RecentLater", later);
    SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
    SendMessageA(sheet, PSM_SETCURSEL, TabOfPage(IDC_CMD_SHOW_RECENT), 0);
    afterReturn = RowWith(page, 0, "snt_later.exe", true) >= 0;
    SendMessageA(page, WM_COMMAND, IDM_RECENT_REFRESH, 0);
    afterRefresh = RowWith(page, 0, "snt_later.exe", true) >= 0;
  });
  EXPECT_FALSE(afterReturn);
  EXPECT_TRUE(afterRefresh);
  EXPECT_TRUE(RecentEntries().empty());  // gone with the sheet
}

TEST_F(RecentPage, ListHoldsAtMost4096Entries) {
  const std::string program = ProgramFile("snt_many.exe");
  HKEY run;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, kUserRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr));
  for (int i = 0; i < kMaxCatalogueEntries + 10; ++i)
    RegSetValueExA(run, ("Many" + std::to_string(i)).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>(program.size() + 1));
  RegCloseKey(run);
  int rows = 0;
  OnRecent([&](HWND, HWND page) { rows = RowCount(page); });
  EXPECT_EQ(4096, rows);
}

// Kill Task ends the chosen program and records it; a Windows process the
// session stands on is refused. Last: a failed refusal ends the prefix's
// service manager.
TEST_F(RecentPage, KillTaskEndsTheProgramButNotAVitalWindowsProcess) {
  const std::string victim = deep_ + "\\snt_victim.exe";
  ASSERT_TRUE(CopyFileA((TestFolder() + "\\witness.exe").c_str(), victim.c_str(), FALSE));
  files_.push_back(victim);
  files_.push_back(deep_ + "\\witness.txt");
  Program program(victim, "-stay");
  ASSERT_TRUE(program.started());
  Sleep(300);
  bool vitalListed = false, victimListedAfter = true;
  OnRecent([&](HWND sheet, HWND page) {
    for (const char* name : {"services.exe", "snt_victim.exe"}) {
      const int row = RowWith(page, 0, name, true);
      ASSERT_GE(row, 0) << name;
      Select(page, {row});
      EXPECT_EQ("", PressUnasked(sheet, page)) << name;
    }
    vitalListed = RowWith(page, 0, "services.exe", true) >= 0;
    victimListedAfter = RowWith(page, 0, "snt_victim.exe", true) >= 0;
  });
  EXPECT_TRUE(vitalListed);
  EXPECT_NE(static_cast<DWORD>(STILL_ACTIVE), program.WaitForExit(2000));
  EXPECT_FALSE(victimListedAfter);
  const std::string history = ReadWholeFile(HistoryFile());
  EXPECT_NE(std::string::npos, history.find("\tTASK_Kill\t")) << history;
  EXPECT_NE(std::string::npos, history.find("snt_victim.exe")) << history;
  EXPECT_EQ(std::string::npos, history.find("services.exe")) << history;
}

}  // namespace
