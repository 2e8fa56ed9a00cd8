// The alert dialogs opened with a prepared current item and answered by a
// helper thread, as a user would: results, history records, hide rule,
// repeat rule and the choice of sound.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <thread>

#include "alerts.h"
#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "history_events.h"
#include "monitor.h"
#include "process_support.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

struct Shown {
  std::string caption;
  std::map<int, std::string> texts;  // control id -> text
  HICON icon = nullptr;              // the program's icon, as the alert showed it
};

// Whether an icon handle still stands (an alert's icons go with the alert).
bool IconAlive(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return false;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return true;
}

BOOL CALLBACK CollectTexts(HWND child, LPARAM lParam) {
  char text[2048] = "";
  GetWindowTextA(child, text, sizeof text);
  reinterpret_cast<Shown*>(lParam)->texts[GetDlgCtrlID(child)] = text;
  return TRUE;
}

// Opens the alert and answers it with the control's command.
int AnswerAlert(AlertKind kind, int control, Shown* shown = nullptr) {
  Shown seen;
  std::thread user([&] {
    HWND dialog = WaitForVisibleWindow(GetCurrentProcessId(), "#32770", 10000);
    if (!dialog) return;
    char caption[256] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    seen.caption = caption;
    EnumChildWindows(dialog, CollectTexts, reinterpret_cast<LPARAM>(&seen));
    seen.icon = reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_ALERT_ICON_BUTTON, BM_GETIMAGE, IMAGE_ICON, 0));
    if (!seen.icon)
      seen.icon = reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_FILETYPE_NEW_ICON, STM_GETICON, 0, 0));
    PostMessageA(dialog, WM_COMMAND, control, 0);
  });
  int result = ShowAlert(nullptr, kind);
  user.join();
  if (shown) *shown = seen;
  return result;
}

class Alerts : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Sentrel");
    DeleteFileA(HistoryFile().c_str());
    Process() = ProcessState{};
    Process().kind = ProgramKind::Monitor;
    InitLanguageId();
    LoadOptions();
    Monitor().instance = GetModuleHandleA(nullptr);
    CreateMonitorFonts();
    ResetAlertRepeat();
  }
  void TearDown() override {
    DeleteMonitorFonts();
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    RawDeleteTree(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Sentrel");
    DeleteFileA(HistoryFile().c_str());
    ClearCatalogueEntries();
  }
  static void Prepare(const std::string& text, const std::string& name, int type) {
    CurrentItem& item = CurrentAlertItem();
    item.text = text;
    item.name = name;
    item.type = type;
  }
  static std::string Fixture() { return TestFolder() + "\\fixtures\\opsys.dll"; }
  static std::string Self() {  // a program with icons
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
  }
};

TEST_F(Alerts, NewStartupProgramShowsTheProgramAndRecordsTheAlert) {
  Prepare(Fixture(), "Helper", 11);
  Shown shown;
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewStartup, IDYES, &shown));
  EXPECT_EQ("Sentrel New Program Alert", shown.caption);
  EXPECT_EQ(Fixture(), shown.texts[IDC_ALERT_ITEM_TEXT]);
  EXPECT_EQ("Shell Helper Library", shown.texts[IDC_ALERT_NAME]);
  EXPECT_EQ("Microsoft Corporation", shown.texts[IDC_ALERT_COMPANY]);
  EXPECT_EQ("Version", shown.texts[IDC_ALERT_VERSION_LABEL]);
  const std::string& message = shown.texts[IDC_ALERT_MESSAGE];
  EXPECT_NE(std::string::npos, message.find("A new auto Startup Program has been detected.")) << message;
  EXPECT_NE(std::string::npos, message.find(LoadText(IDS_START_EXPLAIN_RUN))) << message;
  EXPECT_EQ("OMNI &Info...", shown.texts[IDC_ALERT_LOOKUP]);
  ASSERT_EQ(1, LoadHistory());
  EXPECT_EQ(kActionStartAlert, CatalogueAt(0).value);
  EXPECT_EQ(11, CatalogueAt(0).type);
  // The record names what the alert showed: the name line and the program file.
  EXPECT_EQ("Shell Helper Library", CatalogueAt(0).title);
  EXPECT_EQ(NormalizeFilePath(Fixture().c_str()), CatalogueAt(0).path);
  EXPECT_EQ("", CurrentAlertItem().text);  // the slots are cleared
}

