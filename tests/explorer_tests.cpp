// The explorer in-process: its command line, the sort keys, and the sheet
// with the Startup Programs page driven by a helper thread as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "history.h"
#include "list_page.h"
#include "process_support.h"
#include "resource.h"
#include "restart_commands.h"
#include "service_support.h"
#include "services_page.h"
#include "settings.h"
#include "sheet_support.h"
#include "startup.h"
#include "startup_page.h"
#include "strings.h"
#include "test_support.h"
#include "ui.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

// ---- Command line ------------------------------------------------------------------

UINT PageOf(const char* line, int startTab = 6026) {
  return StartPageCommand(ParseExplorerCommandLine(line), startTab);
}

TEST(ExplorerCommandLine, SwitchesChooseThePageLaterMatchesWin) {
  EXPECT_EQ(6033u, PageOf("-RESTART"));  // not the Startup page its "-START" names
  EXPECT_EQ(6028u, PageOf("-nuts"));     // any case, any place
  EXPECT_EQ(6029u, PageOf("-TASK"));
  EXPECT_EQ(6039u, PageOf("-SCHEDULE"));  // "-SCHEDULE" holds no "-TASK"
  EXPECT_EQ(6045u, PageOf("-COOKIE"));
  EXPECT_EQ(6033u, PageOf("-OPTIONS"));
  EXPECT_EQ(6042u, PageOf("-FILETYPES"));
  EXPECT_EQ(6046u, PageOf("-MONITOR"));
  EXPECT_EQ(6040u, PageOf("-START -BHO"));  // the later switch in the table wins
  EXPECT_EQ(6055u, PageOf("", 6055));       // no switch: StartTab
  EXPECT_EQ(6026u, PageOf("", 12));         // below 6026 counts as 6026
  for (int stored : {6030, 6031, 6034, 6045, 99999}) EXPECT_EQ(6026u, PageOf("", stored)) << stored;  // no page
  EXPECT_TRUE(ParseExplorerCommandLine("-q").quit);
  ExplorerCommand oneShots = ParseExplorerCommandLine("-restore -auoption -setprefix");
  EXPECT_TRUE(oneShots.restore && oneShots.auOption && oneShots.setPrefix);
}

TEST(AboutPage, VersionCheckAddressCarriesBuildAndLanguage) {
  InitLanguageId();
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSentrelKey, "GetVersion");
  const std::string build = std::string("&build=") + kVersionText + "&Loc=us";
  EXPECT_EQ(LoadText(IDS_VERSION_SCRIPT) + build, VersionCheckAddress());
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "GetVersion", "http://mirror.example/check?");
  EXPECT_EQ("http://mirror.example/check?" + build, VersionCheckAddress());
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSentrelKey, "GetVersion");
}

// ---- Sort keys -----------------------------------------------------------------------

TEST(ListSorting, FirstSeenTimesSortAcrossYearsAndHalvesOfTheDay) {
  EXPECT_EQ("200901052215", SortableFirstSeen("1/05/2009 10:15 PM"));
  EXPECT_EQ("200812310900", SortableFirstSeen("12/31/2008 9:00 AM"));
  EXPECT_GT(SortableFirstSeen("1/05/2009 10:15 PM"), SortableFirstSeen("12/31/2008 9:00 AM"));
  // Midnight and noon: 12 AM opens the day, 12 PM follows 11 AM.
  EXPECT_LT(SortableFirstSeen("3/01/2009 12:30 AM"), SortableFirstSeen("3/01/2009 1:00 AM"));
  EXPECT_LT(SortableFirstSeen("3/01/2009 11:59 AM"), SortableFirstSeen("3/01/2009 12:00 PM"));
  EXPECT_LT(SortableFirstSeen("3/01/2009 12:00 PM"), SortableFirstSeen("3/01/2009 11:00 PM"));
  EXPECT_EQ(" ", SortableFirstSeen("1/05/2009"));  // 11 characters or fewer
  EXPECT_EQ(" ", SortableFirstSeen(""));
  EXPECT_LT(SortableFirstSeen("short"), SortableFirstSeen("1/01/1990 1:00 AM"));
}

TEST(ListSorting, PrefixCompareAndDirection) {
  EXPECT_EQ(0, CompareSortTexts("Backup", "Backup Agent", 0, true));
  EXPECT_NE(0, CompareSortTexts("Backup", "Backup Agent", 0, false));
  EXPECT_LT(CompareSortTexts("alpha", "Beta", 0, false), 0);
  EXPECT_GT(CompareSortTexts("alpha", "Beta", 1, false), 0);
}

// ---- The sheet ---------------------------------------------------------------------------

const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kPlanted[] = {"Charlie", "alpha", "Bravo", "Delta"};

void DeletePlanted() {
  HKEY run;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserRun, 0, KEY_ALL_ACCESS, &run) == ERROR_SUCCESS) {
    for (const char* name : kPlanted) RegDeleteValueA(run, name);
    for (const char* name : {"noversion", "Echo", "Runner"}) RegDeleteValueA(run, name);
    RegCloseKey(run);
  }
}

class Sheet : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    EmptyRunKeys();
    DeletePlanted();
    for (const char* name : kPlanted)
      RawSetText(HKEY_CURRENT_USER, kUserRun, name, std::string("c:\\apps\\") + name + ".exe");
    Process() = ProcessState{};
    LoadOptions();
    StartExplorerInProcess();
  }
  void TearDown() override {
    EndExplorerInProcess();
    DeletePlanted();
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    ClearCatalogueEntries();
  }
};

