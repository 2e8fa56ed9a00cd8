// File identification: paths, version fields, dates and the small helpers,
// against real files and fixture binaries.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "registry.h"
#include "settings.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

std::string Fixture(const char* name) { return TestFolder() + "\\fixtures\\" + name; }

SYSTEMTIME At(int year, int month, int day, int hour, int minute) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  return t;
}

TEST(ContainsText, IgnoresCaseAndRefusesOverlongTexts) {
  EXPECT_EQ(1, ContainsText("C:\\Program Files\\Sentrel.exe", "sentrel.EXE"));
  EXPECT_EQ(1, ContainsText("abc", ""));
  EXPECT_EQ(0, ContainsText("abc", "abcd"));
  EXPECT_EQ(0, ContainsText(nullptr, "a"));
  EXPECT_EQ(0, ContainsText("a", nullptr));
  std::string text(772, 'x');
  text.back() = 'Y';
  EXPECT_EQ(1, ContainsText(text.c_str(), "y"));
  text += 'x';
  EXPECT_EQ(0, ContainsText(text.c_str(), "x"));
}

TEST(NormalizeFilePath, TurnsCommandLinesIntoUpperCaseProgramPaths) {
  const char* windows = "C:\\windows";
  const char* programs = "C:\\Program Files";
  EXPECT_EQ("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\BEEP.SYS",
            NormalizeFilePathWith("\\SystemRoot\\System32\\drivers\\beep.sys", windows, programs));
  EXPECT_EQ("C:\\PROGRAM FILES\\TOOL\\TOOL.EXE",
            NormalizeFilePathWith("\"C:\\Program Files\\Tool\\tool.exe\" /min -x", windows, programs));
  EXPECT_EQ("C:\\PROGRAM FILES\\APP\\APP.EXE",
            NormalizeFilePathWith("%ProgramFiles%\\App\\app.exe /s", windows, programs));
  EXPECT_EQ("C:\\WINDOWS\\SYSTEM32\\SVCHOST.EXE",
            NormalizeFilePathWith("%SystemRoot%\\system32\\svchost.exe -k netsvcs", windows, programs));
  EXPECT_EQ("RUNDLL32.EXE", NormalizeFilePathWith("rundll32.exe shell32.dll,Control_RunDLL", windows, programs));
  EXPECT_EQ("D:\\LIB\\HOOK.DLL", NormalizeFilePathWith("D:\\lib\\hook.dll", windows, programs));
  EXPECT_EQ("C:\\NOEXT\\PROGRAM", NormalizeFilePathWith("c:\\noext\\program", windows, programs));
  EXPECT_EQ("", NormalizeFilePathWith("", windows, programs));
  EXPECT_EQ("C:\\WINDOWS\\NOTEPAD.EXE", NormalizeFilePathWith("\"%SystemRoot%\\notepad.exe\" /a", windows, programs));
  // Only a leading folder name stands for its folder: one among the
  // arguments must not turn the program into another (a Microsoft) file.
  EXPECT_EQ("C:\\EVIL\\XYZ\\SYSTEM32\\SVCHOST.EXE",
            NormalizeFilePathWith("C:\\Evil\\xyz\\System32\\svchost.exe -k %SystemRoot%", windows, programs));
  EXPECT_EQ("C:\\TOOLS\\A.EXE", NormalizeFilePathWith("c:\\tools\\a.exe %ProgramFiles%\\b.exe", windows, programs));
  // Never longer than a path.
  EXPECT_EQ(259u, NormalizeFilePathWith(std::string(600, 'a').c_str(), windows, programs).size());
}

TEST(NormalizeFilePath, UsesTheRealWindowsFolder) {
  std::string expected = WindowsFolder() + "\\SYSTEM32\\DRIVERS\\NULL.SYS";
  for (char& c : expected) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(expected, NormalizeFilePath("\\SystemRoot\\System32\\drivers\\null.sys"));
}

