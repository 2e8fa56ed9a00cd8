// The spreadsheet: everything that starts automatically, one comma-separated
// line per item, grouped by where it starts from.
#include <windows.h>

#include <string>
#include <vector>

#include "activex.h"
#include "catalogue.h"
#include "delayed_start.h"
#include "explorer.h"
#include "fileid.h"
#include "ie_helpers.h"
#include "processes.h"
#include "report_common.h"
#include "services.h"
#include "settings.h"
#include "startup.h"
#include "tasks.h"

namespace sentrel {
namespace {

constexpr const char* kRunNames[] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "RunOnceSetup"};
constexpr const char* kUserHiveRunNames[] = {"Run",         "RunOnce",        "RunOnceEx",
                                             "RunServices", "RunServiceOnce", "RunOnceSetup"};

void StartupKind(int type, std::string& kind, std::string& subtype) {
  if (type >= 1 && type <= 6) {
    kind = "HKLM";
    subtype = kRunNames[type - 1];
  } else if (type >= 11 && type <= 16) {
    kind = "HKCU";
    subtype = kRunNames[type - 11];
  } else if (type >= 21 && type <= 26) {
    kind = "HKU";
    subtype = kUserHiveRunNames[type - 21];
  } else {
    kind = "UnknownKey";
    subtype = "Run";
  }
}

void WriteItem(ReportFile& out, const std::string& kind, const std::string& subtype, int index, VersionCache& cache) {
  const CatalogueEntry& item = CatalogueAt(index);
  const EntryFacts facts = FactsOfEntry(index, cache);
  out.Printf("%s,%s,%s, %s,%s,%s,%s,%s,%s%s", SpreadsheetField(kind, false).c_str(),
             SpreadsheetField(subtype, false).c_str(), SpreadsheetField(item.title, false).c_str(),
             SpreadsheetField(Cut(facts.name, 260), true).c_str(),
             SpreadsheetField(Cut(facts.company, 128), true).c_str(), SpreadsheetField(facts.firstSeen, false).c_str(),
             SpreadsheetField(item.path, false).c_str(), SpreadsheetField(Cut(facts.description, 1024), true).c_str(),
             SpreadsheetField(Cut(facts.version, 128), true).c_str(), "\r\n");
}

void WriteGroup(ReportFile& out, int (*enumerate)(), const char* kind, const char* subtype, VersionCache& cache) {
  const int count = enumerate();
  for (int i = 0; i < count; ++i) WriteItem(out, kind, subtype, i, cache);
}

int ListedActiveX() { return EnumerateActiveX(false); }

}  // namespace

int WriteSpreadsheet() {
  WaitCursor wait;
  const std::string path = SpreadsheetPath();
  if (path.empty()) return 0;
  {
    ReportFile out(path);
    if (!out) return 0;
    std::string time, date;
    NowStamp(time, date);
    out.Printf("Log created by %s version %s%s", Explorer().caption.c_str(), kVersionText, "\r\n");
    out.Printf("Scan saved at %s, on %s%s", time.c_str(), date.c_str(), "\r\n");
    out.Printf("%s,%s,%s,%s,%s,%s,%s,%s, %s%s", "Type", "SubType", "Title", "Filename", "Company", "First Detected",
               "Path", "Description", "Version", "\r\n");
    VersionCache cache;
    const int startup = EnumerateStartupEntries(0);
    std::string kind, subtype;
    for (int i = 0; i < startup; ++i) {
      if (CatalogueAt(i).type == kTypeStartupFolder) continue;
      StartupKind(CatalogueAt(i).type, kind, subtype);
      WriteItem(out, kind, subtype, i, cache);
    }
    for (int i = 0; i < startup; ++i)
      if (CatalogueAt(i).type == kTypeStartupFolder) WriteItem(out, "Startup", "Folder", i, cache);
    WriteGroup(out, ListDelayedEntries, "Delayed Start", "", cache);
    WriteGroup(out, ListActiveTasks, "Active Tasks", "", cache);
    WriteGroup(out, ListHelperObjects, "IE Helpers", "BHO", cache);
    const int controls = ListedActiveX();
    for (int i = 0; i < controls; ++i)
      if (!(static_cast<DWORD>(CatalogueAt(i).value) & 0x400)) WriteItem(out, "ActiveX", "", i, cache);
    WriteGroup(out, ListToolbars, "IE Helpers", "Toolbar", cache);
    const int services = EnumerateServices(ServiceListing::Full);
    std::vector<std::string> names;
    for (int i = 0; i < services; ++i) names.push_back(CatalogueAt(i).name);
    const std::vector<int> states = QueryServiceStates(names);
    for (int i = 0; i < services; ++i) WriteItem(out, "Services", StateText(states[i]), i, cache);
    WriteGroup(out, EnumerateTasks, "Scheduled Tasks", "", cache);
    ClearCatalogueEntries();
  }
  OpenReport(path);
  return 1;
}

}  // namespace sentrel
