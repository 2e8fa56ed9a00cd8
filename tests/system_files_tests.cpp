// System files, hidden files and restart commands, through the register the
// settings initialisation makes, the patrol's own area table, the history's
// restore and the Hidden Files page.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "alerts.h"
#include "catalogue.h"
#include "fileid.h"
#include "hidden_files.h"
#include "history.h"
#include "history_events.h"
#include "initialization.h"
#include "patrol.h"
#include "process_support.h"
#include "resource.h"
#include "restart_commands.h"
#include "settings.h"
#include "sheet_support.h"
#include "strings.h"
#include "system_files.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

// Writes a file; a day given is its last-write date (March 2020).
void WriteText(const std::string& path, const std::string& text, WORD day = 0) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  SYSTEMTIME time = {2020, 3, 0, day, 10, 0, 0, 0};
  FILETIME stamp;
  if (day && SystemTimeToFileTime(&time, &stamp)) SetFileTime(file, nullptr, nullptr, &stamp);
  CloseHandle(file);
}

void Remove(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

const PatrolArea* AreaNamed(const char* label) {
  size_t count = 0;
  const PatrolArea* areas = PatrolAreas(&count);
  for (size_t i = 0; i < count; ++i)
    if (std::strcmp(areas[i].label, label) == 0) return &areas[i];
  return nullptr;
}

class SystemFiles : public testing::Test {
 protected:
  void SetUp() override {
    Clean();
    Process() = ProcessState{};
    Process().kind = ProgramKind::Monitor;
    InitLanguageId();
    LoadOptions();
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    DeleteFileA(HistoryFile().c_str());
  }
};

// The initialisation's builder registers the three files, HOSTS where the family keeps it.
TEST_F(SystemFiles, InitialisationRegistersTheStandardFiles) {
  const std::string hosts = HostsPath();
  EXPECT_EQ(Is9xFamily() ? WindowsFolder() + "\\HOSTS" : SystemFolder() + "\\drivers\\etc\\HOSTS", hosts);
  const std::string original = ReadWholeFile(hosts);
  if (original.empty()) WriteText(hosts, "127.0.0.1 localhost\r\n");
  const SettingsInitHooks& hooks = DefaultSettingsInitHooks();
  for (size_t i = 0; i < hooks.builderCount; ++i)
    if (hooks.builders[i].stage == InitStage::SystemFiles) hooks.builders[i].buildIfNeeded();
  EXPECT_NE("<missing>", RawText(HKEY_LOCAL_MACHINE, kSysfilesKey, ""));
  const std::string key = std::string(kSysfilesKey) + "\\HOSTS";
  EXPECT_EQ(hosts, RawText(HKEY_LOCAL_MACHINE, key.c_str(), "Location"));
  EXPECT_EQ("HOST file can be used to protect or redirect domain access.",
            RawText(HKEY_LOCAL_MACHINE, key.c_str(), "Comment"));
  EXPECT_EQ(ReadWholeFile(hosts), ReadWholeFile(SavedCopyPath("HOSTS")));
  for (const char* name : {"Autoexec.bat", "Config.sys"})
    EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kSysfilesKey) + "\\" + name).c_str())) << name;
  if (original.empty()) Remove(hosts);
  Remove(SavedCopyPath("HOSTS"));
}