TEST(FileExists, FindsBareNamesInTheWindowsAndSystemFolders) {
  EXPECT_EQ(0, FileExists(""));
  std::string own = TestFolder() + "\\fixtures\\multi.dll";
  EXPECT_EQ(1, FileExists(own));
  EXPECT_EQ(own, TestFolder() + "\\fixtures\\multi.dll");  // found as given: unchanged
  std::string bare = "kernel32.dll";
  EXPECT_EQ(1, FileExists(bare));
  EXPECT_NE("kernel32.dll", bare);  // replaced by the system file's short path
  EXPECT_EQ(1, FileExists(bare));
  EXPECT_EQ(0, FileExists("no-such-file-anywhere.exe"));
  // Long bare names are not looked up in the system folders.
  std::string longName = std::string(40, 'k') + ".dll";
  EXPECT_EQ(0, FileExists(longName));
}

TEST(LongPathOf, ExpandsShortNamesExceptOnWindows95) {
  std::string folder = TestFolder() + "\\a folder with a long name";
  CreateDirectoryA(folder.c_str(), nullptr);
  char shortPath[MAX_PATH];
  ASSERT_NE(0u, GetShortPathNameA(folder.c_str(), shortPath, sizeof shortPath));
  char dest[kPathWidth];
  int length = LongPathOf(shortPath, dest);
  if (IsWindows95()) {
    EXPECT_EQ(0, length);
    EXPECT_STREQ(shortPath, dest);
  } else {
    EXPECT_EQ(static_cast<int>(folder.size()), length);
    EXPECT_EQ(0, lstrcmpiA(folder.c_str(), dest));
  }
  EXPECT_EQ(0, LongPathOf("C:\\no\\such\\file.exe", dest));
  EXPECT_STREQ("C:\\no\\such\\file.exe", dest);
  RemoveDirectoryA(folder.c_str());
}

std::vector<std::string> g_longPathAsked;
DWORD WINAPI RecordLongPath(LPCSTR path, LPSTR, DWORD) {
  g_longPathAsked.push_back(path);
  return 0;
}

TEST(LongPathOf, NetworkPathsAreNeverLookedUp) {
  g_longPathAsked.clear();
  SetLongPathFunction(RecordLongPath);
  char dest[kPathWidth];
  for (const char* path : {"\\\\server\\share\\PROGRA~1\\tool.exe", "//server/share/PROGRA~1/tool.exe"}) {
    EXPECT_EQ(0, LongPathOf(path, dest));
    EXPECT_STREQ(path, dest);
    AddCatalogueEntry("Net", path, "\\\\server\\share\\DATA~1", "", 11, 0);  // the listings' long form
  }
  LongPathOf("C:\\PROGRA~1\\tool.exe", dest);
  SetLongPathFunction(nullptr);
  ClearCatalogueEntries();
  // A local path is asked about (except on Windows 95, which has no long forms).
  EXPECT_EQ(IsWindows95() ? std::vector<std::string>{} : std::vector<std::string>{"C:\\PROGRA~1\\tool.exe"},
            g_longPathAsked);
}

// A version resource built by hand, so that its lengths can lie.
std::string VersionNode(const wchar_t* key, WORD type, const std::string& value, WORD valueLength,
                        const std::string& children) {
  std::string node(6, '\0');
  node.append(reinterpret_cast<const char*>(key), (wcslen(key) + 1) * sizeof(wchar_t));
  node.resize((node.size() + 3) & ~size_t{3});
  node += value;
  node.resize((node.size() + 3) & ~size_t{3});
  node += children;
  const WORD header[3] = {static_cast<WORD>(node.size()), valueLength, type};
  std::memcpy(&node[0], header, sizeof header);
  return node;
}
std::string Wide(const wchar_t* text) {
  return std::string(reinterpret_cast<const char*>(text), (wcslen(text) + 1) * sizeof(wchar_t));
}

