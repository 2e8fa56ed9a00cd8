// The monitor's pieces inside the test process: command line, tray menu for
// the running Windows family, the icon's hide rule, class registration.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "monitor.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

TEST(MonitorCommandLine, FirstMatchingTestDecides) {
  MonitorCommandLine parsed = ParseMonitorCommandLine("C:\\Tools\\thing.EXE -Q");
  EXPECT_EQ(MonitorCommandLine::kLookUpProgram, parsed.kind);
  parsed = ParseMonitorCommandLine("c:\\windows\\system32\\shell32.dll");
  EXPECT_EQ(MonitorCommandLine::kLookUpLibrary, parsed.kind);
  parsed = ParseMonitorCommandLine("x.exe y.dll");
  EXPECT_EQ(MonitorCommandLine::kLookUpProgram, parsed.kind);

  parsed = ParseMonitorCommandLine("-expressboot");
  EXPECT_EQ(MonitorCommandLine::kRun, parsed.kind);
  EXPECT_TRUE(parsed.expressBoot);
  EXPECT_FALSE(parsed.quit);
  parsed = ParseMonitorCommandLine("-q -noopen");
  EXPECT_TRUE(parsed.quit);
  EXPECT_TRUE(parsed.noOpen);
  parsed = ParseMonitorCommandLine("-whatever /x");
  EXPECT_EQ(MonitorCommandLine::kRun, parsed.kind);
  EXPECT_FALSE(parsed.quit || parsed.noOpen || parsed.expressBoot);
  parsed = ParseMonitorCommandLine(nullptr);
  EXPECT_EQ(MonitorCommandLine::kRun, parsed.kind);
}

TEST(MonitorCommandLine, OverlongLinesContainNoSwitch) {
  std::string line = "-Q -expressboot prog.exe " + std::string(800, ' ');
  MonitorCommandLine parsed = ParseMonitorCommandLine(line.c_str());
  EXPECT_EQ(MonitorCommandLine::kRun, parsed.kind);
  EXPECT_FALSE(parsed.quit);
  EXPECT_FALSE(parsed.expressBoot);
  line.resize(772);
  EXPECT_TRUE(ParseMonitorCommandLine(line.c_str()).quit);
}

struct MenuEntry {
  UINT command;  // 0 for a separator
  std::string text;
};
std::vector<MenuEntry> MenuEntries(HMENU menu) {
  std::vector<MenuEntry> entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[256] = "";
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, i, TRUE, &info);
    entries.push_back({(info.fType & MFT_SEPARATOR) ? 0u : info.wID, text});
  }
  return entries;
}

TEST(TrayMenu, ThirteenItemsAndThreeSeparatorsForTheFamily) {
  HMENU menu = BuildTrayMenu();
  ASSERT_NE(nullptr, menu);
  std::vector<MenuEntry> entries = MenuEntries(menu);
  DestroyMenu(menu);
  const bool nt = !Is9xFamily();
  std::vector<UINT> expected = {6027, 6033, 0, 6026, 6055, 6040, nt ? 6038u : 6039u};
  if (nt) expected.push_back(6039);
  for (UINT id : {6056u, 0u, 6029u, 6028u, 6042u, 6052u}) expected.push_back(id);
  if (!nt) expected.push_back(6034);
  expected.push_back(0);
  expected.push_back(6030);
  std::vector<UINT> ids;
  for (const MenuEntry& entry : entries) ids.push_back(entry.command);
  EXPECT_EQ(expected, ids);
  ASSERT_EQ(16u, entries.size());
  EXPECT_EQ("About &Sentrel / OMNI...", entries[0].text);
  EXPECT_EQ("&Options...", entries[1].text);
  EXPECT_EQ("E&xit Program", entries[15].text);
}

// A monitor window inside the test process, with the real window procedure.
class TrayIcon : public testing::Test {
 protected:
  void SetUp() override {
    static bool registered = RegisterMonitorClass(GetModuleHandleA(nullptr), "SentrelTrayTest") != 0;
    ASSERT_TRUE(registered);
    MonitorState& monitor = Monitor();
    monitor.instance = GetModuleHandleA(nullptr);
    monitor.window = CreateWindowExA(0, "SentrelTrayTest", "tray", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                                     monitor.instance, nullptr);
    ASSERT_NE(nullptr, monitor.window);
    monitor.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    InitLanguageId();
  }
  void TearDown() override {
    MonitorState& monitor = Monitor();
    monitor.hideIcon = false;
    UpdateTrayIcon(NIM_DELETE, 0, IDS_TIP_ON_PATROL);
    monitor.exitConfirmed = true;  // destroying the test window is no exit request
    SetWindowLongPtrA(monitor.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
    DestroyWindow(monitor.window);
    monitor = MonitorState{};
  }
  static void Send(UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageA(Monitor().window, message, wParam, lParam);
  }
};

TEST_F(TrayIcon, HiddenIconIsNeverAddedUntilShownAgain) {
  Monitor().hideIcon = true;
  const int before = TrayNotifyCount();
  EXPECT_EQ(0, UpdateTrayIcon(NIM_ADD, 0, IDS_TIP_ON_PATROL));
  Send(Monitor().taskbarCreated, 0, 0);                                             // re-created taskbar
  EXPECT_EQ(0, UpdateTrayIcon(NIM_MODIFY, IDI_TAVVY_FIRST_HALF, IDS_TIP_STARTUP));  // patrol refresh
  EXPECT_EQ(before, TrayNotifyCount());

  Send(WM_COMMAND, IDC_CMD_HIDE_ICON, 0);  // shown again: added at once
  EXPECT_FALSE(Monitor().hideIcon);
  EXPECT_EQ(before + 1, TrayNotifyCount());
  Send(Monitor().taskbarCreated, 0, 0);
  EXPECT_EQ(before + 2, TrayNotifyCount());
}

TEST_F(TrayIcon, HidingRemovesTheIconOnce) {
  const int before = TrayNotifyCount();
  Send(WM_COMMAND, IDC_CMD_HIDE_ICON, 1);  // removes the icon
  EXPECT_TRUE(Monitor().hideIcon);
  EXPECT_EQ(before + 1, TrayNotifyCount());
  Send(WM_COMMAND, IDC_CMD_HIDE_ICON, 1);  // already hidden: nothing
  Send(Monitor().taskbarCreated, 0, 0);
  EXPECT_EQ(before + 1, TrayNotifyCount());
}

TEST_F(TrayIcon, NormalIconFollowsTheOptionAndTheFamily) {
  RawDeleteTree(HKEY_CURRENT_USER, kOptionsKey);
  EXPECT_EQ(Is9xFamily() ? 159u : 101u, NormalTrayIcon());
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "TrayIcon", "157");
  LoadOptions();
  EXPECT_EQ(157u, NormalTrayIcon());
  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

TEST(MonitorStart, FailedClassRegistrationEndsWithCodeZero) {
  // The class of string 1 already exists in this process: registering it
  // again fails, and the monitor must end quietly without a window.
  ASSERT_EQ("SentrelTest", LoadText(IDS_CLASS_NAME));
  ASSERT_TRUE(RegisterMonitorClass(GetModuleHandleA(nullptr), "SentrelTest"));
  EXPECT_EQ(0, RunMonitor(GetModuleHandleA(nullptr), ""));
  EXPECT_EQ(nullptr, FindWindowA("SentrelTest", nullptr));
  Monitor() = MonitorState{};
}

}  // namespace
