// The machinery every list page of the sheet shares: columns, filling,
// sorting, selection, the picture buttons, the button row and the status bar.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "settings.h"

namespace sentrel {

struct ColumnDef {
  UINT title;    // string id
  int permille;  // width as thousandths of the list's outer width
};

// What a row shows and how it sorts, worked out once per fill.
struct RowFacts {
  std::string file;     // the entry's program file
  std::string company;  // CompanyName of the file
  std::string firstSeen;
  bool disabled = false;
  bool exists = false;  // the program file is on disk
};

struct ListPageDef;

// Page-specific behaviour; null members fall back to the shared defaults.
struct ListPageHooks {
  void (*init)(HWND page);
  int (*enumerate)();  // fills the catalogue entry list
  // The text of a column for an entry (the first column is the title).
  std::string (*cellText)(int entry, int column, const RowFacts& facts);
  // What stands for a column when sorting.
  std::string (*sortText)(int entry, int column, int flag, const RowFacts& facts);
  bool (*command)(HWND page, int id);
  void (*selectionChanged)(HWND page);
  void (*contextMenu)(HWND page, int entry, POINT screen);
};

struct ListPageDef {
  UINT command;  // page command (Part of the sheet's page table)
  const ColumnDef* columns;
  int columnCount;
  bool lessScrollBar;
  OptionId sortOption;
  int lastSortableColumn;  // clicks beyond it are ignored
  bool prefixCompare;      // compare only as many characters as the shorter text holds
  UINT intro, intro2;
  int patrolOption;    // OptionId of the area's patrol time, -1 none
  int realtimeOption;  // OptionId of its real-time flag, -1 none
  UINT patrolCaption;
  int firstSeenCategory;  // 1 startup, 600 tasks, 700 services, 900 IE helpers, 1200 ActiveX; 0 none
  const int* buttons;     // the button row, left to right
  int buttonCount;
  const ListPageHooks* hooks;
};

// The list page definitions, and the one of a page command (null if none).
const ListPageDef* FindListPage(UINT command);

// The dialog procedure of every list page; lParam of the page record is the
// page command.
INT_PTR CALLBACK ListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Shared operations the pages call.
void FillListPage(HWND page);
int FirstSelectedEntry(HWND page);     // catalogue index, -1 when none
int FirstSelectedPosition(HWND page);  // row, -1 when none
std::vector<int> SelectedEntries(HWND page);
int SelectedCount(HWND page);
void SelectRow(HWND page, int row);
void ShowNoSelection(HWND page);
void SetStatusText(HWND page, const std::string& text);
const RowFacts& FactsOf(int entry);
// The column clicked on (sorting, the direction flag, the sort key).
void SortByColumn(HWND page, int column);
// The program file of a catalogue entry.
std::string EntryFile(int entry);
// Adds the first icon of a file (the missing-file icon when it has none or is
// not there) to the image list; its index, 0 when nothing could be added.
int AddFileIcon(HIMAGELIST images, const std::string& file, bool exists);
// The same for the icon of a given index in the file.
int AddFileIconAt(HIMAGELIST images, const std::string& file, int index, bool exists);
// A page whose rows show another icon than their program's first one: the
// source names file and index, or returns false for the program's own.
using RowIconSource = bool (*)(int entry, std::string& file, int& index);
void SetRowIconSource(UINT pageCommand, RowIconSource source);
// A page whose rows name no program file (cookies): no file is looked at
// and every row shows the program's own icon.
void SetPlainRows(UINT pageCommand);
// A page that arranges itself once its activation has filled and selected
// (the hook runs last on every activation), or that lets go of its own data
// when it goes with the sheet.
using PageHook = void (*)(HWND page);
void SetActivationHook(UINT pageCommand, PageHook hook);
void SetClosingHook(UINT pageCommand, PageHook hook);
// A page whose entries hold their file itself, not a command to read one
// from: a name like "update.exe.dat" is that file, not update.exe.
using EntryFileSource = std::string (*)(int entry);
void SetEntryFileSource(UINT pageCommand, EntryFileSource source);
// The file an entry of a page stands for, by that page's rule.
std::string PageEntryFile(UINT pageCommand, int entry);
// Sorts by a column with the given direction flag and leaves the flag so;
// the sort key is not touched.
void SortByColumnAs(HWND page, int column, int flag);

// Pure helpers.
std::string SortableFirstSeen(const std::string& text);
int CompareSortTexts(const std::string& a, const std::string& b, int flag, bool prefix);
std::string FirstSeenText(const char* file, int category);

}  // namespace sentrel
