// The program information dialog (template 121): the version fields, file
// times and size of an item's program, when the watchdog first saw it, where
// it is registered, whether it runs, a service's start type, and the note
// the user keeps about the program.
#include "info_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "activex.h"
#include "catalogue.h"
#include "explorer.h"
#include "file_types.h"
#include "fileid.h"
#include "first_seen.h"
#include "ie_helpers.h"
#include "library.h"
#include "list_page.h"
#include "lookup.h"
#include "processes.h"
#include "resource.h"
#include "services.h"
#include "settings.h"
#include "strings.h"
#include "tasks.h"
#include "winpos.h"

namespace sentrel {
namespace {

// The entry's file as its page reads it (a hidden file is its own path).
std::string ListedFile(int entry) { return PageEntryFile(Explorer().currentPage, entry); }

// The dialog's state while it is open.
struct InfoState {
  int entry = 0;
  std::string file;  // the entry's program file, in its long form when it exists
  bool exists = false;
  bool noteShown = false;  // the area holds the user's note (not a description)
  bool filling = false;    // the area's text is being set, not edited
  std::string notePath;    // where the shown note is kept; "" when it cannot be
  int startType = -1;      // list position of a service's current start type
  HICON icon = nullptr;
};

InfoState* StateOf(HWND dialog) { return reinterpret_cast<InfoState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// The state lasts for the run and turns at every opening: the first opening
// is expanded, each later one the opposite of how the last was left.
bool g_expanded = false;

bool IsService(int type) { return type == kTypeServiceExe || type == kTypeServiceHost; }

int Scaled(HWND window, int pixels) {
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(window, dc);
  return MulDiv(pixels, dpi > 0 ? dpi : 96, 96);
}

void SetText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }
void Show(HWND dialog, int id, bool shown) { ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE); }

// ---- Compact and expanded ------------------------------------------------------

constexpr int kExpandedOnly[] = {
    IDC_INFO_CREATED_LABEL, IDC_INFO_CREATED,          IDC_INFO_SAVED_LABEL, IDC_INFO_SAVED, IDC_INFO_SIZE_LABEL,
    IDC_INFO_SIZE,          IDC_INFO_FIRST_SEEN_LABEL, IDC_INFO_FIRST_SEEN,  IDC_INFO_NOTE,  IDC_INFO_NOTE_BUTTON};
struct RowButton {
  int id;
  int x;  // dialog units
};
constexpr RowButton kBottomRow[] = {
    {IDC_INFO_LOOKUP, 7}, {IDC_INFO_NOTE_BUTTON, 169}, {IDC_INFO_PREVIOUS, 267}, {IDC_INFO_NEXT, 301}, {IDOK, 348}};

void ApplyExpansion(HWND dialog) {
  RECT frame;
  GetWindowRect(dialog, &frame);
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, Scaled(dialog, g_expanded ? 421 : 246),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int y = Scaled(dialog, g_expanded ? 350 : 185);
  for (const RowButton& button : kBottomRow) {
    RECT units = {button.x, 0, 0, 0};
    MapDialogRect(dialog, &units);
    SetWindowPos(GetDlgItem(dialog, button.id), nullptr, units.left, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  for (int id : kExpandedOnly) Show(dialog, id, g_expanded);
  SetText(dialog, IDC_INFO_EXPAND, LoadText(g_expanded ? IDS_SHRINK_WINDOW : IDS_EXPAND_INFO));
}

// ---- What is shown ---------------------------------------------------------------

bool IsPlainFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(NativeFilePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file as it is on disk (a bare name is looked for in the Windows and
// system folders), in its full long form; the text itself when there is none.
// Full, because Run given a relative name would look in the explorer's own
// folder first and could start another program of that name.
std::string ResolveFile(const std::string& file, bool& exists) {
  exists = false;
  if (file.empty()) return file;
  const bool bare = file.find('\\') == std::string::npos && file.find('/') == std::string::npos;
  for (const std::string& candidate : {file, bare ? WindowsFolder() + "\\" + file : std::string(),
                                       bare ? SystemFolder() + "\\" + file : std::string()}) {
    char full[MAX_PATH] = "";
    char* name = nullptr;
    const DWORD length = candidate.empty() ? 0 : GetFullPathNameA(candidate.c_str(), sizeof full, full, &name);
    if (length > 0 && length < sizeof full && IsPlainFile(full)) {
      exists = true;
      return LongPathOf(std::string(full));
    }
  }
  return file;
}

std::string TimeText(const FILETIME& time) {
  FILETIME local;
  SYSTEMTIME system;
  if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &system)) return "";
  return FormatDateTime(system);
}

// The size with its digit groups; "File in Use" when the file cannot be read.
std::string SizeText(const std::string& file) {
  HANDLE handle = CreateFileA(NativeFilePath(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LoadText(IDS_FILE_USE);
  DWORD high = 0;
  const DWORD low = GetFileSize(handle, &high);
  const bool known = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
  CloseHandle(handle);
  return known ? GroupDigits((static_cast<unsigned long long>(high) << 32) | low) : LoadText(IDS_FILE_USE);
}

// The first-seen time as the list recorded it: by the entry's program file,
// else by what the area keys its items by (a path, a class id).
std::string FirstSeenOf(int entry) {
  const CatalogueEntry& item = CatalogueAt(entry);
  char date[24] = "";
  for (const std::string& key : {ListedFile(entry), item.path, item.data})
    if (!key.empty() && ReadFirstSeen(key.c_str(), item.type, date) > 0) return date;
  return "";
}

// An extension's button icon ("file" or "file,index"), else the program's
// first icon, else the missing-file icon.
HICON IconOf(const CatalogueEntry& item, const std::string& file, bool exists) {
  HICON icon = nullptr;
  if (item.type == kTypeToolbar || item.type == kTypeExtension) {
    std::string source = StripQuotes(item.description);
    int index = 0;
    const size_t comma = source.rfind(',');
    if (comma != std::string::npos) {
      index = ParseLeadingInt(source.c_str() + comma + 1);
      source.resize(comma);
    }
    if (!source.empty() && IsPlainFile(source))
      ExtractIconExA(NativeFilePath(source).c_str(), index, &icon, nullptr, 1);
  }
  if (!icon && exists) ExtractIconExA(NativeFilePath(file).c_str(), 0, &icon, nullptr, 1);
  if (!icon)
    icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MISSING_FILE), IMAGE_ICON, 32, 32, 0));
  return icon;
}

std::string LocationLine(int entry) {
  const CatalogueEntry& item = CatalogueAt(entry);
  const auto registryKey = [](const char* key) { return LoadText(IDS_LOCATION) + ": \"HKLM\\" + key + "\""; };
  switch (item.type) {
    case kTypeBrowserHelper:
      return registryKey(kBrowserHelpersKey);
    case kTypeToolbar:
      return registryKey(kToolbarKey);
    case kTypeExtension:
      return registryKey(kExtensionsKey);
    case kTypeActiveX:
      return LoadText(IDS_CLSID) + ": " + item.data;
    default:
      break;
  }
  if (IsService(item.type)) return item.description;
  return LoadText(IDS_STARTUP_LOCATION) + " " + LocationText(item.type, FactsOf(entry).disabled);
}

// ---- Notes --------------------------------------------------------------------------

// A note the area can hold exactly: at most kMaxNoteChars, no NUL. Anything
// else is shown read-only, so that saving can never cut or change a part the
// area does not show.
bool ReadNote(const std::string& path, std::string& text, bool& exact) {
  text.clear();
  exact = false;
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  text.assign(kMaxNoteChars + 1, '\0');
  DWORD read = 0;
  const bool ok = ReadFile(file, &text[0], kMaxNoteChars + 1, &read, nullptr) != FALSE;
  CloseHandle(file);
  text.resize(ok ? read : 0);
  exact = ok && read <= static_cast<DWORD>(kMaxNoteChars);
  if (text.size() > static_cast<size_t>(kMaxNoteChars)) text.resize(kMaxNoteChars);
  for (char& c : text)
    if (c == '\0') {
      c = ' ';
      exact = false;
    }
  return ok;
}

// A file that is also known under another name (a hard link): writing the
// note would change a file outside the notes folder.
bool IsLinkedFile(HANDLE file) {
  using InformationFn = BOOL(WINAPI*)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
  static const auto information = FunctionOf<InformationFn>("kernel32.dll", "GetFileInformationByHandle");
  BY_HANDLE_FILE_INFORMATION facts{};
  if (!information || !information(file, &facts)) return false;
  return facts.nNumberOfLinks > 1;
}

// Writes the note over the file (its attributes kept); false when the file
// cannot be written, as a read-only one cannot.
bool WriteNote(const std::string& path, const std::string& text) {
  if (path.empty()) return false;
  // Read-only stays read-only, also for an administrator, whose handle the
  // file system would let write; a symbolic link leads elsewhere.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = !IsLinkedFile(file) &&
                  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size() && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

std::string AreaText(HWND dialog) {
  std::string text(kMaxNoteChars + 1, '\0');
  const int length = GetDlgItemTextA(dialog, IDC_INFO_NOTE, &text[0], kMaxNoteChars + 1);
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

void FillArea(HWND dialog, const std::string& text, HFONT font, bool editable) {
  InfoState& state = *StateOf(dialog);
  HWND area = GetDlgItem(dialog, IDC_INFO_NOTE);
  state.filling = true;
  SendMessageA(area, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SendMessageA(area, EM_SETREADONLY, editable ? FALSE : TRUE, 0);
  SetWindowTextA(area, text.c_str());
  const LPARAM end = GetWindowTextLengthA(area);
  SendMessageA(area, EM_SETSEL, end, end);
  SendMessageA(area, EM_SCROLLCARET, 0, 0);
  state.filling = false;
}

// The entry's description, or what its kind tells about it.
void ShowDescription(HWND dialog, int entry, const VersionFields& fields) {
  const CatalogueEntry& item = CatalogueAt(entry);
  std::string text = item.description;
  bool bold = !text.empty();
  const std::string general = LoadText(IDS_PROGRAM_INFORMATION_LISTED_ABOVE);
  std::string serviceText;
  if ((item.type >= kTypeUserinit && item.type <= kTypeWinlogonNotify) || item.type == kTypeRunningProgram)
    FindServiceDescriptionByFile(ListedFile(entry).c_str(), serviceText);
  if (item.type >= kTypeUserinit && item.type <= kTypeWinlogonNotify) {
    bold = !serviceText.empty();
    if (bold)
      text = serviceText;
    else if (ContainsText(fields.slot[kLegalCopyright].c_str(), "Microsoft"))
      text = FillText(LoadText(IDS_VALID_SYSTEM_FILE_UNDOCUMENTED), {item.title}) + general;
    else
      text = general;
  } else if (item.type == kTypeFileType) {
    text = LoadText(IDS_FILE_TYPE_EXTENSION) + item.description;
    bold = false;
  } else if (item.type == kTypeRunningProgram && !serviceText.empty()) {
    text = serviceText;
    bold = true;
  } else if (item.type == kTypeScheduledTask) {
    text = TaskComment(item.title.c_str()) + "\r\n" + TaskStatus(item.title.c_str());
    bold = false;
  } else if (text.empty()) {
    text = general;
  }
  FillArea(dialog, text, ExplorerFontOf(bold ? kFontDialogBold : kFontDialog), false);
}

void ShowNoteArea(HWND dialog, int entry, const VersionFields& fields) {
  InfoState& state = *StateOf(dialog);
  state.noteShown = false;
  state.notePath.clear();
  const std::string note = FindNoteFile(state.file);
  std::string text;
  bool exact = false;
  if (!note.empty()) {
    ReadNote(note, text, exact);
    state.noteShown = true;
    state.notePath = note;
    FillArea(dialog, text, ExplorerFontOf(kFontNote), exact);
    SetText(dialog, IDC_INFO_NOTE_BUTTON, LoadText(IDS_SAVE_NOTE));
    EnableWindow(GetDlgItem(dialog, IDC_INFO_NOTE_BUTTON), FALSE);  // until the note is edited
    return;
  }
  ShowDescription(dialog, entry, fields);
  SetText(dialog, IDC_INFO_NOTE_BUTTON, LoadText(IDS_CREATE_NOTE));
  // A program whose name gives no note file name has no note.
  EnableWindow(GetDlgItem(dialog, IDC_INFO_NOTE_BUTTON), !NewNoteFile(state.file).empty());
}

// ---- Showing an entry -----------------------------------------------------------------

void ShowServiceState(HWND dialog, const CatalogueEntry& item) {
  InfoState& state = *StateOf(dialog);
  SetText(dialog, IDC_INFO_KILL, LoadText(IDS_STOP));
  HWND list = GetDlgItem(dialog, IDC_INFO_START_TYPE);
  if (SendMessageA(list, CB_GETCOUNT, 0, 0) == 0)
    for (UINT id : {IDS_AUTOMATIC, IDS_MANUAL, IDS_START_TYPE_DISABLED})
      SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadText(id).c_str()));
  const long start = ServiceStartValue(item.name.c_str(), item.key.c_str());
  state.startType = start >= SERVICE_AUTO_START && start <= SERVICE_DISABLED ? static_cast<int>(start) - 2 : -1;
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(state.startType), 0);
  for (int id : {IDC_INFO_START_TYPE_LABEL, IDC_INFO_START_TYPE, IDC_INFO_APPLY}) Show(dialog, id, true);
  std::string text;
  ServiceStateText(item.name.c_str(), text, item.key.c_str());
  SetText(dialog, IDC_INFO_STATUS, state.exists ? text : LoadText(IDS_LOCAL_FILE_NOT_FOUND));
  Show(dialog, IDC_INFO_KILL, (QueryControlsAccepted(item.name.c_str(), item.key.c_str()) & SERVICE_ACCEPT_STOP) != 0);
}

void ShowProgramState(HWND dialog, int entry) {
  const InfoState& state = *StateOf(dialog);
  SetText(dialog, IDC_INFO_KILL, LoadText(IDS_KILL_TASK));
  UINT text = IDS_LOCAL_FILE_NOT_FOUND;
  if (state.exists) {
    const bool running = IsProgramRunning(ListedFile(entry).c_str()) != 0;
    text = running ? IDS_RUNNING : IDS_READY;
    Show(dialog, running ? IDC_INFO_KILL : IDC_INFO_RUN, true);
  }
  SetText(dialog, IDC_INFO_STATUS, LoadText(text));
}

void ShowEntry(HWND dialog) {
  InfoState& state = *StateOf(dialog);
  if (state.entry < 0 || state.entry >= CatalogueCount()) return;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), FALSE);
  for (int id : {IDC_INFO_APPLY, IDC_INFO_START_TYPE_LABEL, IDC_INFO_START_TYPE, IDC_INFO_KILL, IDC_INFO_RUN})
    Show(dialog, id, false);

