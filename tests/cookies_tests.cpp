// The cookie area against real files in the prefix's user folders: Internet
// Explorer's cookie folder and a Mozilla profile, the filters, the caps, the
// staged cookies.txt and the monitor's filter and commit tasks.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue.h"
#include "cookie_tasks.h"
#include "cookies.h"
#include "resource.h"
#include "settings.h"
#include "sheet_support.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kHttpCommand = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

void WriteText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// Puts the file's last write some seven minutes back.
void Backdate(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME earlier;
  GetSystemTimeAsFileTime(&earlier);
  earlier.dwHighDateTime -= 1;
  SetFileTime(file, nullptr, nullptr, &earlier);
  CloseHandle(file);
}

std::vector<std::string> ListedTitles() {
  std::vector<std::string> titles;
  for (int i = 0; i < CatalogueCount(); ++i) titles.push_back(CatalogueAt(i).title);
  return titles;
}

std::string CookieLineOf(const std::string& domain, const std::string& name, const std::string& expiry = "2000000000",
                         const std::string& value = "v") {
  return domain + "\tTRUE\t/\tFALSE\t" + expiry + "\t" + name + "\t" + value + "\n";
}

class Cookies : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    Process() = ProcessState{};
    Process().kind = ProgramKind::Explorer;
    InitLanguageId();
    LoadOptions();
    ieFolder_ = RawText(HKEY_CURRENT_USER, kShellFolders, "Cookies") + "\\";
    MakeFolders(ieFolder_);
    if (!Exists(ieFolder_ + "index.dat")) Plant(ieFolder_ + "index.dat", "");
    const std::string appData = RawText(HKEY_CURRENT_USER, kShellFolders, "AppData");
    mozilla_ = appData + "\\Mozilla";
    ASSERT_FALSE(Exists(mozilla_)) << "a Mozilla folder of someone else's";
    profile_ = mozilla_ + "\\FireFox\\Profiles\\sntl1234.default";
    MakeFolders(profile_);
  }
  void TearDown() override {
    ClearCatalogueEntries();
    FreeCookieFilters();
    for (const std::string& file : planted_) {
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    }
    for (const char* name : {"cookies.txt", "cookiesnew.txt", "cookiestmp.txt"})
      DeleteFileA((profile_ + "\\" + name).c_str());
    RemoveDirectoryA((profile_ + "\\cookiestmp.txt").c_str());
    for (const std::string& folder : {profile_, mozilla_ + "\\FireFox\\Profiles", mozilla_ + "\\FireFox", mozilla_})
      RemoveDirectoryA(folder.c_str());
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
  }
  void Plant(const std::string& path, const std::string& text) {
    WriteText(path, text);
    planted_.push_back(path);
  }
  std::string Cookie(const std::string& name) {
    Plant(ieFolder_ + name, "id\n1\n" + name + "\n");
    return ieFolder_ + name;
  }
  std::string Staged() { return ReadWholeFile(profile_ + "\\cookiesnew.txt"); }
  std::string Current() { return ReadWholeFile(profile_ + "\\cookies.txt"); }
  std::string ieFolder_, mozilla_, profile_;
  std::vector<std::string> planted_;
};

TEST_F(Cookies, FolderSearchFindsBothStores) {
  std::string folder;
  ASSERT_EQ(1, FindIECookieFolder(folder));
  EXPECT_EQ(0, lstrcmpiA(ieFolder_.c_str(), folder.c_str()));
  ASSERT_EQ(1, FindMozillaProfileFolder(3, folder));
  EXPECT_EQ(profile_, folder);
  // A folder without index.dat does not count.
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "IECookieFolder", profile_);
  ASSERT_EQ(1, FindIECookieFolder(folder));
  EXPECT_EQ(0, lstrcmpiA(ieFolder_.c_str(), folder.c_str()));
  EXPECT_TRUE(MozillaSupported());
}

