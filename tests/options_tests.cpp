// The Options page driven as a user would (check boxes, patrol pictures, the
// alert-hiding dialog, the settings export), against the real registry, the
// real registry editor and, where the monitor is concerned, the real
// Sentrel.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "delayed_start.h"
#include "fileid.h"
#include "initialization.h"
#include "options_page.h"
#include "process_support.h"
#include "resource.h"
#include "settings.h"
#include "settings_export.h"
#include "sheet_support.h"
#include "system_files.h"
#include "test_support.h"

using namespace sentrel_test;

namespace {

const char* const kOptions = "Software\\Orvane Works\\Sentrel\\Options";
const char* const kSentrel = "Software\\Orvane Works\\Sentrel";
const char* const kMachineVendor = "SOFTWARE\\Orvane Works";
const char* const kMachineRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kVerb = "exefile\\shell\\Sentrel OMNI";

void CleanRegistry() {
  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
  RawDeleteTree(HKEY_CLASSES_ROOT, kVerb);
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kMachineRun, "Sentrel");
}

class OptionsPage : public testing::Test {
 protected:
  void SetUp() override {
    CleanRegistry();
    StartExplorerInProcess();
    // The first run's baselines once, before the page runs the initialisation again.
    sentrel::InitializeSettings();
  }
  void TearDown() override {
    EndExplorerInProcess();
    CleanRegistry();
  }
};

// A click on a control of the page, as the mouse gives it; every box it
// opens is answered with OK. Returns the boxes' texts once the click's work
// is done.
std::vector<std::string> Click(HWND sheet, HWND page, int control) {
  std::atomic<bool> done{false};
  std::thread click([&] {
    SendMessageA(GetDlgItem(page, control), BM_CLICK, 0, 0);
    done = true;
  });
  std::vector<std::string> texts;
  while (!done) {
    std::string text;
    if (HWND box = WaitForDialog({sheet}, &text, 5)) {
      texts.push_back(text);
      Press(box, IDOK);
    }
  }
  click.join();
  return texts;
}

bool Checked(HWND window, int control) { return IsDlgButtonChecked(window, control) == BST_CHECKED; }

// Names of a key's values, or of its subkeys.
std::vector<std::string> NamesIn(HKEY root, const char* path, bool subkeys) {
  std::vector<std::string> names;
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  char name[512];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if ((subkeys ? RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                 : RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr)) != ERROR_SUCCESS)
      break;
    names.push_back(name);
  }
  RegCloseKey(key);
  return names;
}

// Every value of the key, as name and text.
std::vector<std::pair<std::string, std::string>> TextValues(HKEY root, const char* path) {
  std::vector<std::pair<std::string, std::string>> values;
  for (const std::string& name : NamesIn(root, path, false))
    values.emplace_back(name, RawText(root, path, name.c_str()));
  return values;
}

// Whether a one-line caption fits its control, the box of a check box
// beside it.
bool ShownWhole(HWND dialog, int control) {
  HWND window = GetDlgItem(dialog, control);
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  const bool box = (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == BS_CHECKBOX;
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  RECT client;
  GetClientRect(window, &client);
  return *text && size.cx + (box ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0) <= client.right;
}

}  // namespace

