// The report texts over hostile entry texts: HTML keeps no markup
// character, a spreadsheet field never begins like a formula nor leaves a
// quote open, a tab field stays one column of one row, and HOSTS lines
// keep their bounds.
#include <algorithm>

#include "fuzz_support.h"
#include "report_text.h"

using namespace sentrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::string html = HtmlEscaped(text);
  FUZZ_CHECK(html.find_first_of("<>\"'") == std::string::npos);
  FUZZ_CHECK(Format("<td>%s</td>", html.c_str()).size() == std::string(html.c_str()).size() + 9);

  for (bool commas : {false, true}) {
    const std::string field = SpreadsheetField(text, commas);
    if (field.empty()) continue;
    FUZZ_CHECK(std::string("=+-@").find(field[0]) == std::string::npos);
    if (field[0] == '"') {
      FUZZ_CHECK(field.size() >= 2 && field.back() == '"');
      size_t quotes = 0;
      for (char c : field) quotes += c == '"';
      FUZZ_CHECK(quotes % 2 == 0);
    } else {
      FUZZ_CHECK(field.find_first_of(",\"\r\n") == std::string::npos);
    }
  }
  FUZZ_CHECK(TabField(text).find_first_of("\t\r\n") == std::string::npos);
  FUZZ_CHECK(Cut(text, 7).size() == std::min<size_t>(7, text.size()));

  for (const std::string& line : TextLines(text)) FUZZ_CHECK(line.find('\n') == std::string::npos);
  for (const std::string& line : ListedHostsLines(text)) {
    FUZZ_CHECK(line.size() > 4 && line.size() < 500 && line[0] != '#');
    for (char c : line) FUZZ_CHECK(static_cast<unsigned char>(c) >= 32);
  }
  return 0;
}
