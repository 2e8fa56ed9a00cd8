// The pages of the browser add-ons: IE Helpers and ActiveX.
#pragma once

#include <string>

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kIEHelperPageHooks;
extern const ListPageHooks kActiveXPageHooks;

// The Type column of the IE Helpers page for a type code.
std::string IEHelperTypeText(int type);

}  // namespace sentrel
