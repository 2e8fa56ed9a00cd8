// The lines of cookies.txt.
#include "cookie_lines.h"

namespace sentrel {

bool ParseCookieLine(const std::string& text, CookieLine& cookie) {
  cookie = CookieLine{};
  std::string line = text;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty() || line[0] == '#') return false;
  std::string* fields[] = {&cookie.domain, &cookie.subdomain, &cookie.path, &cookie.secure,
                           &cookie.expiry, &cookie.name,      &cookie.value};
  size_t start = 0;
  for (int i = 0; i < 6; ++i) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string::npos) return false;
    *fields[i] = line.substr(start, tab - start);
    start = tab + 1;
  }
  cookie.value = line.substr(start);  // the rest, tabs and all
  if (!cookie.domain.empty() && cookie.domain[0] == '.') cookie.domain.erase(0, 1);
  return !cookie.domain.empty();
}

std::string CookieTitle(const CookieLine& cookie) {
  // The list and the registry stores name a cookie only as far as a NUL: so
  // must the filtered listing, or a removal request would name another cookie.
  const std::string title = cookie.domain + " - " + cookie.name;
  return title.substr(0, title.find('\0'));
}

}  // namespace sentrel
