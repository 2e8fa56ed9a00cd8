// The program information dialog, opened from the list pages as a user opens
// it (a row, then Info), and the About page.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "activex.h"
#include "catalogue.h"
#include "file_types.h"
#include "fileid.h"
#include "history.h"
#include "ie_helpers.h"
#include "info_dialog.h"
#include "list_page.h"
#include "processes.h"
#include "registry.h"
#include "service_support.h"
#include "services.h"
#include "sheet_support.h"
#include "startup.h"
#include "task_support.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Scratch() { return TestFolder() + "\\info_scratch"; }

void DeleteNotes() {
  for (const std::string& folder : {FolderOfProgram(), DataFolder()})
    for (const char* name : {"note_alpha.txt", "note_EVIL.txt"}) {
      SetFileAttributesA((folder + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((folder + "\\" + name).c_str());
    }
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

class InfoDialog : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    EmptyRunKeys();
    DeleteNotes();
    CreateDirectoryA(Scratch().c_str(), nullptr);
    for (const char* name : {"alpha", "Bravo", "Charlie"})
      RawSetText(HKEY_CURRENT_USER, kUserRun, name, std::string("c:\\apps\\") + name + ".exe");
    Process() = ProcessState{};
    LoadOptions();
    StartExplorerInProcess();
  }
  void TearDown() override {
    EndExplorerInProcess();
    EmptyRunKeys();
    DeleteNotes();
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    ClearCatalogueEntries();
  }
};

std::string Text(HWND dialog, int id) {
  std::string text(kMaxNoteChars + 16, '\0');
  text.resize(GetDlgItemTextA(dialog, id, &text[0], kMaxNoteChars + 16));
  return text;
}
bool Shown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Editable(HWND dialog) { return !(GetWindowLongA(GetDlgItem(dialog, IDC_INFO_NOTE), GWL_STYLE) & ES_READONLY); }

// Presses a button of the open dialog; returns once it has done its work.
void Click(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, id, reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types the text over what the note area holds, key by key.
void Type(HWND dialog, const std::string& text) {
  HWND area = GetDlgItem(dialog, IDC_INFO_NOTE);
  SendMessageA(area, EM_SETSEL, 0, -1);
  for (char c : text) SendMessageA(area, WM_CHAR, static_cast<unsigned char>(c), 1);
}

// Selects the row and presses Info: the dialog that comes up.
HWND OpenInfo(HWND sheet, HWND page, int row) {
  Select(page, {row});
  PostMessageA(page, WM_COMMAND, IDC_PAGE_INFO, 0);
  HWND dialog = WaitForDialog(sheet);
  if (dialog) Settle(dialog);
  return dialog;
}

// Opens the page, then Info on the row titled so; the steps run on the
// dialog, which is closed afterwards.
void WithInfo(UINT command, const std::string& title, const std::function<void(HWND sheet, HWND dialog)>& steps) {
  WithSheet(command, [&](HWND sheet, HWND page) {
    HWND dialog = OpenInfo(sheet, page, RowWith(page, 0, title));
    ASSERT_NE(nullptr, dialog) << title;
    steps(sheet, dialog);
    Press(dialog, IDOK);
  });
}

int RowOfEntry(HWND page, int entry) {
  for (int row = 0, rows = RowCount(page); row < rows; ++row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) &&
        item.lParam == entry)
      return row;
  }
  return -1;
}

std::vector<int> HistoryActionsOf(const std::string& title) {
  std::vector<int> actions;
  for (const HistoryEvent& event : ParseHistory(ReadWholeFile(HistoryFile())))
    if (event.title == title) actions.push_back(event.actionCode);
  return actions;
}