  const int entry = state.entry;
  const CatalogueEntry item = CatalogueAt(entry);  // a copy: the actions below may list again
  state.file = ResolveFile(ListedFile(entry), state.exists);
  SetWindowTextA(dialog, item.title.c_str());
  SetText(dialog, IDC_INFO_PATH, state.file);
  HICON icon = IconOf(item, state.file, state.exists);
  SendDlgItemMessageA(dialog, IDC_INFO_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  if (state.icon) DestroyIcon(state.icon);
  state.icon = icon;

  SetText(dialog, IDC_INFO_LOCATION, LocationLine(entry));
  const bool service = IsService(item.type);
  const bool status = item.type < kTypeBrowserHelper && item.type != kTypeHidden;
  Show(dialog, IDC_INFO_STATUS_LABEL, status);
  Show(dialog, IDC_INFO_STATUS, status);
  if (service)
    ShowServiceState(dialog, item);
  else if (status)
    ShowProgramState(dialog, entry);

  VersionFields fields;
  if (state.exists) ReadVersionInfo(state.file.c_str(), fields);
  SetText(dialog, IDC_INFO_PRODUCT, fields.slot[kProductName]);
  SetText(dialog, IDC_INFO_COMPANY, fields.slot[kCompanyName]);
  SetText(dialog, IDC_INFO_VERSION, fields.slot[kProductVersion]);
  SetText(dialog, IDC_INFO_COPYRIGHT, fields.slot[kLegalCopyright]);
  SetText(dialog, IDC_INFO_DESCRIPTION,
          fields.slot[kFileDescription].empty() ? item.title : fields.slot[kFileDescription]);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool times =
      state.exists && GetFileAttributesExA(NativeFilePath(state.file).c_str(), GetFileExInfoStandard, &data);
  SetText(dialog, IDC_INFO_CREATED, times ? TimeText(data.ftCreationTime) : "");
  SetText(dialog, IDC_INFO_SAVED, times ? TimeText(data.ftLastWriteTime) : "");
  SetText(dialog, IDC_INFO_SIZE, state.exists ? SizeText(state.file) : "");
  SetText(dialog, IDC_INFO_FIRST_SEEN, FirstSeenOf(entry));

  ShowNoteArea(dialog, entry, fields);
  SetCursor(old);
}

// ---- Buttons -----------------------------------------------------------------------------

void OnNoteButton(HWND dialog) {
  InfoState& state = *StateOf(dialog);
  HWND button = GetDlgItem(dialog, IDC_INFO_NOTE_BUTTON);
  if (!state.noteShown) {
    const CatalogueEntry& item = CatalogueAt(state.entry);
    const std::string text = item.title + "\r\n" + item.path + "\r\n";
    state.noteShown = true;
    state.notePath = NewNoteFile(state.file);
    FillArea(dialog, text, ExplorerFontOf(kFontNote), true);
    SetWindowTextA(button, LoadText(IDS_SAVE_NOTE).c_str());
    // A note that could not be written yet stays in the area, to be saved.
    EnableWindow(button, !WriteNote(state.notePath, text));
    SetFocus(GetDlgItem(dialog, IDC_INFO_NOTE));
    return;
  }
  if (WriteNote(state.notePath, AreaText(dialog))) {
    EnableWindow(button, FALSE);
    return;
  }
  ShowMessage(dialog, FillText(LoadText(IDS_NOTE_NOT_SAVED), {state.notePath}).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void OnKill(HWND dialog) {
  const InfoState& state = *StateOf(dialog);
  const CatalogueEntry item = CatalogueAt(state.entry);
  if (IsService(item.type)) {
    StopServiceRecorded(item.name, item.path, item.type, item.key);
    Sleep(100);
  } else {
    KillProgram(dialog, ListedFile(state.entry).c_str(), item.title.c_str(), false);
  }
  ShowEntry(dialog);
}

// The program alone, its path quoted: a path with a blank would otherwise
// start whatever its first word names.
void OnRun(HWND dialog) {
  const InfoState& state = *StateOf(dialog);
  if (!IsService(CatalogueAt(state.entry).type) && state.exists && state.file.find('"') == std::string::npos)
    WinExec(("\"" + state.file + "\"").c_str(), SW_SHOWNORMAL);
  ShowEntry(dialog);
}

void OnApply(HWND dialog) {
  const InfoState& state = *StateOf(dialog);
  const CatalogueEntry item = CatalogueAt(state.entry);
  const int chosen = static_cast<int>(SendDlgItemMessageA(dialog, IDC_INFO_START_TYPE, CB_GETCURSEL, 0, 0));
  if (IsService(item.type) && chosen >= 0 && chosen != state.startType)
    ApplyServiceStartType(item.name, item.path, item.type, chosen, item.key);
  ShowEntry(dialog);
}

void Step(HWND dialog, int by) {
  InfoState& state = *StateOf(dialog);
  const int count = CatalogueCount();
  if (count <= 0) return;
  state.entry = ((state.entry + by) % count + count) % count;
  ShowEntry(dialog);
}

void InitDialog(HWND dialog) {
  const std::pair<int, UINT> labels[] = {{IDC_INFO_COMPANY_LABEL, IDS_COMPANY},
                                         {IDC_INFO_VERSION_LABEL, IDS_VERSION_LABEL},
                                         {IDC_INFO_COPYRIGHT_LABEL, IDS_COPYRIGHT},
                                         {IDC_INFO_RUN, IDS_RUN},
                                         {IDC_INFO_CREATED_LABEL, IDS_DATE_CREATED},
                                         {IDC_INFO_SAVED_LABEL, IDS_LAST_SAVED},
                                         {IDC_INFO_SIZE_LABEL, IDS_FILE_SIZE},
                                         {IDC_INFO_FIRST_SEEN_LABEL, IDS_DETECTED_BY_SENTREL},
                                         {IDOK, IDS_CLOSE},
                                         {IDC_INFO_START_TYPE_LABEL, IDS_STARTUP_TYPE},
                                         {IDC_INFO_STATUS_LABEL, IDS_STATUS_LABEL},
                                         {IDC_INFO_APPLY, IDS_APPLY},
                                         {IDC_INFO_LOOKUP, IDS_OMNI_INFO}};
  for (const auto& [id, text] : labels) SetText(dialog, id, LoadText(text));
  SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_LIMITTEXT, kMaxNoteChars, 0);
  SendDlgItemMessageA(dialog, IDC_INFO_PRODUCT, WM_SETFONT, reinterpret_cast<WPARAM>(ExplorerFontOf(kFontDialogBold)),
                      FALSE);
  g_expanded = !g_expanded;
  ApplyExpansion(dialog);
  RestoreWindowPosition(dialog, kInfoPosition);
  ShowEntry(dialog);
}

INT_PTR CALLBACK InfoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  InfoState* state = StateOf(dialog);
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      InitDialog(dialog);
      return TRUE;
    case WM_COMMAND: {
      if (!state) return FALSE;
      const int id = LOWORD(wParam);
      switch (id) {
        case IDOK:
        case IDCANCEL:
          SaveWindowPosition(dialog, kInfoPosition);
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDC_INFO_NEXT:
          Step(dialog, 1);
          return TRUE;
        case IDC_INFO_PREVIOUS:
          Step(dialog, -1);
          return TRUE;
        case IDC_INFO_EXPAND:
          g_expanded = !g_expanded;
          ApplyExpansion(dialog);
          return TRUE;
        case IDC_INFO_NOTE_BUTTON:
          OnNoteButton(dialog);
          return TRUE;
        case IDC_INFO_KILL:
          OnKill(dialog);
          return TRUE;
        case IDC_INFO_RUN:
          OnRun(dialog);
          return TRUE;
        case IDC_INFO_APPLY:
          OnApply(dialog);
          return TRUE;
        case IDC_INFO_START_TYPE:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            const int chosen = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
            EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), chosen >= 0 && chosen != state->startType);
          }
          return TRUE;
        case IDC_INFO_NOTE:
          if (HIWORD(wParam) == EN_CHANGE && state->noteShown && !state->filling)
            EnableWindow(GetDlgItem(dialog, IDC_INFO_NOTE_BUTTON), TRUE);
          return TRUE;
        case IDC_INFO_LOOKUP: {
          // The browser comes up in front of the dialog.
          SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
          const CatalogueEntry& item = CatalogueAt(state->entry);
          LookUpProgramOnline(item.type, state->file.c_str(), item.title.c_str());
          return TRUE;
        }
        default:
          return FALSE;
      }
    }
    case WM_DESTROY:
      if (state && state->icon) {
        DestroyIcon(state->icon);
        state->icon = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// Any character that could lead out of the notes folder or name a stream.
bool SafeNameCharacter(char c) {
  return static_cast<unsigned char>(c) >= 32 && std::string("\\/:*?\"<>|").find(c) == std::string::npos;
}

}  // namespace

