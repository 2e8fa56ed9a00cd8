// The program information dialog, opened from the list pages as a user opens
// it (a row, then Info or Enter), and the About page.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue.h"
#include "explorer.h"
#include "fileid.h"
#include "history.h"
#include "ie_helpers.h"
#include "info_dialog.h"
#include "list_page.h"
#include "resource.h"
#include "service_support.h"
#include "services.h"
#include "settings.h"
#include "sheet_support.h"
#include "startup.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kPlanted[] = {"alpha", "Bravo", "Charlie", "Sized", "Fixture", "Hostile"};

std::string Scratch() { return TestFolder() + "\\info_scratch"; }

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

// Every note a test may leave, in both note folders.
void DeleteNotes() {
  for (const std::string& folder : {FolderOfProgram(), DataFolder()})
    for (const char* name : {"note_alpha.txt", "note_Sized.txt", "note_EVIL.txt", "note_Bravo.txt"}) {
      const std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
}

class InfoDialog : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
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
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
    ClearCatalogueEntries();
  }
};

std::string Text(HWND dialog, int id) {
  char text[kMaxNoteChars + 16] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}
std::string Caption(HWND dialog) {
  char text[300] = "";
  GetWindowTextA(dialog, text, sizeof text);
  return text;
}
bool Shown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool ReadOnly(HWND dialog, int id) { return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & ES_READONLY) != 0; }

// Presses a button of the open dialog; returns once it has done its work.
void Click(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types the text over what the area holds, key by key.
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

// The row whose entry is the given catalogue entry.
int RowOfEntry(HWND page, int entry) {
  HWND list = GetDlgItem(page, IDC_PAGE_LIST);
  for (int row = 0, rows = RowCount(page); row < rows; ++row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) && item.lParam == entry) return row;
  }
  return -1;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (file != INVALID_HANDLE_VALUE) {
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
}

TEST_F(InfoDialog, NextAfterTheLastShowsTheFirstAndPreviousBeforeTheFirstTheLast) {
  struct Case {
    bool fromLast;
    int button;
    bool toLast;
  };
  const Case cases[] = {{true, IDC_INFO_NEXT, false},
                        {false, IDC_INFO_PREVIOUS, true},
                        {false, IDC_INFO_NEXT, false},
                        {true, IDC_INFO_PREVIOUS, false}};
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    const int last = CatalogueCount() - 1;
    ASSERT_GE(last, 2);
    for (const Case& c : cases) {
      const int from = c.fromLast ? last : 0;
      const int to = c.button == IDC_INFO_NEXT ? (from + 1) % (last + 1) : (from + last) % (last + 1);
      HWND dialog = OpenInfo(sheet, page, RowOfEntry(page, from));
      ASSERT_NE(nullptr, dialog);
      EXPECT_EQ(CatalogueAt(from).title, Caption(dialog));
      Click(dialog, c.button);
      EXPECT_EQ(CatalogueAt(to).title, Caption(dialog)) << c.fromLast << " " << c.button;
      EXPECT_EQ(c.toLast, to == last);
      Press(dialog, IDOK);
    }
  });
}

// A present file, one without a version resource and a missing one: size,
// running state, buttons, version fields and the location line.
TEST_F(InfoDialog, FileFactsSizeAndRunningState) {
  const std::string sized = Scratch() + "\\Sized.exe";
  WriteFileBytes(sized, std::string(1234567, 'x'));
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Sized", sized);
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Fixture", TestFolder() + "\\fixtures\\report.dll");
  struct Seen {
    std::string size, status, description, product, company, version, location, created, firstSeen;
    bool run, kill;
  };
  auto read = [](HWND dialog) {
    return Seen{Text(dialog, IDC_INFO_SIZE),     Text(dialog, IDC_INFO_STATUS),  Text(dialog, IDC_INFO_DESCRIPTION),
                Text(dialog, IDC_INFO_PRODUCT),  Text(dialog, IDC_INFO_COMPANY), Text(dialog, IDC_INFO_VERSION),
                Text(dialog, IDC_INFO_LOCATION), Text(dialog, IDC_INFO_CREATED), Text(dialog, IDC_INFO_FIRST_SEEN),
                Shown(dialog, IDC_INFO_RUN),     Shown(dialog, IDC_INFO_KILL)};
  };
  Seen present{}, missing{}, fixture{};
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    for (auto [title, seen] : {std::pair{"Sized", &present}, {"alpha", &missing}, {"Fixture", &fixture}}) {
      HWND dialog = OpenInfo(sheet, page, RowWith(page, 0, title));
      ASSERT_NE(nullptr, dialog) << title;
      *seen = read(dialog);
      Press(dialog, IDOK);
    }
  });
  DeleteFileA(sized.c_str());
  EXPECT_EQ("1,234,567", present.size);
  EXPECT_EQ(LoadText(IDS_READY), present.status);
  EXPECT_TRUE(present.run);
  EXPECT_FALSE(present.kill);
  EXPECT_EQ("Sized", present.description);  // no version resource: the title
  EXPECT_EQ("", present.product + present.company + present.version);
  EXPECT_EQ(LoadText(IDS_STARTUP_LOCATION) + " HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
            present.location);
  EXPECT_GT(present.created.size(), 11u);
  EXPECT_GT(present.firstSeen.size(), 11u);  // recorded when the page listed it

  EXPECT_EQ(LoadText(IDS_LOCAL_FILE_NOT_FOUND), missing.status);
  EXPECT_FALSE(missing.run || missing.kill);
  EXPECT_EQ("", missing.size + missing.created);

  EXPECT_EQ("Report Fixture", fixture.product);
  EXPECT_EQ("Hostile, Inc., Ltd", fixture.company);
  EXPECT_EQ("2,0 beta", fixture.version);
}