TEST_F(InfoDialog, NextAfterTheLastShowsTheFirstAndPreviousBeforeTheFirstTheLast) {
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    const int last = CatalogueCount() - 1;
    ASSERT_GE(last, 2);
    const int cases[][3] = {{last, IDC_INFO_NEXT, 0}, {0, IDC_INFO_PREVIOUS, last}, {0, IDC_INFO_NEXT, 1}};
    for (const auto& [from, button, to] : cases) {
      HWND dialog = OpenInfo(sheet, page, RowOfEntry(page, from));
      ASSERT_NE(nullptr, dialog);
      Click(dialog, button);
      char caption[300] = "";
      GetWindowTextA(dialog, caption, sizeof caption);
      EXPECT_EQ(CatalogueAt(to).title, caption) << from << " " << button;
      Press(dialog, IDOK);
    }
  });
}

// A present file without a version resource, a missing one and one with
// version fields: size, running state, buttons, fields, location line.
TEST_F(InfoDialog, FileFactsSizeAndRunningState) {
  const std::string sized = Scratch() + "\\Sized.exe";
  WriteFileBytes(sized, std::string(1234567, 'x'));
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Sized", sized);
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Fixture", TestFolder() + "\\fixtures\\report.dll");
  const int fields[] = {IDC_INFO_SIZE,    IDC_INFO_STATUS,  IDC_INFO_DESCRIPTION, IDC_INFO_PRODUCT,   IDC_INFO_COMPANY,
                        IDC_INFO_VERSION, IDC_INFO_CREATED, IDC_INFO_LOCATION,    IDC_INFO_FIRST_SEEN};
  const std::string run = LoadText(IDS_STARTUP_LOCATION) + " HKCU\\" + kUserRun;
  struct Case {
    const char* title;
    std::vector<std::string> texts;  // as fields; "*" a date and a time, "?" not looked at
    bool run;
  };
  const Case cases[] = {
      {"Sized", {"1,234,567", LoadText(IDS_READY), "Sized", "", "", "", "*", run, "*"}, true},
      {"alpha", {"", LoadText(IDS_LOCAL_FILE_NOT_FOUND), "alpha", "", "", "", "", run, "*"}, false},
      {"Fixture", {"?", "?", "?", "Report Fixture", "Hostile, Inc., Ltd", "2,0 beta", "*", run, "*"}, true},
  };
  for (const Case& c : cases)
    WithInfo(IDC_CMD_SHOW_STARTUP, c.title, [&](HWND, HWND dialog) {
      for (size_t i = 0; i < c.texts.size(); ++i) {
        const std::string shown = Text(dialog, fields[i]);
        if (c.texts[i] == "*") {
          EXPECT_GT(shown.size(), 11u) << c.title << " " << fields[i];
        } else if (c.texts[i] != "?") {
          EXPECT_EQ(c.texts[i], shown) << c.title << " " << fields[i];
        }
      }
      EXPECT_EQ(c.run, Shown(dialog, IDC_INFO_RUN)) << c.title;
      EXPECT_FALSE(Shown(dialog, IDC_INFO_KILL)) << c.title;
    });
  DeleteFileA(sized.c_str());
}

TEST_F(InfoDialog, TwoOpeningsAlternateExpandedAndCompact) {
  std::vector<bool> notes;
  std::vector<std::string> buttons;
  std::vector<int> heights;
  for (int opening = 0; opening < 3; ++opening)
    WithInfo(IDC_CMD_SHOW_STARTUP, "alpha", [&](HWND, HWND dialog) {
      RECT frame{};
      GetWindowRect(dialog, &frame);
      notes.push_back(Shown(dialog, IDC_INFO_NOTE));
      buttons.push_back(Text(dialog, IDC_INFO_EXPAND));
      heights.push_back(frame.bottom - frame.top);
      if (opening == 1) Click(dialog, IDC_INFO_EXPAND);  // left the other way: the next opening turns it back
    });
  ASSERT_EQ(3u, notes.size());
  EXPECT_NE(notes[0], notes[1]);
  EXPECT_EQ(notes[1], notes[2]);
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(LoadText(notes[i] ? IDS_SHRINK_WINDOW : IDS_EXPAND_INFO), buttons[i]) << i;
    EXPECT_EQ(notes[i], heights[i] > heights[notes[0] ? 1 : 0]) << i;
  }
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, kSentrelKey, "dyInfo"));  // its geometry kept
}