TEST_F(Cookies, ProfileLayoutsAndTheFirefoxVersionGate) {
  RemoveDirectoryA(profile_.c_str());
  struct Case {
    const char* made;  // a folder under Mozilla made before the search ("" none)
    int kind;
    const char* found;  // under Mozilla, "" for none
  };
  const Case cases[] = {
      {"", 3, ""},
      {"Profiles\\default\\.hidden", 2, ""},
      {"Profiles\\default\\abc.slt", 3, ""},  // Netscape's layout is only for Netscape
      {"", 2, "Profiles\\default\\abc.slt"},
      {"FireFox\\Profiles\\default.xyz", 2, "FireFox\\Profiles\\default.xyz"},
  };
  std::vector<std::string> made;
  for (const Case& c : cases) {
    if (*c.made) MakeFolders(mozilla_ + "\\" + c.made), made.push_back(mozilla_ + "\\" + c.made);
    std::string folder;
    EXPECT_EQ(*c.found ? 1 : 0, FindMozillaProfileFolder(c.kind, folder)) << c.made;
    if (*c.found) {
      EXPECT_EQ(mozilla_ + "\\" + c.found, folder);
    }
  }
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "CookieFolder", "D:\\Profile");
  std::string folder;
  EXPECT_EQ(1, FindMozillaProfileFolder(3, folder));
  EXPECT_EQ("D:\\Profile", folder);
  for (auto at = made.rbegin(); at != made.rend(); ++at) RemoveDirectoryA(at->c_str());
  RemoveDirectoryA((mozilla_ + "\\Profiles\\default").c_str());
  RemoveDirectoryA((mozilla_ + "\\Profiles").c_str());

  const char* appPath = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\firefox.exe";
  for (const auto& c : {std::make_pair("opsys.dll", false), std::make_pair("addon.dll", true)}) {
    RawSetText(HKEY_LOCAL_MACHINE, appPath, "", TestFolder() + "\\fixtures\\" + c.first);
    EXPECT_EQ(c.second, MozillaSupported()) << c.first;
  }
  RawDeleteTree(HKEY_LOCAL_MACHINE, appPath);
}

TEST_F(Cookies, FilterRemovesMatchingCookiesInAnyCase) {
  const std::string ads = Cookie("user@ads.example[1].txt"), bad = Cookie("user@BADSITE[2].TXT");
  const std::string good = Cookie("user@good.example[1].txt"), other = Cookie("user@ads-not-a-cookie.dat");
  const std::string system = Cookie("user@ads.system[1].txt");
  SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
  WriteText(profile_ + "\\cookies.txt", "# Netscape HTTP Cookie File\n" + CookieLineOf(".ads.example", "id") +
                                            CookieLineOf("good.example", "Ads") + CookieLineOf("good.example", "id"));
  RawSetText(HKEY_CURRENT_USER, kNutsKey, "ads", "1");
  RawSetText(HKEY_CURRENT_USER, kNutsKey, "", "1");  // an empty filter would be in every cookie
  LoadCookieFilters();

  EXPECT_EQ(1, ListCookies(1, true));
  EXPECT_EQ(std::vector<std::string>{"user@good.example[1].txt"}, ListedTitles());
  for (const std::string& file : {ads, bad}) EXPECT_FALSE(Exists(file)) << file;
  for (const std::string& file : {good, other, system}) EXPECT_TRUE(Exists(file)) << file;
  // A filtered cookie whose file cannot be deleted (its name is outside the
  // code page) is not hidden: it stays listed.
  const std::wstring stuck = std::wstring(ieFolder_.begin(), ieFolder_.end()) + L"user@ads\x4e2d[1].txt";
  CloseHandle(CreateFileW(stuck.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_EQ(2, ListCookies(1, true));
  DeleteFileW(stuck.c_str());

  EXPECT_EQ(1, ListCookies(6, true));
  EXPECT_EQ(std::vector<std::string>{"good.example - id"}, ListedTitles());
  EXPECT_EQ("# Netscape HTTP Cookie File\n" + CookieLineOf("good.example", "id"), Staged());
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptionsKey, kUpdateCookieFile));

  // A flood of planted filters is taken no further than the user could add.
  for (int i = 0; i < kMaxCookieFilters + 50; ++i)
    RawSetText(HKEY_CURRENT_USER, kNutsKey, ("flood" + std::to_string(i)).c_str(), "1");
  LoadCookieFilters();
  EXPECT_EQ(static_cast<size_t>(kMaxCookieFilters), CookieFilters().size());
}

