// A 32-bit program on 64-bit Windows (Wine's WoW64 prefix): the machine's own
// autostarts and System32 are seen, and each entry is acted on in the view it
// came from.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "activex.h"
#include "catalogue.h"
#include "companion_changes.h"
#include "fileid.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "process_support.h"
#include "processes.h"
#include "registry.h"
#include "restart_commands.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"
#include "test_support.h"
#include "type_codes.h"

using namespace sentrel;

namespace {

const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Text of a value in one view, "<missing>" when absent.
std::string TextIn(REGSAM view, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return "<missing>";
  char text[512] = "";
  DWORD size = sizeof text - 1, type = 0;
  LONG read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS ? std::string(text) : std::string("<missing>");
}

void SetIn(REGSAM view, const char* path, const char* name, const char* text) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(key);
}

void DeleteIn(REGSAM view, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

class Wow64 : public testing::Test {
 protected:
  void SetUp() override {
    if (!IsWow64()) GTEST_SKIP() << "not a 32-bit program on 64-bit Windows";
    Clean();
    Process() = ProcessState{};
    Process().is64BitWindows = KeyExists(HKEY_LOCAL_MACHINE,
                                         "Software\\Wow6432Node\\Microsoft\\Windows\\"
                                         "CurrentVersion\\Run") != 0;
    LoadOptions();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      DeleteIn(view, kRun, "Native64");
      DeleteIn(view, kRun, "Thirty2");
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    ClearCatalogueEntries();
  }
};

TEST_F(Wow64, EachViewIsListedOnceAndActedOnInItsOwnView) {
  SetIn(KEY_WOW64_64KEY, kRun, "Native64", "c:\\apps\\native.exe");
  SetIn(KEY_WOW64_32KEY, kRun, "Thirty2", "c:\\apps\\thirty.exe");
  EXPECT_TRUE(Process().is64BitWindows);
  struct Case {
    const char* name;
    int type;
    REGSAM view, other;
  };
  for (const Case& c :
       {Case{"Native64", 1, KEY_WOW64_64KEY, KEY_WOW64_32KEY}, Case{"Thirty2", 21, KEY_WOW64_32KEY, KEY_WOW64_64KEY}}) {
    EnumerateStartupEntries(0);
    int listed = 0;
    CatalogueEntry entry;
    for (int i = 0; i < CatalogueCount(); ++i)
      if (CatalogueAt(i).name == c.name) {
        ++listed;
        entry = CatalogueAt(i);
      }
    EXPECT_EQ(1, listed) << c.name;
    EXPECT_EQ(c.type, entry.type) << c.name;
    ASSERT_EQ(1, ToggleStartupEntry(entry)) << c.name;
    EXPECT_EQ("<missing>", TextIn(c.view, kRun, c.name));
    EnumerateStartupEntries(0);
    for (int i = 0; i < CatalogueCount(); ++i)
      if (CatalogueAt(i).name == c.name) entry = CatalogueAt(i);
    EXPECT_TRUE(entry.fromDisabledStore) << c.name;
    ASSERT_EQ(1, ToggleStartupEntry(entry)) << c.name;
    EXPECT_NE("<missing>", TextIn(c.view, kRun, c.name)) << c.name;
    EXPECT_EQ("<missing>", TextIn(c.other, kRun, c.name)) << c.name;
  }
}

// The 64-bit Winlogon loads the notifications of the native view, whatever
// their keys are called: each is listed, the 32-bit view's is not.
TEST_F(Wow64, WinlogonNotificationsOfTheNativeViewAreListed) {
  const char* notify = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
  const struct {
    std::wstring name;
    REGSAM view;
    bool listed;
  } cases[] = {{L"Wow Notify Native", KEY_WOW64_64KEY, true},
               {L"Wow Notify \x4E2D\x0141", KEY_WOW64_64KEY, true},
               {L"Wow Notify Thirty2", KEY_WOW64_32KEY, false}};
  for (const auto& c : cases) {
    HKEY key = nullptr;
    const std::wstring path = std::wstring(notify, notify + strlen(notify)) + L"\\" + c.name;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | c.view,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, L"DllName", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"c:\\apps\\wownotify.dll"),
                   sizeof L"c:\\apps\\wownotify.dll");
    RegCloseKey(key);
  }
  EnumerateStartupEntries(0);
  for (const auto& c : cases) {
    const std::string name = ExactAnsiForm(c.name);
    int listed = 0;
    for (int i = 0; i < CatalogueCount(); ++i)
      listed += CatalogueAt(i).type == kTypeWinlogonNotify && CatalogueAt(i).name == name &&
                CatalogueAt(i).command == "c:\\apps\\wownotify.dll";
    EXPECT_EQ(c.listed ? 1 : 0, listed) << name;
  }
  for (const auto& c : cases) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, notify, 0, KEY_ALL_ACCESS | c.view, &parent) != ERROR_SUCCESS) continue;
    RegDeleteKeyW(parent, c.name.c_str());
    RegCloseKey(parent);
  }
}

