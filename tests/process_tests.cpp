// Running processes and the online lookup, against real processes under
// Wine (Tool Help in the 95/98/Me copy, PSAPI otherwise).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "history_events.h"
#include "lookup.h"
#include "process_support.h"
#include "processes.h"
#include "registry.h"
#include "settings.h"
#include "strings.h"
#include "test_support.h"
#include "type_codes.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

std::string Notepad() { return WindowsFolder() + "\\notepad.exe"; }

class Processes : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    DeleteFileA(HistoryFile().c_str());
    Process() = ProcessState{};
    InitLanguageId();
    LoadOptions();
  }
  void TearDown() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    DeleteFileA(HistoryFile().c_str());
    ClearCatalogueEntries();
  }
  // Active-task entries whose program is notepad.exe.
  static int NotepadRows(DWORD* processId) {
    int rows = 0;
    for (int i = 0; i < CatalogueCount(); ++i)
      if (lstrcmpiA(FileNamePart(CatalogueAt(i).path).c_str(), "notepad.exe") == 0) {
        ++rows;
        if (processId) *processId = static_cast<DWORD>(CatalogueAt(i).value);
      }
    return rows;
  }
};

TEST_F(Processes, EachProgramIsListedOnceWithItsFirstProcess) {
  Program first(Notepad(), ""), second(Notepad(), "");
  ASSERT_TRUE(first.started() && second.started());
  Sleep(500);
  ListActiveTasks();
  DWORD listedId = 0;
  EXPECT_EQ(1, NotepadRows(&listedId));
  EXPECT_TRUE(listedId == first.id() || listedId == second.id());
  for (int i = 0; i < CatalogueCount(); ++i) EXPECT_EQ(kTypeRunningProgram, CatalogueAt(i).type);
}

TEST_F(Processes, FindsProgramsByPathOrBareName) {
  EXPECT_EQ(0, IsProgramRunning(Notepad().c_str()));
  Program program(Notepad(), "");
  ASSERT_TRUE(program.started());
  Sleep(500);
  EXPECT_EQ(program.id(), FindProcessOfProgram(Notepad().c_str()));
  EXPECT_EQ(program.id(), FindProcessOfProgram("NOTEPAD.EXE"));
  EXPECT_EQ(0u, FindProcessOfProgram("c:\\no\\such\\program.exe"));
  EXPECT_EQ(0u, FindProcessOfProgram(""));
}

TEST_F(Processes, KillProgramAsksWhenToldAndRecordsTheEvent) {
  Program program(Notepad(), "");
  ASSERT_TRUE(program.started());
  Sleep(500);
  std::string question;
  {
    std::thread answer([&] { question = AnswerMessageBox(GetCurrentProcessId(), IDNO); });
    EXPECT_EQ(program.id(), KillProgram(nullptr, Notepad().c_str(), "Editor 50%s %n", true));
    answer.join();
  }
  // A title is shown as it is, never read as a format.
  EXPECT_NE(std::string::npos, question.find("Editor 50%s %n is currently an actively running program")) << question;
  EXPECT_TRUE(program.Running());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HistoryFile().c_str()));

  EXPECT_EQ(program.id(), KillProgram(nullptr, Notepad().c_str(), "Editor", false));
  EXPECT_EQ(1u, program.WaitForExit(5000));  // ended, and it reads as ended
  ASSERT_EQ(1, LoadHistory());
  EXPECT_EQ(kActionTaskKill, CatalogueAt(0).value);
  EXPECT_EQ(kTypeRunningProgram, CatalogueAt(0).type);
  EXPECT_EQ("Editor", CatalogueAt(0).title);
  EXPECT_EQ(0u, KillProgram(nullptr, Notepad().c_str(), "Editor", false));  // no longer running
  EXPECT_EQ(0, KillProcess(0x7FFFFFF0));
}

