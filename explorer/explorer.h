// The explorer, SentrelEx.exe: its process-wide state, the command line, the
// hidden command window and the property sheet.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

// What the command line asks for.
struct ExplorerCommand {
  bool restore = false;    // "-Restore": uninstall clean-up, then end
  bool auOption = false;   // "-AUOption": copy the automatic-update setting back, then end
  bool setPrefix = false;  // "-SetPrefix": restore the URL prefixes, then end
  bool quit = false;       // "-Q"
  UINT page = 0;           // page command of the page switches, 0 when none
};
ExplorerCommand ParseExplorerCommandLine(const char* commandLine);
// The page to open: the switch's, else StartTab when it names a page of the
// sheet, else the first.
UINT StartPageCommand(const ExplorerCommand& command, int startTab);

// The fonts every page shares, made once at start.
enum ExplorerFont {
  kFontTitle,          // Verdana 18, semi-bold
  kFontHeading,        // Arial 18
  kFontLink,           // Arial 18, underlined
  kFontSansBold,       // MS Sans Serif 14, semi-bold
  kFontSansSmallBold,  // MS Sans Serif 10, semi-bold
  kFontSans,           // MS Sans Serif 12
  kFontArial,          // Arial 14
  kFontDialogBold,     // MS Shell Dlg 14, bold: the Info button with a note, bold dialog texts
  kFontDialog,         // MS Shell Dlg 14
  kFontNote,           // NoteFont at NoteSize
  kExplorerFontCount
};

struct ExplorerState {
  HINSTANCE instance = nullptr;
  HWND commandWindow = nullptr;
  HWND sheet = nullptr;  // the property sheet frame while it is open
  bool sheetOpen = false;
  int modalDepth = 0;          // explorer dialogs open above the sheet
  UINT currentPage = 0;        // 0 no sheet, 1 being built, else the active page's command
  std::string caption;         // string 622
  int delayedCount = 0;        // delayed-start programs counted at start
  bool cookieViewing = false;  // the Cookies page's viewing mode (command 6045)
  HFONT fonts[kExplorerFontCount] = {};
};
ExplorerState& Explorer();

void CreateExplorerFonts();
void DeleteExplorerFonts();
HFONT ExplorerFontOf(ExplorerFont font);

// Program entry (WinMain's body).
int RunExplorer(HINSTANCE instance, const char* commandLine);
// The one-shot switches.
int RestoreForUninstall();
int CopyAutoUpdateOption();
int RestoreUrlPrefixes();
// Prunes one first-seen store by the start counter nCount; returns the
// counter's new value.
int PruneFirstSeenStore();
// Deletes the explorer's own files in the Windows Prefetch folder.
int CleanPrefetch();

// The hidden command window.
int RegisterCommandWindowClass(HINSTANCE instance, const char* className);
LRESULT CALLBACK CommandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The property sheet.
void ShowSheet(UINT pageCommand);
// The About page's version check: GetVersion (machine key) or the vendor's
// script, with the build and the language code.
std::string VersionCheckAddress();
// Tab index of a page command among the pages present on this system; -1
// when the command names no page.
int TabOfPage(UINT pageCommand);
// A page command of the page table (whether or not the page is present here).
bool IsSheetPageCommand(UINT command);
int PageCount();
UINT PageCommandAt(int tab);

// A modal dialog of the explorer (raises only the command window meanwhile).
INT_PTR ExplorerDialog(HWND owner, UINT templateId, DLGPROC procedure, LPARAM parameter);

// History dialog (template 141).
INT_PTR ShowHistoryDialog(HWND owner);
// Default-warning dialog (template 194): true when the user ticked the box
// and pressed OK.
bool ConfirmDefaultRemoval(HWND owner, const char* file, const char* title);
// Patrol-time dialog (template 160): minutes, or -1 on Cancel. realtime is
// the area's real-time flag, kept on OK and restored on Cancel; without one
// the dialog offers no real-time watch.
int AskPatrolTime(HWND owner, UINT captionId, int minutes, int* realtime);
// The open-file dialog for a program to start (the programs filter and the
// add-program title); the chosen file, or empty on Cancel.
std::string PickProgramFile(HWND owner, const char* initialFolder);

}  // namespace sentrel