// A file only the machine's own System32 holds is found, and a 64-bit
// program is listed with its file.
TEST_F(Wow64, TheRealSystemFolderAndItsProgramsAreSeen) {
  const std::string native = WindowsFolder() + "\\Sysnative\\sentrel-only-native.txt";
  HANDLE file = CreateFileA(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no Sysnative alias here";
  CloseHandle(file);
  EXPECT_EQ(1, FileExists((SystemFolder() + "\\sentrel-only-native.txt").c_str()));
  // Hidden there, it is listed, and deleted there.
  SetFileAttributesA(native.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ScanHiddenFiles(false);
  std::string listed;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).command.find("sentrel-only-native") != std::string::npos) listed = CatalogueAt(i).command;
  ClearCatalogueEntries();
  // Its deletion at the next start names it as the machine's own programs will.
  const char* session = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  const sentrel_test::RawValue pending =
      sentrel_test::RawGet(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations");
  ASSERT_EQ(1, DeleteFileOnReboot(listed.c_str()));
  const sentrel_test::RawValue added = sentrel_test::RawGet(HKEY_LOCAL_MACHINE, session, "PendingFileRenameOperations");
  std::string names(added.data.begin(), added.data.end());
  CharLowerBuffA(names.data(), static_cast<DWORD>(names.size()));
  EXPECT_NE(std::string::npos, names.find("\\system32\\sentrel-only-native")) << names;
  HKEY key;  // as it was: nothing of this test is deleted at the next start
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, session, 0, KEY_SET_VALUE, &key));
  if (pending.type)
    RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ, pending.data.data(),
                   static_cast<DWORD>(pending.data.size()));
  else
    RegDeleteValueA(key, "PendingFileRenameOperations");
  RegCloseKey(key);
  EXPECT_EQ(1, DeleteHiddenFile(nullptr, "", listed.c_str())) << listed;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(native.c_str()));
  SetFileAttributesA(native.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(native.c_str());
  DeleteFileA((DataFolder() + "\\vault\\sentrel-only-native.txt").c_str());

  sentrel_test::Program notepad(WindowsFolder() + "\\Sysnative\\notepad.exe", "");  // a 64-bit program
  ASSERT_TRUE(notepad.started());
  Sleep(1000);
  ListActiveTasks();
  bool found = false;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (static_cast<DWORD>(CatalogueAt(i).value) == notepad.id()) found = true;
  EXPECT_TRUE(found);
  EXPECT_NE(0u, FindProcessOfProgram("notepad.exe"));
}

