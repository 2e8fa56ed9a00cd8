// Delayed start: startup programs taken out of their Windows startup
// location and started by the monitor a chosen number of seconds after its
// own start. The store, moving entries in and back, and the launcher.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue.h"

namespace sentrel {

// The store: the same keys under HKLM (machine-wide entries) and HKCU. The
// value name in every key is the entry's program (upper case, long form).
constexpr const char* kDelayKey = "Software\\Orvane Works\\Sentrel\\Delay";
constexpr const char* kDelaySubKeys[] = {"Title", "Time", "Parameters", "Shortcuts", "Applet", "OpenAs", "Command"};
constexpr const char* kRundllApplet = "RunDLL32.exe";
constexpr int kNewDelaySeconds = 30;

// The program part of a command (upper case, long form, at most 259
// characters) and its arguments with their leading blank. Returns the index
// in the command where the arguments start.
size_t SplitCommand(const std::string& command, std::string& program, std::string& arguments);

// Empties the catalogue entry list and lists HKLM's delayed entries, then
// HKCU's (value: 0 for HKLM, 1 for HKCU). Returns the count.
int ListDelayedEntries();
// The number of delayed entries, without reading their programs.
int CountDelayedEntries();

// The questions moving an entry asks; the program supplies the box (tests
// answer it). Returns the button pressed.
using DelayQuestion = int (*)(HWND owner, UINT textId, UINT flags);
void SetDelayQuestion(DelayQuestion question);

enum DelayResult { kDelayRefusedAll = -1, kDelaySkipped = 0, kDelayDone = 1 };
// Moves a listed startup entry into the store. kDelayRefusedAll ends the
// whole operation (the monitor's own entry).
int DelayStartupEntry(HWND owner, const CatalogueEntry& entry);
// Puts a listed delayed entry back into its startup location; the store
// keeps it when that cannot be written.
int UndelayEntry(const CatalogueEntry& entry);
// Every delayed entry back to Windows start-up; the number moved.
int RestoreAllDelayed();
int DeleteDelayedValues(HKEY root, const char* program);
// A program file chosen by the user: all users (HKLM, type 1) or the
// current user (HKCU, type 11).
int AddDelayedProgram(const char* file, bool allUsers);

HKEY DelayRoot(const CatalogueEntry& entry);

// The window show command of an OpenAs index (above 2 counts as 0).
int ShowCommandOfIndex(int index);
// Starts a program with the entry's show mode; 1 when it started.
int LaunchProgram(HWND owner, const char* program, const char* parameters, HKEY root);
// Starts one stored entry (through its applet when it has one).
int LaunchDelayedEntry(HWND owner, HKEY root, const char* name);
// Starts every entry whose Time is exactly seconds (a program already
// running is not started again); returns the number handled in this call.
int LaunchDelayedEntries(int seconds);

// The options dialog's fields of one entry.
struct DelayOptions {
  int seconds = 0;
  int openAs = 0;
  std::string parameters;
  std::string title;
};
DelayOptions ReadDelayOptions(HKEY root, const char* program);
int WriteDelayOptions(HKEY root, const char* program, const DelayOptions& options);
// A stored Time as seconds; -1 when missing or not a number.
int DelaySeconds(HKEY root, const char* program);
// "%d Sec." below a minute, else "%d Min. : %d Sec.".
std::string DelayText(int seconds);

}  // namespace sentrel
