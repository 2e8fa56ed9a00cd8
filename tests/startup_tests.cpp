// The startup catalogue against the real (Wine) registry, WIN.INI through
// the profile API, real shortcut files and the history file.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "history_events.h"
#include "initialization.h"
#include "registry.h"
#include "settings.h"
#include "startup.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const kPolicyRun = "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run";
const char* const kWowRun = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string Notepad() { return WindowsFolder() + "\\notepad.exe"; }

void DeleteAllValues(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[1024];
  for (;;) {
    DWORD length = sizeof name;
    if (RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
}

std::string StartupFolder() {
  char folder[MAX_PATH] = "";
  ReadStringValue(HKEY_CURRENT_USER, kShellFolders, "Startup", folder, sizeof folder);
  return folder;
}

void EmptyFolder(const std::string& folder) {
  const std::wstring wide = WidePath(folder);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((wide + L"\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((wide + L"\\" + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

bool MakeShortcut(const std::string& file, const std::string& target, const std::string& description) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  link->SetPath(target.c_str());
  link->SetDescription(description.c_str());
  IPersistFile* persist = nullptr;
  bool saved = false;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    saved = SUCCEEDED(persist->Save(wide, TRUE));
    persist->Release();
  }
  link->Release();
  return saved;
}

std::string WinIni(const char* key) {
  char line[1024];
  GetProfileStringA("windows", key, "", line, sizeof line);
  return line;
}

struct Listed {
  std::string title, path;
  int type, value;
};
std::vector<Listed> Entries() {
  std::vector<Listed> entries;
  for (int i = 0; i < CatalogueCount(); ++i)
    entries.push_back({CatalogueAt(i).title, CatalogueAt(i).path, CatalogueAt(i).type, CatalogueAt(i).value});
  return entries;
}
const Listed* Find(const std::vector<Listed>& entries, const std::string& title) {
  for (const Listed& entry : entries)
    if (entry.title == title) return &entry;
  return nullptr;
}

// Every location the tests touch is emptied before and after.
class Startup : public testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    Clean();
    Process() = ProcessState{};
    LoadOptions();
  }
  void TearDown() override {
    Clean();
    CoUninitialize();
  }
  void Clean() {
    // Every Run key, both roots (the test prefix's own entries included).
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
      for (const char* name : {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "RunOnce\\Setup"})
        DeleteAllValues(root, (std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + name).c_str());
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) DeleteAllValues(root, kPolicyRun);
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    DeleteAllValues(HKEY_LOCAL_MACHINE, kWowRun);
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    WriteProfileStringA("windows", "run", nullptr);
    WriteProfileStringA("windows", "load", nullptr);
    folder_ = StartupFolder();
    CreateDirectoryA(folder_.c_str(), nullptr);
    EmptyFolder(folder_);
    EmptyFolder(ParkingFolder());
    DeleteFileA(HistoryFile().c_str());
    ClearCatalogueEntries();
  }
  std::string folder_;
};

// ---- Enumeration ---------------------------------------------------------------

TEST_F(Startup, LocationsInOrderWithTheirTypeCodes) {
  const std::string notepad = Notepad();
  RawSetText(HKEY_LOCAL_MACHINE, kRun, "MachineRun", notepad + " /m");
  RawSetText(HKEY_LOCAL_MACHINE, kRunOnce, "MachineOnce", notepad + " /o");
  RawSetText(HKEY_LOCAL_MACHINE, kPolicyRun, "MachinePolicy", notepad + " /p");
  RawSetText(HKEY_CURRENT_USER, kRun, "UserRun", notepad + " /u");
  ASSERT_TRUE(MakeShortcut(folder_ + "\\Editor.lnk", notepad, "Shortcut Editor"));
  std::ofstream(folder_ + "\\desktop.ini") << "[.ShellClassInfo]\r\n";
  std::ofstream(folder_ + "\\notes.txt") << "x";
  WriteProfileStringA("windows", "run", "C:\\one\\first.exe;C:\\two\\second.exe");
  WriteProfileStringA("windows", "load", "C:\\three\\loaded.exe");

  EnumerateStartupEntries(1);
  std::vector<Listed> entries = Entries();
  ASSERT_GE(entries.size(), 8u);
  EXPECT_EQ("MachineRun", entries[0].title);
  EXPECT_EQ(1, entries[0].type);
  EXPECT_EQ(notepad + " /m", entries[0].path);
  EXPECT_EQ("MachineOnce", entries[1].title);
  EXPECT_EQ(2, entries[1].type);
  EXPECT_EQ("MachinePolicy", entries[2].title);
  EXPECT_EQ(7, entries[2].type);
  EXPECT_EQ("UserRun", entries[3].title);
  EXPECT_EQ(11, entries[3].type);
  // The Startup folder: the shortcut by its description, the plain file by
  // its name; desktop.ini never.
  EXPECT_EQ(200, entries[4].type);
  EXPECT_EQ(200, entries[5].type);
  EXPECT_NE(nullptr, Find(entries, "Shortcut Editor"));
  EXPECT_NE(nullptr, Find(entries, "notes"));
  for (const Listed& entry : entries) EXPECT_EQ(std::string::npos, entry.path.find("desktop.ini"));
  EXPECT_EQ("C:\\one\\first.exe", entries[6].path);
  EXPECT_EQ(101, entries[6].type);
  EXPECT_EQ("run", entries[6].title);
  EXPECT_EQ("C:\\two\\second.exe", entries[7].path);
  EXPECT_EQ(101, entries[7].type);
  ASSERT_GE(entries.size(), 9u);
  EXPECT_EQ(100, entries[8].type);
  EXPECT_EQ("load", entries[8].title);
  // Restricted and without ShowAllStartup: no Winlogon or shell extensions.
  for (const Listed& entry : entries) EXPECT_LT(entry.type, 250);
}

TEST_F(Startup, WinlogonValuesOnlyOnTheNtFamily) {
  const char* winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  RawValue userinit = RawGet(HKEY_LOCAL_MACHINE, winlogon, "Userinit");
  RawValue shell = RawGet(HKEY_LOCAL_MACHINE, winlogon, "Shell");
  RawSetText(HKEY_LOCAL_MACHINE, winlogon, "Userinit", "C:\\windows\\system32\\userinit.exe,");
  RawSetText(HKEY_LOCAL_MACHINE, winlogon, "Shell", "Explorer.exe");
  EnumerateStartupEntries(0);
  std::vector<Listed> entries = Entries();
  const Listed* user = Find(entries, "Winlogon Userinit");
  const Listed* explorer = Find(entries, "Winlogon Shell");
  if (Is9xFamily()) {
    EXPECT_EQ(nullptr, user);
    EXPECT_EQ(nullptr, explorer);
  } else {
    ASSERT_NE(nullptr, user);
    EXPECT_EQ(250, user->type);
    EXPECT_EQ(0, lstrcmpiA("C:\\windows\\system32\\userinit.exe", user->path.c_str()));
    ASSERT_NE(nullptr, explorer);
    EXPECT_EQ(251, explorer->type);
  }
  for (auto* saved : {&userinit, &shell}) {
    const char* name = saved == &userinit ? "Userinit" : "Shell";
    if (saved->type) RawSet(HKEY_LOCAL_MACHINE, winlogon, name, saved->type, saved->data.data(), saved->data.size());
  }
}

