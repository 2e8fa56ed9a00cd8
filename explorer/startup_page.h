// The Startup Programs page's own helpers.
#pragma once

#include <windows.h>

#include <string>

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

}  // namespace sentrel
