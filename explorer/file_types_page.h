// The File Types page: the monitored extensions and the programs that open
// them; extensions are added and removed here.
#pragma once

#include <windows.h>

#include <string>

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kFileTypesPageHooks;

// The Type column of a source: "System" for the machine's classes,
// "Explorer" for the user's choices.
std::string FileTypeSourceText(int source);
// Add: asks for an extension (dialog 752) until it is added or cancelled;
// true when one was added.
bool AskFileTypeToAdd(HWND owner);

}  // namespace sentrel