TEST_F(Sheet, OpensOnTheRequestedPageAndRecentOpensTheFirst) {
  int tab = -1, tabs = 0;
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND) {
    tab = CurrentTab(sheet);
    tabs = static_cast<int>(
        SendMessageA(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0)), TCM_GETITEMCOUNT, 0, 0));
  });
  EXPECT_EQ(TabOfPage(IDC_CMD_SHOW_OPTIONS), tab);
  EXPECT_EQ(PageCount(), tabs);
  EXPECT_EQ(Is9xFamily() ? 12 : 13, tabs);  // Services only on the NT family
  EXPECT_EQ(IDC_CMD_SHOW_OPTIONS, PageCommandAt(tabs - 1));
  EXPECT_EQ(6033, Option(kOptStartTab));

  WithSheet(IDC_CMD_SHOW_RECENT, [&](HWND sheet, HWND) { tab = CurrentTab(sheet); });
  EXPECT_EQ(0, tab);
  // Closing the sheet remembered its geometry.
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, kSentrelKey, "xPos"));
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, kSentrelKey, "dyPos"));
}

TEST_F(Sheet, TitleSortsBothWaysWithDisabledProgramsLast) {
  ASSERT_EQ(1, ToggleStartupEntry("Bravo", "c:\\apps\\Bravo.exe", "", 11));  // disabled
  std::vector<std::string> first, second, sixth, afterSixth;
  std::string key;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    ClickColumn(page, 0);
    first = Column(page, 0);
    ClickColumn(page, 0);
    second = Column(page, 0);
    key = RawText(HKEY_CURRENT_USER, kOptionsKey, "SortStartup");
    ClickColumn(page, 5);  // beyond the last sortable column
    afterSixth = Column(page, 0);
  });
  EXPECT_EQ((std::vector<std::string>{"alpha", "Charlie", "Delta", "Bravo"}), first);
  EXPECT_EQ((std::vector<std::string>{"Delta", "Charlie", "alpha", "Bravo"}), second);
  EXPECT_EQ("1", key);
  EXPECT_EQ(second, afterSixth);
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptionsKey, "SortStartup"));
}

TEST_F(Sheet, RowsShowTypeCommandAndFirstSeen) {
  ASSERT_EQ(1, ToggleStartupEntry("Bravo", "c:\\apps\\Bravo.exe", "", 11));
  std::vector<std::string> titles, commands, types, seen;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    ClickColumn(page, 0);
    titles = Column(page, 0);
    commands = Column(page, 1);
    types = Column(page, 3);
    seen = Column(page, 4);
  });
  ASSERT_EQ(4u, titles.size());
  EXPECT_EQ("alpha.exe", commands[0]);
  EXPECT_EQ("CURRENT_RUN", types[0]);
  EXPECT_EQ(LoadText(IDS_DISABLED), types[3]);                               // Bravo
  for (const std::string& date : seen) EXPECT_GT(date.size(), 11u) << date;  // recorded when first listed
}

TEST_F(Sheet, SeveralRowsAreRemovedWithoutQuestionsAndTheRefillSortsTheOtherWay) {
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Echo", "c:\\apps\\Echo.exe");
  std::vector<std::string> left;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    ClickColumn(page, 0);  // ascending; the refill sorts the other way
    Select(page, {0, 1, 2});
    SendMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);  // returns only if nothing asks
    left = Column(page, 0);
  });
  EXPECT_EQ((std::vector<std::string>{"Echo", "Delta"}), left);
  for (const char* name : {"alpha", "Bravo", "Charlie"})
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, name)) << name;
}

TEST_F(Sheet, DisableAndEnableRoundTrip) {
  std::vector<std::string> types, back;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    ClickColumn(page, 0);
    Select(page, {0, 1});  // alpha, Bravo: several rows stop programs without asking
    SendMessageA(page, WM_COMMAND, IDC_PAGE_DISABLE, 0);
    types = Column(page, 3);
  });
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "alpha"));
  EXPECT_EQ("c:\\apps\\alpha.exe", RawText(HKEY_LOCAL_MACHINE, (kDisabledKey + std::string("\\Run")).c_str(), "alpha"));
  EXPECT_EQ(2, std::count(types.begin(), types.end(), LoadText(IDS_DISABLED)));
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    Select(page, {0, 1, 2, 3});  // Enable acts on the disabled ones
    SendMessageA(page, WM_COMMAND, IDC_PAGE_ENABLE, 0);
    back = Column(page, 3);
  });
  EXPECT_EQ("c:\\apps\\alpha.exe", RawText(HKEY_CURRENT_USER, kUserRun, "alpha"));
  EXPECT_EQ(0, std::count(back.begin(), back.end(), LoadText(IDS_DISABLED)));
}

TEST_F(Sheet, NoSelectionShowsMessage57) {
  std::string text;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    Select(page, {});
    PostMessageA(page, WM_COMMAND, IDC_PAGE_INFO, 0);
    HWND box = WaitForDialog(sheet, &text);
    ASSERT_NE(nullptr, box);
    Press(box, IDOK);
  });
  EXPECT_NE(std::string::npos, text.find("No selection has been made.")) << text;
}

// Enter on a selected row opens Info, as message 57 tells the user; the
// sheet stays open (its hidden OK button is still the default).
TEST_F(Sheet, EnterOnARowOpensInfoAndKeepsTheSheet) {
  std::string text;
  bool sheetLeft = false;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    ClickColumn(page, 0);  // alpha first
    Select(page, {0});
    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    PostMessageA(list, WM_KEYDOWN, VK_RETURN, 1);  // through the sheet's dialog keys, as typed
    HWND box = WaitForDialog(sheet, &text);
    ASSERT_NE(nullptr, box);
    Press(box, IDOK);
    Settle(sheet);
    sheetLeft = IsWindow(sheet) && IsWindowVisible(sheet);
  });
  EXPECT_NE(std::string::npos, text.find("ALPHA.EXE")) << text;  // the information dialog on the row's file
  EXPECT_TRUE(sheetLeft);
}