TEST(AppInitList, SplitsAtCommasAndBlanks) {
  EXPECT_EQ((std::vector<std::string>{"a.dll", "b.dll", "c.dll"}), SplitAppInitList(" a.dll,b.dll  ,, c.dll "));
  EXPECT_TRUE(SplitAppInitList("").empty());
}

TEST(WinlogonValues, UserinitAndShellPrograms) {
  std::string program;
  EXPECT_EQ(1, UserinitProgram("C:\\WINDOWS\\system32\\userinit.exe,", program));
  EXPECT_EQ("C:\\WINDOWS\\system32\\userinit.exe", program);
  EXPECT_EQ(1, UserinitProgram("C:\\WINDOWS\\system32\\userinit.exe,   C:\\bad\\spy.exe", program));
  EXPECT_EQ("C:\\bad\\spy.exe", program);
  EXPECT_EQ(0, UserinitProgram("C:\\WINDOWS\\system32\\userinit.exe", program));
  EXPECT_EQ(1, ShellProgram("Explorer.exe", program));
  EXPECT_EQ("Explorer.exe", program);
  EXPECT_EQ(1, ShellProgram("Explorer.exe  c:\\bad\\shell.exe", program));
  EXPECT_EQ("c:\\bad\\shell.exe", program);
  EXPECT_EQ(1, ShellProgram("Explorer.exe ", program));
  EXPECT_EQ("Explorer.exe", program);
  EXPECT_EQ(0, ShellProgram("", program));
}

TEST_F(Startup, PreviousPairSuppressesTheSameValueAcrossKeys) {
  // Values enumerate by name: "zz" is the last of Run and the only of RunOnce.
  RawSetText(HKEY_LOCAL_MACHINE, kRun, "Alpha", "c:\\apps\\alpha.exe");
  RawSetText(HKEY_LOCAL_MACHINE, kRun, "zzTwin", "c:\\apps\\twin.exe");
  RawSetText(HKEY_LOCAL_MACHINE, kRunOnce, "ZZTWIN", "C:\\APPS\\TWIN.EXE");
  RawSetText(HKEY_CURRENT_USER, kRun, "zzTwin", "c:\\apps\\other.exe");
  EnumerateStartupEntries(1);
  int twins = 0;
  for (const Listed& entry : Entries())
    if (lstrcmpiA(entry.title.c_str(), "zzTwin") == 0) ++twins;
  EXPECT_EQ(2, twins);  // HKLM Run and HKCU Run (other data); RunOnce suppressed
}

TEST_F(Startup, ThirtyTwoBitViewOnlyWhenItsKeyWasFound) {
  RawSetText(HKEY_LOCAL_MACHINE, kWowRun, "WowProgram", "c:\\apps\\wow.exe");
  Process().is64BitWindows = false;
  EnumerateStartupEntries(1);
  for (const Listed& entry : Entries()) EXPECT_FALSE(entry.type >= 21 && entry.type <= 27) << entry.title;
  Process().is64BitWindows = true;
  EnumerateStartupEntries(1);
  std::vector<Listed> entries = Entries();
  const Listed* wow = Find(entries, "WowProgram");
  ASSERT_NE(nullptr, wow);
  EXPECT_EQ(21, wow->type);
}

TEST_F(Startup, RundllCommandsListTheLibrary) {
  RawSetText(HKEY_CURRENT_USER, kRun, "Panel", "RUNDLL32.EXE shell32.dll,Control_RunDLL desk.cpl");
  RawSetText(HKEY_CURRENT_USER, kRun, "Hook", "C:\\WINDOWS\\system32\\rundll32.exe c:\\hooks\\hook.dll,Start");
  EnumerateStartupEntries(1);
  std::vector<Listed> entries = Entries();
  const Listed* panel = Find(entries, "Panel");
  ASSERT_NE(nullptr, panel);
  EXPECT_EQ("shell32.dll,Control_RunDLL desk.cpl", panel->path);
  EXPECT_EQ(1, panel->value);
  const Listed* hook = Find(entries, "Hook");
  ASSERT_NE(nullptr, hook);
  EXPECT_EQ("c:\\hooks\\hook.dll,Start", hook->path);
  EXPECT_EQ("", RundllTarget("c:\\apps\\normal.exe"));
}

// Whatever Windows would run is listed, whatever its name or length; only
// data that is not text runs nothing.
TEST_F(Startup, EveryValueWindowsWouldRunIsListed) {
  const std::string huge = "c:\\" + std::string(600, 'h') + ".exe";
  const std::string padded = "c:\\apps\\padded.exe" + std::string(700, '\0');
  RawSetText(HKEY_CURRENT_USER, kRun, "X", "c:\\apps\\one.exe");         // one-character name
  RawSetText(HKEY_CURRENT_USER, kRun, "Short", "a.ex");                  // four characters of data
  RawSetText(HKEY_CURRENT_USER, kRun, "\xE9lan", "c:\\apps\\elan.exe");  // name from byte 0xE9
  RawSet(HKEY_CURRENT_USER, kRun, "Binary", REG_BINARY, "c:\\apps\\bin.exe", 15);
  RawSetText(HKEY_CURRENT_USER, kRun, "Huge", huge);
  RawSet(HKEY_CURRENT_USER, kRun, "Padded", REG_SZ, padded.data(), static_cast<DWORD>(padded.size()));
  RawSetText(HKEY_CURRENT_USER, kRun, "Good", "c:\\apps\\good.exe");
  EnumerateStartupEntries(1);
  const std::vector<Listed> entries = Entries();
  EXPECT_EQ(6u, entries.size());
  struct Case {
    const char* title;
    std::string path;
  };
  for (const Case& c : {Case{"X", "c:\\apps\\one.exe"}, Case{"Short", "a.ex"}, Case{"\xE9lan", "c:\\apps\\elan.exe"},
                        Case{"Huge", huge.substr(0, 259)}, Case{"Padded", "c:\\apps\\padded.exe"},
                        Case{"Good", "c:\\apps\\good.exe"}}) {
    const Listed* listed = Find(entries, c.title);
    ASSERT_NE(nullptr, listed) << c.title;
    EXPECT_EQ(c.path, listed->path) << c.title;
  }
  EXPECT_EQ(nullptr, Find(entries, "Binary"));
}