TEST_F(InfoDialog, TwoOpeningsAlternateExpandedAndCompact) {
  std::vector<bool> notes;
  std::vector<int> heights;
  std::vector<std::string> buttons;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    for (int opening = 0; opening < 3; ++opening) {
      HWND dialog = OpenInfo(sheet, page, 0);
      ASSERT_NE(nullptr, dialog);
      RECT frame{};
      GetWindowRect(dialog, &frame);
      notes.push_back(Shown(dialog, IDC_INFO_NOTE));
      heights.push_back(frame.bottom - frame.top);
      buttons.push_back(Text(dialog, IDC_INFO_EXPAND));
      if (opening == 1) Click(dialog, IDC_INFO_EXPAND);  // left the other way: the next opening turns it back
      Press(dialog, IDOK);
    }
  });
  ASSERT_EQ(3u, notes.size());
  EXPECT_NE(notes[0], notes[1]);
  EXPECT_NE(heights[0], heights[1]);
  EXPECT_EQ(notes[1], notes[2]);
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(LoadText(notes[i] ? IDS_SHRINK_WINDOW : IDS_EXPAND_INFO), buttons[i]) << i;
    EXPECT_EQ(notes[i], heights[i] == std::max(heights[0], heights[1])) << i;
  }
}

TEST_F(InfoDialog, NoteCreatedThenReopenedIsEditableWithSaveNote) {
  struct Seen {
    std::string text, button;
    bool readOnly, enabled;
  };
  Seen created{}, reopened{}, edited{};
  std::string fileAfterCreate;
  const std::string note = DataFolder() + "\\note_alpha.txt";
  auto read = [](HWND dialog) {
    return Seen{Text(dialog, IDC_INFO_NOTE), Text(dialog, IDC_INFO_NOTE_BUTTON), ReadOnly(dialog, IDC_INFO_NOTE),
                Enabled(dialog, IDC_INFO_NOTE_BUTTON)};
  };
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    const int row = RowWith(page, 0, "alpha");
    HWND dialog = OpenInfo(sheet, page, row);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(LoadText(IDS_CREATE_NOTE), Text(dialog, IDC_INFO_NOTE_BUTTON));
    EXPECT_TRUE(ReadOnly(dialog, IDC_INFO_NOTE));  // the description is no note
    Click(dialog, IDC_INFO_NOTE_BUTTON);
    created = read(dialog);
    fileAfterCreate = ReadWholeFile(note);
    Press(dialog, IDOK);
    EXPECT_EQ(row, FirstSelectedPosition(page));  // the row is selected again

    dialog = OpenInfo(sheet, page, row);
    ASSERT_NE(nullptr, dialog);
    reopened = read(dialog);
    Type(dialog, "my own words\r");
    edited = read(dialog);
    Click(dialog, IDC_INFO_NOTE_BUTTON);
    EXPECT_FALSE(Enabled(dialog, IDC_INFO_NOTE_BUTTON));  // saved
    Press(dialog, IDOK);
  });
  const std::string lines = "alpha\r\nc:\\apps\\alpha.exe\r\n";
  EXPECT_EQ(lines, created.text);
  EXPECT_EQ(lines, fileAfterCreate);  // written at once
  EXPECT_EQ(LoadText(IDS_SAVE_NOTE), created.button);
  EXPECT_FALSE(created.readOnly);
  EXPECT_EQ(lines, reopened.text);
  EXPECT_EQ(LoadText(IDS_SAVE_NOTE), reopened.button);
  EXPECT_FALSE(reopened.readOnly);
  EXPECT_FALSE(reopened.enabled);  // until the note is edited
  EXPECT_TRUE(edited.enabled);
  EXPECT_EQ("my own words\r\n", ReadWholeFile(note));
}

