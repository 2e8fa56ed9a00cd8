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
  const std::string history = HistoryDateOf(parts);
  FUZZ_CHECK(!history.empty() && history.size() < 64);

  unsigned long long ticks = 0;
  if (ExpiryTicks(seconds, ticks)) FUZZ_CHECK(ticks <= 0x7FFFFFFFFFFFFFFFULL);
  return 0;
}