// Names the ANSI calls cannot hold (not in the code page, or starting with a
// NUL) are listed and removed exactly; a removal that removes nothing is
// never recorded.
TEST_F(Startup, NamesOnlyUnicodeCanHoldAreListedAndRemoved) {
  if (Is9xFamily()) GTEST_SKIP() << "such names do not exist on 95/98/Me";
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kRun, 0, KEY_ALL_ACCESS, &key));
  const std::wstring cjk = L"\x65E5\x672C";
  const wchar_t cjkData[] = L"c:\\apps\\cjk.exe";
  RegSetValueExW(key, cjk.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(cjkData), sizeof cjkData);
  struct Counted {
    USHORT length, maximum;
    PWSTR buffer;
  };
  using NtSetValueKeyFn = LONG(WINAPI*)(HANDLE, Counted*, ULONG, ULONG, const void*, ULONG);
  auto setValue = reinterpret_cast<NtSetValueKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  ASSERT_NE(nullptr, setValue);
  std::wstring nulName(L"\0hidden", 7);
  Counted counted = {14, 14, &nulName[0]};
  const wchar_t nulData[] = L"c:\\apps\\nul.exe";
  ASSERT_EQ(0, setValue(key, &counted, 0, REG_SZ, nulData, sizeof nulData));

  EnumerateStartupEntries(1);
  std::vector<CatalogueEntry> found;
  for (int i = 0; i < CatalogueCount(); ++i) found.push_back(CatalogueAt(i));
  ASSERT_EQ(2u, found.size());
  for (const CatalogueEntry& entry : found) {
    EXPECT_TRUE(entry.path == "c:\\apps\\cjk.exe" || entry.path == "c:\\apps\\nul.exe") << entry.path;
    EXPECT_EQ(0, ToggleStartupEntry(entry));  // no disabled copy can be named for it
    EXPECT_EQ(1, RemoveStartupEntry(entry)) << entry.path;
    EXPECT_EQ(0, RemoveStartupEntry(entry)) << entry.path;  // gone: nothing to remove, nothing recorded
  }
  DWORD values = 99;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  EXPECT_EQ(0u, values);
  EXPECT_EQ(2, LoadHistory());

  // A shell service object is loaded by its data, whatever its name.
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDelayLoadKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  const wchar_t id[] = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
  RegSetValueExW(key, cjk.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(id), sizeof id);
  EnumerateStartupEntries(0);
  CatalogueEntry service;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).type == 252 && !CatalogueAt(i).wideName.empty()) service = CatalogueAt(i);
  EXPECT_EQ("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", service.data);
  SetRemovalConfirmation([](HWND, const char*, const char*, int) { return true; });
  EXPECT_EQ(1, RemoveShellExtensionEntry(nullptr, service));
  SetRemovalConfirmation(nullptr);
  EXPECT_NE(ERROR_SUCCESS, RegQueryValueExW(key, cjk.c_str(), nullptr, nullptr, nullptr, nullptr));
  RegDeleteValueW(key, cjk.c_str());
  RegCloseKey(key);
}

TEST_F(Startup, DeadShortcutsAreNotListed) {
  std::string target = TestFolder() + "\\doomed.exe";
  ASSERT_TRUE(CopyFileA(Notepad().c_str(), target.c_str(), FALSE));
  ASSERT_TRUE(MakeShortcut(folder_ + "\\Doomed.lnk", target, "Doomed"));
  EnumerateStartupEntries(1);
  EXPECT_NE(nullptr, Find(Entries(), "Doomed"));
  DeleteFileA(target.c_str());
  EnumerateStartupEntries(1);
  EXPECT_EQ(nullptr, Find(Entries(), "Doomed"));
}

TEST_F(Startup, TheListHoldsAtMost4096Entries) {
  ClearCatalogueEntries();
  for (int i = 0; i < kMaxCatalogueEntries; ++i) ASSERT_EQ(1, AddCatalogueEntry("t", "p", "", "", 1, 0));
  EXPECT_EQ(0, AddCatalogueEntry("last", "p", "", "", 1, 0));
  EXPECT_EQ(kMaxCatalogueEntries, CatalogueCount());
  ClearCatalogueEntries();
  // Widths and the title rules.
  AddCatalogueEntry(std::string(300, 't').c_str(), "\"c:\\dir\\prog.exe\"", "", std::string(2000, 'd').c_str(), 1, 0);
  AddCatalogueEntry("", "c:\\dir\\named.exe", "", "", 1, 0);
  AddCatalogueEntry("My Sentrel copy", "c:\\dir\\x.exe", "", "", 1, 0);
  EXPECT_EQ(127u, CatalogueAt(0).title.size());
  EXPECT_EQ("c:\\dir\\prog.exe", CatalogueAt(0).path);
  EXPECT_EQ(1023u, CatalogueAt(0).description.size());
  EXPECT_EQ("named", CatalogueAt(1).title);
  EXPECT_EQ("Sentrel", CatalogueAt(2).title);
}

// ---- Disable, enable, remove, restore ---------------------------------------------

TEST_F(Startup, DisableThenEnableKeepsTheCommandByteForByte) {
  const std::string command = "\"C:\\Program Files\\Odd = Name\\app.exe\" /x=1 \xA9 \"quoted arg\"  ";
  RawSetText(HKEY_CURRENT_USER, kRun, "Odd", command);
  ASSERT_EQ(1, ToggleStartupEntry("Odd", command.c_str(), "", 11));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, "Odd"));
  EXPECT_EQ(command, RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run", "Odd"));
  EXPECT_EQ("11", RawText(HKEY_LOCAL_MACHINE, kDisabledKey, "Odd"));
  EXPECT_EQ(1, IsEntryDisabled("Odd"));
  // Listed from the store while disabled.
  EnumerateStartupEntries(1);
  std::vector<Listed> entries = Entries();
  const Listed* listed = Find(entries, "Odd");
  ASSERT_NE(nullptr, listed);
  EXPECT_EQ(11, listed->type);

  ASSERT_EQ(1, ToggleStartupEntry("Odd", command.c_str(), "", 11));
  EXPECT_EQ(command, RawText(HKEY_CURRENT_USER, kRun, "Odd"));
  EXPECT_EQ(0, IsEntryDisabled("Odd"));
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run", "Odd"));
}

// The entry as listed (the first listed entry stored under name).
CatalogueEntry Listing(const std::string& name) {
  EnumerateStartupEntries(0);
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).name == name) return CatalogueAt(i);
  return CatalogueEntry{};
}