TEST_F(Cookies, MaxCookieCapsTheMonitorsListButNotTheFilter) {
  for (int i = 0; i < 320; ++i) Cookie("user@site" + std::to_string(i) + "[1].txt");
  std::vector<std::string> filtered;
  for (int i = 0; i < 5; ++i) filtered.push_back(Cookie("user@zz" + std::to_string(i) + "[1].txt"));
  RawSetText(HKEY_CURRENT_USER, kNutsKey, "@zz", "1");
  struct Case {
    ProgramKind kind;
    int listed;
  };
  for (const Case& c : {Case{ProgramKind::Monitor, 315}, Case{ProgramKind::Explorer, 320}}) {
    Process().kind = c.kind;
    LoadOptions();
    LoadCookieFilters();
    EXPECT_EQ(c.listed, ListCookies(1, true));
    EXPECT_EQ(c.listed, CatalogueCount());
    for (const std::string& file : filtered) EXPECT_FALSE(Exists(file)) << file;
  }
}

TEST_F(Cookies, MozillaLinesAreReadSafely) {
  TIME_ZONE_INFORMATION zone;
  GetTimeZoneInformation(&zone);
  const std::string epoch = zone.Bias > 0 ? "12/31/1969" : "01/01/1970";
  struct Case {
    std::string line, title, expires, value;
  };
  const Case cases[] = {
      {CookieLineOf(".epoch.example", "a", "0"), "epoch.example - a", epoch, "v"},
      {CookieLineOf("tab.example", "b", "1", "x\ty"), "tab.example - b", "", "x\ty"},
      {CookieLineOf("junk.example", "c", "99999999999999999999999"), "junk.example - c", "", "v"},
      {CookieLineOf("bin\x01.example", "d\x7f", "-5", std::string("a\0b", 3)), "bin\x01.example - d\x7f", "", "a"},
      {"short.example\tTRUE\t/\tFALSE\t0\tname\n", "", "", ""},
  };
  for (const Case& c : cases) {
    WriteText(profile_ + "\\cookies.txt", c.line);
    ListCookies(6, false);
    ASSERT_EQ(c.title.empty() ? 0 : 1, CatalogueCount()) << c.line;
    if (c.title.empty()) continue;
    EXPECT_EQ(c.title, CatalogueAt(0).title);
    if (!c.expires.empty()) {
      EXPECT_EQ(c.expires, CatalogueAt(0).description);
    }
    EXPECT_EQ(c.value, CatalogueAt(0).data);
  }
}

TEST_F(Cookies, OversizedFileIsListedInPartAndNeverStaged) {
  std::string text;
  while (text.size() <= kMaxCookieFileBytes) text += CookieLineOf("big.example", "n" + std::to_string(text.size()));
  WriteText(profile_ + "\\cookies.txt", text);
  RawSetText(HKEY_CURRENT_USER, kNutsKey, "big", "1");
  LoadCookieFilters();
  EXPECT_GT(ListCookies(6, true), 1000);
  EXPECT_FALSE(Exists(profile_ + "\\cookiesnew.txt"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kOptionsKey, kUpdateCookieFile));
  EXPECT_EQ(text, Current());
}