// One click on a picture button is one command: one patrol-time dialog.
// Also with the classic subclassing of comctl32 versions before 5.80, where
// Enter must still open Info rather than close the sheet.
TEST_F(Sheet, OneClickOnAPictureIsOneCommand) {
  for (bool classic : {false, true}) {
    UseClassicSubclassing(classic);
    int dialogs = 0;
    bool open = false;
    WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
      HWND picture = GetDlgItem(page, IDC_PAGE_WATCHDOG_PICTURE);
      PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
      PostMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
      for (HWND dialog; (dialog = WaitForDialog(sheet, nullptr, 75)) != nullptr && dialogs < 5; ++dialogs)
        Press(dialog, IDCANCEL);
      PostMessageA(sheet, WM_COMMAND, IDOK, 0);  // Enter with no row selected: message 57, the sheet stays
      if (HWND box = WaitForDialog(sheet, nullptr)) Press(box, IDOK);
      open = IsWindow(sheet) && IsWindowVisible(sheet);
    });
    UseClassicSubclassing(false);
    EXPECT_EQ(1, dialogs) << classic;
    EXPECT_TRUE(open) << classic;
  }
}

// The page shown takes the frame's page place (8, 50; W - 28 by H - 112, or
// 10 taller when the tabs fit one row): with a restored size, and when it
// becomes active again after the sheet was resized on another page.
TEST_F(Sheet, ActivatedPageTakesTheFramesPagePlace) {
  for (auto [name, value] : {std::pair{"xPos", "10"}, {"yPos", "10"}, {"dxPos", "900"}, {"dyPos", "700"}})
    RawSetText(HKEY_CURRENT_USER, kSentrelKey, name, value);
  // Where the page is, and where the frame's layout puts it.
  auto place = [](HWND sheet, HWND page) {
    RECT frame{}, shown{};
    GetWindowRect(sheet, &frame);
    GetWindowRect(page, &shown);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&shown), 2);
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    const int taller = SendMessageA(tabs, TCM_GETROWCOUNT, 0, 0) <= 1 ? 10 : 0;
    const RECT wanted = {8, 50, 8 + frame.right - frame.left - 28, 50 + frame.bottom - frame.top - 112 + taller};
    return std::pair{shown, wanted};
  };
  std::vector<std::pair<RECT, RECT>> places;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    places.push_back(place(sheet, page));
    SendMessageA(sheet, PSM_SETCURSEL, 1, 0);  // Delayed Start
    SetWindowPos(sheet, nullptr, 0, 0, 1000, 760, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(sheet, PSM_SETCURSEL, 0, 0);  // back to Startup Programs, made at the old size
    places.push_back(place(sheet, reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))));
  });
  if (Is9xFamily()) return;  // that family's sheet keeps its template size
  for (const auto& [shown, wanted] : places)
    EXPECT_TRUE(EqualRect(&shown, &wanted))
        << shown.left << "," << shown.top << "," << shown.right << "," << shown.bottom << " wanted " << wanted.left
        << "," << wanted.top << "," << wanted.right << "," << wanted.bottom;
}

// "Monitor" names the watchdog picture: a page without a patrol time shows
// neither.
TEST_F(Sheet, MonitorLabelGoesWithItsPicture) {
  for (UINT command : {IDC_CMD_SHOW_STARTUP, IDC_CMD_SHOW_DELAY})
    WithSheet(command, [&](HWND, HWND page) {
      const bool patrolled = command == IDC_CMD_SHOW_STARTUP;
      EXPECT_EQ(patrolled, IsWindowVisible(GetDlgItem(page, IDC_PAGE_WATCHDOG_PICTURE)) != 0) << command;
      EXPECT_EQ(patrolled, IsWindowVisible(GetDlgItem(page, IDC_PAGE_WATCHDOG_LABEL)) != 0) << command;
    });
}

// The help picture is drawn on the About and Options pages too.
TEST_F(Sheet, HelpPictureIsDrawnOnThePagesWithoutAList) {
  for (UINT command : {IDC_CMD_SHOW_OMNI, IDC_CMD_SHOW_OPTIONS}) {
    int blue = 0;
    WithSheet(command, [&](HWND, HWND page) {
      HWND picture = GetDlgItem(page, IDC_PAGE_HELP_PICTURE);
      InvalidateRect(picture, nullptr, TRUE);
      UpdateWindow(picture);
      RECT box{};
      GetClientRect(picture, &box);
      HDC dc = GetDC(picture);
      for (int y = 0; y < box.bottom; ++y)
        for (int x = 0; x < box.right; ++x) {
          const COLORREF c = GetPixel(dc, x, y);
          blue += GetBValue(c) > GetRValue(c) + 40 && GetBValue(c) > GetGValue(c) + 40 ? 1 : 0;  // the blue "?"
        }
      ReleaseDC(picture, dc);
    });
    EXPECT_GT(blue, 0) << command;
  }
}

// The status bar names where the selected entry lives, with the disabled
// marker for a disabled one.
TEST_F(Sheet, StatusBarShowsTheLocationOfTheSelectedRow) {
  ASSERT_EQ(1, ToggleStartupEntry("Bravo", "c:\\apps\\Bravo.exe", "", 11));
  std::vector<std::string> lines;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    ClickColumn(page, 0);  // alpha, Charlie, Delta, Bravo
    for (int row : {0, 3}) {
      Select(page, {row});
      char text[512] = "";
      SendDlgItemMessageA(sheet, IDC_SHEET_STATUS_BAR, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
      lines.push_back(text);
    }
  });
  if (Is9xFamily()) return;  // no status bar there
  const std::string run = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  EXPECT_EQ((std::vector<std::string>{LoadText(IDS_STARTUP_LOCATION) + run,
                                      LoadText(IDS_STARTUP_LOCATION) + " * " + LoadText(IDS_DISABLED) + " * " + run}),
            lines);
}