// The listing shows a cut, unquoted path without rundll32; disable, enable,
// remove and restore from the listing give back the value exactly as it was.
TEST_F(Startup, ListedEntriesComeBackExactlyAsTheyWere) {
  struct Case {
    const char* name;
    DWORD type;
    std::string command;
  };
  const Case cases[] = {
      {"Quoted", REG_SZ, "\"C:\\Program Files\\Some App\\app.exe\" /min"},
      {"Expanded", REG_EXPAND_SZ, "%SystemRoot%\\system32\\app.exe -s"},
      {"Library", REG_SZ, "C:\\WINDOWS\\system32\\rundll32.exe c:\\hooks\\hook.dll,Start"},
      {"Long", REG_SZ, "c:\\apps\\" + std::string(268, 'l') + ".exe"},     // 280 characters
      {"Longer", REG_SZ, "c:\\apps\\" + std::string(1100, 'l') + ".exe"},  // more than a history line
  };
  for (const Case& c : cases) {
    RawSet(HKEY_CURRENT_USER, kRun, c.name, c.type, c.command.c_str(), static_cast<DWORD>(c.command.size() + 1));
    ASSERT_EQ(1, ToggleStartupEntry(Listing(c.name))) << c.name;
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, c.name));
    const CatalogueEntry disabled = Listing(c.name);
    EXPECT_TRUE(disabled.fromDisabledStore) << c.name;
    ASSERT_EQ(1, ToggleStartupEntry(disabled)) << c.name;
    RawValue back = RawGet(HKEY_CURRENT_USER, kRun, c.name);
    EXPECT_EQ(c.type, back.type) << c.name;
    EXPECT_EQ(c.command + std::string(1, '\0'), std::string(back.data.begin(), back.data.end())) << c.name;

    DeleteFileA(HistoryFile().c_str());
    ASSERT_EQ(1, RemoveStartupEntry(Listing(c.name))) << c.name;
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, c.name));
    ASSERT_EQ(1, LoadHistory());
    ASSERT_EQ(1, RestoreHistoryEvent(0)) << c.name;
    back = RawGet(HKEY_CURRENT_USER, kRun, c.name);
    EXPECT_EQ(c.type, back.type) << c.name;
    EXPECT_EQ(c.command + std::string(1, '\0'), std::string(back.data.begin(), back.data.end())) << c.name;
  }
  // A command the ANSI code page cannot hold comes back unchanged too.
  if (Is9xFamily()) return;
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kRun, 0, KEY_ALL_ACCESS, &key));
  const std::wstring unicode = L"c:\\\x65E5\x672C\\app.exe";
  auto readBack = [key] {
    wchar_t text[64] = L"";
    DWORD size = sizeof text - sizeof(wchar_t);
    return RegQueryValueExW(key, L"Uni", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS
               ? std::wstring(text)
               : std::wstring(L"<missing>");
  };
  RegSetValueExW(key, L"Uni", 0, REG_SZ, reinterpret_cast<const BYTE*>(unicode.c_str()),
                 static_cast<DWORD>((unicode.size() + 1) * sizeof(wchar_t)));
  ASSERT_EQ(1, ToggleStartupEntry(Listing("Uni")));
  ASSERT_EQ(1, ToggleStartupEntry(Listing("Uni")));
  EXPECT_TRUE(readBack() == unicode);
  DeleteFileA(HistoryFile().c_str());
  ASSERT_EQ(1, RemoveStartupEntry(Listing("Uni")));
  ASSERT_EQ(1, LoadHistory());
  ASSERT_EQ(1, RestoreHistoryEvent(0));
  EXPECT_TRUE(readBack() == unicode);
  RegCloseKey(key);
}

// Entries of one name in different places never take each other's place:
// disabling the machine's one leaves the user's live and its copy alone,
// acting on the user's row acts on that row, and a shortcut titled like a
// disabled entry is not taken for it.
TEST_F(Startup, EntriesOfOneNameNeverTakeEachOthersPlace) {
  RawSetText(HKEY_LOCAL_MACHINE, kRun, "Dup", "c:\\a\\machine.exe");
  RawSetText(HKEY_CURRENT_USER, kRun, "Dup", "c:\\b\\user.exe");
  CatalogueEntry machine;
  EnumerateStartupEntries(0);
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).type == 1) machine = CatalogueAt(i);
  ASSERT_EQ(1, ToggleStartupEntry(machine));
  for (int patrol = 0; patrol < 2; ++patrol) EnumerateStartupEntries(0);
  CatalogueEntry user, copy;
  for (int i = 0; i < CatalogueCount(); ++i) {
    if (CatalogueAt(i).command == "c:\\b\\user.exe") user = CatalogueAt(i);
    if (CatalogueAt(i).command == "c:\\a\\machine.exe") copy = CatalogueAt(i);
  }
  EXPECT_EQ(11, user.type);
  EXPECT_EQ(0, IsEntryDisabled(user));
  EXPECT_TRUE(copy.fromDisabledStore);
  EXPECT_EQ(0, ToggleStartupEntry(user));  // its copy would replace the machine's
  ASSERT_EQ(1, RemoveStartupEntry(user));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, "Dup"));
  EXPECT_EQ("c:\\a\\machine.exe", RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run", "Dup"));

  const std::string program = TestFolder() + "\\titled-target.exe";
  ASSERT_TRUE(CopyFileA(Notepad().c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(MakeShortcut(folder_ + "\\titled.lnk", program, "Dup"));
  EnumerateStartupEntries(0);
  CatalogueEntry shortcut;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).type == 200) shortcut = CatalogueAt(i);
  EXPECT_EQ(0, IsEntryDisabled(shortcut));
  EXPECT_EQ(0, ToggleStartupEntry(shortcut));
  ASSERT_EQ(1, RemoveStartupEntry(shortcut));
  EXPECT_EQ("1", RawText(HKEY_LOCAL_MACHINE, kDisabledKey, "Dup"));
  EXPECT_EQ(1, ToggleStartupEntry(Listing("Dup")));  // the machine's entry comes back
  EXPECT_EQ("c:\\a\\machine.exe", RawText(HKEY_LOCAL_MACHINE, kRun, "Dup"));
  DeleteFileA(program.c_str());
}

// A Run key's unnamed value runs like any other: it is removed itself, not
// a value named after its program.
TEST_F(Startup, TheUnnamedValueIsRemovedItself) {
  RawSetText(HKEY_CURRENT_USER, kRun, "", "c:\\x\\Updater.exe");
  RawSetText(HKEY_CURRENT_USER, kRun, "Updater", "c:\\legit\\updater.exe");
  EnumerateStartupEntries(0);
  CatalogueEntry unnamed;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).command == "c:\\x\\Updater.exe") unnamed = CatalogueAt(i);
  EXPECT_EQ(0, ToggleStartupEntry(unnamed));  // no name to keep a disabled copy under
  ASSERT_EQ(1, RemoveStartupEntry(unnamed));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, ""));
  EXPECT_EQ("c:\\legit\\updater.exe", RawText(HKEY_CURRENT_USER, kRun, "Updater"));
}

