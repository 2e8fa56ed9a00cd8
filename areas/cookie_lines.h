// The lines of a Mozilla-family cookies.txt. Pure text work: the same
// source is also built natively and fuzzed (tests/fuzz).
#pragma once

#include <string>

namespace sentrel {

// One line of cookies.txt split at its tabs; a value holding tabs keeps them.
struct CookieLine {
  std::string domain;  // without its leading "."
  std::string subdomain, path, secure, expiry, name, value;
};
// False for a comment, a blank line or a line of fewer than seven fields.
bool ParseCookieLine(const std::string& line, CookieLine& cookie);
// "domain - name", as the page shows it and the stores name it.
std::string CookieTitle(const CookieLine& cookie);

}  // namespace sentrel