TEST_F(OptionsPage, EveryCheckBoxSavesItsOptionAndDoesItsWork) {
  struct Case {
    int control;
    const char* option;  // nullptr: not an option of its own
    const char* before;
    const char* after;
    UINT message;  // shown when the box becomes ticked
    bool ntOnly;
  } cases[] = {
      {IDC_OPTIONS_SOUND, "Sound", "1", "0", 0, false},
      {IDC_OPTIONS_HISTORY, "History", "1", "0", 0, false},
      {IDC_OPTIONS_LOCK_FILE_TYPES, "LockFileTypes", "0", "1", 0, false},
      {IDC_OPTIONS_CONFIRM_EXIT, "ConfirmExit", "0", "1", 0, false},
      {IDC_OPTIONS_HIDE_TAVVY, "HideTavvy", "0", "1", IDS_TASKBAR_ICON_HIDDEN_RETURN, false},
      {IDC_OPTIONS_OMNI_FORMAT, "OmniFormat", "0", "1", IDS_THANK_SUPPORT_FEATURE_MAY, false},
      {IDC_OPTIONS_EXPLORER_MENU, "ExplorerMenu", "1", "0", 0, false},
      {IDC_OPTIONS_TRAY_ICON, "TrayIcon", "101", "159", 0, true},
  };
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    for (const Case& c : cases) {
      if (c.ntOnly && Is9xFamily()) continue;
      for (const char* expected : {c.after, c.before}) {
        RawSetText(HKEY_CURRENT_USER, kOptions, "Update", "0");
        const bool ticking = !Checked(page, c.control);
        const std::vector<std::string> boxes = Click(sheet, page, c.control);
        if (ticking && c.message) {
          ASSERT_EQ(1u, boxes.size()) << c.option;
          EXPECT_NE(std::string::npos, boxes[0].find(sentrel::LoadText(c.message).substr(1, 20))) << c.option;
        } else {
          EXPECT_TRUE(boxes.empty()) << c.option;
        }
        EXPECT_EQ(expected, RawText(HKEY_CURRENT_USER, kOptions, c.option)) << c.option;
        EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptions, "Update")) << c.option;
        if (c.control == IDC_OPTIONS_EXPLORER_MENU) {
          EXPECT_EQ(std::string(expected) == "1", RawKeyExists(HKEY_CLASSES_ROOT, kVerb));
        }
      }
    }
    // The monitor in Windows start-up: the first run put it there.
    ASSERT_TRUE(Checked(page, IDC_OPTIONS_RUN_AT_START));
    EXPECT_TRUE(Click(sheet, page, IDC_OPTIONS_RUN_AT_START).empty());
    EXPECT_FALSE(Checked(page, IDC_OPTIONS_RUN_AT_START));
    EXPECT_EQ("<missing>", RawText(HKEY_LOCAL_MACHINE, kMachineRun, "Sentrel"));
    EXPECT_TRUE(Click(sheet, page, IDC_OPTIONS_RUN_AT_START).empty());
    EXPECT_TRUE(Checked(page, IDC_OPTIONS_RUN_AT_START));
    EXPECT_NE("<missing>", RawText(HKEY_LOCAL_MACHINE, kMachineRun, "Sentrel"));
  });
}

TEST_F(OptionsPage, SpoiltValuesShowTheirDefaultsAndAreSavedSound) {
  const DWORD zero = 0;
  RawSet(HKEY_CURRENT_USER, kOptions, "Sound", REG_DWORD, &zero, sizeof zero);  // wrong type
  struct Case {
    const char* option;
    const char* stored;  // nullptr: planted above
    const char* saved;
    int control;  // its box, 0 when none
    bool checked;
  } cases[] = {
      {"Sound", nullptr, "1", IDC_OPTIONS_SOUND, true},
      {"History", "abc", "1", IDC_OPTIONS_HISTORY, true},
      {"ConfirmExit", "7", "0", IDC_OPTIONS_CONFIRM_EXIT, false},
      {"LockFileTypes", "1", "1", IDC_OPTIONS_LOCK_FILE_TYPES, true},  // sound: kept
      {"HideStartup", "-3", "0", 0, false},
      {"HideTasks", "2", "2", 0, false},
      {"StartPage", "500", "2", 0, false},
      {"WinInit", "12x", "5", 0, false},
  };
  for (const Case& c : cases)
    if (c.stored) RawSetText(HKEY_CURRENT_USER, kOptions, c.option, c.stored);
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND, HWND page) {
    for (const Case& c : cases) {
      const RawValue value = RawGet(HKEY_CURRENT_USER, kOptions, c.option);
      EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type) << c.option;
      EXPECT_EQ(c.saved, RawText(HKEY_CURRENT_USER, kOptions, c.option)) << c.option;
      if (c.control) {
        EXPECT_EQ(c.checked, Checked(page, c.control)) << c.option;
      }
    }
  });
}

