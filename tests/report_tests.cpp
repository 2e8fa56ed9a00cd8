// The reports as the user gets them: the report log from a list page's menu
// command, the spreadsheet from the Options page, and the hijack-style log
// written by a copy of the real SentrelEx.exe whose name holds "hijack".
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "list_page.h"
#include "process_support.h"
#include "report_common.h"
#include "service_support.h"
#include "sheet_support.h"
#include "system_files.h"
#include "task_support.h"
#include "test_support.h"

using namespace sentrel_test;

namespace {

constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kHostileTitle = "=</ol><a href=x>Evil, \"Title\"";
constexpr const char* kMachineRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kOurKeys = "Software\\Orvane Works";

std::string Fixture() { return TestFolder() + "\\fixtures\\report.dll"; }

std::vector<std::string> Lines(const std::string& text) { return sentrel::TextLines(text); }

bool HasLine(const std::string& text, const std::string& line) {
  for (const std::string& l : Lines(text))
    if (l == line) return true;
  return false;
}

int CountPrefix(const std::string& text, const std::string& prefix) {
  int count = 0;
  for (const std::string& l : Lines(text)) count += l.compare(0, prefix.size(), prefix) == 0;
  return count;
}

std::string g_opened;
void RecordOpened(const std::string& path) { g_opened = path; }

// The lines of a report that do not depend on the machine: its frame (html
// head, index, section anchors and headings) and the planted entry's block,
// with the fixture folder and the first-seen date masked.
std::string Skeleton(const std::string& html) {
  std::string kept;
  bool inEntry = false;
  for (std::string line : Lines(html)) {
    if (line.find("&lt;/ol&gt;&lt;a href=x&gt;") != std::string::npos ||
        line.find("Report &lt;Svc&gt;") != std::string::npos || line == "<li><b>Report Task.job</b>")
      inEntry = true;
    const bool frame = line.rfind("<html>", 0) == 0 || line.rfind("<H2", 0) == 0 ||
                       line.find("<A href='SentrelLog.html#") != std::string::npos || line.rfind("<A NAME", 0) == 0 ||
                       line.rfind("<center>", 0) == 0 || line.rfind("</body>", 0) == 0;
    if (!frame && !inEntry) continue;
    const size_t fixture = line.find(TestFolder());
    if (fixture != std::string::npos) line.replace(fixture, TestFolder().size(), "{TESTS}");
    if (line.rfind("\tFirst Detected by Sentrel: ", 0) == 0) line = "\tFirst Detected by Sentrel: {DATE}<br>";
    kept += line + "\n";
    if (line == "\t</ol><br>") inEntry = false;
  }
  return kept;
}

class Reports : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, kOurKeys);
    StartExplorerInProcess();
    sentrel::LoadOptions();
    sentrel::SetReportOpener(RecordOpened);
    g_opened.clear();
    RawSetText(HKEY_CURRENT_USER, kUserRun, kHostileTitle, "\"" + Fixture() + "\" /run");
  }
  void TearDown() override {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, kHostileTitle);
    sentrel::SetReportOpener(nullptr);
    EndExplorerInProcess();
    RawDeleteTree(HKEY_CURRENT_USER, kOurKeys);
  }
};

}  // namespace

TEST(ReportTime, TheNoonHourIsPmAndOtherHoursKeepTheirForm) {
  struct Case {
    WORD hour, minute;
    const char* text;
  } cases[] = {{12, 30, "12:30:00 PM"}, {0, 5, " 0:05:00 AM"}, {13, 5, " 1:05:00 PM"}, {11, 59, "11:59:00 AM"}};
  for (const Case& c : cases) {
    SYSTEMTIME time = {2009, 3, 0, 7, c.hour, c.minute, 0, 0};
    EXPECT_EQ(c.text, sentrel::ReportTimeText(time)) << c.hour;
    EXPECT_EQ(" 3/07/2009", sentrel::ReportDateText(time));
  }
}