// A program that writes its disabled value back on every patrol must not
// hide the value after it, and where it cannot be disabled again (the
// store is not writable, as for a monitor without elevation) it is listed.
TEST_F(Startup, ReturningValueNeverHidesItsNeighbour) {
  RawSetText(HKEY_CURRENT_USER, kRun, "Pest", "c:\\pest\\old.exe");
  ASSERT_EQ(1, ToggleStartupEntry(Listing("Pest")));
  for (int patrol = 0; patrol < 2; ++patrol) {
    RawSetText(HKEY_CURRENT_USER, kRun, "Pest", "c:\\pest\\back.exe");
    RawSetText(HKEY_CURRENT_USER, kRun, "Pest2", "c:\\pest\\neighbour.exe");  // walked right after it
    EnumerateStartupEntries(0);
    int live = 0, neighbours = 0;
    for (int i = 0; i < CatalogueCount(); ++i) {
      if (CatalogueAt(i).name == "Pest" && !CatalogueAt(i).fromDisabledStore) ++live;
      if (CatalogueAt(i).name == "Pest2") ++neighbours;
    }
    EXPECT_EQ(0, live) << patrol;
    EXPECT_EQ(1, neighbours) << patrol;
    EXPECT_EQ("c:\\pest\\back.exe",
              RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run", "Pest"));
  }
  // The store refuses writes: the value comes back and stays, so it is listed.
  HKEY store;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run", 0,
                                         KEY_ALL_ACCESS, &store));
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  ACL acl;
  InitializeAcl(&acl, sizeof acl, ACL_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE);
  const LONG secured = RegSetKeySecurity(store, DACL_SECURITY_INFORMATION, &descriptor);
  RegCloseKey(store);
  RawSetText(HKEY_CURRENT_USER, kRun, "Pest", "c:\\pest\\again.exe");
  const CatalogueEntry listed = Listing("Pest");
  const CatalogueEntry neighbour = Listing("Pest2");
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run", 0, WRITE_DAC, &store));
  SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
  RegSetKeySecurity(store, DACL_SECURITY_INFORMATION, &descriptor);
  RegCloseKey(store);
  if (secured != ERROR_SUCCESS) GTEST_SKIP() << "this registry does not enforce key security";
  EXPECT_EQ("c:\\pest\\again.exe", listed.command);
  EXPECT_FALSE(listed.fromDisabledStore);
  EXPECT_EQ("Pest2", neighbour.name);
}

// WIN.INI entries without a product name all carry the key's name as title;
// each is disabled on its own. A marker named by the key alone, as earlier
// versions wrote it, still lists its entry.
TEST_F(Startup, WinIniEntriesAreDisabledOneByOne) {
  WriteProfileStringA("windows", "run", "c:\\a\\one.exe;c:\\b\\two.exe");
  ASSERT_EQ(1, ToggleStartupEntry(Listing("run:c:\\a\\one.exe")));
  EXPECT_EQ("c:\\b\\two.exe;", WinIni("run"));
  const CatalogueEntry two = Listing("run:c:\\b\\two.exe");
  EXPECT_EQ("run", two.title);
  EXPECT_EQ(0, IsEntryDisabled(two));
  const CatalogueEntry one = Listing("run:c:\\a\\one.exe");
  EXPECT_EQ("run", one.title);
  EXPECT_EQ(1, IsEntryDisabled(one));
  ASSERT_EQ(1, ToggleStartupEntry(one));
  EXPECT_EQ("c:\\b\\two.exe;c:\\a\\one.exe", WinIni("run"));

  RawSetText(HKEY_LOCAL_MACHINE, kDisabledKey, "load", "100");
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\WinLoad", "load", "c:\\old\\earlier.exe");
  const CatalogueEntry earlier = Listing("load");
  EXPECT_EQ("c:\\old\\earlier.exe", earlier.path);
  ASSERT_EQ(1, ToggleStartupEntry(earlier));
  EXPECT_EQ("c:\\old\\earlier.exe", WinIni("load"));
}

// A Startup-folder file whose name the ANSI code page cannot hold is never
// hidden: it is listed (by its short name where the file system has one).
TEST_F(Startup, FolderNamesOnlyUnicodeHoldsAreListed) {
  if (Is9xFamily()) GTEST_SKIP() << "such names do not exist on 95/98/Me";
  HANDLE file = CreateFileW((WidePath(folder_) + L"\\\x65E5\x672C.bat").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  EnumerateStartupEntries(0);
  EXPECT_GE(CatalogueCount(), 1);
  EmptyFolder(folder_);
}

// Files of the Startup folder: batch files and scripts are disabled like
// programs, and a removed one comes back from the history with its content;
// a shortcut that is already gone never takes its program with it.
TEST_F(Startup, StartupFolderFilesComeBackAndTargetsAreNeverDeleted) {
  const std::string batch = folder_ + "\\tidy.bat";
  std::ofstream(batch, std::ios::binary) << "@echo tidy\r\n";
  ASSERT_EQ(1, ToggleStartupEntry(Listing("tidy")));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(batch.c_str()));
  ASSERT_EQ(1, ToggleStartupEntry(Listing("tidy")));
  ASSERT_EQ("@echo tidy\r\n", ReadWholeFile(batch));
  ASSERT_EQ(1, RemoveStartupEntry(Listing("tidy")));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(batch.c_str()));
  // Another file of the same name removed later keeps its own copy.
  std::ofstream(batch, std::ios::binary) << "@echo other\r\n";
  ASSERT_EQ(1, RemoveStartupEntry(Listing("tidy")));
  ASSERT_EQ(2, LoadHistory());
  ASSERT_EQ(1, RestoreHistoryEvent(0));
  EXPECT_EQ("@echo tidy\r\n", ReadWholeFile(batch));
  EXPECT_EQ(0, RestoreHistoryEvent(1));  // never over the file that is back
  DeleteFileA(batch.c_str());
  ASSERT_EQ(1, RestoreHistoryEvent(1));
  EXPECT_EQ("@echo other\r\n", ReadWholeFile(batch));
  DeleteFileA(batch.c_str());

  const std::string program = TestFolder() + "\\kept-target.exe";
  ASSERT_TRUE(CopyFileA(Notepad().c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(MakeShortcut(folder_ + "\\Kept.lnk", program, "Kept"));
  const CatalogueEntry shortcut = Listing("Kept");
  DeleteFileA((folder_ + "\\Kept.lnk").c_str());  // removed meanwhile by someone else
  EXPECT_EQ(0, RemoveStartupEntry(shortcut));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(program.c_str()));
  DeleteFileA(program.c_str());
}