int RowOf(HWND page, const std::string& title) { return RowWith(page, 0, title); }

// The Info button is bold for a program with a note file beside the explorer.
TEST_F(Sheet, InfoIsBoldForAProgramWithANote) {
  const std::string note = FolderOfProgram() + "\\note_alpha.txt";
  HANDLE file = CreateFileA(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  HFONT withNote = nullptr, without = nullptr;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    ClickColumn(page, 0);  // alpha first
    Select(page, {0});
    withNote = reinterpret_cast<HFONT>(SendDlgItemMessageA(page, IDC_PAGE_INFO, WM_GETFONT, 0, 0));
    Select(page, {1});
    without = reinterpret_cast<HFONT>(SendDlgItemMessageA(page, IDC_PAGE_INFO, WM_GETFONT, 0, 0));
  });
  DeleteFileA(note.c_str());
  ASSERT_NE(nullptr, ExplorerFontOf(kFontDialogBold));
  EXPECT_EQ(ExplorerFontOf(kFontDialogBold), withNote);
  EXPECT_EQ(ExplorerFontOf(kFontDialog), without);
}

// One row: the program is running, so Remove asks whether to stop it (707)
// and then whether to remove the entry (15); each answer counts on its own.
TEST_F(Sheet, OneRunningProgramIsRemovedAfterBothQuestions) {
  // The Windows folder's copy: Tool Help on the 95/98 family names bare files there.
  const std::string notepad = WindowsFolder() + "\\notepad.exe";
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Runner", notepad);
  std::string stopText, removeText;
  // Remove on the Runner row, answering the two questions in turn.
  auto removeAnswering = [&](int stop, int remove) {
    WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
      Select(page, {RowOf(page, "Runner")});
      PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
      HWND box = WaitForDialog(sheet, &stopText);
      ASSERT_NE(nullptr, box);
      Press(box, stop);
      box = WaitForDialog(sheet, &removeText);
      ASSERT_NE(nullptr, box);
      Press(box, remove);
      Settle(page);
    });
  };

  Program first(notepad, "");
  ASSERT_TRUE(first.started());
  Sleep(500);
  removeAnswering(IDYES, IDNO);  // stop it, but keep the entry
  EXPECT_NE(std::string::npos, stopText.find(FillText(LoadText(IDS_PROGRAM_IS_RUNNING), {"Runner"}))) << stopText;
  EXPECT_NE(std::string::npos, removeText.find(FillText(LoadText(IDS_CONFIRM_REMOVE_STARTUP), {notepad})))
      << removeText;
  EXPECT_NE(static_cast<DWORD>(STILL_ACTIVE), first.WaitForExit(3000));
  EXPECT_EQ(notepad, RawText(HKEY_CURRENT_USER, kUserRun, "Runner"));

  Program second(notepad, "");
  ASSERT_TRUE(second.started());
  Sleep(500);
  removeAnswering(IDNO, IDYES);  // leave it running, remove the entry
  EXPECT_TRUE(second.Running());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Runner"));
}

TEST_F(Sheet, ResetPutsTheWinlogonShellBack) {
  ValueGuard shell(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell");
  RawSetText(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", "Explorer.exe c:\\apps\\hijack.exe");
  DeleteFileA(HistoryFile().c_str());
  SetOption(kOptShowAllStartup, 1);
  char caption[64] = "";
  BOOL enableOn = TRUE, disableOn = TRUE;
  bool listed = false;
  std::string before, after;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    const int row = RowOf(page, "Winlogon Shell");
    listed = row >= 0;
    if (!listed) return;
    before = Column(page, 1)[row];
    Select(page, {row});
    GetDlgItemTextA(page, IDC_PAGE_REMOVE, caption, sizeof caption);
    enableOn = IsWindowEnabled(GetDlgItem(page, IDC_PAGE_ENABLE));
    disableOn = IsWindowEnabled(GetDlgItem(page, IDC_PAGE_DISABLE));
    SendMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);  // no question
    const int again = RowOf(page, "Winlogon Shell");
    if (again >= 0) after = Column(page, 1)[again];
  });
  if (Is9xFamily()) {
    EXPECT_FALSE(listed);  // no Winlogon on 95/98/Me
    return;
  }
  ASSERT_TRUE(listed);
  EXPECT_EQ("hijack.exe", before);
  EXPECT_EQ(LoadText(IDS_RESET), caption);
  EXPECT_FALSE(enableOn);
  EXPECT_FALSE(disableOn);
  EXPECT_EQ("Explorer.exe", after);  // the row stays, with the default shell
  EXPECT_EQ("Explorer.exe", RawText(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell"));
  std::vector<HistoryEvent> events = ParseHistory(ReadWholeFile(HistoryFile()));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(kActionResetShell, events.back().actionCode);
  DeleteFileA(HistoryFile().c_str());
}

// A shell service object (a key location; a title holding "Sentrel" would be
// shown as the program's own name): removed only through the
// default-warning dialog with its box ticked.
TEST_F(Sheet, KeyLocationEntryGoesOnlyWithTheBoxTicked) {
  const char* const clsid = "{5E1E0E5A-0000-4000-8000-53454E545245}";
  const char* const delayLoad = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
  const std::string server = TestFolder() + "\\fixtures\\noversion.dll";
  const std::string classKey = std::string("CLSID\\") + clsid;
  RawSetText(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32").c_str(), "", server);
  RawSetText(HKEY_LOCAL_MACHINE, delayLoad, "TestDelayObject", clsid);
  DeleteFileA(HistoryFile().c_str());
  SetOption(kOptShowAllStartup, 1);

  std::string texts;
  bool listedAfterPlainOk = false;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    const int row = RowOf(page, "TestDelayObject");
    ASSERT_GE(row, 0);
    Select(page, {row});
    PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    HWND warning = WaitForDialog(sheet, &texts);
    ASSERT_NE(nullptr, warning);
    Press(warning, IDOK);  // box not ticked: nothing goes
    Settle(page);
    listedAfterPlainOk = RowOf(page, "TestDelayObject") >= 0;

    Select(page, {RowOf(page, "TestDelayObject")});
    PostMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    warning = WaitForDialog(sheet);
    ASSERT_NE(nullptr, warning);
    SendDlgItemMessageA(warning, IDC_WARNING_CHECK, BM_SETCHECK, BST_CHECKED, 0);
    Press(warning, IDOK);
    Settle(page);
  });
  const std::string leftOver = RawText(HKEY_LOCAL_MACHINE, delayLoad, "TestDelayObject");
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, delayLoad, "TestDelayObject");
  RawDeleteTree(HKEY_CLASSES_ROOT, classKey.c_str());

  EXPECT_NE(std::string::npos, texts.find(server)) << texts;
  EXPECT_NE(std::string::npos, texts.find("For your protection")) << texts;
  EXPECT_TRUE(listedAfterPlainOk);
  EXPECT_EQ("<missing>", leftOver);
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, kSentrelKey, "xDefaultWarning"));
  std::vector<HistoryEvent> events = ParseHistory(ReadWholeFile(HistoryFile()));
  ASSERT_EQ(1u, events.size());  // the unticked answer recorded nothing
  EXPECT_EQ(kActionRemoveDelayLoad, events.back().actionCode);
  DeleteFileA(HistoryFile().c_str());
}