// A copy of a fixture whose version resource claims translationLength bytes
// of translations where there are four.
std::string CraftedVersionFile(WORD translationLength) {
  const std::string file = TestFolder() + "\\fixtures\\crafted.dll";
  CopyFileA(Fixture("noversion.dll").c_str(), file.c_str(), FALSE);
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = 0xFEEF04BD;
  fixed.dwStrucVersion = 0x10000;
  const std::string strings =
      VersionNode(L"StringFileInfo", 1, "", 0,
                  VersionNode(L"040904b0", 1, "", 0,
                              VersionNode(L"ProductName", 1, Wide(L"Crafted"), 8, "") +
                                  VersionNode(L"CompanyName", 1, Wide(L"Crafted Company"), 16, "")));
  const DWORD translation = 0x04B00409;
  const std::string vars =
      VersionNode(L"VarFileInfo", 1, "", 0,
                  VersionNode(L"Translation", 0, std::string(reinterpret_cast<const char*>(&translation), 4),
                              translationLength, ""));
  const std::string block =
      VersionNode(L"VS_VERSION_INFO", 0, std::string(reinterpret_cast<const char*>(&fixed), sizeof fixed), sizeof fixed,
                  strings + vars);
  HANDLE update = BeginUpdateResourceA(file.c_str(), FALSE);
  if (!update) return "";
  UpdateResourceA(update, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                  const_cast<char*>(block.data()), static_cast<DWORD>(block.size()));
  return EndUpdateResourceA(update, FALSE) ? file : "";
}

TEST(ReadVersionInfo, LengthsOutsideTheBlockReadAsMissing) {
  for (WORD length : {WORD{4}, WORD{0xFFF0}}) {
    const std::string file = CraftedVersionFile(length);
    ASSERT_NE("", file);
    VersionFields fields;
    const bool honest = length == 4;
    EXPECT_EQ(honest ? 1 : 0, ReadVersionInfo(file.c_str(), fields)) << length;
    EXPECT_EQ(honest ? "Crafted Company" : "", fields.slot[kCompanyName]) << length;
    DeleteFileA(file.c_str());
  }
}

TEST(ReadVersionInfo, LaterTranslationsOverwriteEarlierOnes) {
  VersionFields fields;
  ASSERT_EQ(1, ReadVersionInfo(Fixture("multi.dll").c_str(), fields));
  EXPECT_EQ("Fixture Deutsch", fields.slot[kProductName]);
  EXPECT_EQ("1.2.3.4 de", fields.slot[kProductVersion]);
  EXPECT_EQ("", fields.slot[kCompanyName]);  // the German block has none
  EXPECT_EQ("Deutsche Beschreibung", fields.slot[kFileDescription]);
  EXPECT_EQ("Copyright Deutsch", fields.slot[kLegalCopyright]);
}

TEST(ReadVersionInfo, OperatingSystemComponentsShowTheirDescription) {
  VersionFields fields;
  ASSERT_EQ(1, ReadVersionInfo(Fixture("opsys.dll").c_str(), fields));
  EXPECT_EQ("Shell Helper Library", fields.slot[kProductName]);
  EXPECT_EQ("Microsoft Corporation", fields.slot[kCompanyName]);
}

TEST(ReadVersionInfo, OversizedMissingAndOverlongGiveNothing) {
  VersionFields fields;
  fields.slot[kCompanyName] = "stale";
  EXPECT_EQ(0, ReadVersionInfo(Fixture("bigblock.dll").c_str(), fields));
  EXPECT_EQ("", fields.slot[kCompanyName]);
  EXPECT_EQ(0, ReadVersionInfo(Fixture("noversion.dll").c_str(), fields));
  EXPECT_EQ(0, ReadVersionInfo(Fixture("missing.dll").c_str(), fields));
  EXPECT_EQ(0, ReadVersionInfo("", fields));
  ASSERT_EQ(1, ReadVersionInfo(Fixture("longfield.dll").c_str(), fields));
  EXPECT_EQ("", fields.slot[kCompanyName]);  // 128 characters: too long
  EXPECT_EQ(std::string(127, 'D'), fields.slot[kFileDescription]);
}

