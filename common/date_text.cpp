// Date texts.
#include "date_text.h"

#include <cstdio>
#include <cstdlib>

namespace sentrel {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The format names are plain ASCII: letters of either case match.
bool Is(const char* format, const char* name) {
  if (!format) return false;
  for (; *format && *name; ++format, ++name)
    if (Lower(*format) != Lower(*name)) return false;
  return *format == *name;
}

std::string CutTo(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  return text;
}

}  // namespace

std::string FormatDateParts(const DateParts& t, const char* shortDate, const char* timeFormat) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char date[64];
  if (Is(shortDate, "M/d/yy") || Is(shortDate, "MM/dd/yy"))
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", t.month, t.day, t.year);
  else if (Is(shortDate, "yy/MM/dd"))
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", t.year, t.month, t.day);
  else if (Is(shortDate, "yyyy-MM-dd"))
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", t.year, t.month, t.day);
  else if (Is(shortDate, "dd-MMM-yy"))
    std::snprintf(date, sizeof date, "%02d-%s-%02d", t.day, t.month >= 1 && t.month <= 12 ? kMonths[t.month - 1] : "",
                  t.year);
  else  // "M/d/yyyy", "MM/dd/yyyy" and anything not listed
    std::snprintf(date, sizeof date, "%02d/%02d/%04d", t.month, t.day, t.year);

  char time[64];
  const bool pm = t.hour >= 12;
  int hour12 = t.hour == 0 ? 12 : (t.hour > 12 ? t.hour - 12 : t.hour);
  if (Is(timeFormat, "H:mm:ss"))
    std::snprintf(time, sizeof time, "%d:%02d", t.hour, t.minute);
  else if (Is(timeFormat, "HH:mm:ss"))
    std::snprintf(time, sizeof time, "%02d:%02d", t.hour, t.minute);
  else if (Is(timeFormat, "hh:mm:ss tt"))
    std::snprintf(time, sizeof time, "%02d:%02d %s", hour12, t.minute, pm ? "PM" : "AM");
  else  // "h:mm:ss tt" and anything not listed
    std::snprintf(time, sizeof time, "%d:%02d %s", hour12, t.minute, pm ? "PM" : "AM");

  return CutTo(date, 11) + " " + CutTo(time, 11);
}

std::string HistoryDateOf(const DateParts& t) {
  char date[64];
  const unsigned hour24 = static_cast<unsigned>(t.hour);
  const unsigned hour = hour24 % 12 == 0 ? 12u : hour24 % 12u;
  std::snprintf(date, sizeof date, "%02u/%02u/%04u  %u:%02u %s", static_cast<unsigned>(t.month),
                static_cast<unsigned>(t.day), static_cast<unsigned>(t.year), hour, static_cast<unsigned>(t.minute),
                hour24 >= 12 ? "PM" : "AM");
  return date;
}

bool ExpiryTicks(const std::string& seconds, unsigned long long& ticks) {
  const char* text = seconds.c_str();
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text) return false;
  // Seconds from 1601 in 100-ns steps; anything FILETIME cannot hold shows nothing.
  const long long kEpochSeconds = 11644473600LL, kLimit = 0x7FFFFFFFFFFFFFFFLL / 10000000LL;
  if (value < -kEpochSeconds || value > kLimit - kEpochSeconds) return false;
  ticks = static_cast<unsigned long long>(value + kEpochSeconds) * 10000000ULL;
  return true;
}

}  // namespace sentrel
