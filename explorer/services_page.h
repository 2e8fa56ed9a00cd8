// The Services page (NT family): the installed services, their programs,
// run states and start types.
#pragma once

#include <string>

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kServicesPageHooks;

// The Command column: the program's file name, after "svchost.exe " for a
// hosted service.
std::string ServiceCommandText(const std::string& path, int type);

}  // namespace sentrel
