// Date texts from any parts and any format names the registry may hold: the
// halves keep their widths, and a cookie's expiry never overflows.
#include "date_text.h"
#include "fuzz_support.h"

using namespace sentrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  DateParts parts;
  // Any WORD a SYSTEMTIME can carry.
  int* fields[] = {&parts.year, &parts.month, &parts.day, &parts.hour, &parts.minute};
  for (int* field : fields) *field = input.Number(256) * 256 + input.Number(256);
  const std::string shortDate = input.Text(), timeFormat = input.Text(), seconds = input.Text();

  const std::string text = FormatDateParts(parts, shortDate.c_str(), timeFormat.c_str());
  FUZZ_CHECK(text.size() <= 23 && text.find(' ') <= 11);
  // A real clock time reads "MM/DD/YYYY  h:mm AM" with its own half of the day.
  const std::string history = HistoryDateOf(parts);
  if (parts.year >= 1601 && parts.year <= 9999 && parts.month >= 1 && parts.month <= 12 && parts.day >= 1 &&
      parts.day <= 31 && parts.hour <= 23 && parts.minute <= 59) {
    FUZZ_CHECK(history.size() == 19 || history.size() == 20);
    FUZZ_CHECK(history.compare(history.size() - 3, 3, parts.hour >= 12 ? " PM" : " AM") == 0);
  }

  unsigned long long ticks = 0;
  if (ExpiryTicks(seconds, ticks)) FUZZ_CHECK(ticks <= 0x7FFFFFFFFFFFFFFFULL);
  return 0;
}