// The watchdog picture: the patrol-time field and track bar move together;
// OK stores the minutes and the real-time choice, Cancel changes nothing.
TEST_F(Sheet, PatrolTimeDialogStoresWhatOkConfirms) {
  SetOption(kOptStart, 5);
  SetOption(kOptRealtimeStartup, 0);
  int fieldFirst = -1, trackFirst = -1, fieldAfterSlide = -1, trackAfterTyping = -1;
  std::string caption;
  auto openPatrolTime = [](HWND sheet, HWND page) {
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_PAGE_WATCHDOG_PICTURE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_PAGE_WATCHDOG_PICTURE)));
    return WaitForDialog(sheet);
  };
  auto tickRealtime = [](HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_PATROL_REALTIME);
    SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PATROL_REALTIME, BN_CLICKED), reinterpret_cast<LPARAM>(box));
  };
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    HWND dialog = openPatrolTime(sheet, page);
    ASSERT_NE(nullptr, dialog);
    char text[128] = "";
    GetWindowTextA(dialog, text, sizeof text);
    caption = text;
    HWND track = GetDlgItem(dialog, IDC_PATROL_TRACK);
    fieldFirst = static_cast<int>(GetDlgItemInt(dialog, IDC_PATROL_MINUTES, nullptr, FALSE));
    trackFirst = static_cast<int>(SendMessageA(track, TBM_GETPOS, 0, 0));
    SendMessageA(track, TBM_SETPOS, TRUE, 12);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 12), reinterpret_cast<LPARAM>(track));
    fieldAfterSlide = static_cast<int>(GetDlgItemInt(dialog, IDC_PATROL_MINUTES, nullptr, FALSE));
    SetDlgItemTextA(dialog, IDC_PATROL_MINUTES, "7");
    trackAfterTyping = static_cast<int>(SendMessageA(track, TBM_GETPOS, 0, 0));
    tickRealtime(dialog);
    Press(dialog, IDOK);
    Settle(page);

    dialog = openPatrolTime(sheet, page);  // changed, then cancelled
    ASSERT_NE(nullptr, dialog);
    SetDlgItemTextA(dialog, IDC_PATROL_MINUTES, "20");
    Press(dialog, IDCANCEL);
    Settle(page);
  });
  EXPECT_EQ(LoadText(IDS_PATROL_TIME_STARTUP_PROGRAMS), caption);
  EXPECT_EQ(5, fieldFirst);
  EXPECT_EQ(5, trackFirst);
  EXPECT_EQ(12, fieldAfterSlide);
  EXPECT_EQ(7, trackAfterTyping);
  EXPECT_EQ(7, Option(kOptStart));
  EXPECT_EQ(1, Option(kOptRealtimeStartup));
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptionsKey, "Update"));  // the monitor reloads
}

