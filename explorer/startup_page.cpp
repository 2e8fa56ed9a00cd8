// The Startup Programs page: every program Windows starts, and what the user
// can do with them.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "catalogue.h"
#include "delayed_start.h"
#include "explorer.h"
#include "fileid.h"
#include "history.h"
#include "info_dialog.h"
#include "list_page.h"
#include "lookup.h"
#include "processes.h"
#include "registry.h"
#include "resource.h"
#include "restart_commands.h"
#include "startup.h"
#include "startup_page.h"
#include "strings.h"

namespace sentrel {
namespace {

int Ask(HWND owner, const std::string& text, UINT icon) {
  return MessageBoxExA(owner, text.c_str(), ProgramCaption().c_str(), MB_YESNO | MB_TOPMOST | icon,
                       Process().languageId);
}

bool IsDisabledEntry(int entry) { return FactsOf(entry).disabled; }

void Refill(HWND page) { FillListPage(page); }

// Kill program finds the process itself and asks only when one runs.
void StopIfRunning(HWND page, int entry, bool ask) {
  KillProgram(page, EntryFile(entry).c_str(), CatalogueAt(entry).title.c_str(), ask);
}

// The explorer's question before a key-location entry goes: the
// default-warning dialog, yes only with its box ticked.
bool ConfirmKeyLocation(HWND owner, const char* title, const char* command, int) {
  return ConfirmDefaultRemoval(owner, command, title);
}

void RemoveOne(HWND page, int entry, bool single) {
  // A copy: the list may change.
  RemoveStartupItem(page, CatalogueAt(entry), EntryFile(entry), single);
}

void OnMoveToDelayed(HWND page) {
  const std::vector<int> selected = SelectedEntries(page);
  if (selected.empty()) {
    ShowNoSelection(page);
    return;
  }
  // Copies: moving an entry changes nothing in the list until the refill.
  std::vector<CatalogueEntry> entries;
  for (int entry : selected) entries.push_back(CatalogueAt(entry));
  for (const CatalogueEntry& entry : entries)
    if (DelayStartupEntry(page, entry) == kDelayRefusedAll) break;
  Refill(page);
}

void OnRemove(HWND page) {
  const int count = SelectedCount(page);
  if (count == 0) {
    ShowNoSelection(page);
    return;
  }
  // The rows themselves: two rows may carry the same title.
  if (count == 1) {
    RemoveOne(page, FirstSelectedEntry(page), true);
  } else {
    for (int entry : SelectedEntries(page)) RemoveOne(page, entry, false);
  }
  Refill(page);
}

void OnEnableDisable(HWND page, bool enable) {
  const int count = SelectedCount(page);
  if (count == 0) {
    ShowNoSelection(page);
    return;
  }
  for (int entry : SelectedEntries(page)) {
    const CatalogueEntry item = CatalogueAt(entry);
    const bool disabled = IsEntryDisabled(item) != 0;
    if (enable && disabled) {
      ToggleStartupEntry(item);
    } else if (!enable && !disabled) {
      StopIfRunning(page, entry, count == 1);
      ToggleStartupEntry(item);
    }
  }
  Refill(page);
}

void OnDeleteOnReboot(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  if (MessageBoxExA(page, LoadText(IDS_CONFIRM_DELETE_ON_REBOOT).c_str(), ProgramCaption().c_str(),
                    MB_YESNO | MB_TOPMOST | MB_ICONSTOP, Process().languageId) == IDYES)
    DeleteFileOnReboot(EntryFile(entry).c_str());
}

void OnShellVerb(HWND page, const char* verb) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  OpenWithShellVerb(page, EntryFile(entry), verb);
}

void OnViewNote(HWND page) {
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowNoSelection(page);
    return;
  }
  const std::string note = NoteFileOf(EntryFile(entry));
  if (note.empty()) return;
  const std::string command = "notepad.exe \"" + note + "\"";
  WinExec(command.c_str(), SW_SHOWNORMAL);
}

void OnShowAll(HWND page) {
  const int on = IsDlgButtonChecked(page, IDC_PAGE_SHOW_ALL) == BST_CHECKED ? 1 : 0;
  SetOption(kOptShowAllStartup, on);
  WriteOption("ShowAllStartup", on);
  Refill(page);
}

void Init(HWND page) {
  SetRemovalConfirmation(ConfirmKeyLocation);
  SetDlgItemTextA(page, IDC_PAGE_ADD, LoadText(IDS_ADD).c_str());
  SetDlgItemTextA(page, IDC_PAGE_REMOVE, LoadText(IDS_REMOVE).c_str());
  SetDlgItemTextA(page, IDC_PAGE_ENABLE, LoadText(IDS_ENABLE).c_str());
  SetDlgItemTextA(page, IDC_PAGE_DISABLE, LoadText(IDS_DISABLE).c_str());
  SetDlgItemTextA(page, IDC_PAGE_SHOW_ALL, LoadText(IDS_DISPLAY_SECRET_STARTUP_LOCATIONS).c_str());
  CheckDlgButton(page, IDC_PAGE_SHOW_ALL, Option(kOptShowAllStartup) > 0 ? BST_CHECKED : BST_UNCHECKED);
}