TEST_F(Alerts, EveryProgramAlertHasItsMessageAndSoundAndReleasesItsIcon) {
  struct Row {
    AlertKind kind;
    AlertSound sound;
  };
  const Row rows[] = {{AlertKind::NewStartup, AlertSound::BuiltIn},  {AlertKind::CameBack, AlertSound::None},
                      {AlertKind::NewTask, AlertSound::BuiltIn},     {AlertKind::NewService, AlertSound::BuiltIn},
                      {AlertKind::NewIEHelper, AlertSound::BuiltIn}, {AlertKind::NewActiveX, AlertSound::BuiltIn},
                      {AlertKind::NewHidden, AlertSound::BuiltIn}};
  for (const Row& row : rows) {
    const int kind = static_cast<int>(row.kind);
    Prepare(Self(), "Item.job", 11);
    Shown shown;
    EXPECT_EQ(kAnswerYes, AnswerAlert(row.kind, IDYES, &shown)) << kind;
    EXPECT_GT(shown.texts[IDC_ALERT_MESSAGE].size(), 40u) << kind;
    EXPECT_EQ(row.sound, LastAlertSound()) << kind;
    ASSERT_NE(nullptr, shown.icon) << kind;
    EXPECT_FALSE(IconAlive(shown.icon)) << kind;
  }
}

TEST_F(Alerts, OverlongExpansionIdentifiesNothing) {
  // Cut at the path limit, the text would still name the fixture.
  SetEnvironmentVariableA("SENTREL_PAD", std::string(300, 'x').c_str());
  Prepare(Fixture() + "%SENTREL_PAD%", "Padded", 11);
  Shown shown;
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewStartup, IDYES, &shown));
  SetEnvironmentVariableA("SENTREL_PAD", nullptr);
  EXPECT_EQ("", shown.texts[IDC_ALERT_NAME]);
  EXPECT_EQ("No Description found", shown.texts[IDC_ALERT_DESCRIPTION]);
}

TEST_F(Alerts, NewStartupNoRemovesOrDisables) {
  Prepare("c:\\apps\\one.exe", "One", 2);
  Shown shown;
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::NewStartup, IDNO, &shown));
  EXPECT_NE(std::string::npos, shown.texts[IDC_ALERT_MESSAGE].find("Type: RunOnce"));
  // A missing program leaves the dialog's own texts.
  EXPECT_EQ("No Icon", shown.texts[IDC_ALERT_ICON_BUTTON]);
  EXPECT_EQ("Company name not included in this program.", shown.texts[IDC_ALERT_COMPANY]);
  EXPECT_EQ("No Description found", shown.texts[IDC_ALERT_DESCRIPTION]);
  EXPECT_EQ("", shown.texts[IDC_ALERT_NAME]);
  Prepare("c:\\apps\\notify.dll", "Notify", 256);
  EXPECT_EQ(kAnswerDisable, AnswerAlert(AlertKind::NewStartup, IDNO));
  Prepare("c:\\apps\\esc.exe", "Esc", 11);
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewStartup, IDCANCEL));
}

TEST_F(Alerts, TheThirdAlertForTheSameCommandDisablesIt) {
  for (int round = 0; round < 2; ++round) {
    Prepare("C:\\Pest\\again.exe", "Pest", 11);
    EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewStartup, IDYES)) << round;
  }
  Prepare("c:\\pest\\AGAIN.EXE", "Pest", 11);  // the same text in other letters
  EXPECT_EQ(kAnswerDisable, AnswerAlert(AlertKind::NewStartup, IDYES));
  // The count starts over.
  Prepare("c:\\pest\\again.exe", "Pest", 11);
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::NewStartup, IDNO));
}

TEST_F(Alerts, HideOptionsAnswerOnlyWhileAlertsAreNotForced) {
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "HideStartup", "2");
  LoadOptions();
  Prepare("c:\\apps\\shown.exe", "Shown", 11);
  EXPECT_EQ(0, HiddenAlertAnswer(AlertKind::NewStartup));  // ShowAlerts 1 by default
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewStartup, IDYES));
  DeleteFileA(HistoryFile().c_str());

  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "ShowAlerts", "0");
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "HideTasks", "1");
  LoadOptions();
  Prepare("c:\\apps\\hidden.exe", "Hidden", 11);
  EXPECT_EQ(kAnswerNo, ShowAlert(nullptr, AlertKind::NewStartup));  // no dialog: it would wait
  Prepare("task.job", "task.job", 0);
  EXPECT_EQ(kAnswerYes, ShowAlert(nullptr, AlertKind::NewTask));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HistoryFile().c_str()));
  EXPECT_EQ(0, HiddenAlertAnswer(AlertKind::NewIEHelper));
}

