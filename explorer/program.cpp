// The explorer's entry: one-shot switches, single instance, the hidden
// command window, initialisation and the message loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "catalogue.h"
#include "cookies.h"
#include "cookies_page.h"
#include "delayed_start.h"
#include "explorer.h"
#include "fileid.h"
#include "initialization.h"
#include "registry.h"
#include "resource.h"
#include "restart_commands.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"
#include "system_settings.h"
#include "trace.h"
#include "ui.h"

namespace sentrel {

ExplorerState& Explorer() {
  static ExplorerState state;
  return state;
}

namespace {

constexpr UINT kCookieViewing = 6045;
constexpr UINT kExitRequest = 6048;

std::string LoadShortText(UINT id) {
  char text[32];
  return LoadText(id, text, sizeof text) > 0 ? std::string(text) : std::string();
}

void OnExitRequest() {
  if (Option(kOptConfirmExit) == 0) {
    DestroyWindow(Explorer().commandWindow);
    return;
  }
  if (!FindWindowA("Sentrel", nullptr)) {
    MessageBoxExA(Explorer().commandWindow, "SENTRELEXIT WinExec", "Test", MB_OK, Process().languageId);
    const std::string program = FileBesideProgram("Sentrel.exe");
    if (!program.empty()) WinExec(("\"" + program + "\"").c_str(), SW_SHOW);
  } else {
    ShowSheet(IDC_CMD_SHOW_STARTUP);
  }
}

}  // namespace

LRESULT CALLBACK CommandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ExplorerState& explorer = Explorer();
  switch (message) {
    case WM_COMMAND: {
      const UINT command = LOWORD(wParam);
      if (IsSheetPageCommand(command)) {
        ShowSheet(command);
      } else if (command == kCookieViewing) {
        const bool saved = explorer.cookieViewing;
        explorer.cookieViewing = true;
        ShowSheet(IDC_CMD_SHOW_COOKIES);
        explorer.cookieViewing = saved;
      } else if (command == IDC_CMD_EXIT) {
        DestroyWindow(window);
      } else if (command == IDC_CMD_TOGGLE_ALWAYS_RUN) {
        SetRunAtStart(!IsRunAtStart());
      } else if (command == kExitRequest) {
        OnExitRequest();
      } else if (command == IDC_CMD_SHOW_RESTART_COMMANDS) {
        RestartCommands(nullptr, true);  // centred on the screen, not on this off-screen window
      }
      // 6046 and 6047 are accepted and ignored.
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ClearCatalogueEntries();
      FreeCookieFilters();
      DeleteExplorerFonts();
      CoUninitialize();
      SaveOptions();
      explorer.commandWindow = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int RegisterCommandWindowClass(HINSTANCE instance, const char* className) {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = CommandWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TAVVY));
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = className;
  return RegisterClassA(&windowClass) != 0;
}

int RestoreForUninstall() {
  ResetTranslationsAndPositions();
  RestoreAllDelayed();
  if (KeyExists(HKEY_CLASSES_ROOT, kExplorerMenuKey)) DeleteKeyTree(HKEY_CLASSES_ROOT, kExplorerMenuKey);
  return 1;
}

int CopyAutoUpdateOption() {
  if (!DwordValueExists(HKEY_CURRENT_USER, kSentrelKey, "AUOptions")) return 0;
  const DWORD value = ReadDwordValue(HKEY_CURRENT_USER, kSentrelKey, "AUOptions");
  return WriteDwordValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update",
                         "AUOptions", value);
}

int RestoreUrlPrefixes() { return RestorePrefixDirectly(); }

int PruneFirstSeenStore() {
  int counter = ReadOption("nCount", 0) + 1;
  if (counter > 3) counter = 0;
  WriteOption("nCount", counter);
  static const char* const kStores[] = {"Tasks", "ActiveTasks", "Services", "Hidden"};
  const std::string key = std::string(kDetectedKey) + "\\" + kStores[counter];
  RegKey store;
  if (!store.Open(HKEY_CURRENT_USER, key.c_str(), KEY_READ | KEY_SET_VALUE)) return counter;
  // Names are collected first: deleting while enumerating shifts the indexes.
  std::vector<std::string> gone;
  char name[1024];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (RegEnumValueA(store.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (*name && GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) gone.push_back(name);
  }
  for (const std::string& value : gone) RegDeleteValueA(store.get(), value.c_str());
  return counter;
}

int CleanPrefetch() {
  const std::string folder = WindowsFolder() + "\\Prefetch";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int deleted = 0;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && ContainsText(found.cFileName, "Sentrelusb.exe"))
      deleted += DeleteFileA((folder + "\\" + found.cFileName).c_str()) ? 1 : 0;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return deleted;
}

int RunExplorer(HINSTANCE instance, const char* commandLineText) {
  ExplorerState& explorer = Explorer();
  explorer.instance = instance;
  Process().kind = ProgramKind::Explorer;
  const std::string className = LoadShortText(IDS_CLASS_NAME);
  const std::string loading = LoadShortText(IDS_LOADING);
  if (className.empty() || loading.empty()) return 0;

  InitLanguageId();
  const ExplorerCommand command = ParseExplorerCommandLine(commandLineText);
  if (command.restore || command.auOption || command.setPrefix) {
    if (command.restore) RestoreForUninstall();
    if (command.auOption) CopyAutoUpdateOption();
    if (command.setPrefix) RestoreUrlPrefixes();
    return 0;
  }
  const UINT page = StartPageCommand(command, ReadOption("StartTab", IDC_CMD_SHOW_STARTUP));
  if (HWND running = FindWindowA(className.c_str(), nullptr)) {
    PostMessageA(running, WM_COMMAND, command.quit ? IDC_CMD_EXIT : page, 0);
    return 0;
  }
  if (command.quit) return 0;

  // The options are read later; the browser choice is wanted now.
  DiscoverFirefoxCookieFolder(ReadOption(OptionDefinition(kOptBrowser).name, 1));
  if (!RegisterCommandWindowClass(instance, className.c_str())) return 0;
  explorer.commandWindow =
      CreateWindowExA(WS_EX_APPWINDOW, className.c_str(), loading.c_str(), WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0,
                      -200, 0, 0, nullptr, nullptr, instance, nullptr);
  if (!explorer.commandWindow) return 0;
  explorer.caption = LoadText(IDS_SENTREL_OMNI);

  CoInitialize(nullptr);
  InitCommonControlsOfAnyVersion(ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES);
  SetTraceFile(FileBesideProgram("sendex2ow.txt"));
  InitializeSettings();
  CreateExplorerFonts();  // after the options: the note font is one
  ClearCatalogueEntries();
  explorer.delayedCount = CountDelayedEntries();
  PruneFirstSeenStore();
  CleanPrefetch();

  PostMessageA(explorer.commandWindow, WM_COMMAND, page, 0);
  return RunMessageLoop();
}

}  // namespace sentrel