TEST_F(InfoDialog, NoteCreatedThenReopenedIsEditableWithSaveNote) {
  const std::string note = DataFolder() + "\\note_alpha.txt", lines = "alpha\r\nc:\\apps\\alpha.exe\r\n";
  WithInfo(IDC_CMD_SHOW_STARTUP, "alpha", [&](HWND, HWND dialog) {
    EXPECT_EQ(LoadText(IDS_CREATE_NOTE), Text(dialog, IDC_INFO_NOTE_BUTTON));
    EXPECT_FALSE(Editable(dialog));  // the description is no note
    Click(dialog, IDC_INFO_NOTE_BUTTON);
    EXPECT_EQ(lines, Text(dialog, IDC_INFO_NOTE));
    EXPECT_EQ(lines, ReadWholeFile(note));  // written at once
  });
  WithInfo(IDC_CMD_SHOW_STARTUP, "alpha", [&](HWND, HWND dialog) {
    EXPECT_EQ(lines, Text(dialog, IDC_INFO_NOTE));
    EXPECT_EQ(LoadText(IDS_SAVE_NOTE), Text(dialog, IDC_INFO_NOTE_BUTTON));
    EXPECT_TRUE(Editable(dialog));
    EXPECT_FALSE(Enabled(dialog, IDC_INFO_NOTE_BUTTON));  // until the note is edited
    Type(dialog, "my own words\r");
    EXPECT_TRUE(Enabled(dialog, IDC_INFO_NOTE_BUTTON));
    Click(dialog, IDC_INFO_NOTE_BUTTON);
    EXPECT_FALSE(Enabled(dialog, IDC_INFO_NOTE_BUTTON));
  });
  EXPECT_EQ("my own words\r\n", ReadWholeFile(note));
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {  // the row is selected again
    const int row = RowWith(page, 0, "Bravo");
    Press(OpenInfo(sheet, page, row), IDOK);
    EXPECT_EQ(row, FirstSelectedPosition(page));
  });
}