// Long data hides nothing and destroys nothing: a hook Windows loads by its
// class id, a list of libraries longer than 255 characters, a notification
// package whose name is longer than a title.
TEST_F(Startup, LongDataHidesAndDestroysNothing) {
  const char* hooks = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
  const char* hook = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
  const std::string notifyKey = std::string(kWinlogonKey) + "\\Notify\\" + std::string(150, 'n');
  const RawValue savedList = RawGet(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs");
  const std::string longPiece = "c:\\dlls\\" + std::string(250, 'a') + ".dll";
  RawSetText(HKEY_LOCAL_MACHINE, hooks, hook, std::string(300, 'd'));
  RawSetText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs", longPiece + ",c:\\dlls\\b.dll");
  RawSetText(HKEY_LOCAL_MACHINE, notifyKey.c_str(), "DllName", "c:\\dlls\\notify.dll");
  SetRemovalConfirmation([](HWND, const char*, const char*, int) { return true; });

  EnumerateStartupEntries(0);
  int hooksListed = 0, pieces = 0;
  CatalogueEntry package;
  for (int i = 0; i < CatalogueCount(); ++i) {
    if (CatalogueAt(i).type == 254 && CatalogueAt(i).name == hook) ++hooksListed;
    if (CatalogueAt(i).type == 255) ++pieces;
    if (CatalogueAt(i).type == 256) package = CatalogueAt(i);
  }
  EXPECT_EQ(1, hooksListed);
  EXPECT_EQ(2, pieces);
  EXPECT_EQ(std::string(150, 'n'), package.name);
  EXPECT_EQ(1, ToggleStartupEntry(package));
  EXPECT_EQ("", RawText(HKEY_LOCAL_MACHINE, notifyKey.c_str(), "DllName"));
  EXPECT_EQ("c:\\dlls\\notify.dll", RawText(HKEY_LOCAL_MACHINE, notifyKey.c_str(), "OldName"));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE,
                            (std::string(kWinlogonKey) + "\\Notify\\" + std::string(kTitleWidth, 'n')).c_str()));
  // The long list is kept whole when one piece comes and goes.
  ASSERT_EQ(1, RestoreRemovedEntry("C", "c:\\dlls\\c.dll", "", 255));
  EXPECT_EQ(longPiece + ",c:\\dlls\\b.dll,c:\\dlls\\c.dll", RawText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs"));
  ASSERT_EQ(1, RemoveShellExtensionEntry(nullptr, "B", "c:\\dlls\\b.dll", "", 255));
  EXPECT_EQ(longPiece + ",c:\\dlls\\c.dll", RawText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs"));
  // A list that cannot be read is never written over.
  RawSet(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs", REG_BINARY, "xyz", 3);
  EXPECT_EQ(0, RestoreRemovedEntry("C", "c:\\dlls\\c.dll", "", 255));
  EXPECT_EQ(REG_BINARY, RawGet(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs").type);

  SetRemovalConfirmation(nullptr);
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, hooks, hook);
  RawDeleteTree(HKEY_LOCAL_MACHINE, notifyKey.c_str());
  if (savedList.type)
    RawSet(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs", savedList.type, savedList.data.data(),
           static_cast<DWORD>(savedList.data.size()));
  else
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs");
}

TEST_F(Startup, DisabledEntryThatComesBackIsDisabledAgain) {
  RawSetText(HKEY_CURRENT_USER, kRun, "Pest", "c:\\pest\\old.exe");
  ASSERT_EQ(1, ToggleStartupEntry("Pest", "c:\\pest\\old.exe", "", 11));
  RawSetText(HKEY_CURRENT_USER, kRun, "Pest", "c:\\pest\\new.exe");  // the program wrote itself back
  EnumerateStartupEntries(1);
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, "Pest"));
  EXPECT_EQ("c:\\pest\\new.exe", RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\Run", "Pest"));
  int listed = 0;
  for (const Listed& entry : Entries())
    if (entry.title == "Pest") ++listed;
  EXPECT_EQ(1, listed);
}

TEST_F(Startup, DisableFailsWithoutLosingTheLiveValue) {
  // The store's copy key refuses writes: the live value must stay.
  const char* copyKey = "Software\\Orvane Works\\Sentrel\\Disabled\\Run";
  RawSetText(HKEY_CURRENT_USER, kRun, "Keeper", "c:\\apps\\keeper.exe");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, copyKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  ACL acl;
  InitializeAcl(&acl, sizeof acl, ACL_REVISION);  // an empty list grants nothing
  SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE);
  LONG secured = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  RegCloseKey(key);
  HKEY probe;
  const bool enforced = RegOpenKeyExA(HKEY_LOCAL_MACHINE, copyKey, 0, KEY_SET_VALUE, &probe) != ERROR_SUCCESS;
  if (!enforced) RegCloseKey(probe);
  if (secured != ERROR_SUCCESS || !enforced) GTEST_SKIP() << "this registry does not enforce key security";
  EXPECT_EQ(0, ToggleStartupEntry("Keeper", "c:\\apps\\keeper.exe", "", 11));
  EXPECT_EQ("c:\\apps\\keeper.exe", RawText(HKEY_CURRENT_USER, kRun, "Keeper"));
  EXPECT_EQ(0, IsEntryDisabled("Keeper"));
  // Open the key again (a null list grants everything), so it can be cleaned.
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, copyKey, 0, WRITE_DAC, &key));
  SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
  EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor));
  RegCloseKey(key);
}

TEST_F(Startup, WinIniTokensRoundTrip) {
  WriteProfileStringA("windows", "run", "c:\\a\\dup.exe;c:\\b\\keep.exe;C:\\A\\DUP.EXE");
  ASSERT_EQ(1, ToggleStartupEntry("run", "c:\\a\\dup.exe", "", 101));
  EXPECT_EQ("c:\\b\\keep.exe;", WinIni("run"));
  EXPECT_EQ("c:\\a\\dup.exe", RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\WinRun", "run"));
  ASSERT_EQ(1, ToggleStartupEntry("run", "c:\\a\\dup.exe", "", 101));
  EXPECT_EQ("c:\\b\\keep.exe;c:\\a\\dup.exe", WinIni("run"));
  EXPECT_EQ(0, IsEntryDisabled("run"));
  EXPECT_EQ("x;", WinIniLineWithout("x;;y", "y"));

  // Removing a disabled entry deletes its copy too.
  ASSERT_EQ(1, ToggleStartupEntry("run", "c:\\b\\keep.exe", "", 101));
  RemoveStartupEntry("run", "c:\\b\\keep.exe", "", 101);
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, "Software\\Orvane Works\\Sentrel\\Disabled\\WinRun", "run"));
  EXPECT_EQ(0, IsEntryDisabled("run"));
}

TEST_F(Startup, LongWinIniLinesAreReadSafely) {
  std::string line = "c:\\first.exe;" + std::string(600, 'w') + ".exe";
  WriteProfileStringA("windows", "run", line.c_str());
  EnumerateStartupEntries(1);
  std::vector<Listed> entries = Entries();
  ASSERT_GE(entries.size(), 1u);
  EXPECT_EQ("c:\\first.exe", entries[0].path);
  for (const Listed& entry : entries) EXPECT_LE(entry.path.size(), 259u);
}

