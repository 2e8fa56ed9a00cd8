// The Delayed Start page.
#pragma once

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kDelayedPageHooks;

}  // namespace sentrel