// A note the area cannot hold exactly is shown read-only, so that Save can
// never cut it; one that cannot be written (read-only, held open by another
// program, or a link to a file elsewhere, which Save would change) keeps the
// user's text and says so.
TEST_F(InfoDialog, HugeBinaryAndUnwritableNotes) {
  enum Lock { kNone, kReadOnly, kHeld, kLinked };
  const std::string huge(kMaxNoteChars + 5000, 'n');
  const struct {
    std::string content;
    Lock lock;
    std::string shown;
  } cases[] = {{huge, kNone, huge.substr(0, kMaxNoteChars)},
               {std::string("ab\0cd\0", 6), kNone, "ab cd "},
               {"kept as it is\r\n", kReadOnly, "kept as it is\r\n"},
               {"held open\r\n", kHeld, "held open\r\n"},
               {"another file\r\n", kLinked, "another file\r\n"}};
  const std::string note = FolderOfProgram() + "\\note_alpha.txt", elsewhere = Scratch() + "\\elsewhere.txt";
  for (const auto& c : cases) {
    SetFileAttributesA(note.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(note.c_str());
    WriteFileBytes(c.lock == kLinked ? elsewhere : note, c.content);
    if (c.lock == kLinked) {
      ASSERT_TRUE(CreateHardLinkA(note.c_str(), elsewhere.c_str(), nullptr));
    }
    if (c.lock == kReadOnly) SetFileAttributesA(note.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE held = c.lock == kHeld
                      ? CreateFileA(note.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    WithInfo(IDC_CMD_SHOW_STARTUP, "alpha", [&](HWND sheet, HWND dialog) {
      EXPECT_EQ(c.shown, Text(dialog, IDC_INFO_NOTE)) << c.lock;
      EXPECT_EQ(c.lock != kNone, Editable(dialog)) << c.lock;
      if (c.lock == kNone) return;
      Type(dialog, "typed by the user");
      PostMessageA(dialog, WM_COMMAND, IDC_INFO_NOTE_BUTTON, 0);
      EXPECT_NE(std::string::npos, Answer({sheet, dialog}, IDOK).find("note_ALPHA.txt")) << c.lock;
      Settle(dialog);
      EXPECT_EQ("typed by the user", Text(dialog, IDC_INFO_NOTE)) << c.lock;
      EXPECT_TRUE(Enabled(dialog, IDC_INFO_NOTE_BUTTON)) << c.lock;
    });
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(c.content, ReadWholeFile(note)) << c.lock;  // never cut or changed
  }
  DeleteFileA(elsewhere.c_str());
}

TEST(NoteFileNames, StayBareNamesInTheNotesFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\APPS\\ALPHA.EXE", "note_ALPHA.txt"},
      {"C:\\APPS/../../EVIL.EXE", "note_EVIL.txt"},
      {"C:\\APPS\\a:b*c?.exe", "note_a_b_c_.txt"},
      {"C:\\APPS\\...\\..evil..x.exe", "note_.evil.x.txt"},
      {"C:\\APPS\\tab\there.exe", "note_tab_here.txt"},
      {"C:\\APPS\\.exe", ""},
      {"abc", ""},
  };
  for (const auto& [file, name] : cases) EXPECT_EQ(name, NoteFileName(file)) << file;
}

// A command whose path climbs out of its folder: its note is a plain file in
// the notes folder, not "note_APPS/../../../EVIL.txt" two folders up.
TEST_F(InfoDialog, HostileFileNameGetsANoteInTheNotesFolderOnly) {
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Hostile", "c:\\apps/../../../evil.exe");
  WithInfo(IDC_CMD_SHOW_STARTUP, "Hostile", [&](HWND, HWND dialog) { Click(dialog, IDC_INFO_NOTE_BUTTON); });
  EXPECT_NE("", ReadWholeFile(DataFolder() + "\\note_EVIL.txt"));
  std::string above = DataFolder();
  for (int up = 0; up < 2; ++up) above = above.substr(0, above.rfind('\\'));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((above + "\\EVIL.txt").c_str())) << above;
}

// Apply changes the start type and writes the run state's event and the new
// type's; Stop stops the service and records it; the page is filled again.
TEST_F(InfoDialog, ServiceApplyAndStopWriteTheirHistory) {
  if (Is9xFamily()) GTEST_SKIP() << "the Services page is on the NT family only";
  ScratchService service("SvcTstInfo", "Svc Info Apply", "\"" + TestFolder() + "\\test_service.exe\"");
  ASSERT_TRUE(service.created() && service.Start());
  // Stop is not offered for a service that runs but accepts no stop, nor for
  // one whose display name is the running service's key.
  ScratchService stubborn("SvcTstInfoShut", "Svc Info Shutdown", "\"" + TestFolder() + "\\test_service.exe\"");
  ASSERT_TRUE(stubborn.created() && stubborn.Start("shutdownonly"));
  RawServiceKey namesake("SvcTstInfoOdd");
  namesake.Text("DisplayName", "SvcTstInfo");
  namesake.Text("ImagePath", "c:\\apps\\namesake.exe");
  ClearHistory();
  WithSheet(IDC_CMD_SHOW_SERVICES, [&](HWND sheet, HWND page) {
    for (const char* title : {"Svc Info Shutdown", "SvcTstInfo"}) {
      HWND odd = OpenInfo(sheet, page, RowWith(page, 0, title));
      ASSERT_NE(nullptr, odd);
      EXPECT_FALSE(Shown(odd, IDC_INFO_KILL)) << title;
      Press(odd, IDOK);
    }
    HWND dialog = OpenInfo(sheet, page, RowWith(page, 0, "Svc Info Apply"));
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(LoadText(IDS_RUNNING), Text(dialog, IDC_INFO_STATUS));
    EXPECT_EQ(LoadText(IDS_STOP), Text(dialog, IDC_INFO_KILL));
    EXPECT_TRUE(Shown(dialog, IDC_INFO_KILL));
    HWND list = GetDlgItem(dialog, IDC_INFO_START_TYPE);
    EXPECT_EQ(1, SendMessageA(list, CB_GETCURSEL, 0, 0));  // Manual
    EXPECT_FALSE(Enabled(dialog, IDC_INFO_APPLY));
    SendMessageA(list, CB_SETCURSEL, 2, 0);  // Disabled
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_INFO_START_TYPE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    EXPECT_TRUE(Enabled(dialog, IDC_INFO_APPLY));
    Click(dialog, IDC_INFO_APPLY);
    EXPECT_EQ(2, SendMessageA(list, CB_GETCURSEL, 0, 0));
    Click(dialog, IDC_INFO_KILL);
    Press(dialog, IDOK);
    EXPECT_EQ(LoadText(IDS_START_TYPE_DISABLED), CellText(page, RowWith(page, 0, "Svc Info Apply"), 4));  // refilled
  });
  const RawValue start = RawGet(HKEY_LOCAL_MACHINE, ServiceKeyPath("SvcTstInfo").c_str(), "Start");
  ASSERT_EQ(4u, start.data.size());
  EXPECT_EQ(4u, *reinterpret_cast<const DWORD*>(start.data.data()));
  EXPECT_EQ((std::vector<int>{kActionServiceWasStartPending + 2, kActionServiceDisabled, kActionServiceStop}),
            HistoryActionsOf("Svc Info Apply"));
  for (int i = 0; i < 100 && service.State() != SERVICE_STOPPED; ++i) Sleep(50);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
}

// Run starts the program itself, its path quoted: the path holds a blank, and
// unquoted the program named by its first word ("Prog.exe") would start.
// Kill Task ends a running program without asking and records it.
TEST_F(InfoDialog, RunStartsTheQuotedProgramAndKillTaskStopsIt) {
  const std::string witness = TestFolder() + "\\witness.exe", folder = Scratch() + "\\Prog Files";
  // Its own witness.txt; in the Windows folder on the 95/98 family, where
  // Tool Help names the processes of that folder's programs by bare name.
  const std::string stayFolder = Is9xFamily() ? WindowsFolder() : Scratch() + "\\stay";
  for (const std::string& made : {folder, stayFolder}) CreateDirectoryA(made.c_str(), nullptr);
  for (const std::string& copy : {folder + "\\runme.exe", Scratch() + "\\Prog.exe", stayFolder + "\\stayer.exe"})
    ASSERT_TRUE(CopyFileA(witness.c_str(), copy.c_str(), FALSE));
  for (const std::string& log : {folder + "\\witness.txt", Scratch() + "\\witness.txt"}) DeleteFileA(log.c_str());
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Runme", "\"" + folder + "\\runme.exe\"");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Stayer", stayFolder + "\\stayer.exe -stay");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION stayer{};
  std::string line = "\"" + stayFolder + "\\stayer.exe\" -stay";
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &stayer));
  CloseHandle(stayer.hThread);
  Sleep(300);
  ClearHistory();
  WithInfo(IDC_CMD_SHOW_STARTUP, "Runme", [&](HWND, HWND dialog) {
    EXPECT_EQ(LoadText(IDS_READY), Text(dialog, IDC_INFO_STATUS));
    EXPECT_TRUE(Shown(dialog, IDC_INFO_RUN));
    Click(dialog, IDC_INFO_RUN);
  });
  WithInfo(IDC_CMD_SHOW_STARTUP, "Stayer", [&](HWND, HWND dialog) {
    EXPECT_EQ(LoadText(IDS_RUNNING), Text(dialog, IDC_INFO_STATUS));
    EXPECT_TRUE(Shown(dialog, IDC_INFO_KILL));
    Click(dialog, IDC_INFO_KILL);
    EXPECT_EQ(LoadText(IDS_READY), Text(dialog, IDC_INFO_STATUS));
  });
  std::string started;
  for (int i = 0; i < 100 && started.empty(); ++i, Sleep(50)) started = ReadWholeFile(folder + "\\witness.txt");
  const bool ended = WaitForSingleObject(stayer.hProcess, 5000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(stayer.hProcess, 0);
  CloseHandle(stayer.hProcess);
  EXPECT_NE(std::string::npos, started.find("runme.exe")) << started;
  EXPECT_EQ("", ReadWholeFile(Scratch() + "\\witness.txt"));  // Prog.exe never ran
  EXPECT_TRUE(ended);
  EXPECT_EQ(std::vector<int>{kActionTaskKill}, HistoryActionsOf("Stayer"));
  for (const char* left : {"\\stayer.exe", "\\witness.txt"}) DeleteFileA((stayFolder + left).c_str());
}