// The History dialog, opened from the Options page, over a removed startup
// entry and a stopped program: only the removal can be restored; Clear File
// empties the history.
TEST_F(Sheet, HistoryRestoresOnlyRestorableEventsAndClears) {
  DeleteFileA(HistoryFile().c_str());
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Echo", "c:\\apps\\Echo.exe");
  ASSERT_EQ(1, RemoveStartupEntry("Echo", "c:\\apps\\Echo.exe", "", 11));
  ASSERT_EQ(1, AppendHistory("Runner", "c:\\apps\\Runner.exe", "", kTypeRunningProgram, kActionTaskKill));
  ASSERT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Echo"));

  int rows = 0, rowsAfterClear = -1;
  BOOL restoreForKill = TRUE, restoreForRemoval = FALSE;
  std::string restored, action;
  std::string caption;
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    PostMessageA(page, WM_COMMAND, IDC_OPTIONS_VIEW_HISTORY, 0);  // "View History..."
    HWND dialog = WaitForDialog(sheet);
    ASSERT_NE(nullptr, dialog);
    char title[128] = "";
    GetWindowTextA(dialog, title, sizeof title);
    caption = title;
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    HWND restore = GetDlgItem(dialog, IDC_HISTORY_RESTORE);
    rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    auto selectRow = [&](int row) {
      LVITEMA item{};
      item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    };
    char text[64] = "";
    LVITEMA cell{};
    cell.iSubItem = 1;
    cell.pszText = text;
    cell.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&cell));
    action = text;
    selectRow(1);  // the stopped program
    restoreForKill = IsWindowEnabled(restore);
    selectRow(0);  // the removal
    restoreForRemoval = IsWindowEnabled(restore);
    SendMessageA(dialog, WM_COMMAND, IDC_HISTORY_RESTORE, 0);
    restored = RawText(HKEY_CURRENT_USER, kUserRun, "Echo");
    SendMessageA(dialog, WM_COMMAND, IDC_HISTORY_CLEAR, 0);
    rowsAfterClear = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    Press(dialog, IDC_HISTORY_CLOSE);
  });
  EXPECT_EQ(LoadText(IDS_HISTORY_TITLE), caption);
  EXPECT_EQ(2, rows);
  EXPECT_EQ(ActionName(kActionStartRemove), action);
  EXPECT_FALSE(restoreForKill);
  EXPECT_TRUE(restoreForRemoval);
  EXPECT_EQ("c:\\apps\\Echo.exe", restored);
  EXPECT_EQ(0, rowsAfterClear);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HistoryFile().c_str()));
}

// The History rows: title with its file's icon, action, type name, date;
// the list opens scrolled to the newest event.
TEST_F(Sheet, HistoryRowsShowTypeDateAndIconsNewestInView) {
  DeleteFileA(HistoryFile().c_str());
  const std::string notepad = WindowsFolder() + "\\notepad.exe";
  for (int i = 0; i < 40; ++i)
    ASSERT_EQ(1, AppendHistory(("Event" + std::to_string(i)).c_str(), i % 2 ? "c:\\gone\\missing.exe" : notepad.c_str(),
                               "", i % 2 ? kTypeRunningProgram : 11, kActionStartRemove));
  const std::vector<HistoryEvent> events = ParseHistory(ReadWholeFile(HistoryFile()));
  ASSERT_EQ(40u, events.size());
  std::vector<std::string> types, dates;
  int images[2] = {-1, -1}, imageCount = 0, top = -1, perPage = 0;
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    PostMessageA(page, WM_COMMAND, IDC_OPTIONS_VIEW_HISTORY, 0);
    HWND dialog = WaitForDialog(sheet);
    ASSERT_NE(nullptr, dialog);
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    for (int row : {0, 1}) {
      char text[64] = "";
      LVITEMA item{};
      item.mask = LVIF_IMAGE;
      item.iItem = row;
      SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
      images[row] = item.iImage;
      for (int column : {2, 3}) {
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        (column == 2 ? types : dates).push_back(text);
      }
    }
    imageCount =
        ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)));
    top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    perPage = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    Press(dialog, IDC_HISTORY_CLOSE);
  });
  DeleteFileA(HistoryFile().c_str());
  EXPECT_EQ((std::vector<std::string>{TypeName(11), TypeName(kTypeRunningProgram)}), types);
  EXPECT_EQ((std::vector<std::string>{events[0].date, events[1].date}), dates);
  EXPECT_NE(images[0], images[1]);  // notepad's own icon, the missing-file icon
  EXPECT_LT(images[0], imageCount);
  EXPECT_LT(images[1], imageCount);
  EXPECT_GT(top, 0);
  EXPECT_GE(top + perPage, 40);  // the last event is in view
}

// Stored settings spoilt by hand or by another program: the sheet still
// opens on the first tab, on the screen, with its rows.
TEST_F(Sheet, SpoiltStoredSettingsStillOpenASheetOnTheScreen) {
  auto spoilGeometry = [] {
    RawSetText(HKEY_CURRENT_USER, kSentrelKey, "xPos", "-50000");
    RawSetText(HKEY_CURRENT_USER, kSentrelKey, "yPos", "99999");
    RawSetText(HKEY_CURRENT_USER, kSentrelKey, "dxPos", "-5");
    RawSetText(HKEY_CURRENT_USER, kSentrelKey, "dyPos", "tall");
  };
  spoilGeometry();
  for (const char* startTab : {"garbage", "99999"}) {
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "StartTab", startTab);
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "SortStartup", startTab[0] == 'g' ? "99" : "-4");
    LoadOptions();
    int tab = -1, rows = 0;
    RECT frame{}, screen{};
    WithSheet(StartPageCommand(ParseExplorerCommandLine(""), Option(kOptStartTab)), [&](HWND sheet, HWND page) {
      tab = CurrentTab(sheet);
      rows = static_cast<int>(SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_GETITEMCOUNT, 0, 0));
      GetWindowRect(sheet, &frame);
    });
    screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (screen.right <= screen.left) screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT shown{};
    EXPECT_EQ(0, tab) << startTab;
    EXPECT_EQ(4, rows) << startTab;
    EXPECT_TRUE(IntersectRect(&shown, &frame, &screen)) << frame.left << "," << frame.top;
    EXPECT_GT(frame.right - frame.left, 100);  // the minimum size, not -5
    spoilGeometry();                           // closing the sheet stored sound values
  }
}