TEST_F(OptionsPage, RestartRowOnlyOnTheOlderFamilyOriginalIconOnlyOnNt) {
  WithSheet(IDC_CMD_SHOW_OPTIONS, [](HWND, HWND page) {
    const bool nt = !Is9xFamily();
    EXPECT_EQ(!nt, IsWindowVisible(GetDlgItem(page, IDC_OPTIONS_RESTART_PICTURE)) != 0);
    EXPECT_EQ(!nt, IsWindowVisible(GetDlgItem(page, IDC_OPTIONS_RESTART_LABEL)) != 0);
    EXPECT_EQ(nt, IsWindowVisible(GetDlgItem(page, IDC_OPTIONS_TRAY_ICON)) != 0);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_OPTIONS_HOSTS_PICTURE)) != 0);
  });
}

TEST_F(OptionsPage, PatrolPicturesAskForTheMinutesAndCancelChangesNothing) {
  struct Case {
    int picture;
    UINT caption;
    const char* option;
    const char* typed;
    int button;
    const char* stored;
  } cases[] = {
      {IDC_OPTIONS_START_PAGE_PICTURE, IDS_PATROL_TIME_DEFAULT_INTERNET, "StartPage", "0", IDOK, "0"},
      {IDC_OPTIONS_START_PAGE_PICTURE, IDS_PATROL_TIME_DEFAULT_INTERNET, "StartPage", "15", IDOK, "15"},
      {IDC_OPTIONS_HOSTS_PICTURE, IDS_PATROL_TIME_CHECKING_HOST, "HostFile", "9", IDCANCEL, "3"},
      {IDC_OPTIONS_HOSTS_PICTURE, IDS_PATROL_TIME_CHECKING_HOST, "HostFile", "", IDOK, "0"},
      // Only the older family shows the restart file's row.
      {IDC_OPTIONS_RESTART_PICTURE, IDS_PATROL_TIME_WININIT_RESTART, "WinInit", "7", IDOK, "7"},
  };
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    for (const Case& c : cases) {
      HWND picture = GetDlgItem(page, c.picture);
      if (!IsWindowVisible(picture)) continue;
      PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
      PostMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
      HWND dialog = WaitForDialog({sheet});
      ASSERT_NE(nullptr, dialog) << c.option;
      char caption[128] = "";
      GetWindowTextA(dialog, caption, sizeof caption);
      EXPECT_EQ(sentrel::LoadText(c.caption), caption);
      // The restart file has no real-time watch to offer.
      EXPECT_EQ(c.picture != IDC_OPTIONS_RESTART_PICTURE,
                IsWindowVisible(GetDlgItem(dialog, IDC_PATROL_REALTIME)) != 0);
      SetDlgItemTextA(dialog, IDC_PATROL_MINUTES, c.typed);
      Press(dialog, c.button);
      Settle(page);
      EXPECT_EQ(c.stored, RawText(HKEY_CURRENT_USER, kOptions, c.option)) << c.option << " " << c.typed;
    }
  });
}

TEST_F(OptionsPage, RestoreAllDelayedMovesThemBackWithoutAQuestion) {
  const std::string program = TestFolder() + "\\witness.exe";
  ASSERT_EQ(1, sentrel::AddDelayedProgram(program.c_str(), false));
  WithSheet(IDC_CMD_SHOW_OPTIONS,
            [&](HWND sheet, HWND page) { EXPECT_TRUE(Click(sheet, page, IDC_OPTIONS_RESTORE_DELAYED).empty()); });
  EXPECT_EQ(0, sentrel::CountDelayedEntries());
  bool back = false;
  for (const auto& value : TextValues(HKEY_CURRENT_USER, kUserRun)) {
    if (!sentrel::ContainsText(value.second.c_str(), "witness.exe")) continue;
    back = true;
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, value.first.c_str());
  }
  EXPECT_TRUE(back);
}

