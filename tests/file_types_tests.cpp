// The file type area against the real (Wine) registry: the three sources,
// the monitored list, baselines, restores, the start-up builder and the File
// Types page of the explorer.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "explorer.h"
#include "file_types.h"
#include "initialization.h"
#include "process_support.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "sheet_support.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
const char* const kSettings = "Software\\Orvane Works";

std::string Fixture(const char* name) { return TestFolder() + "\\fixtures\\" + name; }

// The extensions and classes these tests plant, gone before and after.
void DeletePlanted() {
  for (const char* ext : {".snta", ".sntb", ".sntc"}) {
    RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + ext).c_str());
    RawDeleteTree(HKEY_CURRENT_USER, (std::string(kFileExts) + "\\" + ext).c_str());
  }
  for (const char* cls : {"SentrelTest.A", "SentrelTest.B", "SentrelTest.Bare"})
    RawDeleteTree(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + cls).c_str());
  RawDeleteTree(HKEY_CLASSES_ROOT, "Applications\\sentview.exe");
  RawDeleteTree(HKEY_CURRENT_USER, kSettings);
  RawDeleteTree(HKEY_LOCAL_MACHINE, kSettings);
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Sentrel");
  RawDeleteTree(HKEY_CLASSES_ROOT, "exefile\\shell\\Sentrel OMNI");
}

void SetCommand(HKEY root, const std::string& cls, const std::string& command) {
  RawSetText(root, (cls + "\\shell\\open\\command").c_str(), "", command);
}

// .snta: all three sources; .sntb shares SentrelTest.A with .snta.
void PlantThreeSources() {
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.snta", "", "SentrelTest.A");
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.A", "", "Viewer Test Document");
  SetCommand(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.A",
             "\"C:\\Program Files\\Viewer\\viewer.exe\" \"%1\"");
  RawSetText(HKEY_CURRENT_USER, (std::string(kFileExts) + "\\.snta").c_str(), "Application", "sentview.exe");
  SetCommand(HKEY_CLASSES_ROOT, "Applications\\sentview.exe", Fixture("opsys.dll") + " %1");
  RawSetText(HKEY_CURRENT_USER, (std::string(kFileExts) + "\\.snta").c_str(), "ProgID", "SentrelTest.B");
  SetCommand(HKEY_CLASSES_ROOT, "SentrelTest.B", "c:\\apps\\bview.exe %1");
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.sntb", "", "SentrelTest.A");
}

class FileTypes : public testing::Test {
 protected:
  void SetUp() override {
    DeletePlanted();
    Process() = ProcessState{};
    InitLanguageId();
    LoadOptions();
  }
  void TearDown() override {
    ClearCatalogueEntries();
    DeletePlanted();
  }
  static void SetList(const std::string& list) { RawSetText(HKEY_CURRENT_USER, kClassKey, "", list); }
  static std::string List() { return RawText(HKEY_CURRENT_USER, kClassKey, ""); }
};

TEST_F(FileTypes, EachSourceGivesOneEntryInListOrder) {
  PlantThreeSources();
  SetList("SNTA;sntc;SNTB;");
  ASSERT_EQ(4, EnumerateMonitoredTypes());
  struct Expected {
    int source;
    const char* extension;
    const char* value;
    const char* title;
  };
  const Expected expected[] = {
      {1, ".SNTA", "SentrelTest.A", "Viewer Test Document"},
      {2, ".SNTA", "sentview.exe",
       "Shell Helper Library"},  // no friendly name: the program's (a Windows component: its description)
      {3, ".SNTA", "SentrelTest.B", "bview.exe"},  // nor a product name: the file name
      {1, ".SNTB", "SentrelTest.A", "Viewer Test Document"},
  };
  for (int i = 0; i < 4; ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    EXPECT_EQ(expected[i].source, entry.value) << i;
    EXPECT_EQ(kTypeFileType, entry.type);
    EXPECT_EQ(expected[i].extension, entry.description) << i;
    EXPECT_EQ(expected[i].value, entry.name) << i;
    EXPECT_EQ(expected[i].title, entry.title) << i;
  }
  EXPECT_EQ("Shell Helper Library", CatalogueAt(1).data);
  EXPECT_EQ("C:\\Program Files\\Viewer\\viewer.exe %1", CatalogueAt(0).path);
}