// Value names longer than a title holds are listed cut, and can still be
// disabled and removed.
TEST_F(Sheet, OverlongValueNamesCanStillBeDisabledAndRemoved) {
  const std::string longA = std::string(200, 'A'), longB = std::string(200, 'B');
  const std::string command = "c:\\apps\\" + std::string(247, 'x') + ".exe";  // 259 characters
  ASSERT_EQ(259u, command.size());
  RawSetText(HKEY_CURRENT_USER, kUserRun, longA.c_str(), command);
  RawSetText(HKEY_CURRENT_USER, kUserRun, longB.c_str(), command);
  std::string shownTitle, shownCommand;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    const int row = RowOf(page, longA.substr(0, kTitleWidth));
    ASSERT_GE(row, 0);
    shownTitle = Column(page, 0)[row];
    shownCommand = Column(page, 1)[row];
    Select(page, {row, RowOf(page, "alpha")});  // several rows: no questions
    SendMessageA(page, WM_COMMAND, IDC_PAGE_DISABLE, 0);
    Select(page, {RowOf(page, longB.substr(0, kTitleWidth)), RowOf(page, "Charlie")});
    SendMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
  });
  const std::string cutA = longA.substr(0, kTitleWidth);
  const bool longALive = RawText(HKEY_CURRENT_USER, kUserRun, longA.c_str()) != "<missing>";
  const bool longBLive = RawText(HKEY_CURRENT_USER, kUserRun, longB.c_str()) != "<missing>";
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, longA.c_str());
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, longB.c_str());
  EXPECT_EQ(cutA, shownTitle);
  EXPECT_EQ(command.substr(8), shownCommand);  // after "c:\\apps\\"
  EXPECT_FALSE(longALive);
  EXPECT_FALSE(longBLive);
  // Disabled under its full name, so Enable writes back the value that was there.
  EXPECT_EQ(command, RawText(HKEY_LOCAL_MACHINE, (kDisabledKey + std::string("\\Run")).c_str(), longA.c_str()));
}

// From the page, what was there comes back exactly (a quoted command with
// blanks, a rundll32 command: the rows show neither the quotes nor rundll32),
// and removing rows removes those rows, also two with the same title.
TEST_F(Sheet, PageKeepsCommandsAndActsOnTheChosenRows) {
  const std::string quoted = "\"C:\\Program Files\\Some App\\app.exe\" /min";
  const std::string library = "rundll32.exe c:\\hooks\\hook.dll,Start";
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Quoted", quoted);
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Library", library);
  RawSetText(HKEY_LOCAL_MACHINE, kRunKeyPaths[0], "Twin", "c:\\apps\\twin-one.exe");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Twin", "c:\\apps\\twin-two.exe");
  for (int action : {IDC_PAGE_DISABLE, IDC_PAGE_ENABLE})
    WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
      Select(page, {RowOf(page, "Quoted"), RowOf(page, "Library")});
      SendMessageA(page, WM_COMMAND, action, 0);
    });
  int twins = 0;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    const int first = RowOf(page, "Twin");
    LVFINDINFOA find{};
    find.flags = LVFI_STRING;
    find.psz = "Twin";
    const int second = static_cast<int>(
        SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_FINDITEMA, first, reinterpret_cast<LPARAM>(&find)));
    twins = first >= 0 && second > first ? 2 : 0;
    Select(page, {first, second});
    SendMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
  });
  EXPECT_EQ(quoted, RawText(HKEY_CURRENT_USER, kUserRun, "Quoted"));
  EXPECT_EQ(library, RawText(HKEY_CURRENT_USER, kUserRun, "Library"));
  EXPECT_EQ(2, twins);
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kRunKeyPaths[0], "Twin"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kUserRun, "Twin"));
  for (const char* name : {"Quoted", "Library", "Twin"}) RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, name);
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKeyPaths[0], "Twin");
}

// The restart commands viewer: only where wininit.exe carries the commands
// out, and only when wininit.ini holds some; Delete removes the file.
TEST_F(Sheet, RestartCommandsAreShownOnlyWhereTheyRun) {
  const std::string runner = WindowsFolder() + "\\wininit.exe", ini = WindowsFolder() + "\\wininit.ini";
  const bool hadRunner = GetFileAttributesA(runner.c_str()) != INVALID_FILE_ATTRIBUTES;
  auto write = [](const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  };
  auto answerBox = [](std::string* text) {
    HWND box = WaitForDialog(nullptr, text);
    if (box) Press(box, IDOK);
  };
  write(ini, "[rename]\nNUL=C:\\OLD.TMP\r\nNUL=C:\\X.TMP\n");
  if (!hadRunner) {
    EXPECT_EQ(0, RestartCommands(nullptr, false));  // this system never runs them
    std::string none;
    std::thread user(answerBox, &none);
    EXPECT_EQ(0, RestartCommands(nullptr, true));
    user.join();
    EXPECT_NE(std::string::npos, none.find("No commands have been found")) << none;
    write(runner, "MZ");
  }
  EXPECT_EQ(1, RestartCommands(nullptr, false));
  EXPECT_EQ("[rename]\r\nNUL=C:\\OLD.TMP\r\nNUL=C:\\X.TMP\r\n", RestartCommandsText());

  std::string caption, shown, legend;
  std::thread user([&] {
    HWND viewer = WaitForDialog(nullptr);
    ASSERT_NE(nullptr, viewer);
    char text[512] = "";
    GetWindowTextA(viewer, text, sizeof text);
    caption = text;
    GetDlgItemTextA(viewer, IDC_RESTART_TEXT, text, sizeof text);
    shown = text;
    GetDlgItemTextA(viewer, IDC_RESTART_LEGEND, text, sizeof text);
    legend = text;
    Press(viewer, IDC_RESTART_DELETE);
  });
  EXPECT_EQ(1, RestartCommands(nullptr, true));
  user.join();
  EXPECT_EQ(LoadText(IDS_SENTREL_WINDOWS_RESTART_COMMANDS), caption);
  EXPECT_EQ("[rename]\r\nNUL=C:\\OLD.TMP\r\nNUL=C:\\X.TMP\r\n", shown);
  EXPECT_EQ(LoadText(IDS_NUL_INDICATES_FILE_DELETED), legend);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ini.c_str()));  // Delete removed it

  write(ini, "");  // empty: nothing to run
  EXPECT_EQ(0, RestartCommands(nullptr, false));
  DeleteFileA(ini.c_str());
  if (!hadRunner) DeleteFileA(runner.c_str());
}

