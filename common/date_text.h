// Date texts from their parts, without asking the system: the same source
// is also built natively and fuzzed (tests/fuzz).
#pragma once

#include <string>

namespace sentrel {

struct DateParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

// Date and time as the user's sShortDate and sTimeFormat lay them out (the
// formats Windows offers; anything else as "M/d/yyyy" and "h:mm:ss tt");
// each half at most 11 characters.
std::string FormatDateParts(const DateParts& t, const char* shortDate, const char* timeFormat);
// The history file's date field: "MM/DD/YYYY  h:mm AM".
std::string HistoryDateOf(const DateParts& t);
// Seconds since 1970 (a cookie's expiry) as 100-ns steps since 1601; false
// for no number or one that a FILETIME cannot hold.
bool ExpiryTicks(const std::string& seconds, unsigned long long& ticks);

}  // namespace sentrel