TEST_F(FileTypes, IconComesFromDefaultIconElseTheProgram) {
  PlantThreeSources();
  struct Case {
    const char* defaultIcon;  // null: none
    const char* file;
    int index;
  };
  const Case cases[] = {{"C:\\apps\\icons.dll,3", "C:\\apps\\icons.dll", 3},
                        {"\"C:\\apps\\my, icons.dll\",-101", "C:\\apps\\my, icons.dll", -101},
                        {nullptr, "C:\\PROGRAM FILES\\VIEWER\\VIEWER.EXE", 0}};
  for (const Case& c : cases) {
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.A\\DefaultIcon");
    if (c.defaultIcon)
      RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.A\\DefaultIcon", "", c.defaultIcon);
    std::string file;
    int index = 7;
    EXPECT_EQ(1, IconOfExtension("snta", 1, file, index));
    EXPECT_EQ(c.file, file);
    EXPECT_EQ(c.index, index);
  }
}

TEST_F(FileTypes, AValueWithoutCommandOrAnEmptyValueResolvesNothing) {
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.snta", "", "SentrelTest.Bare");
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.Bare", "", "Bare");
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.sntb", "", "");
  SetList("SNTA;SNTB;");
  EXPECT_EQ(0, EnumerateMonitoredTypes());
}

TEST_F(FileTypes, BadListsHideNothingAndAreNeverCut) {
  PlantThreeSources();
  // Tokens that cannot name an extension are passed over, the rest still count.
  const std::string longToken(300, 'Q');
  SetList(longToken + ";..\\SNTA;;SNTB;");
  EXPECT_EQ(1, EnumerateMonitoredTypes(false));
  EXPECT_EQ(".SNTB", CatalogueAt(0).description);
  // A list past the add limit: read whole, refused, left exactly as it was.
  std::string big;
  while (big.size() < 1100) big += "X" + std::to_string(big.size()) + ";";
  SetList(big + "SNTB;");
  EXPECT_EQ(1, EnumerateMonitoredTypes(false));
  EXPECT_EQ(IDS_MAXIMUM_NUMBER_FILE_TYPES, AddMonitoredExtension("snta"));
  EXPECT_EQ(big + "SNTB;", List());
  // Removing from it keeps every other token.
  RemoveMonitoredExtension("x0");
  EXPECT_EQ(big.substr(3) + "SNTB;", List());
}

TEST_F(FileTypes, AddRefusesDuplicatesAndNonExtensions) {
  SetList("AVI;TXT;");
  struct Case {
    const char* text;
    int result;
  };
  const Case cases[] = {{"txt", IDS_FILE_TYPE_ALREADY_BEING},   {".TXT", IDS_FILE_TYPE_ALREADY_BEING},
                        {"Txt", IDS_FILE_TYPE_ALREADY_BEING},   {"", IDS_NOT_A_FILE_TYPE_EXTENSION},
                        {".", IDS_NOT_A_FILE_TYPE_EXTENSION},   {"a;b", IDS_NOT_A_FILE_TYPE_EXTENSION},
                        {"a\\b", IDS_NOT_A_FILE_TYPE_EXTENSION}};
  for (const Case& c : cases) EXPECT_EQ(c.result, AddMonitoredExtension(c.text)) << c.text;
  EXPECT_EQ("AVI;TXT;", List());
  // At the limit: the list plus the new extension reaching 1020 characters.
  SetList(std::string(1016, 'A') + ";");
  EXPECT_EQ(IDS_MAXIMUM_NUMBER_FILE_TYPES, AddMonitoredExtension("abc"));
  EXPECT_EQ(0, AddMonitoredExtension("ab"));
}

TEST_F(FileTypes, AddWritesBaselinesOfEverySourceAndAddsEvenWhenNothingResolves) {
  PlantThreeSources();
  SetList("AVI;");
  EXPECT_EQ(0, AddMonitoredExtension(".snta"));
  EXPECT_EQ(0, AddMonitoredExtension("sntc"));  // nothing associated yet
  EXPECT_EQ("AVI;snta;sntc;", List());
  EXPECT_EQ("SentrelTest.A", RawText(HKEY_CURRENT_USER, kExtKey, ".snta"));
  EXPECT_EQ("sentview.exe", RawText(HKEY_CURRENT_USER, kExtAppKey, ".snta"));
  EXPECT_EQ("SentrelTest.B", RawText(HKEY_CURRENT_USER, kExtProgIdKey, ".snta"));
  EXPECT_EQ("C:\\Program Files\\Viewer\\viewer.exe %1", RawText(HKEY_CURRENT_USER, kClassKey, "SentrelTest.A"));
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kExtKey, ".sntc"));
}