// ---- Startup page actions without the sheet ---------------------------------------

TEST_F(Sheet, ServicesPageShowsStateStartTypeAndListsMicrosoftOnRequest) {
  if (Is9xFamily()) GTEST_SKIP() << "the Services page is on the NT family only";
  const std::string program = "\"" + TestFolder() + "\\test_service.exe\"";
  ScratchService running("SvcTstPageRun", "Svc Page Running", program);
  ScratchService hosted("SvcTstPageHost", "Svc Page Hosted", "C:\\windows\\system32\\svchost.exe -k svcpage",
                        SERVICE_WIN32_SHARE_PROCESS, SERVICE_AUTO_START);
  ScratchService microsoft("SvcTstPageMs", "Svc Page Microsoft", "C:\\windows\\system32\\svchost.exe -k svcms",
                           SERVICE_WIN32_SHARE_PROCESS);
  ASSERT_TRUE(running.created() && hosted.created() && microsoft.created());
  RawSetText(HKEY_LOCAL_MACHINE, (ServiceKeyPath("SvcTstPageMs") + "\\Parameters").c_str(), "ServiceDll",
             TestFolder() + "\\fixtures\\opsys.dll");
  ASSERT_TRUE(running.Start());
  struct Row {
    std::string command, company, status, startup, seen;
  };
  auto rowOf = [](HWND page, const std::string& title, Row& row) {
    const std::vector<std::string> titles = Column(page, 0);
    const auto found = std::find(titles.begin(), titles.end(), title);
    if (found == titles.end()) return false;
    const size_t at = static_cast<size_t>(found - titles.begin());
    row = Row{Column(page, 1)[at], Column(page, 2)[at], Column(page, 3)[at], Column(page, 4)[at], Column(page, 5)[at]};
    return true;
  };
  Row own, shared, unused;
  bool microsoftHidden = false, microsoftShown = false;
  std::string optionAfterClick, sortKey;
  WithSheet(IDC_CMD_SHOW_SERVICES, [&](HWND, HWND page) {
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_PAGE_SHOW_ALL));
    EXPECT_TRUE(rowOf(page, "Svc Page Running", own));
    EXPECT_TRUE(rowOf(page, "Svc Page Hosted", shared));
    microsoftHidden = !rowOf(page, "Svc Page Microsoft", unused);
    // Unticked: the list is filled again at once, Microsoft's services in it.
    SendDlgItemMessageA(page, IDC_PAGE_SHOW_ALL, BM_CLICK, 0, 0);
    microsoftShown = rowOf(page, "Svc Page Microsoft", unused);
    optionAfterClick = RawText(HKEY_CURRENT_USER, kOptionsKey, "HideMicrosoftServices");
    ClickColumn(page, 3);
    sortKey = RawText(HKEY_CURRENT_USER, kOptionsKey, "SortService");
  });
  EXPECT_EQ("test_service.exe", own.command);
  EXPECT_EQ(" ", own.company);  // no version resource
  EXPECT_EQ(LoadText(IDS_RUNNING), own.status);
  EXPECT_EQ(LoadText(IDS_MANUAL), own.startup);
  EXPECT_GT(own.seen.size(), 11u);  // recorded when first listed
  EXPECT_EQ("svchost.exe svchost.exe -k svcpage", shared.command);
  EXPECT_EQ(" ", shared.status);  // cannot be interrogated
  EXPECT_EQ(LoadText(IDS_AUTOMATIC), shared.startup);
  EXPECT_TRUE(microsoftHidden);
  EXPECT_TRUE(microsoftShown);
  EXPECT_EQ("0", optionAfterClick);
  EXPECT_EQ("4", sortKey);
}

TEST(StartupPageActions, AddNamesAFileWithoutVersionAfterItsFileName) {
  const std::string file = TestFolder() + "\\fixtures\\noversion.dll";
  ASSERT_EQ(1, AddStartupFile(file));
  EXPECT_EQ(file, RawText(HKEY_CURRENT_USER, kUserRun, "noversion"));
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(file).c_str()));
  DeletePlanted();
  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

TEST(StartupPageActions, CommandColumnText) {
  EXPECT_EQ("app.exe /min", StartupCommandText("c:\\apps\\app.exe /min"));  // the text after the last backslash
  EXPECT_EQ("plain", StartupCommandText("plain"));
}

TEST(StartupPageActions, DeleteOnRebootIsRegistered) {
  const std::string file = TestFolder() + "\\reboot-victim.tmp";
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  CloseHandle(handle);
  ASSERT_EQ(1, DeleteFileOnReboot(file.c_str()));
  if (Is9xFamily()) {
    std::string ini = WindowsFolder() + "\\wininit.ini";
    const std::string contents = ReadWholeFile(ini);
    const char* text = contents.c_str();
    char shortPath[MAX_PATH];
    GetShortPathNameA(file.c_str(), shortPath, sizeof shortPath);
    EXPECT_NE(nullptr, strstr(text, "[rename]"));
    EXPECT_NE(nullptr, strstr(text, (std::string("NUL=") + shortPath + "\r\n").c_str())) << text;
    DeleteFileA(ini.c_str());
  } else {
    RawValue pending = RawGet(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                              "PendingFileRenameOperations");
    std::string text(pending.data.begin(), pending.data.end());
    EXPECT_NE(std::string::npos, text.find("reboot-victim.tmp")) << "no pending deletion";
    // Leave the machine as it was.
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                       "PendingFileRenameOperations");
  }
  EXPECT_EQ(0u, GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY);  // made deletable
  DeleteFileA(file.c_str());
}

}  // namespace