std::string NoteFileName(const std::string& file) {
  const size_t slash = file.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  if (name.size() <= 4) return "";
  std::string note = "note_";
  for (char c : name.substr(0, name.size() - 4)) {
    c = SafeNameCharacter(c) ? c : '_';
    if (c == '.' && note.back() == '.') continue;  // never ".."
    note += c;
  }
  return note + ".txt";
}

std::string FindNoteFile(const std::string& file) {
  const std::string name = NoteFileName(file);
  if (name.empty()) return "";
  for (const std::string& folder : {FolderOfProgram(), DataFolder()}) {
    if (folder.empty()) continue;  // unknown: never the drive root
    const std::string path = folder + "\\" + name;
    if (IsPlainFile(path)) return path;
  }
  return "";
}

std::string NewNoteFile(const std::string& file) {
  const std::string name = NoteFileName(file);
  const std::string folder = DataFolder();
  return name.empty() || folder.empty() ? std::string() : folder + "\\" + name;
}

void ShowInfoDialog(HWND owner, int entry) {
  if (entry < 0 || entry >= CatalogueCount()) return;
  InfoState state;
  state.entry = entry;
  ExplorerDialog(owner, IDD_INFO, InfoProc, reinterpret_cast<LPARAM>(&state));
  if (state.icon) DestroyIcon(state.icon);
}

}  // namespace sentrel