TEST_F(Cookies, UnreadableCookiesFileLeavesNothingToCommit) {
  const std::string original = CookieLineOf("one.example", "id");
  WriteText(profile_ + "\\cookies.txt", original);
  // A staged file that cannot be made hides no cookie.
  CreateDirectoryA((profile_ + "\\cookiesnew.txt").c_str(), nullptr);
  EXPECT_EQ(1, ListCookies(6, true));
  RemoveDirectoryA((profile_ + "\\cookiesnew.txt").c_str());
  ListCookies(6, true);  // staged, not yet committed
  HANDLE locked =
      CreateFileA((profile_ + "\\cookies.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, locked);
  EXPECT_EQ(0, ListCookies(6, true));
  CloseHandle(locked);
  EXPECT_FALSE(Exists(profile_ + "\\cookiesnew.txt"));
  EXPECT_EQ(-1, CommitStagedCookies(profile_));
  EXPECT_EQ(original, Current());
}

TEST_F(Cookies, CommitWaitsForTheBrowserAndNeverTruncates) {
  const std::string original = CookieLineOf("ads.example", "id") + CookieLineOf("good.example", "id");
  WriteText(profile_ + "\\cookies.txt", original);
  RawSetText(HKEY_CURRENT_USER, kNutsKey, "ads", "1");
  LoadCookieFilters();
  ListCookies(6, true);
  const std::string staged = Staged();
  ASSERT_EQ(CookieLineOf("good.example", "id"), staged);

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "MozillaWindowClass";
  RegisterClassA(&windowClass);
  HWND browser = CreateWindowA("MozillaWindowClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, browser);
  EXPECT_EQ(0, CommitStagedCookies(profile_));
  EXPECT_EQ(original, Current());
  DestroyWindow(browser);

  // A copy that cannot be made leaves cookies.txt whole.
  CreateDirectoryA((profile_ + "\\cookiestmp.txt").c_str(), nullptr);
  EXPECT_EQ(0, CommitStagedCookies(profile_));
  EXPECT_EQ(original, Current());
  RemoveDirectoryA((profile_ + "\\cookiestmp.txt").c_str());

  EXPECT_EQ(1, CommitStagedCookies(profile_));
  EXPECT_EQ(staged, Current());

  // The browser wrote cookies.txt after the staging: the stale staging would
  // lose the cookies added since, so it is dropped.
  ListCookies(6, true);
  const std::string browsed = staged + CookieLineOf("new.example", "id");
  WriteText(profile_ + "\\cookies.txt", browsed);
  Backdate(profile_ + "\\cookiesnew.txt");
  EXPECT_EQ(-1, CommitStagedCookies(profile_));
  EXPECT_EQ(browsed, Current());
  EXPECT_FALSE(Exists(profile_ + "\\cookiesnew.txt"));
}

TEST_F(Cookies, MonitorTasksCommitRemovalRequestsOnceTheBrowserIsMozilla) {
  struct Browser {  // the default browser is Firefox while this lives
    std::string saved = RawText(HKEY_LOCAL_MACHINE, kHttpCommand, "");
    Browser() { RawSetText(HKEY_LOCAL_MACHINE, kHttpCommand, "", "\"c:\\apps\\firefox.exe\" -url \"%1\""); }
    ~Browser() { RawSetText(HKEY_LOCAL_MACHINE, kHttpCommand, "", saved); }
  } browser;
  // A name holding a NUL is named as far as the NUL, in the list and in the request.
  const std::string original = CookieLineOf("one.example", std::string("id\0x", 4)) + CookieLineOf("two.example", "id");
  WriteText(profile_ + "\\cookies.txt", original);
  ListCookies(6, true);
  ASSERT_EQ(2, CatalogueCount());
  EXPECT_EQ(1, RemoveCookie(CatalogueAt(0)));
  EXPECT_EQ("2", RawText(HKEY_CURRENT_USER, kNutsKey, "one.example - id"));

  EXPECT_EQ(1, FilterCookies());
  EXPECT_EQ(3, RememberedBrowserKind());
  ListCookies(6, true);  // the page's next listing stages the request
  EXPECT_EQ(original, Current());
  // A copy that fails is tried again: the flag and the request stay.
  CreateDirectoryA((profile_ + "\\cookiestmp.txt").c_str(), nullptr);
  EXPECT_EQ(1, CommitMozillaCookies());
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kOptionsKey, kUpdateCookieFile));
  EXPECT_EQ("2", RawText(HKEY_CURRENT_USER, kNutsKey, "one.example - id"));
  RemoveDirectoryA((profile_ + "\\cookiestmp.txt").c_str());
  // The browser saved a new cookie as it closed, after the staging: it is kept.
  WriteText(profile_ + "\\cookies.txt", original + CookieLineOf("three.example", "id"));
  Backdate(profile_ + "\\cookiesnew.txt");
  EXPECT_EQ(1, CommitMozillaCookies());
  EXPECT_EQ(CookieLineOf("two.example", "id") + CookieLineOf("three.example", "id"), Current());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kNutsKey, "one.example - id"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kOptionsKey, kUpdateCookieFile));
  ForgetBrowserKind();
}