// A note the area cannot hold exactly is shown read-only, so that Save can
// never cut it; one that cannot be written (read-only, or held open by
// another program) keeps the user's text and says so.
TEST_F(InfoDialog, HugeBinaryAndUnwritableNotes) {
  enum Lock { kNone, kReadOnly, kHeld };
  struct Case {
    const char* name;
    std::string content;
    Lock lock;
    std::string shown;
    bool editable;
  };
  const std::string huge(kMaxNoteChars + 5000, 'n');
  const Case cases[] = {
      {"huge", huge, kNone, huge.substr(0, kMaxNoteChars), false},
      {"binary", std::string("ab\0cd\0", 6), kNone, "ab cd ", false},
      {"read-only", "kept as it is\r\n", kReadOnly, "kept as it is\r\n", true},
      {"held", "held open\r\n", kHeld, "held open\r\n", true},
  };
  const std::string note = FolderOfProgram() + "\\note_alpha.txt";
  for (const Case& c : cases) {
    SetFileAttributesA(note.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteFileBytes(note, c.content);
    if (c.lock == kReadOnly) SetFileAttributesA(note.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE held = c.lock == kHeld
                      ? CreateFileA(note.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    std::string shown, box, afterFailure;
    bool editable = false, enabledAfterFailure = false;
    WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
      HWND dialog = OpenInfo(sheet, page, RowWith(page, 0, "alpha"));
      ASSERT_NE(nullptr, dialog);
      shown = Text(dialog, IDC_INFO_NOTE);
      editable = !ReadOnly(dialog, IDC_INFO_NOTE);
      if (editable) {
        Type(dialog, "typed by the user");
        PostMessageA(dialog, WM_COMMAND, IDC_INFO_NOTE_BUTTON, 0);
        box = Answer({sheet, dialog}, IDOK);
        Settle(dialog);
        afterFailure = Text(dialog, IDC_INFO_NOTE);
        enabledAfterFailure = Enabled(dialog, IDC_INFO_NOTE_BUTTON);
      }
      Press(dialog, IDOK);
    });
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(c.shown, shown) << c.name;
    EXPECT_EQ(c.editable, editable) << c.name;
    EXPECT_EQ(c.content, ReadWholeFile(note)) << c.name;  // never cut or changed
    if (c.editable) {
      EXPECT_NE(std::string::npos, box.find("note_ALPHA.txt")) << c.name << ": " << box;
      EXPECT_EQ("typed by the user", afterFailure) << c.name;
      EXPECT_TRUE(enabledAfterFailure) << c.name;
    }
  }
  SetFileAttributesA(note.c_str(), FILE_ATTRIBUTE_NORMAL);
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

// A command naming a path that climbs out of its folder: the note it gets is
// a plain file in the notes folder.
TEST_F(InfoDialog, HostileFileNameGetsANoteInTheNotesFolderOnly) {
  RawSetText(HKEY_CURRENT_USER, kUserRun, "Hostile", "c:\\apps/../../../evil.exe");
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    HWND dialog = OpenInfo(sheet, page, RowWith(page, 0, "Hostile"));
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDC_INFO_NOTE_BUTTON);
    Press(dialog, IDOK);
  });
  EXPECT_NE("", ReadWholeFile(DataFolder() + "\\note_EVIL.txt"));
  // What "note_APPS/../../../EVIL.txt" would have named: two folders up.
  std::string above = DataFolder();
  for (int up = 0; up < 2; ++up) above = above.substr(0, above.rfind('\\'));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((above + "\\EVIL.txt").c_str())) << above;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("c:\\EVIL.txt"));
}