TEST_F(Reports, MenuCommandWritesTheEscapedHtmlLogWithItsIndexSectionsAndService) {
  ScratchService service("SentrelReportSvc", "Report <Svc> & Co", "\"" + TestFolder() + "\\test_service.exe\"");
  ASSERT_TRUE(service.created());
  ASSERT_TRUE(CreateTask("Report Task", TestFolder() + "\\test_service.exe"));
  char folder[MAX_PATH];
  GetCurrentDirectoryA(sizeof folder, folder);
  const std::string html = std::string(folder) + "\\SentrelLog.html";
  DeleteFileA(html.c_str());
  WithSheet(IDC_CMD_SHOW_STARTUP, [](HWND, HWND page) {
    PostMessageA(page, WM_COMMAND, IDM_STARTUP_LOG, 0);
    Settle(page);
  });
  const std::string text = ReadWholeFile(html);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(html, g_opened);
  const std::string golden = ReadWholeFile(SENTREL_GOLDEN_DIR "/report_log.html");
  ASSERT_FALSE(golden.empty());
  EXPECT_EQ(golden, Skeleton(text));
  // Nothing a program names itself opens an element of the page.
  EXPECT_EQ(std::string::npos, text.find("<script>"));
  EXPECT_EQ(std::string::npos, text.find("</ol><a href=x>"));
  // Text variant: one column line, every field on one row.
  RawSetText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Sentrel\\Options", "Format", "1");
  sentrel::LoadOptions();
  const std::string tabbed = std::string(folder) + "\\SentrelLog.txt";
  // A name the ANSI code page cannot hold still has its row.
  HKEY run = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, kUserRun, 0, KEY_SET_VALUE, &run);
  const std::wstring widePath = Wide(Fixture() + " /wide");
  RegSetValueExW(run, L"Report \x4E2D\x6587", 0, REG_SZ, reinterpret_cast<const BYTE*>(widePath.c_str()),
                 static_cast<DWORD>((widePath.size() + 1) * sizeof(wchar_t)));
  WithSheet(IDC_CMD_SHOW_SERVICES, [](HWND, HWND page) {
    PostMessageA(page, WM_COMMAND, IDM_STARTUP_LOG, 0);
    Settle(page);
  });
  RegDeleteValueW(run, L"Report \x4E2D\x6587");
  RegCloseKey(run);
  const std::string plain = ReadWholeFile(tabbed);
  int wideRows = 0;
  for (const std::string& line : Lines(plain)) wideRows += line.size() > 5 && line.substr(line.size() - 5) == "/wide";
  EXPECT_EQ(1, wideRows);
  EXPECT_EQ(0u, plain.find("Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n"));
  EXPECT_TRUE(HasLine(plain, std::string(kHostileTitle) +
                                 "\treport.dll\t</ol><script>alert(1)</script>\t2,0 beta\t"
                                 "Copyright \"Q\" & 'A'\tHKCU\\Software\\Microsoft\\Windows\\"
                                 "CurrentVersion\\Run\t" +
                                 Fixture() + " /run"));
  DeleteFileA(html.c_str());
  DeleteFileA(tabbed.c_str());
  DeleteFileA(JobFile("Report Task").c_str());
}

// The right-click menu of a page, as its item texts; the menu is closed again.
std::string MenuTexts(HWND page) {
  sentrel::SelectRow(page, 0);
  static NMHDR click;
  click = {GetDlgItem(page, IDC_PAGE_LIST), IDC_PAGE_LIST, NM_RCLICK};
  PostMessageA(page, WM_NOTIFY, IDC_PAGE_LIST, reinterpret_cast<LPARAM>(&click));
  HWND window = nullptr;
  for (int i = 0; i < 250 && !window; ++i) {
    window = FindWindowA("#32768", nullptr);
    if (!window || !IsWindowVisible(window)) window = nullptr, Sleep(20);
  }
  if (!window) return "<no menu>";
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
  std::string texts;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[128] = "";
    if (GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION) > 0 &&
        GetMenuItemID(menu, i) == static_cast<UINT>(IDM_STARTUP_LOG))
      texts += text;
  }
  PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
  Settle(page);
  return texts;
}

