// The patrol's three cookie tasks: the cookie filter, the staged Mozilla
// file's commit and the notice of new cookies.
#pragma once

namespace sentrel {

// Filters Internet Explorer's cookies (the default browser decides which
// family is watched; for the Mozilla family the kind is only remembered).
int FilterCookies();
// Puts a staged cookies.txt in place once the Mozilla browser has closed.
int CommitMozillaCookies();
// Asks whether to review the cookies when one is not among those kept.
// 0 when the patrol must end at once.
int CheckForNewCookies();
// The browser kind the tasks work on (0 until first derived).
int RememberedBrowserKind();
void ForgetBrowserKind();

}  // namespace sentrel