// HOSTS edited, checked by the patrol's own area on Windows before Vista and
// answered in the file change alert.
TEST_F(SystemFiles, ChangedHostsIsAcceptedOrRejected) {
  const PatrolArea* area = AreaNamed("Verify System Files");
  ASSERT_NE(nullptr, area);
  ASSERT_EQ(WindowsVersion().dwMajorVersion <= 5, area->condition());
  if (!area->condition()) GTEST_SKIP() << "system files are watched before Windows Vista only";
  struct Case {
    const char* what;
    bool addLine, reject, stop, readOnly;
    size_t size;
    WORD newDay = 2;
    int hide = 0, showAlerts = 1;
    int savedCopy = 0;  // 1: missing, 2: a folder in its place
  };
  const Case cases[] = {
      {"same size, new date", false, false, false, false, 40},
      {"line added, accepted", true, false, false, false, 40},
      {"line added, accepted, stop monitoring", true, false, true, false, 40},
      {"line added, rejected, read-only", true, true, false, true, 40},
      {"several megabytes, line added, rejected, stop monitoring", true, true, true, false, 4 << 20},
      {"line added, date set back", true, false, false, false, 40, 1},
      {"line added to an empty file", true, false, false, false, 0},
      {"line added, hide option set while all alerts are shown", true, false, false, false, 40, 2, 1},
      {"line added, changes prevented unseen", true, true, false, false, 40, 2, 2, 0},
      {"line added, rejected, saved copy missing", true, true, false, false, 40, 2, 0, 1, 1},
      {"line added, accepted, saved copy cannot be written", true, false, false, false, 40, 2, 0, 1, 2},
  };
  const std::string hosts = HostsPath(), saved = SavedCopyPath("HOSTS"), key = std::string(kSysfilesKey) + "\\HOSTS";
  const std::string original = ReadWholeFile(hosts);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetOption(kOptHideSystemFiles, c.hide);
    SetOption(kOptShowAlerts, c.showAlerts);
    const bool shown = c.addLine && (c.hide == 0 || c.showAlerts != 0);
    const std::string before = c.size ? "127.0.0.1 localhost\r\n" + std::string(c.size, '#') + "\r\n" : "";
    WriteText(hosts, before, 1);
    ASSERT_EQ(1, RegisterSystemFile("HOSTS", hosts.c_str(), "watched", 0));
    const bool copies = c.savedCopy == 0;
    if (!copies) Remove(saved);
    if (c.savedCopy == 2) CreateDirectoryA(saved.c_str(), nullptr);
    const std::string after = c.addLine ? before + "10.6.6.6 bank.example\r\n" : "127.0.0.2" + before.substr(9);
    WriteText(hosts, after, c.newDay);
    if (c.readOnly) SetFileAttributesA(hosts.c_str(), FILE_ATTRIBUTE_READONLY);
    std::string seen;
    bool errorShown = false;
    std::thread user([&] {
      HWND alert = WaitForVisibleWindow(GetCurrentProcessId(), "#32770", shown ? 10000 : 1500);
      if (!alert) return;
      Sleep(200);
      char caption[128] = "";
      GetWindowTextA(alert, caption, sizeof caption);
      seen = caption;
      if (c.stop) CheckDlgButton(alert, IDC_FILECHANGE_STOP_MONITORING, BST_CHECKED);
      PostMessageA(alert, WM_COMMAND, c.reject ? IDC_FILECHANGE_REJECT : IDC_FILECHANGE_ACCEPT, 0);
      HWND box = nullptr;
      for (int i = 0; i < 100 && !box && !copies; ++i, Sleep(50)) box = FindWindowA("#32770", "System Error");
      if ((errorShown = box != nullptr)) PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, area->check());
    user.join();
    EXPECT_EQ(shown ? "Sentrel: File Change Alert" : "", seen);
    EXPECT_EQ(!copies, errorShown);
    const bool accepted = c.addLine && !c.reject && copies;
    EXPECT_TRUE(ReadWholeFile(hosts) == (c.reject && copies ? before : after));
    EXPECT_TRUE(ReadWholeFile(saved) == (!copies ? "" : accepted ? after : before));
    EXPECT_EQ(!c.stop, RawKeyExists(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_EQ(c.readOnly, (GetFileAttributesA(hosts.c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
    if (!c.stop) {
      EXPECT_EQ(std::to_string((accepted ? after : before).size()), RawText(HKEY_LOCAL_MACHINE, key.c_str(), "Size"));
    }
    RemoveDirectoryA(saved.c_str());
  }
  if (original.empty())
    Remove(hosts);
  else
    WriteText(hosts, original);
  Remove(saved);
}

// A "NUL=" line that Delete file on reboot appends is asked about once.
TEST_F(SystemFiles, RestartCommandsAreAskedAboutOnce) {
  const PatrolArea* area = AreaNamed("Win INIT file");
  ASSERT_NE(nullptr, area);
  ASSERT_EQ(Is9xFamily(), area->condition());
  if (!area->condition()) GTEST_SKIP() << "restart commands belong to Windows 95/98/Me";
  const std::string runner = WindowsFolder() + "\\wininit.exe", ini = WindowsFolder() + "\\wininit.ini";
  const std::string doomed = TestFolder() + "\\doomed.tmp";
  WriteText(runner, "");
  WriteText(ini, "[rename]\r\n" + std::string(20000, ';') + "\r\n");  // longer than the viewer reads
  WriteText(doomed, "x");
  ASSERT_EQ(1, DeleteFileOnReboot(doomed.c_str()));
  EXPECT_NE(std::string::npos, ReadWholeFile(ini).find("NUL="));
  EXPECT_GE(16384u + 16384u / 2, RestartCommandsText().size());
  LoadAreaCountdowns();
  std::string question;
  std::thread user([&] { question = AnswerMessageBox(GetCurrentProcessId(), IDNO); });
  EXPECT_EQ(1, area->check());
  user.join();
  EXPECT_NE(std::string::npos, question.find("wininit.ini")) << question;
  LoadAreaCountdowns();  // a load never brings the check back
  const int index = static_cast<int>(area - PatrolAreas(nullptr));
  EXPECT_EQ(99999, Patrol().countdown[index]);
  for (const std::string& file : {runner, ini, doomed}) Remove(file);
}

// ---- Hidden files -------------------------------------------------------------

struct Planted {
  std::string path;
  DWORD attributes;
  bool listed;
};

class HiddenFiles : public SystemFiles {
 protected:
  void TearDown() override {
    for (const std::string& file : files_) Remove(file);
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
      SetFileAttributesA(folder->c_str(), FILE_ATTRIBUTE_NORMAL);
      RemoveDirectoryA(folder->c_str());
    }
    SystemFiles::TearDown();
  }
  std::string Folder(const std::string& path) {
    CreateDirectoryA(path.c_str(), nullptr);
    folders_.push_back(path);
    return path;
  }
  void Plant(const std::string& path, DWORD attributes, const std::string& content = "hidden") {
    files_.push_back(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      Folder(path);
    } else {
      WriteText(path, content);
    }
    SetFileAttributesA(path.c_str(), attributes);
  }
  static int Listed(const std::string& path) {
    for (int i = 0; i < CatalogueCount(); ++i)
      if (lstrcmpiA(CatalogueAt(i).command.c_str(), path.c_str()) == 0) return i;
    return -1;
  }
  std::vector<std::string> files_, folders_;
};

TEST_F(HiddenFiles, ScanReachesOneLevelBelowTheSystemFolder) {
  const std::string one = Folder(SystemFolder() + "\\snt_one"), two = Folder(one + "\\snt_two");
  char temp[MAX_PATH];
  std::string tempFolder(temp, GetTempPathA(sizeof temp, temp) - 1);
  const std::string longName = tempFolder + "\\" + std::string(259 - tempFolder.size() - 5, 'n') + ".dat";
  const Planted planted[] = {
      {one + "\\one.dat", FILE_ATTRIBUTE_HIDDEN, true},
      {two + "\\two.dat", FILE_ATTRIBUTE_HIDDEN, false},
      {one + "\\plain.dat", FILE_ATTRIBUTE_NORMAL, false},
      {SystemFolder() + "\\snt_hidden_folder", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY, false},
      {WindowsFolder() + "\\snt_system.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true},
      {WindowsFolder() + "\\.snt_dotted.dat", FILE_ATTRIBUTE_HIDDEN, true},
      {WindowsFolder() + "\\snt_notes.dat", FILE_ATTRIBUTE_NORMAL, false},
      {longName, FILE_ATTRIBUTE_HIDDEN, true},
  };
  for (const Planted& file : planted) Plant(file.path, file.attributes);
  // A name the code page cannot hold: listed or not, never a crash, and a
  // deletion reported only when it happened.
  const std::wstring wide = WidePath(tempFolder) + L"\\snt_\x4e2d\x6587.dat";
  // A look-alike (a fullwidth "n") of the plain file beside it.
  const std::wstring lookAlike = WidePath(WindowsFolder()) + L"\\snt_\xff4eotes.dat";
  for (const std::wstring& name : {wide, lookAlike})
    CloseHandle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
  ScanHiddenFiles();
  for (const Planted& file : planted) EXPECT_EQ(file.listed, Listed(file.path) >= 0) << file.path;
  EXPECT_EQ(0, CatalogueAt(Listed(WindowsFolder() + "\\snt_system.dat")).value);
  EXPECT_EQ(1, CatalogueAt(Listed(one + "\\one.dat")).value);
  // The look-alike is listed by its short name, and deleting it leaves the plain file alone.
  wchar_t shortWide[MAX_PATH] = L"";
  GetShortPathNameW(lookAlike.c_str(), shortWide, MAX_PATH);
  const std::string shortPath(shortWide, shortWide + lstrlenW(shortWide));
  files_.push_back(DataFolder() + "\\vault\\" + FileNamePart(shortPath));
  EXPECT_GE(Listed(shortPath), 0) << shortPath;
  EXPECT_EQ(1, DeleteHiddenFile(nullptr, "", shortPath.c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(lookAlike.c_str()));
  EXPECT_EQ("hidden", ReadWholeFile(WindowsFolder() + "\\snt_notes.dat"));
  for (int i = 0; i < CatalogueCount(); ++i) {
    const std::string path = CatalogueAt(i).command;
    if (path.find("snt_") == std::string::npos || path.find(tempFolder) != 0) continue;
    const int deleted = DeleteHiddenFile(nullptr, "", path.c_str());
    EXPECT_EQ(deleted == 1, GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) << path;
  }
  for (const std::wstring& name : {wide, lookAlike}) {
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(name.c_str());
  }
}

// Deleted into the vault and restored from the history: two files of one
// name each get their own content back, hidden and known.
TEST_F(HiddenFiles, DeleteThenRestoreFromTheHistory) {
  const std::string first = WindowsFolder() + "\\snt_twin.dat",
                    second = Folder(SystemFolder() + "\\snt_one") + "\\snt_twin.dat";
  Plant(first, FILE_ATTRIBUTE_HIDDEN, "first");
  Plant(second, FILE_ATTRIBUTE_HIDDEN, "second");
  for (const std::string& file : {first, second}) {
    WriteHiddenBaseline(file);
    ASSERT_EQ(1, DeleteHiddenFile(nullptr, "Twin", file.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
    EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kHiddenBaselineKey, file.c_str()));
  }
  ASSERT_EQ(2, LoadHistory());
  for (int event : {1, 0}) EXPECT_EQ(1, RestoreHistoryEvent(event));
  for (auto [file, content] : {std::pair{first, "first"}, {second, "second"}}) {
    EXPECT_EQ(content, ReadWholeFile(file));
    EXPECT_NE(0u, GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, kHiddenBaselineKey, file.c_str()));
  }
}

// A restore never replaces what stands at the path, and a history line
// cannot lead it out of the vault.
TEST_F(HiddenFiles, RestoreRefusesToReplaceOrLeaveTheVault) {
  const std::string target = WindowsFolder() + "\\snt_kept.dat", vault = DataFolder() + "\\vault";
  const std::string outside = DataFolder() + "\\snt_outside.dat";
  WriteText(vault + "\\snt_kept.dat", "kept");
  WriteText(outside, "outside");
  files_ = {target, outside, vault + "\\snt_kept.dat"};
  struct Case {
    const char* what;
    std::string path, keptAs;
    bool occupied;
  };
  const Case cases[] = {
      {"another file at the path", target, "snt_kept.dat", true},
      {"up out of the vault", target, "..\\snt_outside.dat", false},
      {"another drive", target, "D:snt_kept.dat", false},
      {"forward slashes", WindowsFolder() + "/snt_kept.dat", "", false},
      {"relative steps in the path", WindowsFolder() + "\\system32\\..\\snt_kept.dat", "", false},
      {"a linked folder on the way", TestFolder() + "\\snt_linked\\inner\\snt_kept.dat", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.occupied) WriteText(target, "someone else's");
    DeleteFileA(HistoryFile().c_str());
    AppendHistory("Kept", c.path.c_str(), c.keptAs.c_str(), kTypeHidden, kActionHiddenDeleteFile);
    ASSERT_EQ(1, LoadHistory());
    EXPECT_EQ(0, RestoreHistoryEvent(0));
    EXPECT_EQ(c.occupied ? "someone else's" : "", ReadWholeFile(c.path));
    EXPECT_EQ("kept", ReadWholeFile(vault + "\\snt_kept.dat"));
    EXPECT_EQ("outside", ReadWholeFile(outside));
    Remove(target);
    Remove(c.path);
  }
  // Nor does a deletion go through a folder swapped for a link.
  const std::string elsewhere = TestFolder() + "\\snt_linked\\inner\\snt_elsewhere.dat";
  Plant(elsewhere, FILE_ATTRIBUTE_HIDDEN, "elsewhere");
  EXPECT_EQ(0, DeleteHiddenFile(nullptr, "", elsewhere.c_str()));
  EXPECT_EQ("elsewhere", ReadWholeFile(elsewhere));
  // Nor does a vault that is reached through a link take a copy.
  const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const std::string appData = RawText(HKEY_CURRENT_USER, shellFolders, "AppData");
  Plant(target, FILE_ATTRIBUTE_HIDDEN, "target");
  RawSetText(HKEY_CURRENT_USER, shellFolders, "AppData", TestFolder() + "\\snt_linked\\inner");
  EXPECT_EQ(0, DeleteHiddenFile(nullptr, "", target.c_str()));
  RawSetText(HKEY_CURRENT_USER, shellFolders, "AppData", appData);
  EXPECT_EQ("target", ReadWholeFile(target));
  EXPECT_EQ("", ReadWholeFile(TestFolder() + "\\snt_linked\\inner\\Sentrel\\vault\\snt_kept.dat"));
  for (const char* made : {"\\vault", ""})
    RemoveDirectoryA((TestFolder() + "\\snt_linked\\inner\\Sentrel" + made).c_str());
}

// The page lists the files with their columns; Unhide takes one off the
// list, Delete asks 926 and deletes into the vault.
TEST_F(HiddenFiles, PageListsUnhidesAndDeletes) {
  const std::string system = WindowsFolder() + "\\snt_page_system.dat", plain = WindowsFolder() + "\\snt_page.dat";
  Plant(system, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Plant(plain, FILE_ATTRIBUTE_HIDDEN);
  StartExplorerInProcess();
  WithSheet(IDC_CMD_SHOW_HIDDEN, [&](HWND, HWND page) {
    const int row = RowWith(page, 0, "snt_page_system.dat");
    ASSERT_GE(row, 0);
    const std::vector<std::string> texts = RowTexts(page, row, 5);
    EXPECT_EQ(WindowsFolder(), texts[1]);
    EXPECT_FALSE(texts[2].empty());
    EXPECT_NE(LoadText(IDS_FILE_USE), texts[3]);
    EXPECT_FALSE(texts[3].empty());
    EXPECT_GE(16u, texts[3].size());
    EXPECT_EQ("SYSTEM", texts[4]);
    EXPECT_EQ("", CellText(page, RowWith(page, 0, "snt_page.dat"), 4));
    Select(page, {row});
    SendMessageA(page, WM_COMMAND, IDC_HIDDEN_UNHIDE, 0);
    EXPECT_EQ(-1, RowWith(page, 0, "snt_page_system.dat"));
    Select(page, {RowWith(page, 0, "snt_page.dat")});
    EXPECT_NE(std::string::npos, AnswerCommand(page, IDC_HIDDEN_DELETE, IDYES).find("Adware"));
    EXPECT_EQ(-1, RowWith(page, 0, "snt_page.dat"));
    Select(page, {});
    EXPECT_NE(std::string::npos, AnswerCommand(page, IDC_HIDDEN_DELETE, IDOK).find("No selection"));
  });
  EndExplorerInProcess();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(plain.c_str()));
  EXPECT_EQ(0u, GetFileAttributesA(system.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  files_.push_back(DataFolder() + "\\vault\\snt_page.dat");
}

}  // namespace