TEST_F(Reports, EveryListPageMenuOffersTheLog) {
  for (UINT command : {IDC_CMD_SHOW_STARTUP, IDC_CMD_SHOW_SERVICES, IDC_CMD_SHOW_ACTIVE_TASKS})
    WithSheet(command, [command](HWND, HWND page) { EXPECT_EQ("Sentrel &Log", MenuTexts(page)) << command; });
}

TEST_F(Reports, SpreadsheetButtonQuotesTitlesAndBlanksCommasInVersionFields) {
  const std::string csv = TestFolder() + "\\SentrelLog.csv";
  DeleteFileA(csv.c_str());
  WithSheet(IDC_CMD_SHOW_OPTIONS, [](HWND, HWND page) {
    PostMessageA(page, WM_COMMAND, IDC_OPTIONS_SPREADSHEET, 0);
    Settle(page);
  });
  const std::string text = ReadWholeFile(csv);
  EXPECT_EQ(csv, g_opened);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ("Log created by Sentrel OMNI version 16.0.2009.0", lines[0]);
  EXPECT_EQ("Type,SubType,Title,Filename,Company,First Detected,Path,Description, Version", lines[2]);
  EXPECT_TRUE(HasLine(text, "HKCU,Run,\"'=</ol><a href=x>Evil, \"\"Title\"\"\", report.dll,Hostile  Inc.  Ltd,," +
                                Fixture() + " /run,</ol><script>alert(1)</script>,2 0 beta"))
      << text.substr(0, 2000);
  DeleteFileA(csv.c_str());
}

// ---- The hijack-style log, written by the real explorer ------------------------

namespace {

// A file put in place for a test and the one it replaced put back.
class PlantedFile {
 public:
  PlantedFile(const std::string& path, const std::string& text) : path_(path), saved_(ReadWholeFile(path)) {
    had_ = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    Write(text);
  }
  ~PlantedFile() {
    if (had_)
      Write(saved_);
    else
      DeleteFileA(path_.c_str());
  }
  PlantedFile(const PlantedFile&) = delete;
  PlantedFile& operator=(const PlantedFile&) = delete;

