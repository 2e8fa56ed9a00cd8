// The Hidden Files page.
#include "hidden_files_page.h"

#include <windows.h>

#include <string>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "hidden_files.h"
#include "resource.h"
#include "restart_commands.h"
#include "settings.h"
#include "strings.h"
#include "system_files.h"

namespace sentrel {
namespace {

enum Column { kModule, kPath, kFirstDetected, kLastWritten, kType };

// What a fill found beside the listing, per entry.
struct HiddenRow {
  std::string firstSeen, lastWritten;
};
std::vector<HiddenRow> g_rows;
const HiddenRow& RowOf(int entry) {
  static const HiddenRow kNone;
  return entry >= 0 && entry < static_cast<int>(g_rows.size()) ? g_rows[static_cast<size_t>(entry)] : kNone;
}

std::string FolderOf(const std::string& path) {
  const size_t name = NamePosition(path);
  return name > 0 ? path.substr(0, name - 1) : std::string();
}

int Ask(HWND page, UINT text) {
  return MessageBoxExA(page, LoadText(text).c_str(), ProgramCaption().c_str(), MB_YESNO | MB_TOPMOST | MB_ICONSTOP,
                       Process().languageId);
}

void Init(HWND page) {
  for (auto [control, text] : {std::pair<int, UINT>{IDC_HIDDEN_REFRESH, IDS_REFRESH},
                               {IDC_HIDDEN_UNHIDE, IDS_UNHIDE},
                               {IDC_HIDDEN_DELETE, IDS_DELETE_BUTTON},
                               {IDC_PAGE_DELETE_ON_REBOOT, IDS_DELETE_FILE_REBOOT}})
    SetDlgItemTextA(page, control, LoadText(text).c_str());
  // A row is the hidden file itself: "update.exe.dat" is not update.exe.
  SetEntryFileSource(IDC_CMD_SHOW_HIDDEN, [](int entry) { return CatalogueAt(entry).command; });
}

int Enumerate() {
  const int count = ScanHiddenFiles(true);
  g_rows.assign(static_cast<size_t>(count), HiddenRow{});
  for (int i = 0; i < count; ++i) {
    const std::string& path = CatalogueAt(i).command;
    g_rows[i].firstSeen = FirstSeenText(path.c_str(), kTypeHidden);
    g_rows[i].lastWritten = LastWrittenText(path);
  }
  return count;
}

std::string CellText(int entry, int column, const RowFacts&) {
  const CatalogueEntry& file = CatalogueAt(entry);
  const HiddenRow& row = RowOf(entry);
  switch (column) {
    case kModule:
      return FileNamePart(file.command);
    case kPath:
      return FolderOf(file.command);
    case kFirstDetected:
      return row.firstSeen;
    case kLastWritten:
      return row.lastWritten;
    case kType:
      return file.value == 0 ? LoadText(IDS_HIDDEN_TYPE_SYSTEM) : std::string();
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int, const RowFacts& facts) {
  if (column == kFirstDetected) return SortableFirstSeen(RowOf(entry).firstSeen);
  return CellText(entry, column, facts);
}

// The selected file's entry, or -1 after message 57.
int Selected(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) ShowNoSelection(page);
  return entry;
}

bool Command(HWND page, int id) {
  if (id == IDC_HIDDEN_REFRESH) {
    FillListPage(page);
    return true;
  }
  if (id != IDC_HIDDEN_UNHIDE && id != IDC_HIDDEN_DELETE && id != IDC_PAGE_DELETE_ON_REBOOT &&
      id != IDC_HIDDEN_VIEW_NOTEPAD)
    return false;
  const int entry = Selected(page);
  if (entry < 0) return true;
  const CatalogueEntry file = CatalogueAt(entry);
  switch (id) {
    case IDC_HIDDEN_UNHIDE:
      SetFileAttributesA(file.command.c_str(), FILE_ATTRIBUTE_NORMAL);
      FillListPage(page);
      break;
    case IDC_HIDDEN_VIEW_NOTEPAD:
      ViewFile(page, file.command);
      break;
    case IDC_HIDDEN_DELETE:
      if (Ask(page, IDS_CONFIRM_DELETE_HIDDEN) != IDYES) break;
      DeleteHiddenFile(page, file.title.c_str(), file.command.c_str());
      FillListPage(page);
      break;
    default:
      if (Ask(page, IDS_CONFIRM_DELETE_ON_REBOOT) == IDYES) DeleteFileOnReboot(file.command.c_str());
      break;
  }
  return true;
}

void SelectionChanged(HWND page) {
  const int entry = FirstSelectedEntry(page);
  SetStatusText(page, entry >= 0 ? CatalogueAt(entry).command : std::string());
}

void ContextMenu(HWND page, int entry, POINT screen) {
  if (entry < 0) return;
  HMENU menu = CreatePopupMenu();
  for (auto [id, text] : {std::pair<int, UINT>{IDC_HIDDEN_VIEW_NOTEPAD, IDS_VIEW_USING_NOTEPAD},
                          {IDC_HIDDEN_UNHIDE, IDS_UNHIDE},
                          {IDC_HIDDEN_DELETE, IDS_DELETE_BUTTON},
                          {IDC_PAGE_DELETE_ON_REBOOT, IDS_DELETE_FILE_REBOOT}})
    AppendMenuA(menu, MF_STRING, id, LoadText(text).c_str());
  SetForegroundWindow(page);
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_VERTICAL, screen.x, screen.y, page, nullptr);
  PostMessageA(page, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

}  // namespace

std::string LastWrittenText(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LoadText(IDS_FILE_USE);
  FILETIME written, local;
  SYSTEMTIME time;
  const bool read = GetFileTime(file, nullptr, nullptr, &written) != 0;
  CloseHandle(file);
  if (!read || !FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &time))
    return LoadText(IDS_FILE_USE);
  std::string text = FormatDateTime(time);
  if (text.size() > 16) text.resize(text.size() - 3);
  return text;
}

const ListPageHooks kHiddenFilesPageHooks = {Init,    Enumerate,        CellText,   SortText,
                                             Command, SelectionChanged, ContextMenu};

}  // namespace sentrel