// Kill Task never ends a process Windows cannot run without, nor the
// explorer itself (here, this test program).
TEST_F(InfoDialog, KillTaskSparesVitalProcessesAndTheExplorer) {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  const DWORD services = FindProcessOfProgram("services.exe");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Vital", SystemFolder() + "\\services.exe");
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Itself", std::string("\"") + self + "\"");
  ClearHistory();
  for (const char* title : {"Vital", "Itself"})
    WithInfo(IDC_CMD_SHOW_STARTUP, title, [&](HWND, HWND dialog) {
      // Running, so offered (Wine's 95/98 Tool Help names neither by its path).
      EXPECT_TRUE(Shown(dialog, IDC_INFO_KILL) || Is9xFamily()) << title;
      Click(dialog, IDC_INFO_KILL);
    });
  EXPECT_EQ(services, FindProcessOfProgram("services.exe"));
  for (const char* title : {"Vital", "Itself"}) EXPECT_EQ(std::vector<int>{}, HistoryActionsOf(title)) << title;
}

// A bare name found in the current folder is shown and run by its full path:
// run by the bare name, the same name in the explorer's own folder would
// start instead.
TEST_F(InfoDialog, BareNameInTheCurrentFolderRunsByItsFullPath) {
  const std::string here = Scratch() + "\\here", own = FolderOfProgram();
  CreateDirectoryA(here.c_str(), nullptr);
  for (const std::string& folder : {here, own}) {
    ASSERT_TRUE(CopyFileA((TestFolder() + "\\witness.exe").c_str(), (folder + "\\barename.exe").c_str(), FALSE));
    DeleteFileA((folder + "\\witness.txt").c_str());
  }
  char current[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof current, current);
  SetCurrentDirectoryA(here.c_str());
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Bare", "barename.exe");
  WithInfo(IDC_CMD_SHOW_STARTUP, "Bare", [&](HWND, HWND dialog) {
    EXPECT_EQ(here + "\\barename.exe", Text(dialog, IDC_INFO_PATH));
    Click(dialog, IDC_INFO_RUN);
  });
  SetCurrentDirectoryA(current);
  std::string started;
  for (int i = 0; i < 100 && started.empty(); ++i, Sleep(50)) started = ReadWholeFile(here + "\\witness.txt");
  EXPECT_NE("", started);
  EXPECT_EQ("", ReadWholeFile(own + "\\witness.txt"));
  for (const std::string& folder : {here, own})
    for (const char* left : {"\\barename.exe", "\\witness.txt"}) DeleteFileA((folder + left).c_str());
}

