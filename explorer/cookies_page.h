// The Cookies page: the cookies of the chosen browser with check boxes for
// the ones kept, the cookie filters ("nuts"), and the view of a cookie file.
#pragma once

#include <windows.h>

#include <string>

#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kCookiesPageHooks;

// Finds the Mozilla profile folder for the explorer's browser choice (at
// start and whenever the choice changes); "" when there is none.
void DiscoverFirefoxCookieFolder(int kind);
const std::string& FirefoxCookieFolder();
// The folder-open dialog for a cookie folder; "" when cancelled or refused.
std::string PickCookieFolder(HWND owner);

}  // namespace sentrel