TEST_F(Startup, StartupFolderFileIsParkedAndBroughtBack) {
  std::string file = folder_ + "\\Tool.lnk";
  ASSERT_TRUE(MakeShortcut(file, Notepad(), "Parked Tool"));
  ASSERT_EQ(1, ToggleStartupEntry("Parked Tool", Notepad().c_str(), file.c_str(), 200));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((ParkingFolder() + "\\Tool.lnk").c_str()));
  EXPECT_EQ("200", RawText(HKEY_LOCAL_MACHINE, kDisabledKey, "Parked Tool"));
  EnumerateStartupEntries(1);
  EXPECT_NE(nullptr, Find(Entries(), "Parked Tool"));  // listed from the parking folder

  ASSERT_EQ(1, ToggleStartupEntry("Parked Tool", Notepad().c_str(), file.c_str(), 200));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
  EXPECT_EQ(0, IsEntryDisabled("Parked Tool"));
}

TEST_F(Startup, RemovedEntriesComeBackFromTheHistory) {
  const std::string notepad = Notepad();
  RawSetText(HKEY_CURRENT_USER, kRun, "Gone", notepad + " /g");
  WriteProfileStringA("windows", "load", "c:\\l\\loaded.exe");
  std::string shortcut = folder_ + "\\Shortcut.lnk";
  ASSERT_TRUE(MakeShortcut(shortcut, notepad, "Short Cut"));
  const std::string shortcutBytes = ReadWholeFile(shortcut);  // the shortcut itself comes back

  RemoveStartupEntry("Gone", (notepad + " /g").c_str(), "", 11);
  RemoveStartupEntry("load", "c:\\l\\loaded.exe", "", 100);
  RemoveStartupEntry("Short Cut", notepad.c_str(), shortcut.c_str(), 200);
  RemoveStartupEntry("Own", "c:\\x\\Sentrel.exe", "", 11);  // never recorded
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, "Gone"));
  EXPECT_EQ("", WinIni("load"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(shortcut.c_str()));

  ASSERT_EQ(3, LoadHistory());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(kActionStartRemove, CatalogueAt(i).value);
    EXPECT_EQ(1, RestoreHistoryEvent(i)) << i;
  }
  EXPECT_EQ(notepad + " /g", RawText(HKEY_CURRENT_USER, kRun, "Gone"));
  EXPECT_EQ("c:\\l\\loaded.exe", WinIni("load"));
  std::string target, description;
  EnumerateStartupEntries(1);
  std::vector<Listed> entries = Entries();
  const Listed* restored = Find(entries, "Short Cut");
  ASSERT_NE(nullptr, restored);
  EXPECT_EQ(0, lstrcmpiA(notepad.c_str(), restored->path.c_str())) << restored->path;
  EXPECT_EQ(shortcutBytes, ReadWholeFile(shortcut));
  // A restored entry is known to the baseline.
  EXPECT_EQ("11", RawText(HKEY_CURRENT_USER, kStartupBaselineKey, (notepad + " /g").c_str()));
}

TEST_F(Startup, RunAtStartOffRemovesTheMonitorsOwnEntries) {
  RawSetText(HKEY_LOCAL_MACHINE, kRun, "Sentrel", "C:\\Tools\\Sentrel.exe -expressboot");
  RawSetText(HKEY_CURRENT_USER, kRun, "Sentrel Explorer", "C:\\Tools\\SentrelEx.exe");
  RawSetText(HKEY_CURRENT_USER, kRun, "Other", "C:\\Tools\\other.exe");
  EXPECT_EQ(1, IsRunAtStart());
  EXPECT_EQ(1, FindOwnStartupEntries(false));
  EXPECT_EQ(1, SetRunAtStart(false));
  EXPECT_EQ(0, IsRunAtStart());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kRun, "Sentrel Explorer"));
  EXPECT_EQ("C:\\Tools\\other.exe", RawText(HKEY_CURRENT_USER, kRun, "Other"));
  EXPECT_EQ(0, SetRunAtStart(false));  // nothing left to remove
}

bool Confirm(HWND, const char*, const char*, int) { return true; }

TEST_F(Startup, KeyLocationRemovalsAreRecordedOnlyWhenTheyHappen) {
  const char* hooks = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
  RawSetText(HKEY_LOCAL_MACHINE, hooks, "{11111111-2222-3333-4444-555555555555}", "Hook");
  SetRemovalConfirmation(nullptr);  // nobody to ask: nothing is removed
  EXPECT_EQ(0, RemoveShellExtensionEntry(nullptr, "Hook", "c:\\hooks\\hook.dll",
                                         "{11111111-2222-3333-4444-555555555555}", 254));
  EXPECT_EQ("Hook", RawText(HKEY_LOCAL_MACHINE, hooks, "{11111111-2222-3333-4444-555555555555}"));
  SetRemovalConfirmation(Confirm);
  EXPECT_EQ(1, RemoveShellExtensionEntry(nullptr, "Hook", "c:\\hooks\\hook.dll",
                                         "{11111111-2222-3333-4444-555555555555}", 254));
  EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, hooks, "{11111111-2222-3333-4444-555555555555}"));
  // Already gone: nothing removed, nothing recorded.
  EXPECT_EQ(0, RemoveShellExtensionEntry(nullptr, "Hook", "c:\\hooks\\hook.dll",
                                         "{11111111-2222-3333-4444-555555555555}", 254));
  SetRemovalConfirmation(nullptr);
  ASSERT_EQ(1, LoadHistory());
  EXPECT_EQ(kActionRemoveShellExecuteHook, CatalogueAt(0).value);
  EXPECT_EQ(254, CatalogueAt(0).type);
}

// ---- Baselines and first-seen dates ------------------------------------------------

TEST_F(Startup, BaselineKnowsEveryEntryUntilANewOneAppears) {
  RawSetText(HKEY_CURRENT_USER, kRun, "Equals", "c:\\apps\\eq.exe /opt=1");
  RawSetText(HKEY_LOCAL_MACHINE, kRun, "Plain", "c:\\apps\\plain.exe");
  InitRegStartups();
  EXPECT_EQ("11", RawText(HKEY_CURRENT_USER, kStartupBaselineKey, "c:\\apps\\eq.exe /opt:1"));
  EXPECT_EQ(0, StartupBaselineChanged());

  RawSetText(HKEY_CURRENT_USER, kRun, "Newcomer", "c:\\apps\\new.exe");
  EXPECT_EQ(1, StartupBaselineChanged());
  // Known by its title instead of its command.
  RawSetText(HKEY_CURRENT_USER, kStartupBaselineKey, "Newcomer", "11");
  EXPECT_EQ(0, StartupBaselineChanged());
  // An entry moved to delayed start that is back counts as changed.
  RawSetText(HKEY_CURRENT_USER, kStartupBaselineKey, "c:\\apps\\plain.exe", "1103");
  EXPECT_EQ(1, StartupBaselineChanged());

  CleanupRunRegistry();
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kStartupBaselineKey, "c:\\apps\\plain.exe"));
  EXPECT_EQ(0, StartupBaselineChanged());
}

