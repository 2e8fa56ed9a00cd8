// The patrol's file type check in-process, with file types locked (no
// question): a changed program is put back, a moved one is left alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <string>

#include "file_type_check.h"
#include "file_types.h"
#include "monitor.h"
#include "settings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kExtension = "Software\\Classes\\.sntq";
const char* const kProgId = "Software\\Classes\\SentrelCheck.Q";
const char* const kCommand = "Software\\Classes\\SentrelCheck.Q\\shell\\open\\command";
const char* const kOtherProgId = "Software\\Classes\\SentrelCheck.R";
const char* const kOtherCommand = "Software\\Classes\\SentrelCheck.R\\shell\\open\\command";
const char* const kChoice = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.sntq";

void Clean() {
  RawDeleteTree(HKEY_LOCAL_MACHINE, kExtension);
  RawDeleteTree(HKEY_LOCAL_MACHINE, kProgId);
  RawDeleteTree(HKEY_LOCAL_MACHINE, kOtherProgId);
  RawDeleteTree(HKEY_CURRENT_USER, kChoice);
  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
}

std::string SystemFolder() {
  char folder[MAX_PATH] = "";
  GetSystemDirectoryA(folder, sizeof folder);
  return folder;
}

TEST(FileTypeCheck, LockedCheckPutsBackAnotherProgramAndLeavesAMovedOne) {
  struct Case {
    std::string approved, changed;
    bool putBack;
    bool choice = false;  // changed through a user's choice of another identifier
  };
  const Case cases[] = {
      {"c:\\apps\\bview.exe %1", "c:\\apps\\hijack.exe %1", true},
      // A folder with "name.ext " in it is still only a folder.
      {"\"c:\\apps\\viewer 2.0 beta\\fview.exe\" \"%1\"", "\"d:\\moved\\fview.exe\" \"%1\"", false},
      // Another program in front, the old one only an argument.
      {"c:\\windows\\notepad.exe %1", "rundll32 c:\\apps\\evil.dll,Run c:\\windows\\notepad.exe %1", true},
      {"c:\\windows\\notepad.exe %1", SystemFolder() + "\\rundll32 c:\\apps\\evil.dll,Run c:\\windows\\notepad.exe %1",
       true},
      // The user's own choice, where none was approved, in front of the machine's.
      {"c:\\apps\\bview.exe %1", "c:\\apps\\hijack.exe %1", true, true},
      {"c:\\apps\\bview.exe %1", "\"d:\\new\\bview.exe\" %1", false, true},
  };
  for (const Case& c : cases) {
    Clean();
    Monitor() = MonitorState{};
    RawSetText(HKEY_LOCAL_MACHINE, kExtension, "", "SentrelCheck.Q");
    RawSetText(HKEY_LOCAL_MACHINE, kCommand, "", c.approved);
    RawSetText(HKEY_CURRENT_USER, kClassKey, "", "");
    ASSERT_EQ(0, AddMonitoredExtension("sntq"));
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "LockFileTypes", "1");
    LoadOptions();
    if (c.choice) {
      RawSetText(HKEY_LOCAL_MACHINE, kOtherCommand, "", c.changed);
      RawSetText(HKEY_CURRENT_USER, kChoice, "ProgID", "SentrelCheck.R");
    } else {
      RawSetText(HKEY_LOCAL_MACHINE, kCommand, "", c.changed);
    }
    // A second check must find nothing more to do either way.
    for (int patrol = 0; patrol < 2; ++patrol) {
      EXPECT_EQ(1, CheckFileTypes());
      if (c.choice)
        EXPECT_EQ(c.putBack ? "<missing>" : "SentrelCheck.R", RawText(HKEY_CURRENT_USER, kChoice, "ProgID"))
            << c.changed;
      else
        EXPECT_EQ(c.putBack ? c.approved : c.changed, RawText(HKEY_LOCAL_MACHINE, kCommand, "")) << c.changed;
    }
  }
  Clean();
}

// A class named outside the ANSI code page cannot be read through the ANSI
// registry calls, yet Windows opens the type with its command.
TEST(FileTypeCheck, ClassNamedOutsideTheAnsiCodePageIsStillAChange) {
  const wchar_t* const unicodeClass = L"SentrelCheck.\x0416\x4E2D";
  const std::wstring unicodeCommand = std::wstring(L"Software\\Classes\\") + unicodeClass + L"\\shell\\open\\command";
  for (const char* lock : {"1", "0"}) {
    Clean();
    Monitor() = MonitorState{};
    RawSetText(HKEY_LOCAL_MACHINE, kExtension, "", "SentrelCheck.Q");
    RawSetText(HKEY_LOCAL_MACHINE, kCommand, "", "c:\\apps\\bview.exe %1");
    RawSetText(HKEY_CURRENT_USER, kClassKey, "", "");
    ASSERT_EQ(0, AddMonitoredExtension("sntq"));
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "LockFileTypes", lock);
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAlerts", "0");
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "HideFileType", "1");  // allowed when not locked
    LoadOptions();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, unicodeCommand.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    const wchar_t* hijack = L"c:\\apps\\hijack.exe %1";
    RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(hijack),
                   static_cast<DWORD>((wcslen(hijack) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.sntq", 0, KEY_ALL_ACCESS, &key));
    RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(unicodeClass),
                   static_cast<DWORD>((wcslen(unicodeClass) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    const std::string read = RawText(HKEY_LOCAL_MACHINE, kExtension, "");
    for (int patrol = 0; patrol < 2; ++patrol) {
      EXPECT_EQ(1, CheckFileTypes()) << lock;
      if (lock[0] == '1') {
        EXPECT_EQ("SentrelCheck.Q", RawText(HKEY_LOCAL_MACHINE, kExtension, "")) << patrol;
      } else {  // approved as it reads: known on the next patrol, never put back
        EXPECT_EQ(read, RawText(HKEY_LOCAL_MACHINE, kExtension, "")) << patrol;
        EXPECT_EQ(read, BaselineAssociationValue(".sntq", kMachineClasses)) << patrol;
      }
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\") + unicodeClass).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\") + unicodeClass).c_str());
  }
  Clean();
}

}  // namespace