TEST_F(FileTypes, RemovingTheLastUserOfAClassDeletesItsCommand) {
  PlantThreeSources();
  SetList("");
  ASSERT_EQ(0, AddMonitoredExtension("SNTA"));
  ASSERT_EQ(0, AddMonitoredExtension("SNTB"));
  RemoveMonitoredExtension(".snta");  // .SNTB still opens with SentrelTest.A
  EXPECT_EQ("SNTB;", List());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kExtKey, ".snta"));
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, kClassKey, "SentrelTest.A"));
  EXPECT_EQ("sentview.exe", RawText(HKEY_CURRENT_USER, kExtAppKey, ".snta"));  // left as it is
  RemoveMonitoredExtension("sntb");
  EXPECT_EQ("", List());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kClassKey, "SentrelTest.A"));
}

TEST_F(FileTypes, RestorePutsEachSourceBackWithItsQuotes) {
  PlantThreeSources();
  SetList("SNTA;");
  ASSERT_EQ(3, CreateClassInfo());
  // A hijack of all three places.
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.snta", "", "SentrelTest.Bare");
  SetCommand(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.A", "c:\\bad\\bad.exe %1");
  RawSetText(HKEY_CURRENT_USER, (std::string(kFileExts) + "\\.snta").c_str(), "Application", "bad.exe");
  RawSetText(HKEY_CURRENT_USER, (std::string(kFileExts) + "\\.snta").c_str(), "ProgID", "Bad.Class");
  for (int source = 1; source <= 3; ++source) EXPECT_NE(0, RestoreAssociation("SNTA", source)) << source;
  Association found;
  ASSERT_EQ(1, ResolveAssociation("snta", 1, found));
  EXPECT_EQ("SentrelTest.A", found.value);
  EXPECT_EQ("\"C:\\Program Files\\Viewer\\viewer.exe\" \"%1\"", found.command);
  ASSERT_EQ(1, ResolveAssociation("snta", 2, found));
  EXPECT_EQ("sentview.exe", found.value);
  ASSERT_EQ(1, ResolveAssociation("snta", 3, found));
  EXPECT_EQ("SentrelTest.B", found.value);
  // Without the exact copy the approved program is still quoted: unquoted, a
  // folder with blanks would start C:\Program.exe.
  // Not even when C:\Program.exe exists, the very program it would start.
  RawDeleteTree(HKEY_CURRENT_USER, kClassRootKey);
  SetCommand(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.A", "c:\\bad\\bad.exe %1");
  CloseHandle(CreateFileA("C:\\Program.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  RestoreAssociation(".SNTA", 1);
  DeleteFileA("C:\\Program.exe");
  ASSERT_EQ(1, ResolveAssociation("snta", 1, found));
  EXPECT_EQ("\"C:\\Program Files\\Viewer\\viewer.exe\" %1", found.command);
  // Nothing approved for .sntc: nothing written.
  EXPECT_EQ(0, RestoreAssociation("sntc", 1));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\.sntc"));
}

TEST_F(FileTypes, ProgramFileNameIgnoresFolderQuotesAndArguments) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\Viewer\\viewer.exe\" \"%1\"", "C:\\Program Files\\Viewer\\viewer.exe %1", true},
      {"c:\\old\\viewer.exe %1", "\"d:\\new place\\VIEWER.EXE\" /open \"%1\"", true},
      {"c:\\apps\\viewer.exe %1", "c:\\apps\\other.exe %1", false},
      {"c:\\apps\\viewer.exe c:\\docs\\%1", "c:\\apps\\viewer.exe", true},
      {"\"c:\\apps\\viewer.exe %1", "c:\\apps\\viewer.exe %1", true},  // unbalanced quote
      {"rundll32.exe shell32.dll,OpenAs_RunDLL %1", "c:\\windows\\rundll32.exe x", true},
      {"%1 %*", "%1 %*", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.same, lstrcmpiA(ProgramFileName(c.a).c_str(), ProgramFileName(c.b).c_str()) == 0)
        << c.a << " | " << c.b;
}

TEST_F(FileTypes, CreateClassInfoBuildsOnceAndKeepsTheUsersList) {
  PlantThreeSources();
  // First start: the initial list, the marker, baselines of what resolves.
  InitializeSettings();
  EXPECT_EQ(LoadText(IDS_AVI_BAT_CAB_CAT), List());
  EXPECT_EQ(kBaselineMarker, RawText(HKEY_CURRENT_USER, kExtKey, ""));
  // The default list holds none of the planted types; the user's list will.
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kExtKey, ".SNTA"));
  // The user's own list with a long first extension survives the next start.
  SetList("LONGEXTENSION;SNTA;");
  InitializeSettings();
  EXPECT_EQ("LONGEXTENSION;SNTA;", List());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kExtKey, ".SNTA"));
  // An earlier edition's marker (11 characters): the baselines are rewritten.
  RawSetText(HKEY_CURRENT_USER, kExtKey, "", "Do not edit");
  InitializeSettings();
  EXPECT_EQ("SentrelTest.A", RawText(HKEY_CURRENT_USER, kExtKey, ".SNTA"));
  EXPECT_EQ(kBaselineMarker, RawText(HKEY_CURRENT_USER, kExtKey, ""));
  // Its programs that exist have a first-seen date.
  EXPECT_NE("<missing>", RawText(HKEY_CURRENT_USER, "Software\\Orvane Works\\Detected\\FileTypes",
                                 (Fixture("opsys.dll") + " %1").c_str()));
}