TEST_F(Startup, FirstSeenDatesAreKept) {
  EXPECT_EQ(0, RecordFirstSeen("c:\\no\\such\\program.exe", "Startup"));
  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\Startup"));
  const std::string notepad = Notepad() + " /arg";
  EXPECT_EQ(0, RecordFirstSeen(notepad.c_str(), "Startup"));
  const std::string first = RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\Startup", notepad.c_str());
  EXPECT_EQ(NowText(), first);
  RawSetText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\Startup", notepad.c_str(), "01/02/2003 4:05 AM");
  EXPECT_EQ(1, RecordFirstSeen(notepad.c_str(), "Startup"));
  char date[24];
  EXPECT_EQ(18, ReadFirstSeen(notepad.c_str(), 11, date));
  EXPECT_STREQ("01/02/2003 4:05 AM", date);
  EXPECT_STREQ("Services", FirstSeenArea(701));
  EXPECT_STREQ("IEHelper", FirstSeenArea(1040));
  EXPECT_STREQ("ActiveTasks", FirstSeenArea(450));
  EXPECT_STREQ("Startup", FirstSeenArea(1070));
}

TEST_F(Startup, FirstSeenStoreIsBuiltOnce) {
  RawSetText(HKEY_CURRENT_USER, kRun, "Known", Notepad());
  InitFirstSeenStore();
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected", ""));
  EXPECT_EQ("P", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\ActiveX", ""));
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\Startup", Notepad().c_str()));
}

// ---- History ---------------------------------------------------------------------

TEST(HistoryRecord, ExactFormat) {
  SYSTEMTIME t{};
  t.wYear = 2009;
  t.wMonth = 7;
  t.wDay = 4;
  EXPECT_EQ("07/04/2009  12:00 AM", HistoryDate(t));
  t.wHour = 12;
  EXPECT_EQ("07/04/2009  12:00 PM", HistoryDate(t));
  t.wHour = 13;
  t.wMinute = 5;
  EXPECT_EQ("07/04/2009  1:05 PM", HistoryDate(t));
  EXPECT_EQ("07/04/2009  1:05 PM\t*START_Remove\tCURRENT_RUN\tTitle\tc:\\p.exe\tdata\r\n",
            FormatHistoryRecord(t, "Title", "c:\\p.exe", "data", 11, 0));
  EXPECT_EQ("07/04/2009  1:05 PM\tSERVICE_Disabled\tTYPE_UNKNOWN\t\t\t\r\n",
            FormatHistoryRecord(t, "", "", "", 16, 12));
  EXPECT_EQ("07/04/2009  1:05 PM\t\tTYPE_UNKNOWN\ta b\t\t\r\n", FormatHistoryRecord(t, "a\tb", "", "", 99, 27));
  // Too long for one record: cut, and still ended by CR LF.
  std::string record = FormatHistoryRecord(t, std::string(900, 't').c_str(), std::string(900, 'p').c_str(), "d", 1, 0);
  EXPECT_EQ(kHistoryRecordWidth, record.size());
  EXPECT_EQ("\r\n", record.substr(record.size() - 2));
  EXPECT_EQ(6u, ParseHistory(record)[0].data.size() + 5);  // the short field is whole
}

TEST(HistoryRecord, ReadBackWithCodes) {
  std::vector<HistoryEvent> events = ParseHistory(
      "07/04/2009  1:05 PM\tSTART_Disable\tTYPE_UNKNOWN\tt\tp\td\r\n"
      "07/04/2009  1:06 PM\tNO_SUCH\tWIN_RUN\tt2\tp2\td2");
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(3000, events[0].typeCode);
  EXPECT_EQ(1, events[0].actionCode);
  EXPECT_EQ("d", events[0].data);  // no CR left on the last field
  EXPECT_EQ(0, events[1].actionCode);
  EXPECT_EQ(101, events[1].typeCode);
  EXPECT_EQ("d2", events[1].data);
  EXPECT_EQ(23, ActionOfName("REMOVE_TASKSCHEDULER"));
  EXPECT_STREQ("REMOVE_TaskScheduler", ActionName(23));
  EXPECT_TRUE(IsRestorableAction(29));
  EXPECT_FALSE(IsRestorableAction(1));
}

TEST(HistoryRecord, JunkAndOversizedFilesParseSafely) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 37) % 256);
  std::vector<HistoryEvent> events = ParseHistory(junk);
  for (const HistoryEvent& event : events) {
    EXPECT_LT(event.date.size(), 32u);
    EXPECT_LT(event.title.size(), 128u);
    EXPECT_LE(event.path.size(), 259u);
  }
  std::string longLine = std::string(300, 'd') + "\t" + std::string(200000, 'x');
  events = ParseHistory(longLine);
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("", events[0].date);  // 32 characters or more: not a date
  std::string many;
  for (int i = 0; i < 4000; ++i) many += "01/01/2000  1:00 AM\tSTART_Alert\tCURRENT_RUN\tt\tp\td\r\n";
  EXPECT_LT(ParseHistory(many).size(), 4000u);  // only the first 131072 bytes count
}

TEST_F(Startup, AppendHistoryHonoursTheOption) {
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "History", "0");
  EXPECT_EQ(0, AppendHistory("t", "p", "d", 11, 0));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HistoryFile().c_str()));
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "History", "1");
  EXPECT_EQ(1, AppendHistory("t", "p", "d", 16, 12));
  ASSERT_EQ(1, LoadHistory());
  EXPECT_EQ(3000, CatalogueAt(0).type);
  EXPECT_EQ(12, CatalogueAt(0).value);
  EXPECT_EQ("d", CatalogueAt(0).data);
  EXPECT_EQ(1, ClearHistory());
  EXPECT_EQ(0, LoadHistory());
}

DWORD WINAPI CloseLater(LPVOID handle) {
  Sleep(150);
  CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}

TEST_F(Startup, AppendWaitsForAWriterThatHoldsTheFile) {
  HANDLE held = CreateFileA(HistoryFile().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  HANDLE release = CreateThread(nullptr, 0, CloseLater, held, 0, nullptr);
  EXPECT_EQ(1, AppendHistory("t", "p", "d", 1, 6));
  WaitForSingleObject(release, INFINITE);
  CloseHandle(release);
  EXPECT_EQ(1, LoadHistory());
}

}  // namespace