TEST_F(Processes, KillTaskEndsTheRowsOwnProcess) {
  if (Is9xFamily()) GTEST_SKIP() << "Tool Help under Wine names programs without their folders";
  // The same program name in two folders: the row's copy ends, the other runs on.
  std::string copies[2];
  for (int i = 0; i < 2; ++i) {
    const std::string folder = TestFolder() + "\\tasks" + std::to_string(i);
    CreateDirectoryA(folder.c_str(), nullptr);
    copies[i] = folder + "\\runner.exe";
    CopyFileA((TestFolder() + "\\witness.exe").c_str(), copies[i].c_str(), FALSE);
  }
  {
    Program other(copies[0], "-stay"), own(copies[1], "-stay");
    ASSERT_TRUE(other.started() && own.started());
    Sleep(500);
    ListActiveTasks();
    int row = -1;
    for (int i = 0; i < CatalogueCount(); ++i)
      if (static_cast<DWORD>(CatalogueAt(i).value) == own.id()) row = i;
    ASSERT_LE(0, row);
    EXPECT_EQ(1, KillTasks(&row, 1));
    EXPECT_NE(STILL_ACTIVE, own.WaitForExit(5000));
    EXPECT_TRUE(other.Running());
    EXPECT_EQ(0, KillTasks(&row, 1));  // that process is gone: nothing else is ended
    EXPECT_TRUE(other.Running());
    ASSERT_EQ(1, LoadHistory());
    EXPECT_EQ(kActionTaskKill, CatalogueAt(0).value);
    EXPECT_EQ(0, lstrcmpiA(LongPathOf(copies[1]).c_str(), CatalogueAt(0).path.c_str()));
  }
  for (const std::string& copy : copies) {
    DeleteFileA(copy.c_str());
    DeleteFileA((copy.substr(0, copy.rfind('\\')) + "\\witness.txt").c_str());
    RemoveDirectoryA(copy.substr(0, copy.rfind('\\')).c_str());
  }
}

TEST_F(Processes, CountWatchSeesStartsAndEnds) {
  ResetProcessCountWatch();
  bool changed = false;
  WatchProcessCount(&changed);
  EXPECT_TRUE(changed);  // the first look always counts as a change
  WatchProcessCount(&changed);
  EXPECT_FALSE(changed);
  {
    Program program(Notepad(), "");
    ASSERT_TRUE(program.started());
    Sleep(500);
    RawSetText(HKEY_CURRENT_USER, kOptionsKey, "Update", "1");
    WatchProcessCount(&changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ("0", RawText(HKEY_CURRENT_USER, kOptionsKey, "Update"));  // options reloaded
  }
  Sleep(300);
  WatchProcessCount(&changed);
  EXPECT_TRUE(changed);
}

TEST_F(Processes, RunningProgramsGetFirstSeenDates) {
  Program program(Notepad(), "");
  ASSERT_TRUE(program.started());
  Sleep(500);
  EXPECT_GT(RecordRunningPrograms(), 0);
  EXPECT_EQ(0, CatalogueCount());
  ListActiveTasks();
  bool dated = false;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (lstrcmpiA(FileNamePart(CatalogueAt(i).path).c_str(), "notepad.exe") == 0)
      dated = RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\ActiveTasks",
                      CatalogueAt(i).path.c_str()) != "<missing>";
  EXPECT_TRUE(dated);
}

// ---- History restore ----------------------------------------------------------

// The witness program copied under a name that must not be started from here.
struct Witness {
  std::string copy, log;
  explicit Witness(const std::string& as) : copy(TestFolder() + "\\" + as), log(TestFolder() + "\\witness.txt") {
    CopyFileA((TestFolder() + "\\witness.exe").c_str(), copy.c_str(), FALSE);
    DeleteFileA(log.c_str());
  }
  ~Witness() {
    DeleteFileA(copy.c_str());
    DeleteFileA(log.c_str());
  }
  std::string Seen(DWORD wait) const {
    Sleep(wait);
    return ReadWholeFile(log);
  }
};

void WriteWholeFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

int RestoreRecorded(const std::string& path, int type, int action) {
  AppendHistory("Restored", path.c_str(), "", type, action);
  return RestoreHistoryEvent(LoadHistory() - 1);
}