// What the kind of an item adds, each opened from its own page: a protected
// startup location's Microsoft text, a file type's extension, a running
// service's description, a task's comment and status, a browser helper's
// registry key and an ActiveX control's class id (no running state for the
// last two), a hidden file named like a program shown as itself.
TEST_F(InfoDialog, KindsShowTheirOwnLocationAndText) {
  ValueGuard appInit(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs");
  RawSetText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs", TestFolder() + "\\fixtures\\opsys.dll");
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup", "1");
  LoadOptions();
  RawSetText(HKEY_CURRENT_USER, kClassKey, "", "exe;");
  const std::string addon = TestFolder() + "\\fixtures\\addon.dll", helper = "{5E47E1A0-0000-4000-8000-00000000C0DE}",
                    control = "{5E47E1A0-0000-4000-8000-00000000C0DF}";
  for (const std::string& id : {helper, control}) {
    RawSetText(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str(), "", "Info " + id);
    RawSetText(HKEY_CLASSES_ROOT, ("CLSID\\" + id + "\\InprocServer32").c_str(), "", addon);
  }
  RawSetText(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + helper).c_str(), "", "");
  const DWORD used = 1;
  RawSet(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + control + "\\iexplore").c_str(), "Type", REG_DWORD,
         &used, sizeof used);
  // This test program, running, is also the image of a service.
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  RawServiceKey service("SvcTstInfoKind");
  service.Text("ImagePath", std::string("\"") + self + "\"");
  service.Text("Description", "Keeps the tests company");
  ASSERT_TRUE(CreateTask("InfoKind", self, {}, "Backs up the notes"));
  const std::string library = "Shell Helper Library";  // its product name holds "Operating System"
  const std::string hidden = WindowsFolder() + "\\snt_info.exe.dat";
  WriteFileBytes(hidden, "not a program");
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  const struct {
    UINT page;
    std::function<bool(const CatalogueEntry&)> row;
    std::string location;  // "?": not looked at
    std::string note;      // the start of the area's text
    bool status;
    bool ntOnly;  // AppInit_DLLs is an NT location; Wine's 95/98 has no scheduler agent
    std::string path = "?";
  } cases[] = {
      {IDC_CMD_SHOW_STARTUP, [&](const CatalogueEntry& e) { return e.title == library; },
       LoadText(IDS_STARTUP_LOCATION) + " HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs",
       FillText(LoadText(IDS_VALID_SYSTEM_FILE_UNDOCUMENTED), {library}) +
           LoadText(IDS_PROGRAM_INFORMATION_LISTED_ABOVE),
       true, true},
      {IDC_CMD_SHOW_FILE_TYPES, [](const CatalogueEntry& e) { return e.description == ".exe"; }, "?",
       LoadText(IDS_FILE_TYPE_EXTENSION) + ".exe", true, false},
      {IDC_CMD_SHOW_ACTIVE_TASKS, [&](const CatalogueEntry& e) { return lstrcmpiA(e.path.c_str(), self) == 0; }, "?",
       "Keeps the tests company", true, true},
      {IDC_CMD_SHOW_TASKS, [](const CatalogueEntry& e) { return e.title.rfind("InfoKind", 0) == 0; }, "?",
       "Backs up the notes\r\nStatus: ", true, true},
      {IDC_CMD_SHOW_IE_HELPERS, [&](const CatalogueEntry& e) { return e.data == helper; },
       "Location: \"HKLM\\" + std::string(kBrowserHelpersKey) + "\"", "?", false, false},
      {IDC_CMD_SHOW_ACTIVEX, [&](const CatalogueEntry& e) { return e.data == control; }, "CLSID: " + control, "?",
       false, false},
      {IDC_CMD_SHOW_HIDDEN, [&](const CatalogueEntry& e) { return lstrcmpiA(e.command.c_str(), hidden.c_str()) == 0; },
       "?", "?", false, false, hidden},
  };
  for (const auto& c : cases) {
    if (c.ntOnly && Is9xFamily()) continue;
    WithSheet(c.page, [&](HWND sheet, HWND page) {
      int row = -1;
      for (int entry = 0; entry < CatalogueCount() && row < 0; ++entry)
        if (c.row(CatalogueAt(entry))) row = RowOfEntry(page, entry);
      ASSERT_GE(row, 0) << c.page;
      HWND dialog = OpenInfo(sheet, page, row);
      ASSERT_NE(nullptr, dialog) << c.page;
      if (c.location != "?") {
        EXPECT_EQ(c.location, Text(dialog, IDC_INFO_LOCATION)) << c.page;
      }
      if (c.note != "?") {
        EXPECT_EQ(c.note, Text(dialog, IDC_INFO_NOTE).substr(0, c.note.size())) << c.page;
      }
      EXPECT_EQ(c.status, Shown(dialog, IDC_INFO_STATUS)) << c.page;
      if (c.path != "?") {
        EXPECT_EQ(0, lstrcmpiA(c.path.c_str(), Text(dialog, IDC_INFO_PATH).c_str())) << Text(dialog, IDC_INFO_PATH);
      }
      Press(dialog, IDOK);
    });
  }
  DeleteTaskFile("InfoKind");
  RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + helper).c_str());
  RawDeleteTree(HKEY_CURRENT_USER, (std::string(kActiveXStatsKey) + "\\" + control).c_str());
  for (const std::string& id : {helper, control}) RawDeleteTree(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(hidden.c_str());
}

