// The Recent page: what every watched area lists, in one list sorted newest
// first, so that whatever arrived last stands at the top whichever way it
// came in.
#include "recent_page.h"

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "activex.h"
#include "explorer.h"
#include "file_types.h"
#include "fileid.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "lookup.h"
#include "processes.h"
#include "resource.h"
#include "restart_commands.h"
#include "services.h"
#include "startup.h"
#include "startup_page.h"
#include "strings.h"
#include "tasks.h"

namespace sentrel {
namespace {

enum Column { kProgram, kDescription, kCompany, kType, kFirstDetected };

std::vector<RecentEntry> g_recent;
// The sortable form of each entry's first-seen time, worked out once per
// build: the compare routine asks for it again and again.
std::vector<std::string> g_firstSeenKey;
std::map<int, std::string> g_typeText;  // by area, loaded once per fill

const RecentEntry* At(int entry) {
  return entry >= 0 && entry < static_cast<int>(g_recent.size()) ? &g_recent[static_cast<size_t>(entry)] : nullptr;
}

int Ask(HWND page, const std::string& text, UINT icon) {
  return MessageBoxExA(page, text.c_str(), ProgramCaption().c_str(), MB_YESNO | MB_TOPMOST | icon,
                       Process().languageId);
}

// ---- Building the list ---------------------------------------------------------

// What one build has already looked at: most programs are listed by several
// areas, or many times by one.
struct BuildCache {
  std::map<std::string, std::string> fileOf;  // by listed path
  std::map<std::string, bool> exists;
  std::map<std::pair<int, std::string>, std::string> firstSeen;
};

// The program a listed command runs, read as Windows reads it: the quoted
// name whole (a folder may be named "x.exe.dir"), a bare name found in the
// Windows folders; else as the other pages read a command.
std::string ProgramOfEntry(int index) {
  std::string expanded;
  ExpandEnvironment(CatalogueAt(index).path, expanded);
  const std::string target = RundllTarget(expanded);
  const std::string named = ProgramPart(target.empty() ? expanded : target);
  if (named.find('\\') != std::string::npos) {
    // One look at the disk for the usual full path.
    if (GetFileAttributesA(NativeFilePath(named).c_str()) != INVALID_FILE_ATTRIBUTES) return named;
    return EntryFile(index);
  }
  const std::string program = ProgramFileOf(named.c_str());
  return program.empty() ? EntryFile(index) : program;
}

// Appends the listed item at index of the catalogue when its file exists;
// false once the Recent list is full.
bool Take(int area, int index, BuildCache& cache) {
  if (g_recent.size() >= static_cast<size_t>(kMaxRecentEntries)) return false;
  const CatalogueEntry& item = CatalogueAt(index);
  // A hidden file's and a running program's path is the file itself; the
  // others are commands that name a program.
  std::string file;
  if (area == kRecentHidden) {
    file = item.command.empty() ? item.path : item.command;
  } else if (area == kRecentActive) {
    file = item.path;
  } else {
    auto resolved = cache.fileOf.find(item.path);
    if (resolved == cache.fileOf.end()) resolved = cache.fileOf.emplace(item.path, ProgramOfEntry(index)).first;
    file = resolved->second;
  }
  if (file.empty()) return true;
  auto known = cache.exists.find(file);
  if (known == cache.exists.end())
    known =
        cache.exists.emplace(file, GetFileAttributesA(NativeFilePath(file).c_str()) != INVALID_FILE_ATTRIBUTES).first;
  if (!known->second) return true;
  auto seen = cache.firstSeen.find({area, file});
  if (seen == cache.firstSeen.end())
    seen = cache.firstSeen.emplace(std::make_pair(area, file), FirstSeenText(file.c_str(), area)).first;
  RecentEntry entry;
  entry.area = area;
  entry.file = std::move(file);
  entry.firstSeen = seen->second;
  entry.item = item;
  g_recent.push_back(std::move(entry));
  return true;
}

// Takes every item the area's enumeration listed; false once the list is full.
bool TakeAll(int area, BuildCache& cache) {
  for (int i = 0; i < CatalogueCount(); ++i)
    if (!Take(area, i, cache)) return false;
  return true;
}

bool TakeRunningServices(BuildCache& cache) {
  const int count = EnumerateServices(ServiceListing::Full);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(CatalogueAt(i).name);
  const std::vector<int> states = QueryServiceStates(names);
  for (int i = 0; i < count && i < static_cast<int>(states.size()); ++i)
    if (states[static_cast<size_t>(i)] == SERVICE_RUNNING && !Take(kRecentService, i, cache)) return false;
  return true;
}

// ---- The page's rows ----------------------------------------------------------

int Enumerate() {
  if (g_recent.empty()) BuildRecentList();
  // The shared page machinery shows the catalogue: each Recent entry is
  // listed there under its area code, in the same order.
  ClearCatalogueEntries();
  g_typeText.clear();
  for (const RecentEntry& recent : g_recent) {
    CatalogueEntry row;
    row.title = recent.item.title;
    row.path = recent.file;
    row.data = recent.item.data;
    row.type = recent.area;
    row.value = recent.item.value;
    row.listed = true;  // never read as a disabled startup entry
    AddCatalogueEntry(std::move(row));
    if (!g_typeText.count(recent.area)) g_typeText[recent.area] = LoadText(RecentTypeTextId(recent.area));
  }
  return CatalogueCount();
}

std::string CellText(int entry, int column, const RowFacts& facts) {
  const RecentEntry* recent = At(entry);
  if (!recent) return "";
  switch (column) {
    case kProgram:
      return FileNamePart(recent->file);
    case kDescription:
      return recent->item.title;
    case kCompany:
      return facts.company;
    case kType:
      return g_typeText[recent->area];
    case kFirstDetected:
      return recent->firstSeen;
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  const RecentEntry* recent = At(entry);
  if (!recent) return "";
  switch (column) {
    case kType:
      return std::to_string(recent->area);
    case kFirstDetected:
      return g_firstSeenKey[static_cast<size_t>(entry)];
    default:
      return CellText(entry, column, facts);
  }
}

// ---- Actions ----------------------------------------------------------------------

void SelectionChanged(HWND page);

// The list goes and comes back from every area; the button follows the
// selection the new rows have, not the old list's.
void Rebuild(HWND page) {
  ClearRecentList();
  FillListPage(page);
  SelectionChanged(page);
}

// Ends the process of every selected running program, as the Active Tasks
// page does, except the Windows processes the session stands on and this
// program itself.
void KillSelected(HWND page) {
  const std::vector<int> rows = SelectedEntries(page);
  if (rows.empty()) {
    ShowNoSelection(page);
    return;
  }
  std::vector<CatalogueEntry> tasks;
  for (int row : rows) {
    const RecentEntry* recent = At(row);
    if (!recent || recent->area != kRecentActive || recent->item.value <= 0) continue;
    if (static_cast<DWORD>(recent->item.value) == GetCurrentProcessId() || IsVitalWindowsProgram(recent->file.c_str()))
      continue;
    tasks.push_back(recent->item);
  }
  // The ending works on the running programs' own listing: the chosen ones
  // are listed alone for it, and the rebuild lists everything again.
  ClearCatalogueEntries();
  std::vector<int> listed;
  for (CatalogueEntry& task : tasks) {
    listed.push_back(static_cast<int>(listed.size()));
    AddCatalogueEntry(std::move(task));
  }
  if (!listed.empty()) KillTasks(listed.data(), static_cast<int>(listed.size()));
  Rebuild(page);
}

// The area's action on one entry; false when nothing was done (a question
// answered No, or an area without action).
bool Act(HWND page, const RecentEntry& recent) {
  const CatalogueEntry& item = recent.item;
  switch (recent.area) {
    case kRecentStartup:
      RemoveStartupItem(page, item, recent.file, false);
      return true;
    case kRecentIEHelper:
      if (Ask(page, FillText(LoadText(IDS_CONFIRM_REMOVE_IE_HELPER), {item.title}), MB_ICONEXCLAMATION) != IDYES)
        return false;
      // The removal goes by the helpers' own listing: every registration of
      // the file goes.
      EnumerateIEHelpers();
      RemoveIEHelper(item.path.c_str(), -1);
      return true;
    case kRecentTask:
      if (Ask(page, FillText(LoadText(IDS_CONFIRM_REMOVE_TASK), {item.title}), MB_ICONEXCLAMATION) != IDYES)
        return false;
      DeleteTask(item);
      ForgetTask(item);
      return true;
    case kRecentService:
      StopServiceRecorded(item.name.empty() ? item.title : item.name, item.path, item.type);
      return true;
    case kRecentHidden:
      if (Ask(page, LoadText(IDS_CONFIRM_DELETE_HIDDEN), MB_ICONSTOP) != IDYES) return false;
      // Kept in the vault before it goes, so the history can bring it back.
      DeleteHiddenFile(page, item.title.c_str(), recent.file.c_str());
      return true;
    default:
      return false;
  }
}

// The selected entry, or null after message 57.
const RecentEntry* Selected(HWND page) {
  const RecentEntry* recent = At(FirstSelectedEntry(page));
  if (!recent) ShowNoSelection(page);
  return recent;
}

void OnAction(HWND page) {
  const RecentEntry* selected = Selected(page);
  if (!selected) return;
  if (selected->area == kRecentActive) {
    KillSelected(page);
    return;
  }
  const RecentEntry recent = *selected;  // a copy: the rebuild replaces the list
  if (Act(page, recent)) Rebuild(page);
}

bool Command(HWND page, int id) {
  switch (id) {
    case IDC_RECENT_ACTION:
    case IDC_PAGE_REMOVE:
    case IDM_RECENT_DELETE_HIDDEN:
      OnAction(page);
      return true;
    case IDM_RECENT_KILL_TASK:
      KillSelected(page);
      return true;
    case IDM_RECENT_REFRESH:
      Rebuild(page);
      return true;
    case IDOK:
    case IDC_PAGE_INFO:
      // Info is hidden here: the rows belong to the page's own list, not to
      // the entries the information dialog walks.
      return true;
    default:
      break;
  }
  if (id != IDM_STARTUP_DELETE_ON_REBOOT && id != IDM_STARTUP_EXPLORE_FOLDER && id != IDM_STARTUP_PROPERTIES &&
      id != IDM_STARTUP_LOOKUP)
    return false;
  const RecentEntry* recent = Selected(page);
  if (!recent) return true;
  const std::string file = recent->file;
  switch (id) {
    case IDM_STARTUP_DELETE_ON_REBOOT:
      if (Ask(page, LoadText(IDS_CONFIRM_DELETE_ON_REBOOT), MB_ICONSTOP) == IDYES) DeleteFileOnReboot(file.c_str());
      break;
    case IDM_STARTUP_EXPLORE_FOLDER:
      OpenWithShellVerb(page, file, "explore");
      break;
    case IDM_STARTUP_PROPERTIES:
      OpenWithShellVerb(page, file, "properties");
      break;
    default:
      LookUpProgramOnline(recent->area, file.c_str());
      break;
  }
  return true;
}

void SelectionChanged(HWND page) {
  HWND action = GetDlgItem(page, IDC_RECENT_ACTION);
  const RecentEntry* recent = At(FirstSelectedEntry(page));
  if (!recent) {
    ShowWindow(action, SW_HIDE);
    return;
  }
  SetStatusText(page, recent->file);
  const bool hasNote = !NoteFileOf(recent->file).empty();
  SendDlgItemMessageA(page, IDC_PAGE_INFO, WM_SETFONT,
                      reinterpret_cast<WPARAM>(ExplorerFontOf(hasNote ? kFontDialogBold : kFontDialog)), TRUE);
  const UINT caption = RecentActionCaptionId(recent->area);
  if (caption) SetWindowTextA(action, LoadText(caption).c_str());
  ShowWindow(action, caption ? SW_SHOW : SW_HIDE);
}

// Opened: newest first, the first row selected, the action button waiting
// for the user's own choice of row.
void Activated(HWND page) {
  SortByColumnAs(page, kFirstDetected, 1);
  SelectRow(page, 0);
  ShowWindow(GetDlgItem(page, IDC_RECENT_ACTION), SW_HIDE);
}

void AppendItem(HMENU menu, UINT id, UINT text) { AppendMenuA(menu, MF_STRING, id, LoadText(text).c_str()); }

void ContextMenu(HWND page, int entry, POINT screen) {
  const RecentEntry* recent = At(entry);
  if (!recent) return;
  HMENU menu = CreatePopupMenu();
  AppendItem(menu, IDM_STARTUP_EXPLORE_FOLDER, IDS_EXPLORE_PROGRAM_FOLDER);
  AppendItem(menu, IDM_STARTUP_PROPERTIES, IDS_OPEN_PROGRAM_PROPERTIES);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  switch (recent->area) {
    case kRecentStartup:
    case kRecentIEHelper:
      AppendItem(menu, IDC_PAGE_REMOVE, IDS_REMOVE);
      break;
    case kRecentHidden:
      AppendItem(menu, IDM_RECENT_DELETE_HIDDEN, IDS_DELETE_BUTTON);
      break;
    case kRecentActive:
      AppendItem(menu, IDM_RECENT_KILL_TASK, IDS_KILL_TASK);
      break;
    default:
      break;
  }
  AppendItem(menu, IDM_RECENT_REFRESH, IDS_REFRESH);
  AppendItem(menu, IDM_STARTUP_DELETE_ON_REBOOT, IDS_DELETE_FILE_REBOOT);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendItem(menu, IDM_STARTUP_LOOKUP, IDS_OMNI_INFO);
  AppendItem(menu, IDM_STARTUP_LOG, IDS_SENTREL_LOG);
  AppendItem(menu, IDC_PAGE_HELP_PICTURE, IDS_SENTREL_HELP);
  SetForegroundWindow(page);
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_VERTICAL, screen.x, screen.y, page, nullptr);
  PostMessageA(page, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

// Places a control by dialog units.
void PlaceControl(HWND page, int id, RECT units) {
  MapDialogRect(page, &units);
  MoveWindow(GetDlgItem(page, id), units.left, units.top, units.right, units.bottom, FALSE);
}

void Init(HWND page) {
  // The hint takes two lines: it moves up under the introduction's three.
  PlaceControl(page, IDC_PAGE_INTRO, {7, 2, 320, 24});
  PlaceControl(page, IDC_PAGE_INTRO2, {7, 26, 330, 17});
  // A new sheet: whatever an earlier one listed is gone.
  ClearRecentList();
  ShowWindow(GetDlgItem(page, IDC_PAGE_INFO), SW_HIDE);
  ShowWindow(GetDlgItem(page, IDC_RECENT_ACTION), SW_HIDE);
  SetActivationHook(IDC_CMD_SHOW_RECENT, Activated);
  SetClosingHook(IDC_CMD_SHOW_RECENT, [](HWND) { ClearRecentList(); });
  SetEntryFileSource(IDC_CMD_SHOW_RECENT, [](int entry) { return At(entry) ? At(entry)->file : std::string(); });
}

}  // namespace

const std::vector<RecentEntry>& RecentEntries() { return g_recent; }

void ClearRecentList() {
  // Swapped out, not cleared: a full list holds megabytes.
  std::vector<RecentEntry>().swap(g_recent);
  std::vector<std::string>().swap(g_firstSeenKey);
}

int BuildRecentList() {
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  ClearRecentList();
  ClearCatalogueEntries();
  BuildCache cache;
  bool room = true;
  if (room) {
    ListActiveTasks();
    room = TakeAll(kRecentActive, cache);
  }
  if (room) {
    EnumerateStartupEntries(1);
    room = TakeAll(kRecentStartup, cache);
  }
  if (room) {
    EnumerateIEHelpers();
    room = TakeAll(kRecentIEHelper, cache);
  }
  if (room && IsNtFamily()) room = TakeRunningServices(cache);
  if (room) {
    ScanHiddenFiles(true);
    room = TakeAll(kRecentHidden, cache);
  }
  if (room) {
    EnumerateTasks();
    room = TakeAll(kRecentTask, cache);
  }
  if (room) {
    EnumerateActiveX(false);
    TakeAll(kRecentActiveX, cache);
  }
  ClearCatalogueEntries();
  std::map<std::string, std::string> keyOf;
  for (const RecentEntry& recent : g_recent) {
    auto key = keyOf.find(recent.firstSeen);
    if (key == keyOf.end()) key = keyOf.emplace(recent.firstSeen, SortableFirstSeen(recent.firstSeen)).first;
    g_firstSeenKey.push_back(key->second);
  }
  SetCursor(old);
  return static_cast<int>(g_recent.size());
}

UINT RecentTypeTextId(int area) {
  switch (area) {
    case kRecentActive:
      return IDS_ACTIVE;
    case kRecentStartup:
      return IDS_RECENT_CATEGORY_STARTUP;
    case kRecentIEHelper:
      return IDS_IE_HELPER;
    case kRecentService:
      return IDS_RECENT_CATEGORY_SERVICES;
    case kRecentHidden:
      return IDS_RECENT_CATEGORY_HIDDEN;
    case kRecentTask:
      return IDS_SCHEDULED;
    case kRecentActiveX:
      return IDS_RECENT_CATEGORY_ACTIVEX;
    default:
      return 0;
  }
}

UINT RecentActionCaptionId(int area) {
  switch (area) {
    case kRecentActive:
      return IDS_KILL_TASK;
    case kRecentStartup:
    case kRecentIEHelper:
    case kRecentTask:
      return IDS_REMOVE;
    case kRecentService:
      return IDS_STOP;
    case kRecentHidden:
      return IDS_DELETE;
    default:
      return 0;
  }
}

const ListPageHooks kRecentPageHooks = {Init, Enumerate, CellText, SortText, Command, SelectionChanged, ContextMenu};

}  // namespace sentrel
