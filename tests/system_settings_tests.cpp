// The watched system settings against the real (Wine) registry: hostile
// values, long pages, the default browser, and the watch's answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "process_support.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "settings_watch.h"
#include "strings.h"
#include "system_settings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kSettings = "Software\\Orvane Works\\Sentrel";

class SystemSettings : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    Process() = ProcessState{};
    InitLanguageId();
    LoadOptions();
  }
  void TearDown() override { RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works"); }
};

// Restores a value as it was.
struct Keep {
  HKEY root;
  const char* key;
  const char* name;
  RawValue value = RawGet(root, key, name);
  ~Keep() {
    if (value.type)
      RawSet(root, key, name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    else if (HKEY opened; RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &opened) == ERROR_SUCCESS) {
      RegDeleteValueA(opened, name);
      RegCloseKey(opened);
    }
  }
};

TEST_F(SystemSettings, DwordSettingsReadOnlyRealDwordsThroughTheirLow16Bits) {
  struct Case {
    DWORD type;
    DWORD data;
    DWORD expected;
  };
  const Case cases[] = {{REG_DWORD, 3, 3}, {REG_DWORD, 0x10004, 4}, {REG_DWORD, 0xFFFFFFFF, 0}, {REG_SZ, 0x33, 0}};
  for (const Case& c : cases) {
    RawSet(HKEY_CURRENT_USER, kSettings, "AUOptions", c.type, &c.data, c.type == REG_SZ ? 2 : 4);
    EXPECT_EQ(c.expected, AutoUpdateBaseline()) << c.data;
  }
  EXPECT_EQ("Download options for me, but let me choose whether to install them.", AutoUpdateText(3));
  EXPECT_EQ("7", AutoUpdateText(7));  // no text of its own
}

TEST_F(SystemSettings, PagesAreComparedAndWrittenWhole) {
  Keep start{HKEY_CURRENT_USER, kIEMainKey, "Start Page"};
  const BrowserPage& page = BrowserPages(nullptr)[0];
  const std::string longPage = "http://example.com/" + std::string(600, 'a');
  RawSetText(HKEY_CURRENT_USER, kIEMainKey, "Start Page", longPage + "/");
  EXPECT_EQ(longPage + "/", ReadPage(page));
  EXPECT_TRUE(SamePage(longPage + "/", longPage));
  EXPECT_FALSE(SamePage(longPage + "b", longPage));
  EXPECT_FALSE(SamePage("http://a//", "http://a"));  // one "/" only

  // Hidden answers (ShowAlerts 0): HideHomePage 2 puts the whole approved
  // page back, a change past the first 512 bytes included.
  WritePageBaseline(page, longPage);
  RawSetText(HKEY_CURRENT_USER, kIEMainKey, "Start Page", longPage + "x");
  WriteOption("ShowAlerts", 0);
  WriteOption("HideHomePage", 2);
  LoadOptions();
  EXPECT_EQ(1, CheckBrowserPages());
  EXPECT_EQ(longPage, RawText(HKEY_CURRENT_USER, kIEMainKey, "Start Page"));
  // HideHomePage 1 keeps it: the baseline takes the new page whole.
  RawSetText(HKEY_CURRENT_USER, kIEMainKey, "Start Page", longPage + "y");
  WriteOption("HideHomePage", 1);
  LoadOptions();
  CheckBrowserPages();
  EXPECT_EQ(longPage + "y", RawText(HKEY_CURRENT_USER, kSettings, "StartPage"));
}

TEST_F(SystemSettings, AutoUpdateStoredAsTextIsAskedAboutAndNeverOverwritten) {
  Keep system{HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUOptions"};
  Keep prefix{HKEY_LOCAL_MACHINE, kUrlPrefixesKey, "www"};
  RawSetText(HKEY_LOCAL_MACHINE, kUrlPrefixesKey, "www", "http://");
  RawSetText(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUOptions", "3");
  StoreAutoUpdateBaseline(3);
  std::string question;
  std::thread user([&] { question = AnswerMessageBox(GetCurrentProcessId(), IDNO); });
  EXPECT_EQ(0, CheckWindowsSettings());
  user.join();
  EXPECT_NE(std::string::npos, question.find("Has been changed to:\n0")) << question;
  EXPECT_EQ(0u, AutoUpdateBaseline());                                       // approved as read
  EXPECT_EQ("3", RawText(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUOptions"));  // untouched
}

TEST_F(SystemSettings, UserAccountControlMissingValuesSumAsZero) {
  Keep consent{HKEY_LOCAL_MACHINE, kPoliciesSystemKey, "ConsentPromptBehaviorAdmin"};
  Keep prompt{HKEY_LOCAL_MACHINE, kPoliciesSystemKey, "PromptOnSecureDesktop"};
  for (const char* name : {"ConsentPromptBehaviorAdmin", "PromptOnSecureDesktop"})
    if (HKEY key; RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPoliciesSystemKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, name);
      RegCloseKey(key);
    }
  StoreUacBaselines();  // the missing ones stored as -1
  EXPECT_EQ(0xFFFFFFFFu, ReadDwordValue(HKEY_CURRENT_USER, kSettings, "PromptOnSecureDesktop"));
  EXPECT_EQ(UacSystemSum(), UacBaselineSum());
  EXPECT_EQ(0, CheckUserAccountControl());  // no question
  EXPECT_EQ(LoadText(IDS_3_ALWAYS_NOTIFY_DIM), UacLevelText(4));
  EXPECT_EQ(LoadText(IDS_0_USER_ACCOUNT_CONTROL), UacLevelText(5));
}

TEST_F(SystemSettings, DefaultBrowserCommandAndKind) {
  struct Case {
    const char* registered;
    const char* command;
    int kind;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url \"%1\"",
       "C:\\Program Files\\Mozilla Firefox\\firefox.exe", 6},
      {"C:\\PROGRA~1\\INTERN~1\\iexplore.exe %1", "C:\\PROGRA~1\\INTERN~1\\iexplore.exe %", 1},
      {"-x", "C:\\IE\\IExplore.exe", 1},  // nothing before the "-": Internet Explorer
      {"", "C:\\IE\\IExplore.exe", 1},
      {"c:\\apps\\maxthon.exe \"%1\"", "c:\\apps\\maxthon.exe %", 4},
  };
  for (const Case& c : cases) {
    const std::string command = DefaultBrowserCommandOf(c.registered, "C:\\IE\\IExplore.exe");
    EXPECT_EQ(c.command, command) << c.registered;
    EXPECT_EQ(c.kind, BrowserKindOf(command)) << c.registered;
  }
  EXPECT_EQ(3, BrowserKindOf("c:\\apps\\firefox.exe"));
}

}  // namespace
