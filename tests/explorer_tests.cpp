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
#include "list_page.h"
#include "process_support.h"
#include "reboot_delete.h"
#include "resource.h"
#include "settings.h"
#include "startup.h"
#include "startup_page.h"
#include "strings.h"
#include "test_support.h"

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
  EXPECT_TRUE(ParseExplorerCommandLine("-q").quit);
  ExplorerCommand oneShots = ParseExplorerCommandLine("-restore -auoption -setprefix");
  EXPECT_TRUE(oneShots.restore && oneShots.auOption && oneShots.setPrefix);
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
    RegDeleteValueA(run, "noversion");
    RegCloseKey(run);
  }
}

// Empties every Run key (the test prefix carries entries of its own).
void EmptyRunKeys() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    for (const char* const path : kRunKeyPaths) {
      HKEY key;
      if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
      char name[512];
      for (;;) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
      }
      RegCloseKey(key);
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
    Process().kind = ProgramKind::Explorer;
    InitLanguageId();
    LoadOptions();
    Explorer() = ExplorerState{};
    Explorer().instance = GetModuleHandleA(nullptr);
    Explorer().caption = "Sentrel OMNI";
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
  }
  void TearDown() override {
    DeletePlanted();
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    ClearCatalogueEntries();
  }

  // Shows the sheet on the page and runs the user's steps on a helper thread
  // once the page is up; the sheet is closed afterwards.
  static void WithSheet(UINT command, const std::function<void(HWND sheet, HWND page)>& steps) {
    std::thread user([&] {
      HWND sheet = WaitForVisibleWindow(GetCurrentProcessId(), "#32770", 10000);
      ASSERT_NE(nullptr, sheet);
      HWND page = nullptr;
      for (int i = 0; i < 200 && !page; ++i) {
        page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (!page) Sleep(20);
      }
      steps(sheet, page);
      PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    ShowSheet(command);
    user.join();
  }

  static std::vector<std::string> Column(HWND page, int column) {
    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    std::vector<std::string> texts;
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
      char text[260] = "";
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
      texts.push_back(text);
    }
    return texts;
  }
  static void ClickColumn(HWND page, int column) {
    NMLISTVIEW click{};
    click.hdr.hwndFrom = GetDlgItem(page, IDC_PAGE_LIST);
    click.hdr.idFrom = IDC_PAGE_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iSubItem = column;
    SendMessageA(page, WM_NOTIFY, IDC_PAGE_LIST, reinterpret_cast<LPARAM>(&click));
  }
  static void Select(HWND page, std::initializer_list<int> rows) {
    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    LVITEMA clear{};
    clear.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    for (int row : rows) {
      LVITEMA item{};
      item.state = item.stateMask = LVIS_SELECTED;
      SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
  }
  static int CurrentTab(HWND sheet) {
    return static_cast<int>(
        SendMessageA(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0)), TCM_GETCURSEL, 0, 0));
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

TEST_F(Sheet, SeveralRowsAreRemovedWithoutQuestionsAndTheRefillKeepsTheSort) {
  std::vector<std::string> left;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND, HWND page) {
    ClickColumn(page, 0);  // ascending; the refill sorts the other way
    Select(page, {0, 1, 2});
    SendMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);  // returns only if nothing asks
    left = Column(page, 0);
  });
  EXPECT_EQ((std::vector<std::string>{"Delta"}), left);
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
    // The box is the second shown dialog of this program; the sheet is the first.
    HWND box = nullptr;
    for (int i = 0; i < 250 && !box; ++i) {
      HWND found = nullptr;
      while ((found = FindWindowExA(nullptr, found, "#32770", nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(found, &process);
        if (found != sheet && process == GetCurrentProcessId() && IsWindowVisible(found)) box = found;
      }
      if (!box) Sleep(20);
    }
    ASSERT_NE(nullptr, box);
    Sleep(200);
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
  });
  EXPECT_NE(std::string::npos, text.find("No selection has been made.")) << text;
}

// ---- Startup page actions without the sheet ---------------------------------------

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
    char text[4096] = "";
    HANDLE read = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    ReadFile(read, text, sizeof text - 1, &got, nullptr);
    CloseHandle(read);
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
