// The Startup Programs page's own helpers.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue.h"
#include "fileid.h"
#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kStartupPageHooks;

// The Command column: "RunDLL32.exe " and the library for entries started
// through RunDLL32, else the file-name part of the command.
std::string StartupCommandText(const std::string& command);
// The note file of a program ("note_<name>.txt"), or "" when it has none.
std::string NoteFileOf(const std::string& file);
// Add: the value name for a chosen file, and the entry written for it.
std::string AddedValueName(const std::string& file, const VersionFields& fields);
int AddStartupFile(const std::string& file);
int AddStartupProgram(HWND owner);
// Removes a startup entry: the key locations through their own removal
// (the default-warning dialog where it applies); any other entry's program
// is stopped if it runs and the entry removed, asking first (message 707
// and 15) only when ask is set.
void RemoveStartupItem(HWND page, CatalogueEntry item, const std::string& file, bool ask);
// Opens a program's folder ("explore") or its property sheet ("properties").
void OpenWithShellVerb(HWND owner, std::string file, const char* verb);

}  // namespace sentrel
