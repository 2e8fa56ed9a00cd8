// The catalogue entry list and the location texts of the type codes.
#include "catalogue.h"

#include <vector>

#include "fileid.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

std::vector<CatalogueEntry> g_entries;
size_t g_limit = kMaxCatalogueEntries;

const char* const kRunKeyNames[] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce"};

std::string Cut(const char* text, size_t width) {
  std::string result = text ? text : "";
  if (result.size() > width) result.resize(width);
  return result;
}

// Only a path with a short (8.3) component differs from its long form, and
// asking the file system costs more than everything else an entry needs.
std::string LongForm(const std::string& path) { return path.find('~') == std::string::npos ? path : LongPathOf(path); }

}  // namespace

int AddCatalogueEntry(const char* title, const char* path, const char* data, const char* description, int type,
                      int value) {
  CatalogueEntry entry;
  entry.title = title ? title : "";
  entry.path = path ? path : "";
  entry.data = data ? data : "";
  entry.description = description ? description : "";
  entry.type = type;
  entry.value = value;
  entry.command = entry.path;
  return AddCatalogueEntry(std::move(entry));
}

int AddCatalogueEntry(CatalogueEntry entry) {
  if (g_entries.size() >= g_limit) return 0;
  if (entry.type == kTypeCookie && g_entries.size() >= static_cast<size_t>(Option(kOptMaxCookie))) return 0;
  std::string cutPath = StripQuotes(Cut(entry.path.c_str(), kPathChars));
  entry.path = cutPath.size() >= 4 ? LongForm(cutPath) : cutPath;
  if (entry.name.empty() && !entry.named) entry.name = entry.title;
  entry.title = Cut(entry.title.c_str(), kTitleWidth);
  if (entry.title.empty()) {
    std::string name = FileNamePart(entry.path);
    entry.title = name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
  } else if (ContainsText(entry.title.c_str(), "Sentrel")) {
    entry.title = ProgramCaption();
  }
  if (entry.name.empty() && !entry.named) entry.name = entry.title;
  entry.listed = true;
  std::string cutData = Cut(entry.data.c_str(), kPathChars);
  entry.data = entry.path.size() >= 4 && !cutData.empty() ? LongForm(cutData) : cutData;
  entry.description = Cut(entry.description.c_str(), kDescriptionWidth);
  g_entries.push_back(std::move(entry));
  return 1;
}

void ClearCatalogueEntries() {
  g_entries.clear();
  g_entries.shrink_to_fit();
}

WholeCatalogue::WholeCatalogue() : previous_(g_limit) { g_limit = static_cast<size_t>(-1); }
WholeCatalogue::~WholeCatalogue() { g_limit = previous_; }

int CatalogueCount() { return static_cast<int>(g_entries.size()); }

const CatalogueEntry& CatalogueAt(int index) { return g_entries.at(static_cast<size_t>(index)); }

std::string LocationText(int type, bool disabled) {
  std::string text;
  if (disabled) text = " * " + LoadText(IDS_DISABLED) + " * ";
  const char* version = "Software\\Microsoft\\Windows\\CurrentVersion\\";
  if (type >= 1 && type <= 5) return text + "HKLM\\" + version + kRunKeyNames[type - 1];
  if (type >= 11 && type <= 15) return text + "HKCU\\" + version + kRunKeyNames[type - 11];
  if (type >= 21 && type <= 25)
    return text + "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\" + kRunKeyNames[type - 21];
  switch (type) {
    case 100:
      return text + "WIN.INI     [Load] Section";
    case 101:
      return text + "WIN.INI     [Run] Section";
    case 200:
      return text + "Windows Startup Group";
    case 250:
      return text + "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Userinit";
    case 251:
      return text + "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Shell";
    case 252:
      return text + "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
    case 253:
      return text + "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
    case 254:
      return text + "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
    case 255:
      return text + "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs";
    case 256:
      return text + "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify";
    case 800:
      return LoadText(726);
    case 900:
      return LoadText(725);
    case 901:
      return LoadText(724);
    default:
      return text;  // 6, 7, 16, 17, 26, 27: the marker only; above 256: nothing
  }
}

UINT StartExplanationId(int type) {
  switch (type) {
    case 2:
    case 3:
    case 5:
    case 6:
    case 12:
    case 13:
    case 15:
    case 16:
    case 22:
    case 23:
    case 25:
    case 26:
      return IDS_START_EXPLAIN_RUNONCE;
    case 100:
    case 101:
      return IDS_START_EXPLAIN_WININI;
    case 200:
      return IDS_START_EXPLAIN_SHORTCUT;
    default:
      return IDS_START_EXPLAIN_RUN;
  }
}

}  // namespace sentrel