int Enumerate() { return EnumerateStartupEntries(1); }

std::string CellText(int entry, int column, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  switch (column) {
    case 0:
      return item.title;
    case 1:
      return StartupCommandText(item.path);
    case 2:
      return facts.company;
    case 3:
      return facts.disabled ? LoadText(IDS_DISABLED) : TypeName(item.type);
    case 4:
      return facts.firstSeen;
    default:
      return "";
  }
}

std::string SortText(int entry, int column, int flag, const RowFacts& facts) {
  const CatalogueEntry& item = CatalogueAt(entry);
  std::string text;
  switch (column) {
    case 0:
      text = item.title;
      break;
    case 1:
      text = FileNamePart(item.path);
      break;
    case 2:
      text = facts.company;
      break;
    case 3:
      text = std::to_string(item.type);
      break;
    default:
      return SortableFirstSeen(facts.firstSeen);
  }
  // Disabled programs stay at the bottom whichever way the column sorts.
  if (facts.disabled) text = (flag == 0 ? "zzz" : "aaa") + text;
  return text;
}

void SelectionChanged(HWND page) {
  HWND enable = GetDlgItem(page, IDC_PAGE_ENABLE), disable = GetDlgItem(page, IDC_PAGE_DISABLE);
  HWND remove = GetDlgItem(page, IDC_PAGE_REMOVE);
  const int entry = FirstSelectedEntry(page);
  if (entry < 0) {
    ShowWindow(enable, SW_HIDE);
    ShowWindow(disable, SW_HIDE);
    return;
  }
  const CatalogueEntry& item = CatalogueAt(entry);
  const bool hasNote = !NoteFileOf(EntryFile(entry)).empty();
  SendDlgItemMessageA(page, IDC_PAGE_INFO, WM_SETFONT,
                      reinterpret_cast<WPARAM>(ExplorerFontOf(hasNote ? kFontDialogBold : kFontDialog)), TRUE);
  EnableWindow(remove, TRUE);
  const bool disabled = IsDisabledEntry(entry);
  ShowWindow(enable, disabled ? SW_SHOW : SW_HIDE);
  ShowWindow(disable, disabled ? SW_HIDE : SW_SHOW);
  EnableWindow(enable, TRUE);
  EnableWindow(disable, TRUE);
  SetStatusText(page, LoadText(IDS_STARTUP_LOCATION) + LocationText(item.type, disabled));
  SetWindowTextA(remove, LoadText(IDS_REMOVE).c_str());
  if (item.type == kTypeUserinit || item.type == kTypeShell) {
    SetWindowTextA(remove, LoadText(IDS_RESET).c_str());
    EnableWindow(enable, FALSE);
    EnableWindow(disable, FALSE);
  } else if (item.type >= kTypeDelayLoad && item.type <= kTypeAppInitDlls) {
    EnableWindow(enable, FALSE);
    EnableWindow(disable, FALSE);
  } else if (item.type == kTypeWinlogonNotify) {
    EnableWindow(remove, FALSE);
  }
}

void AppendItem(HMENU menu, UINT id, UINT text, bool enabled = true) {
  AppendMenuA(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, LoadText(text).c_str());
}