TEST(FormatDateTime, EveryShortDateFormat) {
  const SYSTEMTIME t = At(2009, 12, 31, 14, 5);
  EXPECT_EQ("12/31/2009 2:05 PM", FormatDateTimeWith(t, "M/d/yyyy", "h:mm:ss tt"));
  EXPECT_EQ("12/31/2009 2:05 PM", FormatDateTimeWith(t, "MM/dd/yyyy", "h:mm:ss tt"));
  EXPECT_EQ("12/31/2009 2:05 PM", FormatDateTimeWith(t, "M/D/YY", "h:mm:ss tt"));  // years keep four digits
  EXPECT_EQ("12/31/2009 2:05 PM", FormatDateTimeWith(t, "MM/dd/yy", "h:mm:ss tt"));
  EXPECT_EQ("2009/12/31 2:05 PM", FormatDateTimeWith(t, "yy/MM/dd", "h:mm:ss tt"));
  EXPECT_EQ("2009-12-31 2:05 PM", FormatDateTimeWith(t, "yyyy-MM-dd", "h:mm:ss tt"));
  EXPECT_EQ("31-Dec-2009 2:05 PM", FormatDateTimeWith(t, "dd-MMM-yy", "h:mm:ss tt"));
  EXPECT_EQ("12/31/2009 2:05 PM", FormatDateTimeWith(t, "d.M.yyyy", "bogus"));
  EXPECT_EQ("12/31/2009 2:05 PM", FormatDateTimeWith(t, "", ""));
  EXPECT_EQ("01/02/0003 2:05 PM", FormatDateTimeWith(At(3, 1, 2, 14, 5), "M/d/yyyy", ""));
}

TEST(FormatDateTime, EveryTimeFormat) {
  EXPECT_EQ("01/01/2010 12:30 PM", FormatDateTimeWith(At(2010, 1, 1, 12, 30), "", "h:mm:ss tt"));
  EXPECT_EQ("01/01/2010 12:05 AM", FormatDateTimeWith(At(2010, 1, 1, 0, 5), "", "h:mm:ss tt"));
  EXPECT_EQ("01/01/2010 11:59 PM", FormatDateTimeWith(At(2010, 1, 1, 23, 59), "", "h:mm:ss tt"));
  EXPECT_EQ("01/01/2010 09:07 AM", FormatDateTimeWith(At(2010, 1, 1, 9, 7), "", "hh:mm:ss tt"));
  EXPECT_EQ("01/01/2010 07:07 PM", FormatDateTimeWith(At(2010, 1, 1, 19, 7), "", "hh:mm:ss tt"));
  EXPECT_EQ("01/01/2010 9:07", FormatDateTimeWith(At(2010, 1, 1, 9, 7), "", "H:mm:ss"));
  EXPECT_EQ("01/01/2010 0:00", FormatDateTimeWith(At(2010, 1, 1, 0, 0), "", "H:mm:ss"));
  EXPECT_EQ("01/01/2010 09:07", FormatDateTimeWith(At(2010, 1, 1, 9, 7), "", "HH:mm:ss"));
  EXPECT_EQ("01/01/2010 23:07", FormatDateTimeWith(At(2010, 1, 1, 23, 7), "", "HH:mm:ss"));
}

TEST(FormatDateTime, PartsAreCutToElevenCharacters) {
  // An out-of-range year makes the date longer than 11 characters.
  std::string text = FormatDateTimeWith(At(65535, 12, 31, 1, 2), "yyyy-MM-dd", "");
  EXPECT_EQ("65535-12-31 1:02 AM", text);
  EXPECT_LE(text.size(), 23u);
}

TEST(FormatDateTime, ReadsTheUsersFormats) {
  const char* key = "Control Panel\\International";
  RawValue date = RawGet(HKEY_CURRENT_USER, key, "sShortDate");
  RawValue time = RawGet(HKEY_CURRENT_USER, key, "sTimeFormat");
  RawSetText(HKEY_CURRENT_USER, key, "sShortDate", "yyyy-MM-dd");
  RawSetText(HKEY_CURRENT_USER, key, "sTimeFormat", "HH:mm:ss");
  EXPECT_EQ("2009-12-31 08:15", FormatDateTime(At(2009, 12, 31, 8, 15)));
  for (auto* saved : {&date, &time}) {
    const char* name = saved == &date ? "sShortDate" : "sTimeFormat";
    if (saved->type)
      RawSet(HKEY_CURRENT_USER, key, name, saved->type, saved->data.data(), static_cast<DWORD>(saved->data.size()));
    else
      RawSetText(HKEY_CURRENT_USER, key, name, "");
  }
}