TEST_F(OptionsPage, ViewHostsTellsWhenThereIsNoHostsFile) {
  const std::string hosts = sentrel::HostsPath(), away = hosts + ".away";
  const bool moved = MoveFileA(hosts.c_str(), away.c_str()) != 0;  // the 95/98/Me family has none here
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    const std::vector<std::string> boxes = Click(sheet, page, IDC_OPTIONS_VIEW_HOSTS);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("A HOSTS file could not be located")) << boxes[0];
  });
  if (moved) MoveFileA(away.c_str(), hosts.c_str());
}

TEST_F(OptionsPage, AlertHidingDialogSetsAllowPreventAndOff) {
  struct Step {
    int control;
    const char* hideStartup;
    const char* showAlerts;
    const char* hideRunOnce;
  } steps[] = {
      {IDC_HIDE_ROW_STARTUP, "1", "1", "0"},      // ticked: always allow
      {IDC_HIDE_PREVENT_STARTUP, "2", "1", "0"},  // prevent
      {IDC_HIDE_ROW_STARTUP, "0", "1", "0"},      // unticked: ask again
      {IDC_HIDE_ALLOW_STARTUP, "1", "1", "0"},   {IDC_HIDE_SHOW_ALL, "1", "0", "0"}, {IDC_HIDE_RUNONCE, "1", "0", "1"},
  };
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    for (const Step& step : steps) {
      PostMessageA(GetDlgItem(page, IDC_OPTIONS_HIDE_ALERTS), BM_CLICK, 0, 0);
      HWND dialog = WaitForDialog({sheet});
      ASSERT_NE(nullptr, dialog);
      if (&step == steps) {
        for (int control : {IDC_HIDE_TYPE_HEAD, IDC_HIDE_ALLOW_HEAD, IDC_HIDE_PREVENT_HEAD, IDC_HIDE_ROW_IE_HELPER,
                            IDC_HIDE_ROW_SYSTEM_FILES, IDC_HIDE_RUNONCE, IDC_HIDE_SHOW_ALL})
          EXPECT_TRUE(ShownWhole(dialog, control)) << control;
      }
      SendMessageA(GetDlgItem(dialog, step.control), BM_CLICK, 0, 0);
      // The rows follow the values at once.
      const int value = sentrel::Option(sentrel::kOptHideStartup);
      EXPECT_EQ(value != 0, Checked(dialog, IDC_HIDE_ROW_STARTUP));
      EXPECT_EQ(value == 1, Checked(dialog, IDC_HIDE_ALLOW_STARTUP));
      EXPECT_EQ(value == 2, Checked(dialog, IDC_HIDE_PREVENT_STARTUP));
      Press(dialog, IDOK);
      Settle(page);
      EXPECT_EQ(step.hideStartup, RawText(HKEY_CURRENT_USER, kOptions, "HideStartup")) << step.control;
      EXPECT_EQ(step.showAlerts, RawText(HKEY_CURRENT_USER, kOptions, "ShowAlerts")) << step.control;
      EXPECT_EQ(step.hideRunOnce, RawText(HKEY_CURRENT_USER, kOptions, "HideRunOnce")) << step.control;
    }
  });
}

// ---- The settings export -----------------------------------------------------

namespace {

struct Planted {
  HKEY root;
  std::string path, name;
  DWORD type;
  std::string data;  // the text, or four bytes of a DWORD
  bool comesBack;
};

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

void Plant(const Planted& value) {
  const std::string bytes = value.type == REG_DWORD ? value.data : value.data + '\0';
  RawSet(value.root, value.path.c_str(), value.name.c_str(), value.type, bytes.data(),
         static_cast<DWORD>(bytes.size()));
}

std::string Stored(const Planted& value) {
  const RawValue raw = RawGet(value.root, value.path.c_str(), value.name.c_str());
  if (raw.type == 0) return "<missing>";
  if (raw.type != value.type) return "<type " + std::to_string(raw.type) + ">";
  if (raw.type == REG_DWORD) return std::string(raw.data.begin(), raw.data.end());
  return RawText(value.root, value.path.c_str(), value.name.c_str());
}

DWORD MergeWithRegistryEditor(const std::string& file) {
  char windows[MAX_PATH] = "";
  GetWindowsDirectoryA(windows, sizeof windows);
  Program editor(std::string(windows) + "\\regedit.exe", "/s \"" + file + "\"");
  return editor.started() ? editor.WaitForExit(30000) : 999;
}

}  // namespace

