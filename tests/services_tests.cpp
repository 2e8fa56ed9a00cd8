// The services area against real services made through the Service Control
// Manager (and bare registry keys for what the manager would never write):
// the listing in both modes, the baseline, states, stop and start types.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "registry.h"
#include "resource.h"
#include "service_support.h"
#include "services.h"
#include "settings.h"
#include "strings.h"
#include "test_support.h"

using namespace sentrel;
using namespace sentrel_test;

namespace {

const char* const kOptions = "Software\\Orvane Works\\Sentrel\\Options";

class Services : public testing::Test {
 protected:
  void SetUp() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    Process() = ProcessState{};
    InitLanguageId();
    DeleteFileA(HistoryFile().c_str());
  }
  void TearDown() override {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Works");
    DeleteFileA(HistoryFile().c_str());
    ClearCatalogueEntries();
  }
  static void ShowMicrosoft(bool show) {
    RawSetText(HKEY_CURRENT_USER, kOptions, "HideMicrosoftServices", show ? "0" : "1");
  }
  // Every listed entry of that title (two services may share one).
  static std::vector<CatalogueEntry> Listed(const std::string& title) {
    std::vector<CatalogueEntry> found;
    for (int i = 0; i < CatalogueCount(); ++i)
      if (CatalogueAt(i).title == title) found.push_back(CatalogueAt(i));
    return found;
  }
  static std::string Fixture(const char* file) { return TestFolder() + "\\fixtures\\" + file; }
  static std::string History() { return ReadWholeFile(HistoryFile()); }
};

std::string Expanded(const char* text) {
  char expanded[MAX_PATH];
  ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
  return expanded;
}