// Apply changes the start type and writes the run state's event and the new
// type's; Stop stops the service and records it; the page is filled again.
TEST_F(InfoDialog, ServiceApplyAndStopWriteTheirHistory) {
  if (Is9xFamily()) GTEST_SKIP() << "the Services page is on the NT family only";
  ScratchService service("SvcTstInfo", "Svc Info Apply", "\"" + TestFolder() + "\\test_service.exe\"");
  ASSERT_TRUE(service.created());
  ASSERT_TRUE(service.Start());
  ClearHistory();
  int listed = -1, appliedBefore = -1;
  bool applyBefore = true, applyAfterChoice = false, stopShown = false;
  std::string startupColumn;
  WithSheet(IDC_CMD_SHOW_SERVICES, [&](HWND sheet, HWND page) {
    HWND dialog = OpenInfo(sheet, page, RowWith(page, 0, "Svc Info Apply"));
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(LoadText(IDS_RUNNING), Text(dialog, IDC_INFO_STATUS));
    EXPECT_EQ(LoadText(IDS_STOP), Text(dialog, IDC_INFO_KILL));
    stopShown = Shown(dialog, IDC_INFO_KILL);
    listed = static_cast<int>(SendDlgItemMessageA(dialog, IDC_INFO_START_TYPE, CB_GETCURSEL, 0, 0));
    applyBefore = Enabled(dialog, IDC_INFO_APPLY);
    SendDlgItemMessageA(dialog, IDC_INFO_START_TYPE, CB_SETCURSEL, 2, 0);  // Disabled
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_INFO_START_TYPE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_INFO_START_TYPE)));
    applyAfterChoice = Enabled(dialog, IDC_INFO_APPLY);
    Click(dialog, IDC_INFO_APPLY);
    appliedBefore = static_cast<int>(SendDlgItemMessageA(dialog, IDC_INFO_START_TYPE, CB_GETCURSEL, 0, 0));
    Click(dialog, IDC_INFO_KILL);
    Press(dialog, IDOK);
    startupColumn = CellText(page, RowWith(page, 0, "Svc Info Apply"), 4);  // refilled
  });
  EXPECT_EQ(1, listed);  // Manual
  EXPECT_FALSE(applyBefore);
  EXPECT_TRUE(applyAfterChoice);
  EXPECT_EQ(2, appliedBefore);
  EXPECT_TRUE(stopShown);
  const RawValue start = RawGet(HKEY_LOCAL_MACHINE, ServiceKeyPath("SvcTstInfo").c_str(), "Start");
  ASSERT_EQ(static_cast<DWORD>(REG_DWORD), start.type);
  EXPECT_EQ(4u, *reinterpret_cast<const DWORD*>(start.data.data()));
  EXPECT_EQ(LoadText(IDS_START_TYPE_DISABLED), startupColumn);
  std::vector<int> actions;
  for (const HistoryEvent& event : ParseHistory(ReadWholeFile(HistoryFile())))
    if (event.title == "Svc Info Apply") actions.push_back(event.actionCode);
  EXPECT_EQ((std::vector<int>{kActionServiceWasStartPending + 2, kActionServiceDisabled, kActionServiceStop}), actions);
  for (int i = 0; i < 100 && service.State() != SERVICE_STOPPED; ++i) Sleep(50);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
}