TEST_F(OptionsPage, ExportedSettingsMergeBackThroughTheRegistryEditor) {
  const std::string delay = std::string(kSentrel) + "\\Delay";
  const std::vector<Planted> planted = {
      {HKEY_CURRENT_USER, kSentrel, "", REG_SZ, "12/8/2026 03:00:00", true},
      {HKEY_CURRENT_USER, kSentrel, "Say \"hi\"", REG_SZ, "a \"quoted\" text \\ with a trailing backslash\\", true},
      {HKEY_CURRENT_USER, kSentrel + std::string("\\Run"), "C:\\Program Files\\x.exe /a=b", REG_SZ, "11", true},
      {HKEY_CURRENT_USER, kSentrel, "AUOptions", REG_DWORD, Dword(4), true},
      {HKEY_CURRENT_USER, delay, "c:\\apps\\late.exe", REG_SZ, "11", true},
      {HKEY_CURRENT_USER, delay + "\\Title", "c:\\apps\\late.exe", REG_SZ, "Late", false},  // second level
      {HKEY_CURRENT_USER, kSentrel, "Two lines", REG_SZ, "first\r\nsecond", false},
      {HKEY_CURRENT_USER, kSentrel, "Long", REG_SZ, std::string(256, 'x'), false},
      {HKEY_CURRENT_USER, kSentrel, std::string(256, 'n'), REG_SZ, "long name", false},
      // The 95/98/Me family stores a text only up to its first NUL.
      {HKEY_CURRENT_USER, kSentrel, "Cut short", REG_SZ, std::string("cut\0off", Is9xFamily() ? 3 : 7), Is9xFamily()},
      {HKEY_CURRENT_USER, kSentrel, "Two strings", REG_MULTI_SZ, std::string("one\0two\0", 8), false},
      {HKEY_CURRENT_USER, kSentrel, std::string(255, 'n'), REG_SZ, std::string(255, 'd'), true},
      {HKEY_CURRENT_USER, kSentrel + std::string("\\Odd \"key\" [x]"), "v", REG_SZ, "1", true},
      {HKEY_CURRENT_USER, kSentrel, "After them", REG_SZ, "still merged", true},
      {HKEY_LOCAL_MACHINE, std::string(kMachineVendor) + "\\Sentrel", "LString5", REG_SZ, "Tra\\duit \"%n\"", true},
  };
  for (const Planted& value : planted) Plant(value);
  // Names and data the ANSI code page cannot hold, which only the NT family's
  // registry has: written as "?" or a look-alike they would come back as
  // other names and data.
  const bool unicode = !Is9xFamily();
  if (unicode) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane Works\\Sentrel\\Wide \x4e2d", 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane Works\\Sentrel", 0, KEY_ALL_ACCESS, &key));
    RegSetValueExW(key, L"Wide \x0141", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    RegSetValueExW(key, L"Wide data", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"\x4e2d\x0141"), 6);
    RegCloseKey(key);
  }
  std::vector<std::pair<std::string, std::string>> options;
  const std::string file = sentrel::SettingsExportPath();
  ASSERT_FALSE(file.empty());
  DeleteFileA(file.c_str());

  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    PostMessageA(GetDlgItem(page, IDC_OPTIONS_EXPORT), BM_CLICK, 0, 0);
    const std::string text = Answer({sheet}, IDOK);
    EXPECT_NE(std::string::npos, text.find(sentrel::FileNamePart(file))) << text;
    Settle(page);
    options = TextValues(HKEY_CURRENT_USER, kOptions);  // as exported
  });
  ASSERT_FALSE(options.empty());
  const std::string script = ReadWholeFile(file);
  ASSERT_EQ(0u, script.find("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + std::string(kSentrel) +
                            "]\r\n@=\"12/8/2026 03:00:00\"\r\n"))
      << script;
  EXPECT_NE(std::string::npos,
            script.find("\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvane Works\\Sentrel\\Options]\r\n"));
  EXPECT_NE(std::string::npos, script.find("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane Works]\r\n"));
  EXPECT_EQ(std::string::npos, script.find("Delay\\Title"));

  // The watchdog's keys gone as on a fresh system, then merged back.
  RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
  ASSERT_EQ(0u, MergeWithRegistryEditor(file));
  for (const Planted& value : planted) {
    if (value.comesBack)
      EXPECT_EQ(value.data, Stored(value)) << value.path << " " << value.name;
    else
      EXPECT_EQ("<missing>", Stored(value)) << value.path << " " << value.name;
  }
  EXPECT_EQ(options, TextValues(HKEY_CURRENT_USER, kOptions));
  if (unicode) {
    for (bool subkeys : {false, true})
      for (const std::string& name : NamesIn(HKEY_CURRENT_USER, kSentrel, subkeys))
        EXPECT_EQ(std::string::npos, name.find("Wide")) << name;
  }
  DeleteFileA(file.c_str());
}