TEST_F(Services, ProgramsAndHostedServicesAreListedDriversOnlyByName) {
  ShowMicrosoft(true);
  const std::string library = Fixture("multi.dll");
  struct Case {
    const char* name;
    const char* display;
    std::string command;
    DWORD type, start;
    const char* serviceDll;  // null: none
    bool listed;             // in the full listing
    int code;
    std::string path;
    UINT startText;  // 0: the text "0"
  } cases[] = {
      {"SvcTstQuoted", "Svc Test Quoted", "\"C:\\Program Files\\Sentrel Test\\quoted svc.exe\" -run",
       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, nullptr, true, 700,
       "C:\\Program Files\\Sentrel Test\\quoted svc.exe -run", IDS_AUTOMATIC},
      {"SvcTstExpand", "Svc Test Expandable", "%SystemRoot%\\system32\\sentrel_expand.exe", SERVICE_WIN32_OWN_PROCESS,
       SERVICE_DEMAND_START, nullptr, true, 700, Expanded("%SystemRoot%\\system32\\sentrel_expand.exe"), IDS_MANUAL},
      {"SvcTstArgs", "Svc Test Arguments", "C:\\svc\\args.exe /service -x", SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED,
       nullptr, true, 700, "C:\\svc\\args.exe /service -x", IDS_START_TYPE_DISABLED},
      {"SvcTstHosted", "Svc Test Hosted", "C:\\windows\\system32\\svchost.exe -k sentreltest",
       SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, nullptr, true, 701, "", IDS_MANUAL},
      {"SvcTstBare", "Svc Test Bare Host", "C:\\windows\\system32\\svchost.exe -k sentrelbare",
       SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, "", true, 701,
       "C:\\windows\\system32\\svchost.exe -k sentrelbare", IDS_MANUAL},
      {"SvcTstDriver", "Svc Test Driver", "C:\\windows\\system32\\drivers\\sentreltst.sys", SERVICE_KERNEL_DRIVER,
       SERVICE_DEMAND_START, nullptr, false, 0, "", 0},
      {"SvcTstSystem", "Svc Test System Start", "C:\\svc\\early.exe", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
       nullptr, true, 700, "C:\\svc\\early.exe", 0},
  };
  cases[3].serviceDll = library.c_str();  // set here: the fixture folder is known at run time
  cases[3].path = library;
  std::vector<std::unique_ptr<ScratchService>> made;
  for (const Case& c : cases) {
    made.push_back(std::make_unique<ScratchService>(c.name, c.display, c.command, c.type, c.start));
    ASSERT_TRUE(made.back()->created()) << c.name << " " << GetLastError();
    const std::string key = ServiceKeyPath(c.name);
    if (c.command.find('%') != std::string::npos)  // as installers write it
      RawSet(HKEY_LOCAL_MACHINE, key.c_str(), "ImagePath", REG_EXPAND_SZ, c.command.c_str(),
             static_cast<DWORD>(c.command.size() + 1));
    if (c.serviceDll)
      RawSet(HKEY_LOCAL_MACHINE, (key + "\\Parameters").c_str(), "ServiceDll", REG_EXPAND_SZ, c.serviceDll,
             static_cast<DWORD>(strlen(c.serviceDll) + 1));
  }
  DWORD systemStart = SERVICE_SYSTEM_START;  // no program service starts so, but the registry may say it
  RawSet(HKEY_LOCAL_MACHINE, ServiceKeyPath("SvcTstSystem").c_str(), "Start", REG_DWORD, &systemStart,
         sizeof systemStart);

  EnumerateServices(ServiceListing::Full);
  for (const Case& c : cases) {
    const std::vector<CatalogueEntry> found = Listed(c.display);
    if (!c.listed) {
      EXPECT_TRUE(found.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(1u, found.size()) << c.name;
    EXPECT_EQ(c.code, found[0].type) << c.name;
    EXPECT_EQ(0, lstrcmpiA(c.path.c_str(), found[0].path.c_str())) << c.name << ": " << found[0].path;
    EXPECT_EQ(c.startText ? LoadText(c.startText) : std::string("0"), found[0].data) << c.name;
  }
  // Names only: every service with a command, drivers too, by key name.
  EnumerateServices(ServiceListing::NamesOnly);
  for (const Case& c : cases) {
    const std::vector<CatalogueEntry> found = Listed(c.name);
    ASSERT_EQ(1u, found.size()) << c.name;
    EXPECT_EQ("", found[0].path);
    EXPECT_EQ(700, found[0].type);
  }
  EXPECT_TRUE(Listed("Svc Test Quoted").empty());
}

TEST_F(Services, ServicesMadeByMicrosoftAreListedOnlyWhenAskedFor) {
  // A program and a hosted library whose company is Microsoft, and one that is not.
  const std::string microsoftExe = Fixture("mssvc.exe");
  ASSERT_TRUE(CopyFileA(Fixture("opsys.dll").c_str(), microsoftExe.c_str(), FALSE));
  ScratchService program("SvcTstMsExe", "Svc Test Microsoft Program", "\"" + microsoftExe + "\" -service");
  ScratchService hosted("SvcTstMsDll", "Svc Test Microsoft Library", "C:\\windows\\system32\\svchost.exe -k sentrelms",
                        SERVICE_WIN32_SHARE_PROCESS);
  ScratchService other("SvcTstOther", "Svc Test Other Library", "C:\\windows\\system32\\svchost.exe -k sentrelother",
                       SERVICE_WIN32_SHARE_PROCESS);
  ASSERT_TRUE(program.created() && hosted.created() && other.created());
  RawSetText(HKEY_LOCAL_MACHINE, (ServiceKeyPath("SvcTstMsDll") + "\\Parameters").c_str(), "ServiceDll",
             Fixture("opsys.dll"));
  RawSetText(HKEY_LOCAL_MACHINE, (ServiceKeyPath("SvcTstOther") + "\\Parameters").c_str(), "ServiceDll",
             Fixture("multi.dll"));

  // The default (no value) hides them, from the baseline too.
  EnumerateServices(ServiceListing::Full);
  EXPECT_TRUE(Listed("Svc Test Microsoft Program").empty());
  EXPECT_TRUE(Listed("Svc Test Microsoft Library").empty());
  EXPECT_EQ(1u, Listed("Svc Test Other Library").size());
  ASSERT_EQ(1, CreateServicesBaseline());
  EXPECT_EQ("<missing>", RawText(HKEY_CURRENT_USER, kServicesBaselineKey, "Svc Test Microsoft Program"));
  EXPECT_EQ("701", RawText(HKEY_CURRENT_USER, kServicesBaselineKey, "Svc Test Other Library"));

  ShowMicrosoft(true);
  EnumerateServices(ServiceListing::Full);
  EXPECT_EQ(1u, Listed("Svc Test Microsoft Program").size());
  EXPECT_EQ(1u, Listed("Svc Test Microsoft Library").size());
  DeleteFileA(microsoftExe.c_str());
}

TEST_F(Services, TwoServicesOfOneDisplayNameShareOneBaselineValue) {
  ShowMicrosoft(true);
  ScratchService first("SvcTstShareA", "Svc Shared Display", "C:\\svc\\first.exe");
  ASSERT_TRUE(first.created());
  ASSERT_EQ(1, CreateServicesBaseline());
  EXPECT_EQ("700", RawText(HKEY_CURRENT_USER, kServicesBaselineKey, "Svc Shared Display"));

  // The second, installed later, is titled the same: the baseline knows it.
  RawServiceKey second("SvcTstShareB");
  second.Text("ImagePath", "C:\\svc\\second.exe");
  second.Text("DisplayName", "Svc Shared Display");
  EnumerateServices(ServiceListing::Full);
  const std::vector<CatalogueEntry> both = Listed("Svc Shared Display");
  ASSERT_EQ(2u, both.size());
  RegKey baseline;
  ASSERT_EQ(ERROR_SUCCESS, baseline.Open(HKEY_CURRENT_USER, kServicesBaselineKey, KEY_READ));
  for (const CatalogueEntry& entry : both) EXPECT_TRUE(IsServiceKnown(baseline.get(), entry.title)) << entry.path;
  EXPECT_NE(both[0].path, both[1].path);
}

TEST_F(Services, BaselineIsKeptRebuiltOrCompletedByItsMarker) {
  ShowMicrosoft(true);
  ScratchService current("SvcTstCurrent", "Svc Test Current", "C:\\svc\\current.exe");
  ASSERT_TRUE(current.created());
  struct Case {
    const char* marker;  // null: no default value
    bool staleKept, currentAdded;
  } cases[] = {
      {"P", true, false}, {"Plain", true, false}, {"X", false, true}, {"", false, true}, {nullptr, true, true}};
  for (const Case& c : cases) {
    const std::string label = c.marker ? c.marker : "<none>";
    RawDeleteTree(HKEY_CURRENT_USER, kServicesBaselineKey);
    RawSetText(HKEY_CURRENT_USER, kServicesBaselineKey, "Svc Long Gone", "700");
    if (c.marker) RawSetText(HKEY_CURRENT_USER, kServicesBaselineKey, "", c.marker);
    EXPECT_EQ(1, CreateServicesBaseline()) << label;
    EXPECT_EQ(c.staleKept ? "700" : "<missing>", RawText(HKEY_CURRENT_USER, kServicesBaselineKey, "Svc Long Gone"))
        << label;
    EXPECT_EQ(c.currentAdded ? "700" : "<missing>",
              RawText(HKEY_CURRENT_USER, kServicesBaselineKey, "Svc Test Current"))
        << label;
    EXPECT_EQ('P', RawText(HKEY_CURRENT_USER, kServicesBaselineKey, "")[0]) << label;
  }
}

TEST_F(Services, HostileKeysAreListedOrSkippedNeverMisnamed) {
  ShowMicrosoft(true);
  const std::string longCommand = "C:\\" + std::string(600, 'a') + "\\long.exe";
  RawServiceKey longPath("SvcTstLongPath");
  longPath.Text("ImagePath", longCommand);
  longPath.Text("DisplayName", "Svc Test Long Path");
  RawServiceKey longDescription("SvcTstLongDesc");
  longDescription.Text("ImagePath", "C:\\svc\\described.exe");
  longDescription.Text("DisplayName", "Svc Test Long Description");
  longDescription.Text("Description", std::string(5000, 'd'));
  RawServiceKey binary("SvcTstBinary");
  binary.Text("ImagePath", "C:\\svc\\binary.exe", REG_BINARY);
  binary.Text("DisplayName", "Svc Test Binary");
  RawServiceKey empty("SvcTstEmpty");
  empty.Text("ImagePath", "");
  empty.Text("DisplayName", "Svc Test Empty");
  RawServiceKey unnamed("SvcTstUnnamed");  // no display name anywhere
  unnamed.Text("ImagePath", "C:\\svc\\unnamed.exe");
  // A key name the ANSI code page cannot hold.
  const std::wstring wideName = L"SvcTst\x0416\x4E2D";
  const std::wstring widePath = L"SYSTEM\\CurrentControlSet\\Services\\" + wideName;
  HKEY wide = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, widePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &wide, nullptr));
  const std::string wideCommand = "C:\\svc\\wide.exe", wideDisplay = "Svc Test Wide Key";
  RegSetValueExA(wide, "ImagePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(wideCommand.c_str()),
                 static_cast<DWORD>(wideCommand.size() + 1));
  RegSetValueExA(wide, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(wideDisplay.c_str()),
                 static_cast<DWORD>(wideDisplay.size() + 1));

  // A name whose ANSI form is a best fit: that form names another key.
  const std::wstring bestFitPath = L"SYSTEM\\CurrentControlSet\\Services\\SvcTstBest\x0141";
  HKEY bestFit = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, bestFitPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &bestFit, nullptr));
  RegSetValueExW(bestFit, L"ImagePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\svc\\bestfit.exe"),
                 sizeof L"C:\\svc\\bestfit.exe");
  RegSetValueExW(bestFit, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Svc Test Best Fit"),
                 sizeof L"Svc Test Best Fit");
  RegCloseKey(bestFit);
  RawServiceKey plain("SvcTstBestL");
  plain.Text("ImagePath", "C:\\svc\\plain.exe");
  plain.Text("DisplayName", "Svc Test Plain L");

  EnumerateServices(ServiceListing::Full);
  ASSERT_EQ(1u, Listed("Svc Test Best Fit").size());
  EXPECT_EQ("C:\\svc\\bestfit.exe", Listed("Svc Test Best Fit")[0].path);
  EXPECT_EQ(1u, Listed("Svc Test Plain L").size());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, bestFitPath.c_str());
  // A long command still runs a program: it is listed, its path cut to the field.
  ASSERT_EQ(1u, Listed("Svc Test Long Path").size());
  EXPECT_EQ(longCommand.substr(0, kPathChars), Listed("Svc Test Long Path")[0].path);
  ASSERT_EQ(1u, Listed("Svc Test Long Description").size());
  EXPECT_EQ(std::string(kDescriptionWidth, 'd'), Listed("Svc Test Long Description")[0].description);
  EXPECT_TRUE(Listed("Svc Test Binary").empty());
  EXPECT_TRUE(Listed("Svc Test Empty").empty());
  EXPECT_EQ(1u, Listed("SvcTstUnnamed").size());  // titled by its key name, never ""
  ASSERT_EQ(1u, Listed(wideDisplay).size());
  EXPECT_EQ(wideCommand, Listed(wideDisplay)[0].path);

  // The baseline's marker is never taken for a service.
  ASSERT_EQ(1, CreateServicesBaseline());
  EXPECT_EQ("P", RawText(HKEY_CURRENT_USER, kServicesBaselineKey, ""));
  EXPECT_EQ("700", RawText(HKEY_CURRENT_USER, kServicesBaselineKey, "SvcTstUnnamed"));
  EXPECT_EQ("700", RawText(HKEY_CURRENT_USER, kServicesBaselineKey, wideDisplay.c_str()));

  EnumerateServices(ServiceListing::NamesOnly);
  EXPECT_EQ(1u, Listed("SvcTstLongPath").size());
  EXPECT_TRUE(Listed("SvcTstBinary").empty());
  int wideListed = 0;
  for (int i = 0; i < CatalogueCount(); ++i)
    if (CatalogueAt(i).title.rfind("SvcTst?", 0) == 0) ++wideListed;
  EXPECT_EQ(1, wideListed);

  // The key of that name is the one changed.
  EXPECT_EQ(1, SetServiceStartType(wideDisplay.c_str(), SERVICE_DISABLED));
  DWORD start = 0, size = sizeof start;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(wide, L"Start", nullptr, nullptr, reinterpret_cast<BYTE*>(&start), &size));
  EXPECT_EQ(4u, start);
  RegCloseKey(wide);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, widePath.c_str());
}