// ---- The Cookies page -----------------------------------------------------------

class CookiesPage : public Cookies {
 protected:
  void SetUp() override {
    Cookies::SetUp();
    StartExplorerInProcess();
  }
  void TearDown() override {
    EndExplorerInProcess();
    Cookies::TearDown();
  }
  static void WithPage(int kind, const std::function<void(HWND page)>& steps) {
    SetOption(kOptBrowser, kind);
    WithSheet(IDC_CMD_SHOW_COOKIES, [&](HWND, HWND page) { steps(page); });
  }
  static bool Checked(HWND page, int row) {
    return SendDlgItemMessageA(page, IDC_PAGE_LIST, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) ==
           INDEXTOSTATEIMAGEMASK(2);
  }
};

TEST_F(CookiesPage, RemovedMozillaCookieStaysUntilTheNextFilteredListingAndCommit) {
  const std::string original =
      CookieLineOf("one.example", "id") + CookieLineOf(".two.example", "id", "0") + CookieLineOf("three.example", "id");
  WriteText(profile_ + "\\cookies.txt", original);
  RawSetText(HKEY_CURRENT_USER, kKeptCookiesKey, "two.example - id", "1");
  std::vector<std::string> before, after;
  std::string question;
  WithPage(6, [&](HWND page) {
    const int two = RowWith(page, 0, "two.example - id");
    EXPECT_EQ(std::vector<std::string>({"two.example - id", ExpiryDateText("0"), "/", "v", ""}),
              RowTexts(page, two, 5));
    for (int row = 0; row < RowCount(page); ++row)
      before.push_back(CellText(page, row, 0) + (Checked(page, row) ? "+" : ""));
    question = AnswerCommand(page, IDC_COOKIE_REMOVE_UNCHECKED, IDYES);
    after = Column(page, 0);
  });
  EXPECT_EQ(std::vector<std::string>({"one.example - id", "two.example - id+", "three.example - id"}), before);
  EXPECT_NE(std::string::npos, question.find("NOT checked"));
  EXPECT_EQ(std::vector<std::string>{"two.example - id"}, after);
  EXPECT_EQ(original, Current());
  EXPECT_EQ(1, CommitStagedCookies(profile_));
  EXPECT_EQ(CookieLineOf(".two.example", "id", "0"), Current());
}

