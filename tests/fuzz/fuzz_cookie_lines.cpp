// cookies.txt as any program may have written it, line by line as the
// listing reads it: a cookie has a domain, its title holds no NUL, and an
// expiry never overflows.
#include "cookie_lines.h"
#include "date_text.h"
#include "fuzz_support.h"

using namespace sentrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, (end == std::string::npos ? text.size() : end) - start);
    CookieLine cookie;
    if (ParseCookieLine(line, cookie)) {
      FUZZ_CHECK(!cookie.domain.empty());
      const std::string title = CookieTitle(cookie);
      FUZZ_CHECK(title.find('\0') == std::string::npos && title.size() <= line.size() + 3);
      unsigned long long ticks = 0;
      ExpiryTicks(cookie.expiry, ticks);
    }
    start = next;
  }
  return 0;
}