void ContextMenu(HWND page, int entry, POINT screen) {
  if (entry < 0) return;
  const CatalogueEntry& item = CatalogueAt(entry);
  HMENU menu = CreatePopupMenu();
  AppendItem(menu, IDC_PAGE_INFO, IDS_INFO);
  AppendItem(menu, IDM_STARTUP_EXPLORE_FOLDER, IDS_EXPLORE_PROGRAM_FOLDER);
  AppendItem(menu, IDM_STARTUP_PROPERTIES, IDS_OPEN_PROGRAM_PROPERTIES);
  if (!NoteFileOf(EntryFile(entry)).empty()) AppendItem(menu, IDM_STARTUP_VIEW_NOTE, IDS_VIEW_NOTE);
  AppendItem(menu, IDC_PAGE_ADD, IDS_ADD);
  if (item.type < kTypeUserinit) {
    AppendItem(menu, IDM_STARTUP_MOVE_TO_DELAY, IDS_MOVE_DELAYED_START_PROGRAM);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, IDC_PAGE_REMOVE, IDS_REMOVE);
    if (IsDisabledEntry(entry))
      AppendItem(menu, IDC_PAGE_ENABLE, IDS_ENABLE);
    else
      AppendItem(menu, IDC_PAGE_DISABLE, IDS_DISABLE);
    AppendItem(menu, IDM_STARTUP_DELETE_ON_REBOOT, IDS_DELETE_FILE_REBOOT);
  }
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendItem(menu, IDM_STARTUP_LOOKUP, IDS_OMNI_INFO);
  AppendItem(menu, IDC_PAGE_HELP_PICTURE, IDS_SENTREL_HELP);
  SetForegroundWindow(page);
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_VERTICAL, screen.x, screen.y, page, nullptr);
  PostMessageA(page, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

bool Command(HWND page, int id) {
  switch (id) {
    case IDC_PAGE_REMOVE:
      OnRemove(page);
      return true;
    case IDC_PAGE_ENABLE:
      OnEnableDisable(page, true);
      return true;
    case IDC_PAGE_DISABLE:
      OnEnableDisable(page, false);
      return true;
    case IDC_PAGE_ADD:
      if (AddStartupProgram(page)) Refill(page);
      return true;
    case IDM_STARTUP_DELETE_ON_REBOOT:
      OnDeleteOnReboot(page);
      return true;
    case IDM_STARTUP_EXPLORE_FOLDER:
      OnShellVerb(page, "explore");
      return true;
    case IDM_STARTUP_PROPERTIES:
      OnShellVerb(page, "properties");
      return true;
    case IDM_STARTUP_VIEW_NOTE:
      OnViewNote(page);
      return true;
    case IDM_STARTUP_LOOKUP: {
      const int entry = FirstSelectedEntry(page);
      if (entry < 0)
        ShowNoSelection(page);
      else
        LookUpProgramOnline(CatalogueAt(entry).type, EntryFile(entry).c_str());
      return true;
    }
    case IDC_PAGE_SHOW_ALL:
      OnShowAll(page);
      return true;
    case IDM_STARTUP_MOVE_TO_DELAY:
      OnMoveToDelayed(page);
      return true;
    default:
      return false;
  }
}

}  // namespace

const ListPageHooks kStartupPageHooks = {Init, Enumerate, CellText, SortText, Command, SelectionChanged, ContextMenu};

std::string StartupCommandText(const std::string& command) {
  const std::string target = RundllTarget(command);
  if (!target.empty()) return "RunDLL32.exe " + FileNamePart(target);
  return FileNamePart(command);
}

std::string NoteFileOf(const std::string& file) { return FindNoteFile(file); }

std::string AddedValueName(const std::string& file, const VersionFields& fields) {
  if (!fields.slot[kFileDescription].empty()) return fields.slot[kFileDescription];
  if (!fields.slot[kProductName].empty()) return fields.slot[kProductName];
  const std::string name = FileNamePart(file);
  return name.size() > 4 ? name.substr(0, name.size() - 4) : name;
}

int AddStartupFile(const std::string& file) {
  VersionFields fields;
  ReadVersionInfo(file.c_str(), fields);
  const std::string name = AddedValueName(file, fields);
  if (!WriteStringValue(HKEY_CURRENT_USER, kMachineRunKey, name.c_str(), file.c_str())) return 0;
  WriteStringValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(file).c_str(), "1");
  return 1;
}

std::string PickProgramFile(HWND owner, const char* initialFolder) {
  char file[MAX_PATH] = "";
  std::string filter = LoadText(IDS_PROGRAMS_FILES_EXE_EXE);
  for (char& c : filter)
    if (c == '%') c = '\0';
  filter.push_back('\0');
  const std::string title = LoadText(IDS_ADD_AUTOSTART_PROGRAM);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = initialFolder;
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  ++Explorer().modalDepth;
  const BOOL chosen = GetOpenFileNameA(&dialog);
  --Explorer().modalDepth;
  return chosen ? std::string(file) : std::string();
}

void RemoveStartupItem(HWND page, CatalogueEntry item, const std::string& file, bool ask) {
  if (item.type >= kTypeUserinit) {
    if (item.type == kTypeUserinit) {
      ResetUserinit();
    } else if (item.type == kTypeShell) {
      ResetShell();
    } else if (item.type >= kTypeDelayLoad && item.type <= kTypeAppInitDlls) {
      // Asks through the default-warning dialog, whichever page removes it.
      SetRemovalConfirmation(ConfirmKeyLocation);
      RemoveShellExtensionEntry(page, item);
    }
    return;
  }
  KillProgram(page, file.c_str(), item.title.c_str(), ask);
  if (ask && Ask(page, FillText(LoadText(IDS_CONFIRM_REMOVE_STARTUP), {item.path}), MB_ICONEXCLAMATION) != IDYES)
    return;
  RemoveStartupEntry(item);
}

void OpenWithShellVerb(HWND owner, std::string file, const char* verb) {
  if (lstrcmpA(verb, "explore") == 0) file = file.substr(0, NamePosition(file) > 0 ? NamePosition(file) - 1 : 0);
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_INVOKEIDLIST;
  info.hwnd = owner;
  info.lpVerb = verb;
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteExA(&info);
}

int AddStartupProgram(HWND owner) {
  const std::string file = PickProgramFile(owner, "C:\\Program Files");
  return file.empty() ? 0 : AddStartupFile(file);
}

}  // namespace sentrel