 private:
  void Write(const std::string& text) {
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  std::string path_, saved_;
  bool had_ = false;
};

// Runs a copy of SentrelEx.exe under the name and returns the log it wrote
// before its sheet came up.
std::string RunHijackCopy(const std::string& name) {
  const std::string copy = TestFolder() + "\\" + name;
  const std::string log = TestFolder() + "\\HijackSentrel.log";
  DeleteFileA(log.c_str());
  if (!CopyFileA(ProgramPath("SentrelEx.exe").c_str(), copy.c_str(), FALSE)) return "<no copy>";
  std::string text;
  {
    Program program(copy, "");
    if (!program.started() || !WaitForVisibleWindow(program.id(), "#32770", 60000)) return "<no sheet>";
    text = ReadWholeFile(log);
    if (HWND window = FindWindowA("SentrelEx", nullptr)) PostMessageA(window, WM_COMMAND, IDC_CMD_EXIT, 0);
    program.WaitForExit(5000);
  }
  DeleteFileA(copy.c_str());
  DeleteFileA(log.c_str());
  return text;
}

std::string LineStarting(const std::string& text, const std::string& prefix) {
  for (const std::string& l : Lines(text))
    if (l.compare(0, prefix.size(), prefix) == 0) return l;
  return "<none>";
}

}  // namespace

TEST(HijackLog, HijackNamedExplorerListsHostsHiddenFilesAndPrefixesByTheirRules) {
  RawDeleteTree(HKEY_CURRENT_USER, kOurKeys);
  // The explorer's first start registers the monitor to run at start.
  ValueGuard runAtStart(HKEY_LOCAL_MACHINE, kMachineRun, "Sentrel");
  const std::string hosts = sentrel::HostsPath();
  // Loopback and blocking entries, a comment and a short line are left out;
  // the last line counts without a line break.
  PlantedFile plantedHosts(hosts,
                           "127.0.0.1 localhost\r\n::1 localhost\r\n0.0.0.0 ads.example\r\n# 10.9.9.9 commented\r\n"
                           "1.2\r\n10.1.2.3 bank.example\r\n\t10.4.5.6\tmail.example");
  ValueGuard prefix(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix", "");
  RawSetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix", "", "http://");
  // A value cannot forge a line of the log.
  const char* ieMain = "Software\\Microsoft\\Internet Explorer\\Main";
  ValueGuard startPage(HKEY_CURRENT_USER, ieMain, "Start Page");
  RawSetText(HKEY_CURRENT_USER, ieMain, "Start Page", "http://a.example/\r\nO4 - forged");
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "SentrelHidden";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (int i = 0; i < 50; ++i) {
    const std::string file = folder + "\\h" + std::to_string(i) + ".dat";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    CloseHandle(h);
  }
  const std::string log = RunHijackCopy("HijackSentrelEx.exe");
  for (int i = 0; i < 50; ++i) {
    const std::string file = folder + "\\h" + std::to_string(i) + ".dat";
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
  }
  RemoveDirectoryA(folder.c_str());
  RawDeleteTree(HKEY_CURRENT_USER, kOurKeys);
  ASSERT_EQ(0u, log.find("Log created by Sentrel OMNI version 16.0.2009.0\r\n")) << log.substr(0, 200);
  std::vector<std::string> hostsLines;
  for (const std::string& l : Lines(log))
    if (l.rfind("O1 - Hosts: ", 0) == 0) hostsLines.push_back(l);
  EXPECT_EQ((std::vector<std::string>{"O1 - Hosts: 10.1.2.3 bank.example", "O1 - Hosts: 10.4.5.6mail.example"}),
            hostsLines);
  EXPECT_EQ(0, CountPrefix(log, "O13 - DefaultPrefix:"));
  EXPECT_EQ(41, CountPrefix(log, "SN32 - Hidden File: "));
  EXPECT_EQ("R0 - HKCU\\Software\\Microsoft\\Internet Explorer\\Main,Start Page = http://a.example/  O4 - forged",
            LineStarting(log, "R0 - HKCU"));
  EXPECT_EQ("End of file", Lines(log).back());
}

TEST(HijackLog, PlatformLineNamesEveryWindowsVersion) {
  ValueGuard runAtStart(HKEY_LOCAL_MACHINE, kMachineRun, "Sentrel");
  struct Case {
    const char* version;
    const char* platform;
  } cases[] = {
      {"win95", "Platform: Microsoft Windows 95 "},
      {"win98", "Platform: Microsoft Windows 98 SE "},
      {"winme", "Platform: Microsoft Windows Millennium Edition"},
      {"nt40", "Platform: Windows NT Workstation 4.0 Service Pack 6a (Build 1381)"},
      {"win2k", "Platform: Windows 2000 Service Pack 4 (Build 2195)"},
      {"winxp", "Platform: Windows XP SP3 Service Pack 3 (Build 2600)"},
      {"win2003", "Platform: Windows Server 2003 family, SP2 Standard Edition Service Pack 2 (Build 3790)"},
      {"vista", "Platform: Windows Vista SP2 Service Pack 2 (Build 6002)"},
      {"win7", "Platform: Windows 7 SP1 Service Pack 1 (Build 7601)"},
  };
  for (const Case& c : cases) {
    const std::string name = std::string("hijack_") + c.version + ".exe";
    const std::string key = "Software\\Wine\\AppDefaults\\" + name;
    RawSetText(HKEY_CURRENT_USER, key.c_str(), "Version", c.version);
    EXPECT_EQ(c.platform, LineStarting(RunHijackCopy(name), "Platform: ")) << c.version;
    RawDeleteTree(HKEY_CURRENT_USER, key.c_str());
  }
  RawDeleteTree(HKEY_CURRENT_USER, kOurKeys);
}