TEST_F(OptionsPage, ExportThatCannotBeWrittenIsToldAndLeavesNoHalfWrittenFile) {
  const std::string file = sentrel::SettingsExportPath();
  ASSERT_FALSE(file.empty());
  const std::string folder = file.substr(0, file.rfind('\\'));
  struct Case {
    const char* what;
    bool directory;  // else a read-only earlier export stands in the way
  } cases[] = {{"a folder of that name", true}, {"a read-only earlier export", false}};
  for (const Case& c : cases) {
    DeleteFileA(file.c_str());
    RemoveDirectoryA(file.c_str());
    if (c.directory) {
      ASSERT_TRUE(CreateDirectoryA(file.c_str(), nullptr));
    } else {
      HANDLE old = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, old);
      DWORD written = 0;
      WriteFile(old, "old export", 10, &written, nullptr);
      CloseHandle(old);
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
      const std::vector<std::string> told = Click(sheet, page, IDC_OPTIONS_EXPORT);
      ASSERT_EQ(1u, told.size()) << c.what;
      EXPECT_NE(std::string::npos, told[0].find("could not be saved")) << c.what << ": " << told[0];
      EXPECT_NE(std::string::npos, told[0].find(file)) << c.what << ": " << told[0];
    });
    if (!c.directory) {
      EXPECT_EQ("old export", ReadWholeFile(file)) << c.what;
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    } else {
      EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY),
                GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
      RemoveDirectoryA(file.c_str());
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\snt*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << c.what << ": " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
  }
}

TEST_F(OptionsPage, EachUserExportsToAFileOfTheirOwnName) {
  // Wine gives the logged-on user's name from this variable.
  struct Case {
    const wchar_t* user;
    const char* file;
  } cases[] = {
      {L"J\xe9r\xf4me O'Brien & 100%", "J\xe9r\xf4me O'Brien & 100%-Sentrel.reg"},
      {L"\x0412\x043b\x0430\x0434 Two", "____ Two-Sentrel.reg"},  // letters the code page lacks
  };
  wchar_t own[256] = L"";
  GetEnvironmentVariableW(L"WINEUSERNAME", own, 256);
  for (const Case& c : cases) {
    SetEnvironmentVariableW(L"WINEUSERNAME", c.user);
    const std::string file = sentrel::FolderOfProgram() + "\\" + c.file;
    WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
      const std::vector<std::string> boxes = Click(sheet, page, IDC_OPTIONS_EXPORT);
      ASSERT_EQ(1u, boxes.size()) << c.file;
      EXPECT_NE(std::string::npos, boxes[0].find(c.file)) << boxes[0];
    });
    EXPECT_EQ(0u, ReadWholeFile(file).find("Windows Registry Editor Version 5.00")) << c.file;
    DeleteFileA(file.c_str());
  }
  SetEnvironmentVariableW(L"WINEUSERNAME", own);
}

// ---- With the real monitor ----------------------------------------------------

