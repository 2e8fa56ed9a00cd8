// The real SentrelEx.exe under Wine: one-shot switches, the single-instance
// rule and the command window.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "process_support.h"
#include "resource.h"
#include "test_support.h"

using namespace sentrel_test;

namespace {

const char* const kAutoUpdate = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
const char* const kPrefixes = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
const char* const kDefaultPrefix = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";

class ExplorerProcess : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "an explorer is already running";
  }
  void TearDown() override {
    if (HWND window = FindWindowA("SentrelEx", nullptr)) PostMessageA(window, WM_COMMAND, IDC_CMD_EXIT, 0);
    Sleep(500);
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  }
  static int SheetTab(DWORD process) {
    HWND sheet = WaitForVisibleWindow(process, "#32770", 15000);
    if (!sheet) return -2;
    HWND tabs = nullptr;
    for (int i = 0; i < 100 && !tabs; ++i) {
      tabs = FindWindowExA(sheet, nullptr, WC_TABCONTROLA, nullptr);
      if (!tabs) Sleep(50);
    }
    Sleep(300);
    return tabs ? static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)) : -3;
  }
};

TEST_F(ExplorerProcess, OneShotSwitchesCopyTheirValuesAndShowNothing) {
  // The machine's settings are put back afterwards: a monitor started by a
  // later test would find them changed.
  struct Restore {
    HKEY root;
    const char* key;
    const char* name;
    RawValue saved = RawGet(root, key, name);
    ~Restore() {
      if (saved.type)
        RawSet(root, key, name, saved.type, saved.data.data(), static_cast<DWORD>(saved.data.size()));
      else
        RegDeleteKeyValueA(root, key, name);
    }
  } autoUpdate{HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions"}, prefix{HKEY_LOCAL_MACHINE, kPrefixes, "www"},
      fallback{HKEY_LOCAL_MACHINE, kDefaultPrefix, ""};
  DWORD options = 2;
  RawSet(HKEY_CURRENT_USER, "Software\\Orvane Works\\Sentrel", "AUOptions", REG_DWORD, &options, sizeof options);
  RawSetText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Sentrel", "wwwPrefix", "http://saved.");
  for (const char* arguments : {"-AUOption", "-SetPrefix"}) {
    Program program(ProgramPath("SentrelEx.exe"), arguments);
    ASSERT_TRUE(program.started());
    EXPECT_EQ(0u, program.WaitForExit(15000)) << arguments;
  }
  RawValue copied = RawGet(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions");
  ASSERT_EQ(static_cast<DWORD>(REG_DWORD), copied.type);
  EXPECT_EQ(2u, *reinterpret_cast<const DWORD*>(copied.data.data()));
  EXPECT_EQ("http://saved.", RawText(HKEY_LOCAL_MACHINE, kPrefixes, "www"));
  EXPECT_EQ("http://saved.", RawText(HKEY_LOCAL_MACHINE, kDefaultPrefix, ""));
}

TEST_F(ExplorerProcess, SwitchOpensItsPageAndASecondStartOnlyRaisesTheSheet) {
  Program first(ProgramPath("SentrelEx.exe"), "-RESTART");
  ASSERT_TRUE(first.started());
  const int options = SheetTab(first.id());
  EXPECT_EQ(12, options);  // Options, the last of thirteen tabs
  Program second(ProgramPath("SentrelEx.exe"), "-BHO");
  EXPECT_EQ(0u, second.WaitForExit(15000));
  Sleep(500);
  EXPECT_EQ(options, SheetTab(first.id()));  // raised, still on its page
  Program quit(ProgramPath("SentrelEx.exe"), "-Q");
  EXPECT_EQ(0u, quit.WaitForExit(15000));
  EXPECT_EQ(0u, first.WaitForExit(15000));
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Sentrel", "xPos"));
}

TEST_F(ExplorerProcess, CookiesAndTasksSwitchesOpenTheirPages) {
  struct Case {
    const char* arguments;
    int tab;
  };
  for (const Case& item : {Case{"-nuts", 7}, Case{"-TASK", 6}}) {
    Program explorer(ProgramPath("SentrelEx.exe"), item.arguments);
    ASSERT_TRUE(explorer.started());
    EXPECT_EQ(item.tab, SheetTab(explorer.id())) << item.arguments;
    HWND sheet = WaitForVisibleWindow(explorer.id(), "#32770", 0);
    if (item.tab == 6 && sheet) {
      // Cookies asked for while the sheet is open: the sheet stays on top.
      Program again(ProgramPath("SentrelEx.exe"), "-nuts");
      EXPECT_EQ(0u, again.WaitForExit(15000));
      Sleep(500);
      EXPECT_NE(0, GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST);
      EXPECT_EQ(item.tab, SheetTab(explorer.id()));  // on the same page
    }
    Program quit(ProgramPath("SentrelEx.exe"), "-Q");
    EXPECT_EQ(0u, quit.WaitForExit(15000));
    EXPECT_EQ(0u, explorer.WaitForExit(15000)) << item.arguments;
  }
}

TEST_F(ExplorerProcess, MonitorSwitchLeavesOnlyTheCommandWindow) {
  Program explorer(ProgramPath("SentrelEx.exe"), "-MONITOR");
  ASSERT_TRUE(explorer.started());
  HWND window = WaitForWindow(explorer.id(), "SentrelEx", 15000);
  ASSERT_NE(nullptr, window);
  Sleep(1500);
  EXPECT_EQ(nullptr, WaitForVisibleWindow(explorer.id(), "#32770", 0));
  char caption[64] = "";
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ("Loading...", caption);
  EXPECT_TRUE(explorer.Running());
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, explorer.WaitForExit(15000));
}

// Only a page of the sheet comes from StartTab: Recent, quit, run-at-start
// and nonsense all open the first tab.
TEST_F(ExplorerProcess, StartTabNamingNoOpeningPageOpensTheFirstTab) {
  for (const char* stored : {"6060", "6030", "6031", "99999"}) {
    RawSetText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Sentrel\\Options", "StartTab", stored);
    Program explorer(ProgramPath("SentrelEx.exe"), "");
    ASSERT_TRUE(explorer.started());
    EXPECT_EQ(0, SheetTab(explorer.id())) << stored;
    if (HWND window = FindWindowA("SentrelEx", nullptr)) PostMessageA(window, WM_COMMAND, IDC_CMD_EXIT, 0);
    EXPECT_EQ(0u, explorer.WaitForExit(15000)) << stored;
  }
}

}  // namespace