// A helper object and its class registered in the machine's own view are
// listed, and a control's kill bit is set where the native browser reads it.
TEST_F(Wow64, BrowserAddOnsOfTheNativeViewAreSeenAndDisabledThere) {
  const char* id = "{5E47E100-0000-4000-8000-0000000000B1}";
  const std::string classKey = std::string("Software\\Classes\\CLSID\\") + id;
  const std::string helperKey = std::string(kBrowserHelpersKey) + "\\" + id;
  const std::string compatibility = std::string(kActiveXCompatibilityKey) + "\\" + id;
  SetIn(KEY_WOW64_64KEY, classKey.c_str(), "", "Native Helper");
  SetIn(KEY_WOW64_64KEY, (classKey + "\\InprocServer32").c_str(), "", "c:\\native\\helper.dll");
  SetIn(KEY_WOW64_64KEY, helperKey.c_str(), "", "");
  EnumerateIEHelpers();
  int listed = 0;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).data == id) {
      ++listed;
      EXPECT_EQ("c:\\native\\helper.dll", CatalogueAt(i).path);
    }
  EXPECT_EQ(1, listed);
  // The kill bit is read by the browser of each view: Internet Explorer's
  // 32-bit copy (the default one) reads the 32-bit view's key.
  auto flagsIn = [&](REGSAM view) {
    HKEY key;
    DWORD flags = 0xDEADBEEF, size = sizeof flags;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, compatibility.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
      return flags;
    RegQueryValueExA(key, "Compatibility Flags", nullptr, nullptr, reinterpret_cast<BYTE*>(&flags), &size);
    RegCloseKey(key);
    return flags;
  };
  EXPECT_EQ(1, DisableActiveX(id));
  EXPECT_EQ(kKillBit, flagsIn(KEY_WOW64_64KEY));
  EXPECT_EQ(kKillBit, flagsIn(KEY_WOW64_32KEY));
  EXPECT_EQ(1, EnableActiveX(id));
  EXPECT_EQ(0u, flagsIn(KEY_WOW64_64KEY));
  EXPECT_EQ(0u, flagsIn(KEY_WOW64_32KEY));
  for (const std::string& path : {classKey, helperKey, compatibility}) DeleteKeyTree(HKEY_LOCAL_MACHINE, path.c_str());
  DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer\\ActiveX "
                                                 "Compatibility\\") +
                                     id)
                                        .c_str());
}

// The 32-bit browser's own helper object and toolbar (in the 32-bit view)
// are listed with their 32-bit files, and removed in that view only.
TEST_F(Wow64, HelpersOfThe32BitViewAreListedAndRemovedThere) {
  const char* helper = "{5E47E100-0000-4000-8000-0000000000B3}";
  const char* toolbar = "{5E47E100-0000-4000-8000-0000000000B4}";
  const std::string helperKey = std::string(kBrowserHelpersKey) + "\\" + helper;
  for (const char* id : {helper, toolbar}) {
    const std::string classKey = std::string("Software\\Classes\\CLSID\\") + id;
    SetIn(KEY_WOW64_32KEY, (classKey + "\\InprocServer32").c_str(), "", "c:\\thirty\\helper.dll");
    SetIn(KEY_WOW64_64KEY, (classKey + "\\InprocServer32").c_str(), "", "c:\\native\\helper.dll");
  }
  SetIn(KEY_WOW64_32KEY, helperKey.c_str(), "", "");
  SetIn(KEY_WOW64_64KEY, helperKey.c_str(), "", "");  // the native browser's registration stays
  SetIn(KEY_WOW64_32KEY, kToolbarKey, toolbar, "");
  EnumerateIEHelpers();
  int thirtyTwo = -1, native = 0, toolbars = 0;
  for (int i = 0; i < CatalogueCount(); ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    if (entry.data == helper && entry.path == "c:\\thirty\\helper.dll") thirtyTwo = i;
    if (entry.data == helper && entry.path == "c:\\native\\helper.dll") ++native;
    if (entry.data == toolbar && entry.path == "c:\\thirty\\helper.dll") ++toolbars;
  }
  ASSERT_LE(0, thirtyTwo);
  EXPECT_EQ(1, native);
  EXPECT_EQ(1, toolbars);
  EXPECT_EQ(2, RemoveIEHelper("c:\\thirty\\helper.dll", thirtyTwo));
  HKEY key;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, helperKey.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key));
  EXPECT_EQ("<missing>", TextIn(KEY_WOW64_32KEY, kToolbarKey, toolbar));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, helperKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key));
  RegCloseKey(key);
  DeleteIn(KEY_WOW64_32KEY, kToolbarKey, toolbar);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, helperKey.c_str());
  for (const char* id : {helper, toolbar})
    for (const char* view : {"", "Wow6432Node\\"})
      DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string("Software\\") + view + "Classes\\CLSID\\" + id).c_str());
}