// The About page: the installation date; Search looks the typed name up as
// type 450 and the news line opens the vendor's news page (both handed here
// to a running AOL client, which stands for the browser).
TEST_F(InfoDialog, AboutPageShowsInstallationDateSearchesAndOpensTheNews) {
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "", "12/31/2009 9:05 PM");
  HWND client = StandInAolClient();
  const std::string installed =
      ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir") +
      "\\SentrelTestAOL";
  CreateDirectoryA(installed.c_str(), nullptr);
  CopyFileA((TestFolder() + "\\witness.exe").c_str(), (installed + "\\WAOL.EXE").c_str(), FALSE);
  WriteProfileStringA("WAOL", "AppPath", installed.c_str());
  const std::string log = installed + "\\witness.txt";
  DeleteFileA(log.c_str());
  std::string searched, news;
  auto seen = [&](size_t longer) {
    std::string text;
    for (int i = 0; i < 100 && text.size() <= longer; ++i, Sleep(50)) text = ReadWholeFile(log);
    return text.substr(longer);
  };
  WithSheet(IDC_CMD_SHOW_OMNI, [&](HWND, HWND page) {
    EXPECT_EQ("Installed: 12/31/2009 9:05 PM", Text(page, IDC_ABOUT_INSTALLED));
    EXPECT_EQ(LoadText(IDS_ENTER_PROGRAM_FILENAME_SEARCH), Text(page, IDC_ABOUT_SEARCH_LABEL));
    EXPECT_EQ("&Search", Text(page, IDC_ABOUT_SEARCH));
    SetDlgItemTextA(page, IDC_ABOUT_SEARCH_NAME, "odd tool.exe");
    SendMessageA(page, WM_COMMAND, IDC_ABOUT_SEARCH, 0);
    searched = seen(0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_NEWS, STN_CLICKED), 0);
    news = seen(searched.size());
  });
  DestroyWindow(client);
  WriteProfileStringA("WAOL", nullptr, nullptr);
  for (const std::string& file : {installed + "\\WAOL.EXE", log}) DeleteFileA(file.c_str());
  RemoveDirectoryA(installed.c_str());
  EXPECT_NE(std::string::npos, searched.find("program=odd%20tool.exe&")) << searched;
  EXPECT_NE(std::string::npos, searched.find("&Type=450&")) << searched;
  EXPECT_NE(std::string::npos, news.find("/news.html")) << news;
}

}  // namespace
