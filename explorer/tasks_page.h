// The Scheduled Tasks page.
#pragma once

#include <string>

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kTasksPageHooks;

// The Name column: the title without its last four characters (".job").
std::string TaskNameText(const std::string& title);

}  // namespace sentrel
