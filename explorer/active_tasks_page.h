// The Active Tasks page: the programs running now.
#pragma once

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kActiveTasksPageHooks;

}  // namespace sentrel