TEST_F(Processes, HelperRegistrationRunsTheSystemsRegsvr32) {
  Witness beside("regsvr32.exe");  // first on the search path of this program
  EXPECT_EQ(1, RestoreRecorded("c:\\gone\\helper.dll", 900, kActionIEHelperRemove));
  EXPECT_EQ("", beside.Seen(1500));
}

TEST_F(Processes, HiddenFileRestoreStaysInsideTheVault) {
  const std::string data = DataFolder();
  const std::string outside = data + "\\outside.txt";
  WriteWholeFile(outside, "not in the vault");
  const std::string target = TestFolder() + "\\restored";
  CreateDirectoryA(target.c_str(), nullptr);
  for (const std::string& path : {target + "\\a/../../outside.txt", target + "\\..", target + "\\.", target + "\\"})
    EXPECT_EQ(0, RestoreRecorded(path, kTypeHidden, kActionHiddenDeleteFile)) << path;
  EXPECT_EQ("not in the vault", ReadWholeFile(outside));
  // A real vault copy comes back hidden and leaves the vault.
  const std::string saved = data + "\\vault\\kept.txt";
  WriteWholeFile(saved, "kept");
  EXPECT_EQ(1, RestoreRecorded(target + "\\kept.txt", kTypeHidden, kActionHiddenDeleteFile));
  EXPECT_NE(0u, GetFileAttributesA((target + "\\kept.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(saved.c_str()));
  SetFileAttributesA((target + "\\kept.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA((target + "\\kept.txt").c_str());
  DeleteFileA(outside.c_str());
  DeleteFileA((TestFolder() + "\\outside.txt").c_str());
  RemoveDirectoryA(target.c_str());
}

// ---- Online lookup ------------------------------------------------------------

LookupFacts Facts(const char* path) {
  LookupFacts facts;
  facts.type = 460;
  facts.path = path;
  facts.company = "Smith & Sons Ltd";
  facts.productVersion = "1.2 beta";
  return facts;
}

std::string After(const std::string& address, const std::string& marker) {
  size_t at = address.find(marker);
  return at == std::string::npos ? "<none>" : address.substr(at);
}

TEST(OnlineLookup, ShortRequestHasSixParametersInOrder) {
  std::string address = ShortLookupAddress(Facts("C:\\Tools\\setup.x64.exe"));
  EXPECT_EQ(
      "?program=setup.x64.exe&vendor=Smith%20%26%20Sons%20Ltd&version=1.2%20beta&build=16.0.2009.0&Type=460&Loc=en"
      "&ext=x64.exe",
      After(address, "?program="));
  EXPECT_EQ(std::string(kVendorSite) + "/cgi-bin/omniinfo.pl", address.substr(0, address.find('?')));
  EXPECT_EQ("&ext=", After(ShortLookupAddress(Facts("C:\\Tools\\README")), "&ext="));
  // Without a folder the item's title names the program.
  LookupFacts titled = Facts("no folder");
  titled.title = "Titled Thing.exe";
  EXPECT_NE(std::string::npos, ShortLookupAddress(titled).find("program=Titled%20Thing.exe&"));
}

TEST(OnlineLookup, LanguageDecidesTheLocation) {
  LookupFacts facts = Facts("C:\\a.exe");
  facts.languageId = 7;
  facts.languageCode = "de";
  EXPECT_NE(std::string::npos, ShortLookupAddress(facts).find("&Loc=de&"));
  facts.languageId = 10;
  facts.languageCode = "es";
  EXPECT_NE(std::string::npos, ShortLookupAddress(facts).find("&Loc=en&"));
  EXPECT_NE(std::string::npos, LongLookupAddress(facts).find("&Loc=es&"));
  facts.languageCode = "";
  EXPECT_NE(std::string::npos, LongLookupAddress(facts).find("&Loc=en&"));
}

TEST(OnlineLookup, LongRequestCarriesEveryFact) {
  LookupFacts facts = Facts("C:\\Program Files\\App\\app.exe");
  facts.productName = "App";
  facts.copyright = "(C) A&B";
  facts.description = "The App";
  facts.created = "2009/01/02 03:04";
  facts.detected = "01/02/2009 3:04 AM";
  facts.size = "1,234";
  EXPECT_EQ(std::string(kVendorSite) +
                "/cgi-bin/omniinfo12.pl?program=app.exe&vendor=Smith%20%26%20Sons%20Ltd&build=16.0.2009.0&Type=460"
                "&Loc=us&ext=exe&version=1.2%20beta&name=App&copy=%28C%29%20A%26B&detail=The%20App"
                "&created=2009%2F01%2F02%2003%3A04&detected=01%2F02%2F2009%203%3A04%20AM&fsize=1%2C234"
                "&path=C%3A%5CProgram%20Files%5CApp%5Capp.exe",
            LongLookupAddress(facts));
}

TEST(OnlineLookup, HostileVersionFieldsStayInsideTheirValues) {
  LookupFacts facts = Facts("C:\\Tools\\tool.exe");
  facts.company = "x\" -new-window \"file:///c:/evil&Type=1\t\x01\xe9";
  facts.productVersion = "1%22\r\n";
  for (const std::string& address : {ShortLookupAddress(facts), LongLookupAddress(facts)}) {
    const std::string query = address.substr(address.find('?') + 1);
    EXPECT_EQ(std::string::npos,
              query.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%&="))
        << query;
    EXPECT_NE(std::string::npos,
              query.find("&vendor=x%22%20-new-window%20%22file%3A%2F%2F%2Fc%3A%2Fevil%26Type%3D1%09%01%E9&"))
        << query;
    EXPECT_NE(std::string::npos, query.find("&version=1%2522%0D%0A")) << query;
  }
}

// A window any program can make stands for a running AOL client: the client
// is started only from the Program Files folder, never found by its bare name.
TEST(OnlineLookup, OnlineServiceClientOnlyFromProgramFiles) {
  HWND client = StandInAolClient();
  ASSERT_NE(nullptr, client);
  const std::string programs =
      ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
  const std::string installed = programs + "\\SentrelTestAOL";
  CreateDirectoryA(installed.c_str(), nullptr);
  const std::string address = "sentrel-test:nowhere";
  {
    Witness bare("waol.exe");  // first on this program's search path
    for (const std::string& folder : {std::string(), TestFolder()}) {
      WriteProfileStringA("WAOL", "AppPath", folder.c_str());
      OpenWebAddress(address.c_str());
      EXPECT_EQ("", bare.Seen(1000)) << folder;
    }
  }
  const std::string trusted = installed + "\\WAOL.EXE";
  CopyFileA((TestFolder() + "\\witness.exe").c_str(), trusted.c_str(), FALSE);
  WriteProfileStringA("WAOL", "AppPath", installed.c_str());
  OpenWebAddress(address.c_str());
  Sleep(1000);
  EXPECT_EQ("\"" + trusted + "\" -u \"" + address + "\"\r\n", ReadWholeFile(installed + "\\witness.txt"));
  WriteProfileStringA("WAOL", nullptr, nullptr);
  DeleteFileA(trusted.c_str());
  DeleteFileA((installed + "\\witness.txt").c_str());
  RemoveDirectoryA(installed.c_str());
  DestroyWindow(client);
}

TEST(HelpPages, PageFilesByCommandAndLanguage) {
  InitLanguageId();
  EXPECT_EQ("startup.html", HelpPageName(6026));
  EXPECT_EQ("helpme.html", HelpPageName(6051));
  EXPECT_EQ("activex.html", HelpPageName(6056));
  EXPECT_EQ("features.html", HelpPageName(6027));
  Process().languageId = 7;
  RawSetText(HKEY_LOCAL_MACHINE, kSentrelKey, "LString634", "de");
  EXPECT_EQ("de_options.html", HelpPageName(6033));
  RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvane Works");
  Process().languageId = 9;
}

}  // namespace
