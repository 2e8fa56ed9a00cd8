// The Hidden Files page: the hidden files of the watched folders, unhidden,
// viewed or deleted from here.
#pragma once

#include <string>

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kHiddenFilesPageHooks;

// The Last Written column: the file's last-write time as local date text,
// its last three characters dropped when longer than 16, or "File in Use"
// when the file cannot be opened.
std::string LastWrittenText(const std::string& path);

}  // namespace sentrel