// A 32-bit control (registered only in the 32-bit view of the classes, as
// the 32-bit browser's controls are) that the browser used is listed with its
// file, and so watched by the patrol.
TEST_F(Wow64, ControlsOfThe32BitViewAreListed) {
  const char* id = "{5E47E100-0000-4000-8000-0000000000B2}";
  const std::string classKey = std::string("Software\\Classes\\CLSID\\") + id;
  const std::string stats = std::string(kActiveXStatsKey) + "\\" + id;
  SetIn(KEY_WOW64_32KEY, classKey.c_str(), "", "Thirty-two Control");
  SetIn(KEY_WOW64_32KEY, (classKey + "\\InprocServer32").c_str(), "", "c:\\thirty\\control.dll");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, stats.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegCloseKey(key);
  EnumerateActiveX(false);
  int listed = 0;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).data == id) {
      ++listed;
      EXPECT_EQ("Thirty-two Control", CatalogueAt(i).title);
      EXPECT_EQ(0, lstrcmpiA("c:\\thirty\\control.dll", CatalogueAt(i).path.c_str())) << CatalogueAt(i).path;
    }
  EXPECT_EQ(1, listed);
  HKEY classes;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &classes) ==
      ERROR_SUCCESS) {
    RegDeleteKeyA(classes, (std::string(id) + "\\InprocServer32").c_str());
    RegDeleteKeyA(classes, id);
    RegCloseKey(classes);
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, stats.c_str());
}

// The companion (a 32-bit library) watches the machine's Run key in both
// views: a value written into either asks for a startup check.
TEST_F(Wow64, CompanionSeesRunKeysOfBothViews) {
  HMODULE library = LoadLibraryA(sentrel_test::ProgramPath("SENTRELX.DLL").c_str());
  ASSERT_NE(nullptr, library);
  using StartFn = int(__cdecl*)(HWND);
  using StopFn = int(__cdecl*)();
  auto start = reinterpret_cast<StartFn>(reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(2))));
  auto stop = reinterpret_cast<StopFn>(reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(3))));
  ASSERT_TRUE(start && stop);
  HWND window = CreateWindowExA(0, "STATIC", "companion", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_EQ(1, start(window));
  Sleep(1000);  // the watcher sets its watches in its own thread
  auto startupAsked = [window](DWORD milliseconds) {
    MSG message;
    bool asked = false;
    for (DWORD waited = 0; waited <= milliseconds; waited += 50) {
      while (PeekMessageA(&message, window, 9024, 9024, PM_REMOVE))
        if (message.wParam & kChangedStartup) asked = true;
      if (asked) break;
      Sleep(50);
    }
    return asked;
  };
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    startupAsked(0);
    SetIn(view, kRun, "CompanionView", "c:\\apps\\view.exe");
    EXPECT_TRUE(startupAsked(3000)) << (view == KEY_WOW64_64KEY ? "64-bit view" : "32-bit view");
    DeleteIn(view, kRun, "CompanionView");
    Sleep(1000);
  }
  EXPECT_EQ(1, stop());
  DestroyWindow(window);
  FreeLibrary(library);
}

}  // namespace