TEST_F(Alerts, OtherProgramAlertsAnswerAndRecord) {
  Prepare(Fixture(), "Nightly Scan.job", 0);
  Shown shown;
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::NewTask, IDNO, &shown));
  EXPECT_EQ("Nightly Scan", shown.texts[IDC_ALERT_NAME]);
  EXPECT_EQ("Version:", shown.texts[IDC_ALERT_VERSION_LABEL]);

  Prepare(Fixture(), "Came Back", 11);
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::CameBack, IDNO, &shown));
  EXPECT_EQ("This Program doesn't want to be Delayed", shown.caption);
  EXPECT_EQ("Disable", shown.texts[IDNO]);
  Prepare(Fixture(), "Came Back", 11);
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::CameBack, IDCANCEL));

  Prepare("C:\\hidden\\secret.dat", "secret.dat", 370);
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewHidden, IDCANCEL, &shown));  // Esc keeps the file
  EXPECT_EQ("&Delete", shown.texts[IDNO]);
  Prepare("C:\\hidden\\secret.dat", "secret.dat", 370);
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::NewHidden, IDNO));

  Prepare(Fixture(), "{CLSID}", 900);
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewIEHelper, IDYES));
  Prepare(Fixture(), "{ACTIVEX-CLSID}", 900);
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::NewActiveX, IDNO, &shown));
  EXPECT_NE(std::string::npos, shown.texts[IDC_ALERT_MESSAGE].find("ActiveX Component"))
      << shown.texts[IDC_ALERT_MESSAGE];
  ASSERT_EQ(5, LoadHistory());  // task, two hidden files, IE helper, ActiveX; came back records nothing
  EXPECT_EQ(kActionIEHelperAlert, CatalogueAt(4).value);
  EXPECT_EQ(kActionTaskAlert, CatalogueAt(0).value);
  EXPECT_EQ(800, CatalogueAt(0).type);
  EXPECT_EQ(kActionHiddenAlert, CatalogueAt(1).value);
  EXPECT_EQ(370, CatalogueAt(1).type);
  EXPECT_EQ(kActionIEHelperAlert, CatalogueAt(3).value);
}

TEST_F(Alerts, FileTypeChangeShowsBothPrograms) {
  CurrentItem& item = CurrentAlertItem();
  item.name = ".txt";
  item.text = Fixture() + " %1";
  item.secondProgram = "c:\\gone\\viewer.exe %1";
  item.type = 400;
  Shown shown;
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::FileType, IDNO, &shown));
  EXPECT_EQ("Sentrel File Type Change Alert", shown.caption);
  EXPECT_EQ(".txt", shown.texts[IDC_FILETYPE_EXTENSION]);
  EXPECT_EQ("The program currently associated with this file type is:", shown.texts[IDC_FILETYPE_OLD_LABEL]);
  EXPECT_EQ("Shell Helper Library", shown.texts[IDC_FILETYPE_OLD_NAME]);
  EXPECT_EQ("Path not found", shown.texts[IDC_FILETYPE_NEW_PATH]);
  EXPECT_EQ("Is this change ok?", shown.texts[IDC_FILETYPE_QUESTION]);
  item.name = ".txt";
  item.secondProgram = Self();
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::FileType, IDCANCEL, &shown));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HistoryFile().c_str()));
  ASSERT_NE(nullptr, shown.icon);
  EXPECT_FALSE(IconAlive(shown.icon));  // gone with the alert
}

// A monitored file with its saved copy and register key.
struct WatchedFile {
  std::string file, saved, key;
  WatchedFile() {
    file = TestFolder() + "\\watched.txt";
    saved = SavedCopyOf(file);
    key = "Software\\Orvane Works\\Sentrel\\Sysfiles\\watched.txt";
    Write(file, "new content");
    Write(saved, "old content");
    RawSetText(HKEY_LOCAL_MACHINE, key.c_str(), "Comment", "A file we watch.");
  }
  ~WatchedFile() {
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
    DeleteFileA(saved.c_str());
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
  }
  static void Write(const std::string& path, const std::string& text) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(handle);
  }
  static std::string Read(const std::string& path) { return ReadWholeFile(path); }
};

void PrepareFileChange(const WatchedFile& watched) {
  CurrentItem& item = CurrentAlertItem();
  item.name = "watched.txt";
  item.filePath = watched.file;
}