// ---- The File Types page ------------------------------------------------------

class FileTypesPage : public FileTypes {
 protected:
  void SetUp() override {
    FileTypes::SetUp();
    StartExplorerInProcess();
  }
  void TearDown() override {
    EndExplorerInProcess();
    FileTypes::TearDown();
  }
  static void WithPage(const std::function<void(HWND page)>& steps) {
    WithSheet(IDC_CMD_SHOW_FILE_TYPES, [&](HWND, HWND page) { steps(page); });
  }
};

TEST_F(FileTypesPage, RowsShowCommandClassExtensionAndType) {
  PlantThreeSources();
  RawSetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.sntc", "", "SentrelTest.Bare");
  SetCommand(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentrelTest.Bare", "\"%1\" %*");
  SetList("SNTA;SNTC;");
  std::vector<std::vector<std::string>> rows;
  WithPage([&](HWND page) {
    for (int row = 0; row < RowCount(page); ++row) rows.push_back(RowTexts(page, row));
  });
  ASSERT_EQ(4u, rows.size());
  const std::vector<std::string> first = {"Viewer Test Document", "viewer.exe", "",
                                          "SentrelTest.A",        ".SNTA",      LoadText(IDS_FILE_TYPE_SYSTEM)};
  EXPECT_EQ(first, rows[0]);
  EXPECT_EQ("Microsoft Corporation", rows[1][2]);
  EXPECT_EQ(LoadText(IDS_FILE_TYPE_EXPLORER), rows[1][5]);
  EXPECT_EQ("bview.exe", rows[2][1]);
  EXPECT_EQ(LoadText(IDS_EXECUTABLE), rows[3][1]);
}

TEST_F(FileTypesPage, AddDialogKeepsOpenOnAMessageAndRemoveTakesTheSelectedRow) {
  PlantThreeSources();
  SetList("SNTA;");
  int rowsAfterAdd = 0, rowsAfterRemove = 0;
  std::string message;
  WithPage([&](HWND page) {
    PostMessageA(page, WM_COMMAND, IDC_PAGE_ADD, 0);
    HWND dialog = nullptr;
    for (int i = 0; i < 250 && !dialog; ++i) {
      dialog = FindWindowA(nullptr, LoadText(IDS_ADD_FILE_TYPE_EXTENSION).c_str());
      if (!dialog) Sleep(20);
    }
    ASSERT_NE(nullptr, dialog);
    SetDlgItemTextA(dialog, IDC_ADD_FILE_TYPE_EDIT, ".snta");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    message = Answer({GetParent(page), dialog}, IDOK);  // 762: already monitored
    Sleep(200);
    EXPECT_TRUE(IsWindow(dialog));
    SetDlgItemTextA(dialog, IDC_ADD_FILE_TYPE_EDIT, "sntb");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 250 && IsWindow(dialog); ++i) Sleep(20);
    rowsAfterAdd = RowCount(page);
    ListView_SetItemState(GetDlgItem(page, IDC_PAGE_LIST), 0, LVIS_SELECTED, LVIS_SELECTED);
    SendMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    rowsAfterRemove = RowCount(page);
  });
  EXPECT_NE(std::string::npos, message.find("already being monitored")) << message;
  EXPECT_EQ(4, rowsAfterAdd);  // three for .SNTA, one for .sntb
  EXPECT_EQ(1, rowsAfterRemove);
  EXPECT_EQ("sntb;", List());
}

}  // namespace