TEST_F(Services, ActionsThatDidNotHappenAreNotRecorded) {
  // Known only to the registry: it cannot be stopped, but its start type can change.
  RawServiceKey unknown("SvcTstRegOnly");
  unknown.Text("ImagePath", "C:\\svc\\regonly.exe");
  unknown.Text("DisplayName", "Svc Test Registry Only");
  unknown.Dword("Start", SERVICE_AUTO_START);
  RefuseService("Svc Test Registry Only", "C:\\svc\\regonly.exe", 700);
  EXPECT_EQ(4u, RawDword(HKEY_LOCAL_MACHINE, unknown.path().c_str(), "Start"));
  std::string history = History();
  EXPECT_NE(std::string::npos, history.find("\tSERVICE_Disabled\tSERVICE_EXE\tSvc Test Registry Only\t")) << history;
  EXPECT_EQ(std::string::npos, history.find("SERVICE_Stop")) << history;
  EXPECT_EQ(0, StopServiceRecorded("Svc Test Registry Only", "C:\\svc\\regonly.exe", 700));

  // No service of that name: nothing done, nothing written.
  DeleteFileA(HistoryFile().c_str());
  RefuseService("Svc Test Nowhere", "C:\\svc\\nowhere.exe", 700);
  EXPECT_EQ(0, ApplyServiceStartType("Svc Test Nowhere", "C:\\svc\\nowhere.exe", 700, 1));
  EXPECT_EQ(0, SetServiceStartType("Svc Test Nowhere", SERVICE_DEMAND_START));
  EXPECT_EQ(0, SetServiceStartType("Svc Test Registry Only", 7));  // not a start type
  EXPECT_EQ("", History());
}