namespace {

// Whether the monitor's window has its icon in the notification area: only
// an icon that is there can be modified.
bool IconShown(HWND monitor) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = monitor;
  data.uID = SENTREL_NOTIFY_ICON_ID;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != 0;
}

bool WaitForIcon(HWND monitor, bool shown, DWORD ms) {
  for (DWORD waited = 0; waited <= ms; waited += 100) {
    if (IconShown(monitor) == shown) return true;
    Sleep(100);
  }
  return false;
}

class OptionsWithMonitor : public OptionsPage {
 protected:
  void SetUp() override {
    OptionsPage::SetUp();
    if (Is9xFamily()) GTEST_SKIP() << "the monitor runs as the NT family";
    ASSERT_EQ(nullptr, FindWindowA("Sentrel", nullptr)) << "a monitor is already running";
  }
};

}  // namespace

TEST_F(OptionsWithMonitor, HidingTheIconHidesTheRunningMonitorsIconAtOnce) {
  Program monitor(ProgramPath("Sentrel.exe"), "");
  HWND window = monitor.started() ? WaitForWindow(monitor.id(), "Sentrel", 15000) : nullptr;
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(WaitForIcon(window, true, 15000)) << "the monitor never showed its icon";
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    const std::vector<std::string> boxes = Click(sheet, page, IDC_OPTIONS_HIDE_TAVVY);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("Taskbar icon will be hidden"));
    EXPECT_FALSE(IconShown(window));  // at once, not at a later patrol
    EXPECT_TRUE(Click(sheet, page, IDC_OPTIONS_HIDE_TAVVY).empty());
    EXPECT_TRUE(IconShown(window));
  });
  EXPECT_EQ("0", RawText(HKEY_CURRENT_USER, kOptions, "HideTavvy"));
  PostMessageA(window, WM_COMMAND, IDC_CMD_EXIT, 0);
  EXPECT_EQ(0u, monitor.WaitForExit(15000));
}

TEST_F(OptionsWithMonitor, HiddenAlertsAreAnsweredByTheRunningMonitorAtItsNextPatrol) {
  Program monitor(ProgramPath("Sentrel.exe"), "");
  HWND window = monitor.started() ? WaitForWindow(monitor.id(), "Sentrel", 15000) : nullptr;
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(WaitForIcon(window, true, 15000));
  // Startup alerts hidden and refused, the temporary "show all" off.
  WithSheet(IDC_CMD_SHOW_OPTIONS, [&](HWND sheet, HWND page) {
    PostMessageA(GetDlgItem(page, IDC_OPTIONS_HIDE_ALERTS), BM_CLICK, 0, 0);
    HWND dialog = WaitForDialog({sheet});
    ASSERT_NE(nullptr, dialog);
    for (int control : {IDC_HIDE_ROW_STARTUP, IDC_HIDE_PREVENT_STARTUP, IDC_HIDE_SHOW_ALL})
      SendMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
    Press(dialog, IDOK);
    Settle(page);
  });
  ASSERT_EQ("2", RawText(HKEY_CURRENT_USER, kOptions, "HideStartup"));
  ASSERT_EQ("0", RawText(HKEY_CURRENT_USER, kOptions, "ShowAlerts"));

  RawSetText(HKEY_CURRENT_USER, kUserRun, "OptionsRefused", "c:\\apps\\options-refused.exe");
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  Program other(std::string(system) + "\\notepad.exe", "");  // a new process: the next check is now
  PostMessageA(window, WM_SENTREL_PROCESSES_CHANGED, 0, 0);
  std::string left = "?";
  for (int waited = 0; waited < 30000 && left != "<missing>"; waited += 200) {
    EXPECT_EQ(nullptr, WaitForVisibleWindow(monitor.id(), "#32770", 0)) << "an alert was shown";
    left = RawText(HKEY_CURRENT_USER, kUserRun, "OptionsRefused");
    Sleep(200);
  }
  EXPECT_EQ("<missing>", left);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, "OptionsRefused");
  PostMessageA(window, WM_COMMAND, IDC_CMD_EXIT, 0);
  EXPECT_EQ(0u, monitor.WaitForExit(15000));
}