TEST_F(Alerts, FileChangeAcceptedRefreshesTheSavedCopy) {
  WatchedFile watched;
  SetFileAttributesA(watched.file.c_str(), FILE_ATTRIBUTE_READONLY);
  PrepareFileChange(watched);
  Shown shown;
  EXPECT_EQ(1, AnswerAlert(AlertKind::FileChange, IDC_FILECHANGE_ACCEPT, &shown));
  EXPECT_EQ("A file we watch.", shown.texts[IDC_FILECHANGE_COMMENT]);
  EXPECT_EQ(watched.file, shown.texts[IDC_FILECHANGE_PATH]);
  EXPECT_EQ("new content", WatchedFile::Read(watched.saved));
  EXPECT_NE(0u, GetFileAttributesA(watched.file.c_str()) & FILE_ATTRIBUTE_READONLY);  // put back
  EXPECT_EQ("11", RawText(HKEY_LOCAL_MACHINE, watched.key.c_str(), "Size"));
  EXPECT_NE("<missing>", RawText(HKEY_LOCAL_MACHINE, watched.key.c_str(), "Date"));
}

TEST_F(Alerts, FileChangeRejectedRestoresTheFileAndStopMonitoringDropsTheKey) {
  WatchedFile watched;
  PrepareFileChange(watched);
  int result = 0;
  std::thread user([&] {
    HWND dialog = WaitForVisibleWindow(GetCurrentProcessId(), "#32770", 10000);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // Esc does nothing
    Sleep(200);
    CheckDlgButton(dialog, IDC_FILECHANGE_STOP_MONITORING, BST_CHECKED);
    PostMessageA(dialog, WM_COMMAND, IDC_FILECHANGE_REJECT, 0);
  });
  result = ShowAlert(nullptr, AlertKind::FileChange);
  user.join();
  EXPECT_EQ(1, result);
  EXPECT_EQ("old content", WatchedFile::Read(watched.file));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, watched.key.c_str()));
}

TEST_F(Alerts, FileChangeWithoutASavedCopyReportsTheFailure) {
  WatchedFile watched;
  DeleteFileA(watched.saved.c_str());
  PrepareFileChange(watched);
  std::string error;
  std::thread user([&] {
    HWND dialog = WaitForVisibleWindow(GetCurrentProcessId(), "#32770", 10000);
    PostMessageA(dialog, WM_COMMAND, IDC_FILECHANGE_REJECT, 0);
    Sleep(300);
    error = AnswerMessageBox(GetCurrentProcessId(), IDOK);  // the system error box
  });
  EXPECT_EQ(0, ShowAlert(nullptr, AlertKind::FileChange));
  user.join();
  EXPECT_NE(std::string::npos, error.find("2  ")) << error;  // ERROR_FILE_NOT_FOUND
  EXPECT_EQ("new content", WatchedFile::Read(watched.file));
}

int g_refusals = 0;
void CountRefusal(const CurrentItem&) { ++g_refusals; }

TEST_F(Alerts, RefusedServiceIsStoppedThroughTheServicesArea) {
  SetServiceRefusal(CountRefusal);
  g_refusals = 0;
  Prepare("c:\\svc\\svc.exe", "Schedule", 700);
  Shown shown;
  EXPECT_EQ(kAnswerNo, AnswerAlert(AlertKind::NewService, IDCANCEL, &shown));  // Esc answers No
  EXPECT_EQ(1, g_refusals);
  EXPECT_NE(std::string::npos, shown.texts[IDC_ALERT_MESSAGE].find("Startup Status: "))
      << shown.texts[IDC_ALERT_MESSAGE];
  Prepare("c:\\svc\\svc.exe", "Schedule", 700);
  EXPECT_EQ(kAnswerYes, AnswerAlert(AlertKind::NewService, IDYES));
  EXPECT_EQ(1, g_refusals);
  SetServiceRefusal(nullptr);
}

TEST_F(Alerts, SoundIsTheEventFileTheBuiltInOrNothing) {
  std::string file;
  EXPECT_EQ(AlertSound::BuiltIn, AlertSoundChoice(1, &file));
  RawSetText(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Sentrel\\Open\\.current", "", "C:\\sounds\\open.wav");
  EXPECT_EQ(AlertSound::EventFile, AlertSoundChoice(6, &file));  // above 5: the Open event
  EXPECT_EQ("C:\\sounds\\open.wav", file);
  EXPECT_EQ(AlertSound::BuiltIn, AlertSoundChoice(3, &file));
  RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Sound", "0");
  LoadOptions();
  EXPECT_EQ(AlertSound::None, AlertSoundChoice(1, &file));
}

}  // namespace