TEST(FileDateText, CreationTimeOrEmpty) {
  std::string text = "stale";
  EXPECT_EQ(1, FileDateText((TestFolder() + "\\no-such-file").c_str(), text));
  EXPECT_EQ("", text);
  EXPECT_EQ(1, FileDateText(Fixture("multi.dll").c_str(), text));
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d)"))) << text;
}

TEST(GroupDigits, CommaEveryThreeDigits) {
  EXPECT_EQ("0", GroupDigits(0));
  EXPECT_EQ("999", GroupDigits(999));
  EXPECT_EQ("1,000", GroupDigits(1000));
  EXPECT_EQ("1,234,567", GroupDigits(1234567));
  EXPECT_EQ("4,294,967,296", GroupDigits(4294967296ull));
}

TEST(SmallHelpers, SplitPathsAndCommands) {
  EXPECT_EQ("app.exe", FileNamePart("C:\\dir\\app.exe"));
  EXPECT_EQ("app.exe", FileNamePart("app.exe"));
  EXPECT_EQ("", FileNamePart("C:\\dir\\"));
  EXPECT_EQ(7u, NamePosition("C:\\dir\\app.exe"));
  EXPECT_EQ("C:\\a b\\c.exe -x", StripQuotes("\"C:\\a b\\c.exe\" -x"));
  EXPECT_EQ(511u, StripQuotes(std::string(600, 'q')).size());
  EXPECT_EQ("run me ", TrimLeadingBlanks("   run me "));
  EXPECT_EQ("", TrimLeadingBlanks("   "));
  EXPECT_EQ("tar.gz", ExtensionOf("file.tar.gz"));
  EXPECT_EQ("", ExtensionOf("README"));
  EXPECT_EQ(TestFolder(), FolderOfProgram());
}

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char cls[32] = "";
  GetClassNameA(window, cls, sizeof cls);
  if (process == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// Answers the first message box of this process with the given button and
// keeps its text.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(int button) : thread_([this, button] { Run(button); }) {}
  ~BoxAnswerer() {
    done_ = true;
    thread_.join();
  }
  std::string text;

 private:
  void Run(int button) {
    for (int i = 0; i < 500 && !done_; ++i) {
      HWND box = nullptr;
      EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&box));
      if (box) {
        char buffer[1024] = "";
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        PostMessageA(box, WM_COMMAND, button, 0);
        return;
      }
      Sleep(10);
    }
  }
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST(ShowFileSummary, DescriptionOnlyWithIdZero) {
  std::string description;
  EXPECT_EQ(1, ShowFileSummary(nullptr, Fixture("opsys.dll").c_str(), 0, &description));
  EXPECT_EQ("Shell Helper Library", description);
}

TEST(ShowFileSummary, BoxTextsWithAndWithoutDescription) {
  VersionFields fields;
  fields.slot[kFileDescription] = "Desc";
  fields.slot[kLegalCopyright] = "Copy";
  fields.slot[kProductName] = "Prod";
  fields.slot[kProductVersion] = "1.0";
  fields.slot[kCompanyName] = "Co";
  std::string message = LoadText(7);
  EXPECT_EQ(message + "\n\nC:\\f.exe\n\nDesc   \nCopy   \n\n\nProd   1.0   \nCo   ",
            FileSummaryText("C:\\f.exe", 7, fields));
  EXPECT_EQ(message + "  \nC:\\f.exe  \n\n" + LoadText(56) + "     ", FileSummaryText("C:\\f.exe", 7, VersionFields{}));
  // The box text never exceeds 771 characters.
  EXPECT_EQ(771u, FileSummaryText(std::string(2000, 'p').c_str(), 7, fields).size());
}

TEST(ShowFileSummary, NewStartupQuestionIsAnsweredYesOrNo) {
  InitLanguageId();
  std::string file = Fixture("opsys.dll");
  int answer;
  std::string shown;
  {
    BoxAnswerer answerer(IDNO);
    answer = ShowFileSummary(nullptr, file.c_str(), 7, nullptr);
    shown = answerer.text;
  }
  EXPECT_EQ(IDNO, answer);
  EXPECT_NE(std::string::npos, shown.find("Shell Helper Library")) << shown;
  EXPECT_NE(std::string::npos, shown.find("opsys.dll")) << shown;
}

}  // namespace
