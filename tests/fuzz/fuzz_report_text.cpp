// The report texts over hostile entry texts: HTML keeps no markup
// character, a spreadsheet field never begins like a formula nor leaves a
// quote open, a tab field stays one column of one row, and HOSTS lines
// keep their bounds.
#include <algorithm>
#include <utility>

#include "fuzz_support.h"
#include "report_text.h"

using namespace sentrel;

namespace {

// The text a browser shows for HTML made of text and entities.
std::string HtmlRead(const std::string& html) {
  const std::pair<const char*, char> entities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string text;
  for (size_t i = 0; i < html.size();) {
    bool entity = false;
    for (const auto& [name, c] : entities) {
      const std::string spelled = name;
      if (html.compare(i, spelled.size(), spelled) == 0) {
        text += c, i += spelled.size(), entity = true;
        break;
      }
    }
    if (!entity) text += html[i++];
  }
  return text;
}

// One field as a spreadsheet program reads it: a quoted field up to its
// closing quote, a doubled quote standing for one; false when the field
// would not end there (an open quote, or a separator or line break outside
// quotes).
bool SpreadsheetRead(const std::string& field, std::string& read) {
  read.clear();
  if (field.empty() || field[0] != '"') {
    read = field;
    return field.find_first_of(",\"\r\n") == std::string::npos;
  }
  for (size_t i = 1; i < field.size(); ++i) {
    if (field[i] != '"') {
      read += field[i];
    } else if (i + 1 < field.size() && field[i + 1] == '"') {
      read += '"', ++i;
    } else {
      return i + 1 == field.size();  // the closing quote ends the field
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::string html = HtmlEscaped(text);
  FUZZ_CHECK(html.find_first_of("<>\"'") == std::string::npos);
  FUZZ_CHECK(HtmlRead(html) == text);
  FUZZ_CHECK(Format("<td>%s</td>", html.c_str()).size() == std::string(html.c_str()).size() + 9);

  for (bool commas : {false, true}) {
    const std::string field = SpreadsheetField(text, commas);
    std::string read;
    FUZZ_CHECK(SpreadsheetRead(field, read));
    // The text comes back whole (commas as blanks where asked), never
    // beginning like a formula: such a text comes back behind a text mark.
    std::string expected = text;
    if (commas)
      for (char& c : expected)
        if (c == ',') c = ' ';
    const bool formula = !expected.empty() && std::string("=+-@\t\r").find(expected[0]) != std::string::npos;
    FUZZ_CHECK(read == (formula ? "'" + expected : expected));
    FUZZ_CHECK(read.empty() || std::string("=+-@").find(read[0]) == std::string::npos);
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