TEST_F(Services, RunningServiceShowsItsStateAndStopsWhenItAccepts) {
  const std::string program = "\"" + TestFolder() + "\\test_service.exe\"";
  ScratchService service("SvcTstRunning", "Svc Test Running", program);
  ASSERT_TRUE(service.created());
  ASSERT_TRUE(service.Start());
  const char* title = "Svc Test Running";
  std::string text;
  EXPECT_EQ(SERVICE_RUNNING, ServiceStateText(title, text));
  EXPECT_EQ(LoadText(IDS_RUNNING), text);
  DWORD type = 0;
  EXPECT_EQ(SERVICE_RUNNING, QueryServiceState(title, &type));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), type & SERVICE_WIN32_OWN_PROCESS);
  EXPECT_NE(0u, QueryControlsAccepted(title) & SERVICE_ACCEPT_STOP);

  // A start type chosen while it runs: the running event, then the new type.
  EXPECT_EQ(1, ApplyServiceStartType(title, program, 700, 1));
  EXPECT_EQ(3u, RawDword(HKEY_LOCAL_MACHINE, ServiceKeyPath("SvcTstRunning").c_str(), "Start"));
  std::string history = History();
  const size_t running = history.find("\tSERVICE__from_Disabled\tSERVICE_EXE\tSvc Test Running\t");
  const size_t manual = history.find("\tSERVICE_Manual\tSERVICE_EXE\tSvc Test Running\t");
  EXPECT_NE(std::string::npos, running) << history;
  EXPECT_NE(std::string::npos, manual) << history;
  EXPECT_LT(running, manual);

  EXPECT_EQ(1, StopServiceRecorded(title, program, 700));
  for (int i = 0; i < 100 && service.State() != SERVICE_STOPPED; ++i) Sleep(50);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
  EXPECT_NE(std::string::npos, History().find("\tSERVICE_Stop\tSERVICE_EXE\tSvc Test Running\t"));
  // Stopped, it can no longer be interrogated: state 0, shown as stopped.
  EXPECT_EQ(0, ServiceStateText(title, text));
  EXPECT_EQ(LoadText(IDS_STOPPED), text);
  EXPECT_EQ(0u, QueryControlsAccepted(title));
}