// Run starts the program itself, its path quoted: the path holds a blank, and
// unquoted the program named by its first word ("Prog.exe") would start.
// Kill Task ends a running program without asking and records it.
TEST_F(InfoDialog, RunStartsTheQuotedProgramAndKillTaskStopsIt) {
  const std::string witness = TestFolder() + "\\witness.exe";
  const std::string folder = Scratch() + "\\Prog Files";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(witness.c_str(), (folder + "\\runme.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(witness.c_str(), (Scratch() + "\\Prog.exe").c_str(), FALSE));
  const std::string stayFolder = Scratch() + "\\stay";  // its own witness.txt
  CreateDirectoryA(stayFolder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(witness.c_str(), (stayFolder + "\\stayer.exe").c_str(), FALSE));
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
  std::string runStatus, killStatus, afterKill;
  bool runShown = false, killShown = false;
  WithSheet(IDC_CMD_SHOW_STARTUP, [&](HWND sheet, HWND page) {
    HWND dialog = OpenInfo(sheet, page, RowWith(page, 0, "Runme"));
    ASSERT_NE(nullptr, dialog);
    runStatus = Text(dialog, IDC_INFO_STATUS);
    runShown = Shown(dialog, IDC_INFO_RUN);
    Click(dialog, IDC_INFO_RUN);
    Press(dialog, IDOK);
    dialog = OpenInfo(sheet, page, RowWith(page, 0, "Stayer"));
    ASSERT_NE(nullptr, dialog);
    killStatus = Text(dialog, IDC_INFO_STATUS);
    killShown = Shown(dialog, IDC_INFO_KILL);
    Click(dialog, IDC_INFO_KILL);
    afterKill = Text(dialog, IDC_INFO_STATUS);
    Press(dialog, IDOK);
  });
  std::string started;
  for (int i = 0; i < 100 && started.empty(); ++i, Sleep(50)) started = ReadWholeFile(folder + "\\witness.txt");
  const bool ended = WaitForSingleObject(stayer.hProcess, 5000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(stayer.hProcess, 0);
  CloseHandle(stayer.hProcess);
  EXPECT_EQ(LoadText(IDS_READY), runStatus);
  EXPECT_TRUE(runShown);
  EXPECT_NE(std::string::npos, started.find("runme.exe")) << started;
  EXPECT_EQ("", ReadWholeFile(Scratch() + "\\witness.txt"));  // Prog.exe never ran
  EXPECT_EQ(LoadText(IDS_RUNNING), killStatus);
  EXPECT_TRUE(killShown);
  EXPECT_TRUE(ended);
  EXPECT_EQ(LoadText(IDS_READY), afterKill);
  bool recorded = false;
  for (const HistoryEvent& event : ParseHistory(ReadWholeFile(HistoryFile())))
    recorded = recorded || (event.title == "Stayer" && event.actionCode == kActionTaskKill);
  EXPECT_TRUE(recorded);
}

// What the kind of an item adds: a protected startup location's Microsoft
// text, a browser helper's registry key (and no running state).
TEST_F(InfoDialog, KindsShowTheirOwnLocationAndText) {
  if (Is9xFamily()) GTEST_SKIP() << "AppInit_DLLs is an NT family location";
  ValueGuard appInit(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs");
  const std::string opsys = TestFolder() + "\\fixtures\\opsys.dll";
  RawSetText(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs", opsys);
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup", "1");
  LoadOptions();
  const std::string id = "{5E47E1A0-0000-4000-8000-00000000C0DE}";
  RawSetText(HKEY_CLASSES_ROOT, ("CLSID\\" + id + "\\InprocServer32").c_str(), "",
             TestFolder() + "\\fixtures\\addon.dll");
  RawSetText(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str(), "", "");
  struct Case {
    UINT page;
    const char* title;
    std::string location, note;
    bool status;
  };
  const std::string general = LoadText(IDS_PROGRAM_INFORMATION_LISTED_ABOVE);
  const Case cases[] = {
      {IDC_CMD_SHOW_STARTUP, "Shell Helper Library",
       LoadText(IDS_STARTUP_LOCATION) + " HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs",
       FillText(LoadText(IDS_VALID_SYSTEM_FILE_UNDOCUMENTED), {"Shell Helper Library"}) + general, true},
      {IDC_CMD_SHOW_IE_HELPERS, nullptr,
       "Location: \"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\"", "", false},
  };
  for (const Case& c : cases) {
    std::string location, note;
    bool status = true;
    WithSheet(c.page, [&](HWND sheet, HWND page) {
      int row = c.title ? RowWith(page, 0, c.title) : -1;
      for (int r = 0; !c.title && r < RowCount(page); ++r)
        if (ContainsText(CatalogueAt(r).data.c_str(), id.c_str())) row = RowOfEntry(page, r);
      HWND dialog = OpenInfo(sheet, page, row);
      ASSERT_NE(nullptr, dialog) << c.page;
      location = Text(dialog, IDC_INFO_LOCATION);
      note = Text(dialog, IDC_INFO_NOTE);
      status = Shown(dialog, IDC_INFO_STATUS);
      Press(dialog, IDOK);
    });
    EXPECT_EQ(c.location, location) << c.page;
    if (!c.note.empty()) EXPECT_EQ(c.note, note) << c.page;
    EXPECT_EQ(c.status, status) << c.page;
  }
  RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string(kBrowserHelpersKey) + "\\" + id).c_str());
  RawDeleteTree(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
}

TEST_F(InfoDialog, AboutPageShowsInstallationDateAndSearchField) {
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "", "12/31/2009 9:05 PM");
  std::string installed, label, search, version;
  WithSheet(IDC_CMD_SHOW_OMNI, [&](HWND, HWND page) {
    installed = Text(page, IDC_ABOUT_INSTALLED);
    label = Text(page, IDC_ABOUT_SEARCH_LABEL);
    search = Text(page, IDC_ABOUT_SEARCH);
    version = Text(page, IDC_PAGE_INTRO);
  });
  EXPECT_EQ("Installed: 12/31/2009 9:05 PM", installed);
  EXPECT_EQ(LoadText(IDS_ENTER_PROGRAM_FILENAME_SEARCH), label);
  EXPECT_EQ("&Search", search);
  EXPECT_NE(std::string::npos, version.find(kVersionText)) << version;
}

}  // namespace