TEST_F(CookiesPage, RemovingACookieWhoseListedPathIsCutSparesTheKeptCookieItNames) {
  // Deep enough that a long cookie's listed path is cut to the path of a
  // shorter cookie the user keeps.
  const std::string deep = ieFolder_ + std::string(199 - ieFolder_.size(), 'd') + "\\";
  const std::string kept = std::string(259 - deep.size() - 4, 'k') + ".txt", longer = kept + "-longer-name.txt";
  MakeFolders(deep.substr(0, deep.size() - 1));
  WriteText(deep + "index.dat", "");
  WriteText(deep + kept, "kept");
  const std::string longerPath = "\\\\?\\" + deep + longer;
  const std::wstring wideLonger(longerPath.begin(), longerPath.end());
  CloseHandle(CreateFileW(wideLonger.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  RawSetText(HKEY_CURRENT_USER, kSentrelKey, "IECookieFolder", deep.substr(0, deep.size() - 1));
  RawSetText(HKEY_CURRENT_USER, kKeptCookiesKey, kept.c_str(), "1");
  int rows = 0;
  HWND view = nullptr;
  WithPage(1, [&](HWND page) {
    rows = RowCount(page);
    // Nor is the other cookie's file shown as this one's.
    Select(page, {RowWith(page, 0, longer)});
    PostMessageA(page, WM_COMMAND, IDC_COOKIE_VIEW, 0);
    if ((view = WaitForDialog({GetParent(page)}, nullptr, 25)) != nullptr) Press(view, IDCANCEL);
    AnswerCommand(page, IDC_COOKIE_REMOVE_UNCHECKED, IDYES);
  });
  EXPECT_EQ(2, rows);
  EXPECT_EQ(nullptr, view);
  EXPECT_TRUE(Exists(deep + kept));
  DeleteFileW(wideLonger.c_str());
  for (const std::string& file : {deep + kept, deep + "index.dat"}) DeleteFileA(file.c_str());
  RemoveDirectoryA(deep.c_str());
}

TEST_F(CookiesPage, FiltersAreAddedAndRemovedAndCookieFilesViewed) {
  const std::string ads = Cookie("user@ads.example[1].txt");
  Cookie("user@good.example[1].txt");
  for (int i = 0; i < 255; ++i) RawSetText(HKEY_CURRENT_USER, kNutsKey, ("nut" + std::to_string(i)).c_str(), "1");
  std::vector<std::string> rows;
  std::string folder, noSelection, limit, viewed;
  WithPage(1, [&](HWND page) {
    char text[MAX_PATH] = "";
    GetDlgItemTextA(page, IDC_PAGE_INTRO2, text, sizeof text);
    folder = text;
    noSelection = AnswerCommand(page, IDC_COOKIE_REMOVE_NUT, IDOK);
    SetDlgItemTextA(page, IDC_COOKIE_NUT_EDIT, "ADS");
    SendMessageA(page, WM_COMMAND, IDC_COOKIE_ADD_NUT, 0);  // returns once the page is filled again
    rows = Column(page, 0);
    SetDlgItemTextA(page, IDC_COOKIE_NUT_EDIT, "more");
    limit = AnswerCommand(page, IDC_COOKIE_ADD_NUT, IDOK);
    Select(page, {0});
    PostMessageA(page, WM_COMMAND, IDC_COOKIE_VIEW, 0);
    HWND view = WaitForDialog({GetParent(page)});
    GetDlgItemTextA(view, IDC_COOKIE_VIEW_TEXT, text, sizeof text);
    viewed = text;
    Press(view, IDCANCEL);
  });
  EXPECT_EQ(0, lstrcmpiA(ieFolder_.c_str(), folder.c_str()));
  EXPECT_NE(std::string::npos, noSelection.find(LoadText(IDS_NO_COOKIE_SELECTION).substr(0, 20)));
  EXPECT_EQ(std::vector<std::string>{"user@good.example[1].txt"}, rows);
  EXPECT_FALSE(Exists(ads));
  EXPECT_EQ("1", RawText(HKEY_CURRENT_USER, kNutsKey, "ADS"));
  EXPECT_NE(std::string::npos, limit.find("limit in the number of recommended nuts"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kNutsKey, "more"));
  EXPECT_EQ("id\r\n1\r\nuser@good.example[1].txt\r\n", viewed);
}

}  // namespace