TEST_F(Services, RefusedServiceThatWillNotStopIsOnlyDisabled) {
  // Like every service Wine brings: it runs and accepts no stop.
  const std::string program = "\"" + TestFolder() + "\\test_service.exe\"";
  ScratchService service("SvcTstStubborn", "Svc Test Stubborn", program, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START);
  ASSERT_TRUE(service.created());
  ASSERT_TRUE(service.Start("nostop"));
  const char* title = "Svc Test Stubborn";
  EXPECT_EQ(0u, QueryControlsAccepted(title));
  EXPECT_EQ(0, StopServiceRecorded(title, program, 700));
  EXPECT_EQ("", History());

  RefuseService(title, program, 700);
  EXPECT_EQ(4u, RawDword(HKEY_LOCAL_MACHINE, ServiceKeyPath("SvcTstStubborn").c_str(), "Start"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service.State());
  const std::string history = History();
  const size_t running = history.find("\tSERVICE__from_Disabled\tSERVICE_EXE\tSvc Test Stubborn\t");
  const size_t disabled = history.find("\tSERVICE_Disabled\tSERVICE_EXE\tSvc Test Stubborn\t");
  EXPECT_NE(std::string::npos, running) << history;
  EXPECT_NE(std::string::npos, disabled) << history;
  EXPECT_LT(running, disabled);
  EXPECT_EQ(std::string::npos, history.find("SERVICE_Stop")) << history;
}

TEST_F(Services, DescriptionIsFoundByTheProgramFile) {
  ScratchService hosted("SvcTstDescribed", "Svc Test Described", "C:\\windows\\system32\\svchost.exe -k sentreldesc",
                        SERVICE_WIN32_SHARE_PROCESS);
  ASSERT_TRUE(hosted.created());
  const std::string key = ServiceKeyPath("SvcTstDescribed");
  RawSetText(HKEY_LOCAL_MACHINE, (key + "\\Parameters").c_str(), "ServiceDll", Fixture("bigblock.dll"));
  RawSetText(HKEY_LOCAL_MACHINE, key.c_str(), "Description", "Keeps the test company's things");
  std::string description;
  EXPECT_EQ(31, FindServiceDescriptionByFile(NormalizeFilePath(Fixture("bigblock.dll").c_str()).c_str(), description));
  EXPECT_EQ("Keeps the test company's things", description);
  EXPECT_EQ(0, FindServiceDescriptionByFile("C:\\NOWHERE\\NONE.EXE", description));
  EXPECT_EQ("", description);
}

TEST_F(Services, SignatureChangesWithWhatTheFullListingWouldSee) {
  const std::string before = ServicesSignature();
  EXPECT_EQ(before, ServicesSignature());
  {
    ScratchService added("SvcTstSignature", "Svc Test Signature", "C:\\svc\\signature.exe");
    ASSERT_TRUE(added.created());
    const std::string with = ServicesSignature();
    EXPECT_NE(before, with);
    RawSetText(HKEY_LOCAL_MACHINE, ServiceKeyPath("SvcTstSignature").c_str(), "DisplayName", "Renamed");
    EXPECT_NE(with, ServicesSignature());
  }
  EXPECT_EQ(before, ServicesSignature());
  ShowMicrosoft(true);
  EXPECT_NE(before, ServicesSignature());
}

TEST(ServiceTexts, StartTypeIsReadFromItsFirstByte) {
  InitLanguageId();
  EXPECT_EQ(LoadText(IDS_AUTOMATIC), StartTypeText(0x102));
  EXPECT_EQ(LoadText(IDS_START_TYPE_DISABLED), StartTypeText(0x7704));
  EXPECT_EQ("0", StartTypeText(0x200));
}

}  // namespace
